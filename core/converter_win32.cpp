// The converter on Windows: the system's own code pages, through
// MultiByteToWideChar and WideCharToMultiByte, never best-fitting a
// character it cannot represent.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "cipher/secret_memory.h"
#include "converter.h"

namespace sipcrypt {

namespace {

constexpr std::size_t npos = Converter::npos;

// The forms of UTF-16 and UTF-32, which Windows converts only to and from
// its own UTF-16; known here so that they are refused for what they are.
enum class Form { code_page, utf16le, utf16be, utf32le, utf32be };

std::string normalised(std::string_view name) {
    std::string upper;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ') continue;
        upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return upper;
}

bool all_digits(std::string_view text) {
    return !text.empty() && text.size() < 6 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The code page a name stands for, or 0.
UINT code_page_of(const std::string& name) {
    struct Alias {
        const char* name;
        UINT code_page;
    };
    static constexpr Alias aliases[] = {
        {"ASCII", 20127},    {"USASCII", 20127},   {"LATIN1", 28591},    {"SHIFTJIS", 932},
        {"SJIS", 932},       {"EUCJP", 20932},     {"EUCKR", 51949},     {"GBK", 936},
        {"GB2312", 936},     {"GB18030", 54936},   {"BIG5", 950},        {"KOI8R", 20866},
        {"KOI8U", 21866},    {"ISO2022JP", 50220}, {"UTF7", 65000},      {"MACINTOSH", 10000},
        {"MACROMAN", 10000}, {"ISO885913", 28603}, {"ISO885915", 28605},
    };
    for (const Alias& alias : aliases) {
        if (name == alias.name) return alias.code_page;
    }
    for (const std::string_view prefix : {"WINDOWS", "CP", "IBM", "MS", ""}) {
        if (name.compare(0, prefix.size(), prefix) == 0 && all_digits(name.substr(prefix.size()))) {
            return static_cast<UINT>(std::stoul(name.substr(prefix.size())));
        }
    }
    if (name.compare(0, 7, "ISO8859") == 0 && all_digits(name.substr(7))) {
        const unsigned part = static_cast<unsigned>(std::stoul(name.substr(7)));
        if (part >= 1 && part <= 9) return 28590 + part;
    }
    return 0;
}

// The code pages that take neither flag: best fit cannot be turned off for
// them, so only the way back (TextEncoding's round trip) can tell.
bool takes_flags(UINT code_page) {
    return !(code_page == 42 || code_page == 65000 || code_page == 54936 ||
             (code_page >= 50220 && code_page <= 50229) ||
             (code_page >= 57002 && code_page <= 57011));
}

bool to_wide(UINT code_page, std::string_view in, std::wstring& out, bool strict) {
    out.clear();
    if (in.empty()) return true;
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int length =
        MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (length <= 0) return false;
    out.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()), out.data(),
                               length) == length;
}

bool from_wide(UINT code_page, std::wstring_view in, SecretBytes& out, bool strict) {
    out.clear();
    if (in.empty()) return true;
    BOOL used_default = FALSE;
    // UTF-8 has no default character: it refuses broken UTF-16 instead.
    const bool utf8 = code_page == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : strict ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL* replaced = strict && !utf8 ? &used_default : nullptr;
    const int length = WideCharToMultiByte(code_page, flags, in.data(), static_cast<int>(in.size()),
                                           nullptr, 0, nullptr, replaced);
    if (length <= 0 || used_default) return false;
    out.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(code_page, flags, in.data(), static_cast<int>(in.size()), out.data(),
                               length, nullptr, replaced) == length &&
           !used_default;
}

std::size_t character_length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

struct Converter::Tables {
    Form form = Form::code_page;
    UINT code_page = 0;

    // UTF-8 to bytes, all or nothing.
    bool encode(std::string_view utf8, SecretBytes& out) const {
        std::wstring wide;
        if (!to_wide(CP_UTF8, utf8, wide, true)) return false;
        bool done = true;
        switch (form) {
            case Form::code_page:
                done = from_wide(code_page, wide, out, takes_flags(code_page));
                break;
            case Form::utf16le:
            case Form::utf16be:
                out.clear();
                for (const wchar_t unit : wide) {
                    const auto u = static_cast<unsigned>(unit);
                    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
                    out.push_back(form == Form::utf16le ? low : high);
                    out.push_back(form == Form::utf16le ? high : low);
                }
                break;
            case Form::utf32le:
            case Form::utf32be:
                out.clear();
                for (std::size_t i = 0; i < wide.size(); ++i) {
                    char32_t c = static_cast<char32_t>(wide[i]);
                    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
                        c = 0x10000 + ((c - 0xD800) << 10) +
                            (static_cast<char32_t>(wide[++i]) - 0xDC00);
                    }
                    for (int k = 0; k < 4; ++k) {
                        const int shift = form == Form::utf32le ? 8 * k : 8 * (3 - k);
                        out.push_back(static_cast<char>((c >> shift) & 0xFF));
                    }
                }
                break;
        }
        secure_wipe(wide.data(), wide.size() * sizeof(wchar_t));
        return done;
    }

    // Bytes to UTF-8, all or nothing.
    bool decode(std::string_view bytes, SecretBytes& out) const {
        if (form != Form::code_page) return false;  // refused before any use
        std::wstring wide;
        const bool done = to_wide(code_page, bytes, wide, takes_flags(code_page)) &&
                          from_wide(CP_UTF8, wide, out, true);
        secure_wipe(wide.data(), wide.size() * sizeof(wchar_t));
        return done;
    }
};

std::unique_ptr<Converter> Converter::open(std::string_view name) {
    const std::string key = normalised(name);
    auto tables = std::make_unique<Tables>();
    if (key == "UTF16" || key == "UTF16LE" || key == "UCS2" || key == "UCS2LE" ||
        key == "UNICODE") {
        tables->form = Form::utf16le;
    } else if (key == "UTF16BE" || key == "UCS2BE") {
        tables->form = Form::utf16be;
    } else if (key == "UTF32" || key == "UTF32LE" || key == "UCS4" || key == "UCS4LE") {
        tables->form = Form::utf32le;
    } else if (key == "UTF32BE" || key == "UCS4BE") {
        tables->form = Form::utf32be;
    } else {
        tables->code_page = code_page_of(key);
        if (tables->code_page == 0 || !IsValidCodePage(tables->code_page)) return nullptr;
    }
    return std::unique_ptr<Converter>(new Converter(std::move(tables)));
}

Converter::Converter(std::unique_ptr<Tables> tables) : tables_(std::move(tables)) {}

Converter::~Converter() = default;

// Windows converts all or nothing, and says nothing of where it stopped: the
// place is found one character at a time.
std::size_t Converter::from_utf8(std::string_view in, SecretBytes& out) {
    if (tables_->encode(in, out)) return npos;
    SecretBytes part;
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t length = character_length(static_cast<unsigned char>(in[i]));
        if (!tables_->encode(in.substr(i, length), part)) return i;
        out.insert(out.end(), part.begin(), part.end());
        i += length;
    }
    return in.empty() ? npos : in.size() - 1;
}

std::size_t Converter::to_utf8(std::string_view in, SecretBytes& out) {
    if (tables_->decode(in, out)) return npos;
    // The longest start that converts; the byte after it is where it stops.
    std::size_t good = 0;
    for (std::size_t length = 1; length <= in.size(); ++length) {
        if (tables_->decode(in.substr(0, length), out)) good = length;
    }
    tables_->decode(in.substr(0, good), out);
    return good < in.size() ? good : in.size() - 1;
}

std::string system_encoding_name() {
    const UINT code_page = GetACP();
    return code_page == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(code_page);
}

std::string_view encoding_names_hint() {
    return "Windows code pages such as WINDOWS-1252, CP1252, 1252, CP932 or UTF-8";
}

}  // namespace sipcrypt
