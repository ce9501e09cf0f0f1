#include "encoding_option.h"

#include <CLI/CLI.hpp>

#include "diagnostics.h"

namespace sipcrypt::cli {

void add_encoding_option(CLI::App& command, std::string& name) {
    name = std::string(TextEncoding::default_name);
    command
        .add_option("--encoding", name,
                    "the encoding the decrypting program reads, as iconv names it "
                    "(for example WINDOWS-1252)")
        ->type_name("NAME")
        ->capture_default_str();
}

std::unique_ptr<TextEncoding> open_encoding(const std::string& name) {
    EncodingRefusal why;
    auto encoding = TextEncoding::open(name, &why);
    if (!encoding) report("--encoding " + name, describe(why));
    return encoding;
}

}  // namespace sipcrypt::cli
