#!/usr/bin/env python3
"""Writes core/code_page_tables.cpp: Windows' code pages as exact tables.

The source is the code-page files c_<N>.nls that Debian 12's wine package
(8.0) installs under /usr/share/wine/nls. They hold, in little-endian 16-bit
words:

  word 0        the header's size in words, 13 (checked)
  word 1        the code page's number (checked against the file's name)
  word 2        the largest character in bytes: 1 or 2 (used)
  word 3        the default byte(s), written for what can't be converted
                (used only to tell, in the counts, plain 'unmapped' entries of
                the wide-character table from best-fit ones)
  word 4        the default character, read for what can't be converted
                (used: UniDefault)
  word 5        the default byte(s) read as a character (not used)
  word 6        the default character written as byte(s) (used:
                TransUniDefault)
  words 7-12    up to six ranges of lead bytes, low byte first, then high
                (used, only to cross-check the lead bytes found below)
  word 13       the distance in words from this word to the wide-character
                table (used)
  words 14-269  by byte, the UTF-16 unit it reads as (used)
  then          one word: if nonzero, a 256-word glyph table follows (skipped)
  then          one word: if nonzero, the page has lead bytes, and 256 words
                follow: by byte, 0, or for a lead byte the distance in words
                from the first of those 256 words to its row of 256, which
                maps each second byte to a UTF-16 unit; the rows follow (used)
  at word 13 +  one word (skipped: 0 on the single-byte pages here, 4 on the
  its value     double-byte ones), then the wide-character table: by UTF-16
                unit, a byte (65536 bytes) on a page whose word 2 is 1, else a
                word (65536 words): a single byte, or lead << 8 | second byte
                (used). The file ends there (checked).

A pair of bytes B and a character c goes into the tables when, and only when:
  - B is one byte that is no lead byte, or a lead byte and a second byte;
  - B reads as c, and is not refused when read. Windows, asked to refuse
    invalid input, refuses a B that reads as UniDefault unless B is
    TransUniDefault, the default character's own bytes; and it refuses a
    single byte that reads as a private-use character (U+E000-U+F8FF), which
    is how the files mark bytes a page leaves undefined (a pair that reads as
    one, a user-defined character, is accepted);
  - c writes as B, exactly: so best-fit entries of the wide-character table,
    and the other side of any mapping that only goes one way, drop out;
  - c is no surrogate, and not U+FFFF, which the tables use for 'none'.
That is what survives Windows' conversions when they are asked to refuse
invalid bytes and not to guess, and come back unchanged. Each B and each c is
then in at most one pair, so a lookup either way is exact (asserted).

Per code page, standard error gets how many pairs were kept, how many entries
of the wide-character table were dropped (best fit or one way; entries that
just write the default bytes are not counted), and how many byte sequences
were dropped as refused or as read one way only.

Usage: generate_code_pages.py [NLS_FOLDER] [OUTPUT]
       (defaults: /usr/share/wine/nls and standard output)
"""

import os
import struct
import sys

CODE_PAGES = [
    874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
    932, 936, 949, 950,
    20127, 20866, 21866,
    28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598, 28599, 28603, 28605,
]
DEFAULT_FOLDER = "/usr/share/wine/nls"
HEADER_WORDS = 13
NO_CHARACTER = 0xFFFF
VALUES_PER_LINE = 16

# Well-known pairs, checked in both directions of the raw file, so that a
# misread layout fails here rather than yielding plausible garbage.
KNOWN_PAIRS = {
    1252: [(0x80, 0x20AC), (0x81, 0x0081), (0x41, 0x0041), (0xE9, 0x00E9)],
    874: [(0xA1, 0x0E01)],
    932: [(0x829F, 0x3041), (0x82A0, 0x3042), (0x5C, 0x005C), (0x8145, 0x30FB), (0xB1, 0xFF71)],
    936: [(0xB0A1, 0x554A)],
    949: [(0xB0A1, 0xAC00)],
    950: [(0xA440, 0x4E00)],
    20866: [(0xC1, 0x0430)],
}


class CodePage:
    """What the generator needs of one code-page file."""

    def __init__(self, number, default, uni_default, trans_uni_default, single, rows, wide):
        self.number = number
        self.default = default
        self.uni_default = uni_default
        self.trans_uni_default = trans_uni_default
        self.single = single  # by byte: the UTF-16 unit it reads as
        self.rows = rows  # by lead byte: its row of 256; empty if single-byte
        self.wide = wide  # by UTF-16 unit: byte, or lead << 8 | second byte


def read_code_page(path: str, number: int) -> CodePage:
    with open(path, "rb") as f:
        data = f.read()
    assert len(data) % 2 == 0, path
    words = struct.unpack("<{}H".format(len(data) // 2), data)
    assert words[0] == HEADER_WORDS, path
    assert words[1] == number, path
    max_size = words[2]
    assert max_size in (1, 2), path
    default = words[3]
    uni_default = words[4]
    trans_uni_default = words[6]
    range_bytes = struct.unpack_from("<12B", data, 2 * 7)
    ranged_leads = set()
    for i in range(0, 12, 2):
        low, high = range_bytes[i], range_bytes[i + 1]
        if low == 0 and high == 0:
            break
        ranged_leads.update(range(low, high + 1))

    wide_at = HEADER_WORDS + words[HEADER_WORDS]
    at = HEADER_WORDS + 1
    single = list(words[at:at + 256])
    at += 256
    if words[at]:
        at += 256  # glyph table
    at += 1
    rows = {}
    if words[at]:
        at += 1
        offsets = words[at:at + 256]
        for lead, offset in enumerate(offsets):
            if offset:
                rows[lead] = list(words[at + offset:at + offset + 256])
                assert at + offset + 256 <= wide_at, path
    assert set(rows) == ranged_leads, path
    assert (max_size == 2) == bool(rows), path

    table_at = wide_at + 1
    if max_size == 1:
        wide = list(data[2 * table_at:2 * table_at + 65536])
        end = table_at + 65536 // 2
    else:
        wide = list(words[table_at:table_at + 65536])
        end = table_at + 65536
    assert end == len(words), path
    page = CodePage(number, default, uni_default, trans_uni_default, single, rows, wide)
    for sequence, c in KNOWN_PAIRS.get(number, []):
        read = single[sequence] if sequence < 0x100 else rows[sequence >> 8][sequence & 0xFF]
        assert read == c and wide[c] == sequence, (number, hex(sequence), hex(c))
    return page


def is_surrogate(c: int) -> bool:
    return 0xD800 <= c <= 0xDFFF


def is_private_use(c: int) -> bool:
    return 0xE000 <= c <= 0xF8FF


def exact_pairs(page: CodePage):
    """The kept pairs as {bytes as an int: character}, and the drop counts:
    wide-character entries that are best fit or one way, byte sequences
    refused, byte sequences that read one way only."""
    read = {}  # every valid sequence, as an int, to what it reads as
    for byte, c in enumerate(page.single):
        if byte not in page.rows:
            read[byte] = c
    for lead, row in page.rows.items():
        for second, c in enumerate(row):
            read[lead << 8 | second] = c

    kept = {}
    refused = 0
    for sequence, c in read.items():
        if c == page.uni_default and sequence != page.trans_uni_default:
            refused += 1
            continue
        if sequence < 0x100 and is_private_use(c):
            refused += 1  # an undefined byte
            continue
        if is_surrogate(c) or c == NO_CHARACTER:
            refused += 1
            continue
        if page.wide[c] != sequence:
            continue  # reads one way only
        kept[sequence] = c
    characters = set(kept.values())
    assert len(characters) == len(kept), page.number  # a bijection
    assert all(page.wide[c] == s and read[s] == c for s, c in kept.items())
    # ASCII is itself on every page, which the converter relies on.
    assert all(kept.get(c) == c for c in range(0x80)), page.number

    # An entry of the wide-character table that writes the default bytes for
    # a character other than the one they read as is plain 'unmapped'; any
    # other entry not kept is best fit, or one way.
    wide_dropped = 0
    for c, sequence in enumerate(page.wide):
        if c in characters:
            continue
        if sequence == page.default and read.get(sequence) != c:
            continue
        wide_dropped += 1
    one_way = len(read) - len(kept) - refused
    return kept, wide_dropped, refused, one_way


def hex_lines(values: list, indent: str) -> list:
    return [indent + ", ".join("0x{:04X}".format(v) for v in values[i:i + VALUES_PER_LINE]) + ","
            for i in range(0, len(values), VALUES_PER_LINE)]


def render_page(page: CodePage, kept: dict) -> list:
    name = "cp{}".format(page.number)
    single = [NO_CHARACTER] * 256
    for sequence, c in kept.items():
        if sequence < 0x100:
            assert sequence not in page.rows
            single[sequence] = c
    out = ["const char16_t {}_single[256] = {{".format(name)]
    out += hex_lines(single, "    ")
    out.append("};")
    if not page.rows:
        return out

    leads = sorted(page.rows)
    assert len(leads) < 256
    lead_rows = [0] * 256
    for index, lead in enumerate(leads):
        lead_rows[lead] = index + 1
    out.append("const std::uint8_t {}_lead_rows[256] = {{".format(name))
    out += ["    " + ", ".join("0x{:02X}".format(v) for v in lead_rows[i:i + VALUES_PER_LINE]) + ","
            for i in range(0, 256, VALUES_PER_LINE)]
    out.append("};")
    out.append("const char16_t {}_rows[{} * 256] = {{".format(name, len(leads)))
    for lead in leads:
        row = [kept.get(lead << 8 | second, NO_CHARACTER) for second in range(256)]
        out.append("    // 0x{:02X}".format(lead))
        out += hex_lines(row, "    ")
    out.append("};")
    return out


def render(folder: str, log) -> str:
    out = [
        "// Generated by tools/generate_code_pages.py from the code-page files",
        "// /usr/share/wine/nls/c_N.nls of Debian 12's wine package (8.0). Do not",
        "// edit; run the generator instead.",
        "// clang-format off",
        "",
        '#include "code_page_tables.h"',
        "",
        "namespace sipcrypt {",
        "namespace {",
        "",
    ]
    entries = []
    for number in CODE_PAGES:
        page = read_code_page(os.path.join(folder, "c_{}.nls".format(number)), number)
        kept, wide_dropped, refused, one_way = exact_pairs(page)
        log.write("{:>5}: kept {:>5} pairs; dropped {:>3} wide-character entries as best fit "
                  "or one way, {:>5} byte sequences as refused, {:>3} as one way\n"
                  .format(number, len(kept), wide_dropped, refused, one_way))
        out += render_page(page, kept)
        out.append("")
        name = "cp{}".format(number)
        if page.rows:
            entries.append("    {{{}, {}_single, {}_lead_rows, {}_rows}},".format(number, name, name, name))
        else:
            entries.append("    {{{}, {}_single, nullptr, nullptr}},".format(number, name))
    out += [
        "}  // namespace",
        "",
        "const CodePageTable code_page_tables[] = {",
    ]
    out += entries
    out += [
        "};",
        "",
        "const std::size_t code_page_table_count = sizeof(code_page_tables) / sizeof(code_page_tables[0]);",
        "",
        "}  // namespace sipcrypt",
        "// clang-format on",
        "",
    ]
    return "\n".join(out)


def main() -> int:
    folder = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_FOLDER
    text = render(folder, sys.stderr)
    if len(sys.argv) > 2:
        with open(sys.argv[2], "w", encoding="ascii", newline="\n") as f:
            f.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
