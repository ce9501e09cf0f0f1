#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "converter.h"

namespace sipcrypt {

// What an encoding's name means: the same on every platform, and what it
// means on Windows, where the decrypting program runs.
struct EncodingName {
    enum class Kind {
        other,       // not one of Windows' code pages: the system's converter may know it
        utf8,        // UTF-8
        code_page,   // one of Windows' code pages, with its table
        zero_bytes,  // UTF-16, UTF-32: plain text would hold zero bytes
        not_ascii,   // UTF-7, EBCDIC: plain text would not stay as it is
    };
    Kind kind = Kind::other;
    std::uint16_t code_page = 0;
};
EncodingName look_up_encoding(std::string_view name);

// What a name says of a file's form, for --input-encoding: UTF-16 in one
// byte order (UTF-16 and UNICODE are little-endian, as on Windows), UTF-32
// (which files of accounts are not read in), or neither.
enum class FileForm { other, utf16le, utf16be, utf32 };
FileForm file_form_of(std::string_view name);

// The names of the table's encodings, one line per code page, for
// --list-encodings.
std::string encoding_list();

// One of Windows' code pages from its generated table, exact both ways by
// construction; null for a number it has no table for.
std::unique_ptr<Converter> open_code_page(std::uint16_t number);

}  // namespace sipcrypt
