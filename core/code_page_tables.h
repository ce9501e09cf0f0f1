#pragma once

#include <cstddef>
#include <cstdint>

namespace sipcrypt {

// Windows' code pages as generated data (tools/generate_code_pages.py): for
// each, only the pairs of bytes and character that Windows converts both
// ways, each into the other. Best-fit mappings, bytes Windows refuses and
// either side of a one-way mapping are left out, so a lookup in either
// direction is exact by construction.
struct CodePageTable {
    std::uint16_t number;  // Windows' code page number, 1252 say
    // By byte: the character (a UTF-16 code unit; Windows' code pages hold
    // only the Basic Multilingual Plane), or no_character: unmapped, or a
    // lead byte of a double-byte page.
    const char16_t* single;
    // Double-byte pages only, else null: by first byte, 0 when it leads no
    // pair, else 1 + the index of its row of 256 in `rows`, which maps the
    // second byte as `single` maps a byte.
    const std::uint8_t* lead_rows;
    const char16_t* rows;
};

inline constexpr char16_t no_character = 0xFFFF;

extern const CodePageTable code_page_tables[];
extern const std::size_t code_page_table_count;

}  // namespace sipcrypt
