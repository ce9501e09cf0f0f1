#include "accounts_command.h"

#include <CLI/CLI.hpp>
#include <system_error>

#include "account_table.h"
#include "cipher_command.h"
#include "csv_reader.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "io.h"
#include "output_sink.h"
#include "parse_errors.h"
#include "whole_output.h"

namespace sipcrypt::cli {

AccountsCommand::AccountsCommand(CLI::App& tool)
    : CipherCommand(tool, "accounts", "encrypt the SIP parameters of a CSV of accounts",
                    PasswordInput::Confirm::yes) {
    command()
        .add_option("-i,--input", input_path_,
                    "read the CSV from FILE (default, or '-': standard input)")
        ->type_name("FILE")
        ->check(file_name_check());
    command()
        .add_option("-o,--output", output_path_,
                    "write the CSV to FILE, which appears whole or not at all "
                    "(default, or '-': standard output)")
        ->type_name("FILE")
        ->check(file_name_check());
    command().footer(
        "The input is CSV (RFC 4180) whose header row names the columns login,\n"
        "password, proxy and outbound_proxy, in any order. The output is the same CSV\n"
        "with those four cells encrypted; other columns pass through, and empty cells\n"
        "stay empty. If any row is refused, each problem is reported with its row and\n"
        "column, nothing is written, and the exit status is 1.\n\n"
        "Examples:\n"
        "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n"
        "  sipcrypt accounts --password-env SIP_KEY < accounts.csv > encrypted.csv\n");
}

int AccountsCommand::step(Codec& codec) {
    int input = standard_input;
    const bool from_standard_input = input_path_.empty() || input_path_ == "-";
    const std::string input_name = from_standard_input ? "standard input" : input_path_;
    if (!from_standard_input) {
        if (const std::error_code error = open_for_reading(input_path_, input)) {
            report(input_name, error.message());
            return exit_refused;
        }
    }
    WholeOutput output(output_path_);
    if (output.error()) {
        report(output.destination(), output.failure() + ": " + output.error().message());
        if (input != standard_input) close_file(input);
        return exit_refused;
    }

    bool ok = true;
    {
        OutputSink sink(output.fd());
        AccountTable table(codec, sink);
        CsvPlace place;
        const std::error_code error = read_csv(
            input, [&](const CsvRecord& r) { table.add(r); }, place);
        if (error.category() == csv_category()) {
            const bool by_line = error == CsvError::lone_cr;
            report(input_name + ": " + (by_line ? "line " : "row ") +
                       std::to_string(by_line ? place.line : place.row),
                   error.message());
            ok = false;
        } else if (error) {
            report(input_name, error.message());
            ok = false;
        }
        // Only a whole input can be found empty or complete.
        ok = ok ? table.finish() : false;
        if (const std::error_code written = sink.flush()) {
            report(output.written_to(), written.message());
            ok = false;
        }
    }
    if (input != standard_input) close_file(input);
    if (!ok) {
        report({}, "nothing was written to " + output.destination());
        return exit_refused;
    }
    if (const std::error_code error = output.commit()) {
        report(output.destination(), output.failure() + ": " + error.message());
        return exit_refused;
    }
    return exit_done;
}

}  // namespace sipcrypt::cli
