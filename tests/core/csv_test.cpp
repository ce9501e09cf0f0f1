// Files of accounts at the level of their reader and writer: bytes in, in
// pieces of a given size; records, quoting, line ends and refusals out.
#include "core/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/messages.h"

namespace sipcrypt::accounts {
namespace {

struct Pieces : ByteSource {
    std::string_view data;
    std::size_t piece;
    Outcome read(char* buffer, std::size_t size, std::size_t& got) override {
        got = std::min({size, piece, data.size()});
        std::memcpy(buffer, data.data(), got);
        data.remove_prefix(got);
        return {};
    }
};

const std::string header = "login,password,proxy,outbound_proxy";
const std::string head = "1:1|login|password|proxy|outbound_proxy|LF\n";

std::string utf16le(std::string_view ascii) {
    std::string bytes;
    for (const char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

// Each record as "row:line" and its fields, quoted ones in quotes, then its
// line end; a failure as its message; the shape's separator, form and
// first line after all.
std::string read_all(const std::string& bytes, std::size_t piece, CsvOptions options) {
    options.header_names.assign({"login", "password", "proxy", "outbound_proxy"});
    Pieces source;
    source.data = bytes;
    source.piece = piece;
    CsvReader reader(source, options);
    CsvRecord record;
    std::string all;
    while (reader.next(record)) {
        all += std::to_string(record.row) + ":" + std::to_string(record.line);
        for (std::size_t i = 0; i < record.fields.size(); ++i) {
            const std::string field(record.fields[i]);
            all += "|" + (record.quoted[i] ? '"' + field + '"' : field);
        }
        all += record.line_end == "\r\n" ? "|CRLF\n" : record.line_end == "\n" ? "|LF\n" : "|-\n";
    }
    if (!reader.error().ok()) return all + message(reader.error());
    const CsvShape& shape = reader.shape();
    const char* forms[] = {"utf8", "utf16le", "utf16be", "encoding"};
    return all + "sep" + std::string(1, shape.separator) + " " +
           forms[static_cast<int>(shape.form)] + (shape.bom ? "+bom" : "") +
           (shape.preamble.empty() ? "" : " [" + shape.preamble + "]");
}

TEST(CsvReader, ReadsRecordsInAnyPiecesAndRefusesWhatIsBroken) {
    CsvOptions tsv;
    tsv.backslash_escapes = true;
    CsvOptions comma;
    comma.separator = ',';
    CsvOptions utf16be;
    utf16be.utf16 = ByteOrder::big;
    const std::string quote_at_boundary =
        header + "\n\"" + std::string(65536 - header.size() - 2, 'x') + "\"\"y\",,,\n";
    struct Case {
        std::string name, bytes;
        std::string expected;
        CsvOptions options = {};
    };
    const Case cases[] = {
        {"quotes, separators and line breaks in cells", header + "\r\n\"a,\"\"b\"\"\nc\",,\"\",d",
         "1:1|login|password|proxy|outbound_proxy|CRLF\n2:2|\"a,\"b\"\nc\"||\"\"|d|-\nsep, utf8"},
        {"the last line end kept as it came, blank lines counted", header + "\n\na,b,c,d\r\n\r\n",
         "1:1|login|password|proxy|outbound_proxy|LF\n3:3|a|b|c|d|CRLF\nsep, utf8"},
        {"semicolons, from the header",
         "name;" + std::string("login;password;proxy;outbound_proxy") + "\nx;1;2;3;4\n",
         "1:1|name|login|password|proxy|outbound_proxy|LF\n2:2|x|1|2|3|4|LF\nsep; utf8"},
        {"sep= decides, and counts as a line", "sep=;\n" + header + ";x\n\"a\";\"b\n",
         "1:2|login,password,proxy,outbound_proxy|x|LF\nrow 2 (line 3): a quoted field is not "
         "closed before the end of the input"},
        {"sep= kept although the header has commas", "sep=;\n" + header + "\na,b,c,d\n",
         "1:2|login,password,proxy,outbound_proxy|LF\n2:3|a,b,c,d|LF\nsep; utf8 [sep=;\n]"},
        {"#TYPE before the header", "#TYPE X\r\n" + header + "\r\n",
         "1:2|login|password|proxy|outbound_proxy|CRLF\nsep, utf8 [#TYPE X\r\n]"},
        {"--delimiter against sep=", "sep=;\n" + header + "\n",
         "line 1: --delimiter says ,, but the file's first line says sep=;", comma},
        {"two separators that would both do",
         header + ",x;" + "login;password;proxy;outbound_proxy\n",
         "row 1: the header names the columns whether it is read with commas, semicolons or tabs "
         "between them; say which with --delimiter"},
        {"text after a closing quote", header + "\n\"d\"x,,,\n",
         head + "row 2, column 'login': broken quoting: a quote inside an unquoted field, or text "
                "after a closing quote"},
        {"a quote inside an unquoted field", header + "\na,p\"w,c,d\n",
         head +
             "row 2, column 'password': broken quoting: a quote inside an unquoted field, or text "
             "after a closing quote"},
        {"a lone CR", header + "\na\rb,,,\n",
         head + "row 2: a carriage return (CR) that is not part of a line end; lines end in LF or "
                "CRLF"},
        {"a CR that ends the input", header + "\r",
         "row 1: a carriage return (CR) that is not part of a line end; lines end in LF or CRLF"},
        {"an unquoted field over the limit", header + "\n" + std::string(65537, 'x') + ",,,\n",
         head + "row 2: a field is longer than 65536 bytes; is a quote left open?"},
        {"a quoted field over the limit", header + "\n\"" + std::string(65537, 'x'),
         head + "row 2: a field is longer than 65536 bytes; is a quote left open?"},
        {"a doubled quote split between two reads", quote_at_boundary,
         "1:1|login|password|proxy|outbound_proxy|LF\n2:2|\"" +
             std::string(65536 - header.size() - 2, 'x') + "\"y\"||||LF\nsep, utf8"},
        {"a row of many fields, read once", header + "\n" + std::string(8 << 20, ','),
         "1:1|login|password|proxy|outbound_proxy|LF\nrow 2: the row has more than 16384 fields"},
        {"a header of many fields", std::string(8 << 20, ','),
         "row 1: the row is longer than 1048576 bytes"},
        {"not UTF-8", header + "\n\xFC,,,\nok,,,\n\xE9,,,\n",
         "1:1|login|password|proxy|outbound_proxy|LF\nthe file is not UTF-8: row 2, column "
         "'login', byte 0xFC at position 1 first, and 2 rows in all"},
        {"UTF-16 with its mark", "\xFF\xFE" + utf16le(header + "\r\na,\xE9,,\r\n"),
         "1:1|login|password|proxy|outbound_proxy|CRLF\n2:2|a|\xC3\xA9|||CRLF\nsep, utf16le+bom"},
        {"UTF-16 without a mark, found from the header", utf16le(header + "\nx,,,\n"),
         "1:1|login|password|proxy|outbound_proxy|LF\n2:2|x||||LF\nsep, utf16le"},
        {"UTF-16 big-endian, named", std::string("\0l\0o\0g\0i\0n\0\n\0x\0\n", 16),
         "1:1|login|LF\n2:2|x|LF\nsep, utf16be", utf16be},
        {"UTF-16 that ends in half a surrogate pair",
         "\xFF\xFE" + utf16le(header + "\nx,,,") + "\x3D\xD8",
         "1:1|login|password|proxy|outbound_proxy|LF\nthe file is not UTF-16 text, though it "
         "begins with a mark for it: row 2, column 'outbound_proxy', half a character or half a "
         "surrogate pair first, and 1 row in all"},
        {"UTF-16 cut after its last CR", "\xFF\xFE" + utf16le(header + "\r") + "\n",
         "the file is UTF-16 and ends in half a character: was it cut short?"},
        {"UTF-32 with its mark", std::string("\xFF\xFE\0\0l\0\0\0", 8),
         "the file is UTF-32, which is not read here: save it as UTF-8 or UTF-16"},
        {"UTF-32 without one", std::string("l\0\0\0o\0\0\0g\0\0\0", 12),
         "the file is UTF-32, which is not read here: save it as UTF-8 or UTF-16"},
        {"backslash escapes are fields' own, quotes too",
         "login\tpassword\tproxy\toutbound_proxy\n\"a\\tb\"\t\\\\\t\t\n",
         "1:1|login|password|proxy|outbound_proxy|LF\n2:2|\"a\\tb\"|\\\\|||LF\nsep\t utf8", tsv},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
            if (piece == 1 && c.bytes.size() > 200000) continue;
            EXPECT_EQ(read_all(c.bytes, piece, c.options), c.expected) << c.name << ", " << piece;
        }
    }
}

TEST(CsvWriter, QuotesWhatMustBeAndWritesTheFilesOwnForm) {
    struct Case {
        const CsvShape* shape;
        std::vector<std::string_view> fields;
        std::vector<bool> quoted;
        std::string expected;
    };
    const CsvShape plain;
    CsvShape utf16;
    utf16.form = CsvShape::Form::utf16le;
    CsvShape tsv;
    tsv.separator = '\t';
    tsv.backslash_escapes = true;
    const Case cases[] = {
        {&plain,
         {"pa\"ss", "a,b", "x", "line\nbreak"},
         {false, false, true, false},
         "\"pa\"\"ss\",\"a,b\",\"x\",\"line\nbreak\"\n"},
        {&utf16,
         {"\xF0\x9F\x98\x80", "a"},
         {false, false},
         std::string("\x3D\xD8\x00\xDE,\0a\0\n\0", 10)},
        {&tsv, {"a\\tb", "\"q\""}, {false, false}, "a\\tb\t\"q\"\n"},
    };
    for (const auto& c : cases) {
        CsvWriter writer(*c.shape);
        SecretBytes out;
        std::size_t column = 0;
        EXPECT_TRUE(writer.record(c.fields, c.quoted, "\n", out, column).ok());
        EXPECT_EQ(std::string(out.begin(), out.end()), c.expected);
    }
    SecretBytes out;
    unescape_backslashes("t\\tn\\nr\\rb\\\\q\\q", out);
    EXPECT_EQ(std::string(out.begin(), out.end()), "t\tn\nr\rb\\q\\q");
    escape_backslashes("t\tn\nr\rb\\", out);
    EXPECT_EQ(std::string(out.begin(), out.end()), "t\\tn\\nr\\rb\\\\");
}

}  // namespace
}  // namespace sipcrypt::accounts
