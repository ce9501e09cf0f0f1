#include <CLI/CLI.hpp>
#include <optional>

#include "account_table.h"
#include "command.h"
#include "core/converter.h"
#include "core/csv.h"
#include "core/encoding_choice.h"
#include "diagnostics.h"
#include "io.h"
#include "output_sink.h"
#include "usage.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

#ifdef _WIN32
constexpr const char* examples =
    "A file that is not UTF-8 and has no byte-order mark is read in the ANSI code\n"
    "page, as Excel writes it.\n\n"
    "Examples (cmd):\n"
    "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n"
    "  sipcrypt accounts --decrypt --password-file pw.txt -i encrypted.csv\n"
    "Examples (PowerShell):\n"
    "  Import-Csv accounts.csv | Export-Csv -NoTypeInformation plain.csv\n"
    "  sipcrypt accounts --password-env SIP_KEY -i plain.csv | ConvertFrom-Csv\n";
#else
constexpr const char* examples =
    "Examples:\n"
    "  sipcrypt accounts --password-file pw.txt -i accounts.csv -o encrypted.csv\n"
    "  sipcrypt accounts --decrypt --password-file pw.txt -i encrypted.csv\n"
    "  sipcrypt accounts --password-file pw.txt --input-encoding WINDOWS-1252 \\\n"
    "      -i excel.csv -o encrypted.csv\n";
#endif

struct DescriptorSource : accounts::ByteSource {
    int fd = standard_input;
    std::error_code read(char* buffer, std::size_t size, std::size_t& got) override {
        return read_some(fd, buffer, size, got);
    }
};

// sipcrypt accounts: a file of accounts in, the same file with the four SIP
// parameters encrypted (or decrypted) out; all rows or nothing.
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
        command().add_flag("--decrypt", decrypt_,
                           "decrypt the four columns instead, to check a file before handing it "
                           "over");
        command()
            .add_option("--delimiter", delimiter_,
                        "the separator between fields: ',', ';' or tab (default: the one with "
                        "which the header names the columns, or a first line sep=X)")
            ->type_name("SEPARATOR")
            ->check(CLI::Validator(
                [](const std::string& value) -> std::string {
                    return value == "," || value == ";" || value == "tab"
                               ? ""
                               : "'" + value + "' is no separator: give ',', ';' or tab";
                },
                ""));
        command()
            .add_option("--input-encoding", input_encoding_,
                        "the encoding of a file with no byte-order mark, if not UTF-8 (any name "
                        "--encoding takes); it is written back in it")
            ->type_name("NAME")
            ->check(not_empty("encoding name"));
        command().footer(
            "The input is CSV (RFC 4180), separated by commas, semicolons or tabs, whose\n"
            "header row names the columns login, password, proxy and outbound_proxy, in any\n"
            "order; a first line sep=X or #TYPE ... is kept. It is UTF-8, with or without a\n"
            "byte-order mark, or UTF-16 with one. The output is the same file, in the same\n"
            "shape (separator, quotes, line ends, byte-order mark, encoding), with those four\n"
            "cells encrypted; other columns pass through, and empty cells stay empty. If any\n"
            "row is refused, the problems are reported with row and column, nothing is\n"
            "written, and the exit status is 1.\n\n" +
            std::string(examples));
    }
    ~AccountsCommand() override {
        if (input_.fd != standard_input) close_file(input_.fd);
    }

  private:
    int open() override {
        if (decrypt_) confirm_ = PasswordInput::Confirm::no;
        if (!input_encoding_.empty()) {
            std::string problem;
            file_encoding_ = choose_encoding(input_encoding_, problem);
            if (!file_encoding_) {
                report("--input-encoding " + input_encoding_,
                       problem.substr(problem.find(": ") + 2));
                return exit_usage;
            }
        } else if (const std::uint16_t ansi = ansi_code_page(); ansi != 0) {
            // As Excel writes a CSV on Windows.
            fallback_ = TextEncoding::open("CP" + std::to_string(ansi));
        }
        if (!input_path_.empty() && input_path_ != "-") {
            input_name_ = input_path_;
            if (const std::error_code error = open_for_reading(input_path_, input_.fd)) {
                input_.fd = standard_input;
                report(input_name_, error.message());
                return exit_refused;
            }
        }
        output_.emplace(output_path_);
        if (output_->problem().empty()) return exit_done;
        report(output_->destination(), output_->problem());
        return exit_refused;
    }

    int step(Codec& codec) override {
        accounts::CsvOptions options;
        options.separator = delimiter_ == "tab" ? '\t' : delimiter_.empty() ? '\0' : delimiter_[0];
        options.header_names.assign(AccountTable::columns.begin(), AccountTable::columns.end());
        options.encoding = file_encoding_.get();
        options.fallback = fallback_.get();
        accounts::CsvReader reader(input_, options);
        bool ok = true;
        {
            OutputSink sink(output_->fd());
            AccountTable table(codec, decrypt_, reader.shape(), sink, output_->to_terminal());
            accounts::CsvRecord record;
            while (reader.next(record)) table.add(record);
            if (reader.error()) {
                report_reading(reader, table);
                ok = false;
            }
            // Only a whole input can be found empty or complete.
            ok = ok && table.finish();
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

    void report_reading(const accounts::CsvReader& reader, const AccountTable& table) const {
        const accounts::CsvPlace& place = reader.place();
        if (reader.error() != accounts::CsvError::not_text) {
            const bool placed = reader.error().category() == accounts::csv_category();
            report(input_name_ + (placed ? ": " + row_label(place.row, place.line) : ""),
                   reader.error().message());
            return;
        }
        using Form = accounts::CsvShape::Form;
        const accounts::CsvShape& shape = reader.shape();
        const bool utf16 = shape.form == Form::utf16le || shape.form == Form::utf16be;
        std::string what = "the file is not UTF-8";
        if (utf16) what = "the file is not UTF-16 text, though it begins with a mark for it";
        if (shape.form == Form::encoding)
            what = "the file is not text in " + shape.encoding->name();
        char byte[48];
        std::snprintf(byte, sizeof byte, ", byte 0x%02X at position %zu", place.outcome.byte,
                      place.outcome.position);
        // A guess worth making only when nothing said what the file is.
        const bool guess = shape.form == Form::utf8 && !shape.bom && input_encoding_.empty();
        report(input_name_, what + ": " + row_label(place.row, place.line) + ", column " +
                                table.column_name(place.column) +
                                (utf16 ? ", half a character or half a surrogate pair" : byte) +
                                " first, and " + std::to_string(place.rows_not_text) +
                                (place.rows_not_text == 1 ? " row" : " rows") + " in all" +
                                (guess ? "; saved in a Windows code page? try --input-encoding "
                                         "WINDOWS-1252"
                                       : ""));
    }

    std::string input_path_, output_path_, delimiter_, input_encoding_;
    std::string input_name_ = "standard input";
    bool decrypt_ = false;
    DescriptorSource input_;
    std::unique_ptr<TextEncoding> file_encoding_, fallback_;
    std::optional<WholeOutput> output_;
};

}  // namespace

std::unique_ptr<Command> accounts_command(CLI::App& tool) {
    return std::make_unique<AccountsCommand>(tool);
}

}  // namespace sipcrypt::cli
