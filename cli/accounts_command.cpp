#include <CLI/CLI.hpp>
#include <optional>

#include "account_table.h"
#include "command.h"
#include "csv_reader.h"
#include "diagnostics.h"
#include "input_error.h"
#include "io.h"
#include "output_sink.h"
#include "usage.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

// sipcrypt accounts: a CSV of accounts in, the same CSV with the four SIP
// parameters encrypted out; all rows or nothing.
class AccountsCommand : public CipherCommand {
  public:
    explicit AccountsCommand(CLI::App& tool)
        : CipherCommand(tool, "accounts", "encrypt the SIP parameters of a CSV of accounts",
                        PasswordInput::Confirm::yes) {
        command()
            .add_option("-i,--input", input_path_,
                        "read the CSV from FILE (default, or '-': standard input)")
            ->type_name("FILE")
            ->check(not_empty("file name ('-' is standard input)"));
        command()
            .add_option("-o,--output", output_path_,
                        "write the CSV to FILE, which appears whole or not at all "
                        "(default, or '-': standard output)")
            ->type_name("FILE")
            ->check(not_empty("file name ('-' is standard output)"));
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
    ~AccountsCommand() override {
        if (input_ != standard_input) close_file(input_);
    }

  private:
    bool open() override {
        if (!input_path_.empty() && input_path_ != "-") {
            input_name_ = input_path_;
            if (const std::error_code error = open_for_reading(input_path_, input_)) {
                input_ = standard_input;
                report(input_name_, error.message());
                return false;
            }
        }
        output_.emplace(output_path_);
        if (output_->problem().empty()) return true;
        report(output_->destination(), output_->problem());
        return false;
    }

    int step(Codec& codec) override {
        bool ok = true;
        {
            OutputSink sink(output_->fd());
            AccountTable table(codec, sink);
            CsvPlace place;
            const std::error_code error = read_csv(
                input_, [&](const CsvRecord& r) { table.add(r); }, place);
            if (error.category() == input_category()) {
                const bool by_line = error == InputError::lone_cr;
                report(input_name_ + ": " + (by_line ? "line " : "row ") +
                           std::to_string(by_line ? place.line : place.row),
                       error.message());
            } else if (error) {
                report(input_name_, error.message());
            }
            // Only a whole input can be found empty or complete.
            ok = !error && table.finish();
            ok = sink.finish(output_->spool_name()) && ok;
        }
        if (!ok) {
            report({}, "nothing was written to " + output_->destination());
            return exit_refused;
        }
        if (!output_->commit()) {
            report(output_->destination(), output_->problem());
            return exit_refused;
        }
        return exit_done;
    }

    std::string input_path_;
    std::string output_path_;
    std::string input_name_ = "standard input";
    int input_ = standard_input;
    std::optional<WholeOutput> output_;
};

}  // namespace

std::unique_ptr<Command> accounts_command(CLI::App& tool) {
    return std::make_unique<AccountsCommand>(tool);
}

}  // namespace sipcrypt::cli
