#include "cipher_command.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string_view>
#include <system_error>

#include "cipher/secret_memory.h"
#include "core/converter.h"
#include "core/limits.h"
#include "core/outcome.h"
#include "core/text_encoding.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "input_error.h"
#include "password_input.h"

namespace sipcrypt::cli {

CipherCommand::CipherCommand(CLI::App& tool, const std::string& name,
                             const std::string& description, PasswordInput::Confirm confirm)
    : command_(tool.add_subcommand(name, description)), confirm_(confirm) {
    password_.add_options(*command_);
    encoding_name_ = system_encoding_name();
    command_
        ->add_option("--encoding", encoding_name_,
                     "the encoding the decrypting program reads (for example WINDOWS-1252; " +
                         std::string(encoding_names_hint()) + ")")
        ->type_name("NAME")
        ->capture_default_str();
}

bool CipherCommand::chosen() const {
    return command_->parsed();
}

int CipherCommand::run() {
    EncodingRefusal why{};
    const auto codec = Codec::open(encoding_name_, &why);
    if (!codec) {
        report("--encoding " + encoding_name_, describe(why));
        return exit_usage;
    }
    SecretBytes password;
    std::string where;
    if (const std::error_code error = password_.read(password, confirm_, where)) {
        report(where, error.message());
        return exit_status_for(error);
    }
    if (const Outcome keyed = codec->set_password({password.data(), password.size()});
        !keyed.ok()) {
        report("password", describe(keyed));
        return exit_refused;
    }
    if (codec->password_cut_short()) {
        const std::string limit = std::to_string(password_key_length);
        warn("the password is longer than " + limit + " bytes; only its first " + limit +
             " bytes count");
    }
    return step(*codec);
}

}  // namespace sipcrypt::cli
