#include "code_pages.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "code_page_tables.h"
#include "unicode.h"

namespace sipcrypt {

namespace {

// Names as Windows knows them: its code pages' own, and the MIME database's
// charsets with the code page it converts them by (so ISO-8859-1 is 1252,
// ISO-8859-9 is 1254, GBK 936, EUC-KR 949). One exception: the names of
// ASCII mean ASCII (20127), not 1252: whoever names ASCII wants anything
// else refused. Each code page's number also serves, bare or after CP,
// WINDOWS or MS.
struct Alias {
    std::string_view name;
    std::uint16_t code_page;
};
constexpr std::uint16_t utf8_page = 65001;
constexpr Alias aliases[] = {
    {"UTF-8", utf8_page},
    {"UNICODE-1-1-UTF-8", utf8_page},
    {"UNICODE-2-0-UTF-8", utf8_page},
    {"X-UNICODE-2-0-UTF-8", utf8_page},
    {"WINDOWS-874", 874},
    {"ISO-8859-11", 874},
    {"DOS-874", 874},
    {"SHIFT_JIS", 932},
    {"SJIS", 932},
    {"WINDOWS-31J", 932},
    {"MS_KANJI", 932},
    {"X-SJIS", 932},
    {"X-MS-CP932", 932},
    {"CSSHIFTJIS", 932},
    {"CSWINDOWS31J", 932},
    {"GBK", 936},
    {"GB2312", 936},
    {"GB_2312-80", 936},
    {"CN-GB", 936},
    {"CHINESE", 936},
    {"ISO-IR-58", 936},
    {"CSGB2312", 936},
    {"CSISO58GB231280", 936},
    {"EUC-KR", 949},
    {"KS_C_5601-1987", 949},
    {"KS_C_5601-1989", 949},
    {"KS_C_5601", 949},
    {"KSC5601", 949},
    {"KOREAN", 949},
    {"ISO-IR-149", 949},
    {"UHC", 949},
    {"CSEUCKR", 949},
    {"CSKSC56011987", 949},
    {"BIG5", 950},
    {"X-X-BIG5", 950},
    {"CSBIG5", 950},
    {"WINDOWS-1250", 1250},
    {"X-CP1250", 1250},
    {"WINDOWS-1251", 1251},
    {"X-CP1251", 1251},
    {"WINDOWS-1252", 1252},
    {"ISO-8859-1", 1252},
    {"LATIN1", 1252},
    {"L1", 1252},
    {"ISO_8859-1:1987", 1252},
    {"ISO-IR-100", 1252},
    {"IBM819", 1252},
    {"CP819", 1252},
    {"CSISOLATIN1", 1252},
    {"X-ANSI", 1252},
    {"WINDOWS-1253", 1253},
    {"WINDOWS-1254", 1254},
    {"ISO-8859-9", 1254},
    {"LATIN5", 1254},
    {"L5", 1254},
    {"ISO_8859-9:1989", 1254},
    {"ISO-IR-148", 1254},
    {"CSISOLATIN5", 1254},
    {"WINDOWS-1255", 1255},
    {"LOGICAL", 1255},
    {"WINDOWS-1256", 1256},
    {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258},
    {"US-ASCII", 20127},
    {"ASCII", 20127},
    {"ANSI_X3.4-1968", 20127},
    {"ANSI_X3.4-1986", 20127},
    {"ISO646-US", 20127},
    {"ISO_646.IRV:1991", 20127},
    {"ISO-IR-6", 20127},
    {"IBM367", 20127},
    {"CP367", 20127},
    {"US", 20127},
    {"CSASCII", 20127},
    {"KOI8-R", 20866},
    {"KOI", 20866},
    {"CSKOI8R", 20866},
    {"KOI8-U", 21866},
    {"KOI8-RU", 21866},
    {"ISO-8859-2", 28592},
    {"LATIN2", 28592},
    {"L2", 28592},
    {"ISO_8859-2:1987", 28592},
    {"ISO-IR-101", 28592},
    {"CSISOLATIN2", 28592},
    {"ISO-8859-3", 28593},
    {"LATIN3", 28593},
    {"ISO-8859-4", 28594},
    {"LATIN4", 28594},
    {"L4", 28594},
    {"ISO_8859-4:1988", 28594},
    {"ISO-IR-110", 28594},
    {"CSISOLATIN4", 28594},
    {"ISO-8859-5", 28595},
    {"CYRILLIC", 28595},
    {"ISO_8859-5:1988", 28595},
    {"ISO-IR-144", 28595},
    {"CSISOLATINCYRILLIC", 28595},
    {"ISO-8859-6", 28596},
    {"ARABIC", 28596},
    {"ECMA-114", 28596},
    {"ISO_8859-6:1987", 28596},
    {"ISO-IR-127", 28596},
    {"CSISOLATINARABIC", 28596},
    {"ISO-8859-7", 28597},
    {"GREEK", 28597},
    {"GREEK8", 28597},
    {"ECMA-118", 28597},
    {"ELOT_928", 28597},
    {"ISO_8859-7:1987", 28597},
    {"ISO-IR-126", 28597},
    {"CSISOLATINGREEK", 28597},
    {"ISO-8859-8", 28598},
    {"HEBREW", 28598},
    {"VISUAL", 28598},
    {"ISO_8859-8:1988", 28598},
    {"ISO-IR-138", 28598},
    {"CSISOLATINHEBREW", 28598},
    {"ISO-8859-13", 28603},
    {"LATIN7", 28603},
    {"ISO-8859-15", 28605},
    {"LATIN9", 28605},
};

// Encodings that write ASCII otherwise, by name and by Windows' number.
constexpr std::string_view zero_byte_names[] = {"UTF16", "UTF32", "UCS2", "UCS4", "UNICODE"};
constexpr std::uint16_t zero_byte_pages[] = {1200, 1201, 12000, 12001};
constexpr std::string_view changing_names[] = {"UTF7", "CSUNICODE11UTF7", "UNICODE11UTF7",
                                               "XUNICODE20UTF7", "EBCDIC"};
constexpr std::uint16_t ebcdic_pages[] = {
    37,    500,   870,   875,   1026,  1047,  1140,  1141,  1142,  1143,  1144,  1145,
    1146,  1147,  1148,  1149,  20273, 20277, 20278, 20280, 20284, 20285, 20290, 20297,
    20420, 20423, 20424, 20833, 20838, 20871, 20880, 20905, 20924, 21025, 21027, 65000};

// Case and everything but letters and digits make no difference.
std::string key_of(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c >= 'a' && c <= 'z') key += static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) key += c;
    }
    return key;
}

const CodePageTable* table_of(std::uint16_t number) {
    const auto* end = code_page_tables + code_page_table_count;
    const auto* found = std::find_if(
        code_page_tables, end, [&](const CodePageTable& table) { return table.number == number; });
    return found == end ? nullptr : found;
}

EncodingName by_number(unsigned long number) {
    using Kind = EncodingName::Kind;
    const auto in = [&](const auto& list) {
        return std::find(std::begin(list), std::end(list), number) != std::end(list);
    };
    if (number == utf8_page) return {Kind::utf8, utf8_page};
    if (number <= 0xFFFF && table_of(static_cast<std::uint16_t>(number)) != nullptr) {
        return {Kind::code_page, static_cast<std::uint16_t>(number)};
    }
    if (in(zero_byte_pages)) return {Kind::zero_bytes, 0};
    if (in(ebcdic_pages)) return {Kind::not_ascii, 0};
    return {};
}

// Characters and bytes of one code page, each the other's, nothing else.
class CodePage final : public Converter {
  public:
    explicit CodePage(const CodePageTable& table) : table_(table), bytes_of_(0x10000, none) {
        for (unsigned first = 0; first < 256; ++first) {
            if (table.single[first] != no_character) bytes_of_[table.single[first]] = first;
            for (unsigned second = 0; second < 256 && lead(first); ++second) {
                const char16_t c = row_of(first)[second];
                if (c != no_character)
                    bytes_of_[c] = static_cast<std::uint16_t>(first << 8 | second);
            }
        }
    }

    bool exact() const noexcept override { return true; }

    std::size_t from_utf8(std::string_view in, SecretBytes& out) override {
        // No character takes more bytes here than in UTF-8.
        out.resize(in.size());
        const auto* s = reinterpret_cast<const unsigned char*>(in.data());
        const std::size_t size = in.size();
        char* const to = out.data();
        std::size_t n = 0;
        for (std::size_t i = 0; i < size;) {
            // ASCII is itself on every page here (the generator checks), and
            // most text is ASCII: its runs are copied whole.
            const std::size_t end = ascii_run_end(s, i, size);
            std::memcpy(to + n, s + i, end - i);
            n += end - i;
            i = end;
            if (i == size) break;
            const std::size_t length = utf8_length(s[i]);
            const char32_t c = utf8_character(s + i, length);
            const std::uint16_t bytes = c < 0x10000 ? bytes_of_[c] : none;
            if (bytes == none) {
                out.resize(n);
                return i;
            }
            if (bytes > 0xFF) to[n++] = static_cast<char>(bytes >> 8);
            to[n++] = static_cast<char>(bytes & 0xFF);
            i += length;
        }
        out.resize(n);
        return npos;
    }

    std::size_t to_utf8(std::string_view in, SecretBytes& out) override {
        out.resize(in.size() * 3);
        const auto* s = reinterpret_cast<const unsigned char*>(in.data());
        std::size_t n = 0;
        for (std::size_t i = 0; i < in.size();) {
            const bool pair = lead(s[i]);
            const char16_t c = !pair               ? table_.single[s[i]]
                               : i + 1 < in.size() ? row_of(s[i])[s[i + 1]]
                                                   : no_character;
            if (c == no_character) {
                out.resize(n);
                return i;
            }
            char* to = out.data() + n;
            put_utf8(c, to);
            n = static_cast<std::size_t>(to - out.data());
            i += pair ? 2 : 1;
        }
        out.resize(n);
        return npos;
    }

  private:
    static constexpr std::uint16_t none = 0xFFFF;  // no lead byte is 0xFF

    bool lead(unsigned byte) const { return table_.lead_rows && table_.lead_rows[byte] != 0; }
    const char16_t* row_of(unsigned byte) const {
        return table_.rows + 256 * static_cast<std::size_t>(table_.lead_rows[byte] - 1);
    }

    const CodePageTable& table_;
    std::vector<std::uint16_t> bytes_of_;  // by character: a byte, or lead << 8 | second
};

}  // namespace

EncodingName look_up_encoding(std::string_view name) {
    using Kind = EncodingName::Kind;
    const std::string key = key_of(name);
    for (const Alias& alias : aliases) {
        if (key_of(alias.name) == key) return by_number(alias.code_page);
    }
    for (const std::string_view prefix : {"", "CP", "WINDOWS", "MS", "IBM"}) {
        const std::string digits = key.substr(std::min(prefix.size(), key.size()));
        if (key.compare(0, prefix.size(), prefix) == 0 && !digits.empty() && digits.size() < 6 &&
            digits.find_first_not_of("0123456789") == std::string::npos) {
            return by_number(std::stoul(digits));
        }
    }
    for (const std::string_view prefix : changing_names) {
        if (key.compare(0, prefix.size(), prefix) == 0) return {Kind::not_ascii, 0};
    }
    for (const std::string_view prefix : zero_byte_names) {
        if (key.compare(0, prefix.size(), prefix) == 0) return {Kind::zero_bytes, 0};
    }
    return {};
}

FileForm file_form_of(std::string_view name) {
    const std::string key = key_of(name);
    if (key == "UTF16LE" || key == "UTF16" || key == "UNICODE" || key == "UCS2LE" ||
        key == "CP1200" || key == "1200") {
        return FileForm::utf16le;
    }
    if (key == "UTF16BE" || key == "UNICODEFFFE" || key == "UCS2BE" || key == "CP1201" ||
        key == "1201") {
        return FileForm::utf16be;
    }
    if (key.compare(0, 5, "UTF32") == 0 || key.compare(0, 4, "UCS4") == 0) return FileForm::utf32;
    return FileForm::other;
}

std::string encoding_list() {
    std::string list;
    const auto line = [&](std::uint16_t page) {
        list.append(std::to_string(page)).append(":");
        const std::size_t named = list.size();
        for (const Alias& alias : aliases) {
            if (alias.code_page == page) list.append(" ").append(alias.name);
        }
        // Its ISO name stands for a Windows page on Windows: only the number is left.
        if (list.size() == named) list.append(" CP").append(std::to_string(page));
        list.append("\n");
    };
    line(utf8_page);
    for (std::size_t i = 0; i < code_page_table_count; ++i) line(code_page_tables[i].number);
    return list;
}

std::unique_ptr<Converter> open_code_page(std::uint16_t number) {
    const CodePageTable* table = table_of(number);
    return table == nullptr ? nullptr : std::make_unique<CodePage>(*table);
}

}  // namespace sipcrypt
