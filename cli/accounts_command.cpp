#include <algorithm>
#include <optional>

#include "command.h"
#include "core/accounts.h"
#include "core/code_pages.h"
#include "core/csv.h"
#include "core/escape.h"
#include "core/messages.h"
#include "core/system.h"
#include "io.h"
#include "whole_output.h"

namespace sipcrypt::cli {

namespace {

struct DescriptorSource : accounts::ByteSource {
    int fd = standard_input;
    Outcome read(char* buffer, std::size_t size, std::size_t& got) override {
        return read_some(fd, buffer, size, got);
    }
};

CLI::Validator one_of(std::vector<std::string> names, Code refusal) {
    return {[names, refusal](const std::string& value) {
                if (std::find(names.begin(), names.end(), value) != names.end())
                    return std::string();
                return message(Outcome::quoting(refusal, escaped(value)));
            },
            ""};
}

// sipcrypt accounts: a file of accounts in, the same file with the four SIP
// parameters encrypted (or decrypted) out; all rows or nothing.
class AccountsCommand : public Command {
  public:
    explicit AccountsCommand(CLI::App& tool)
        : Command(tool, "accounts", "encrypt the SIP parameters of a CSV of accounts",
                  PasswordInput::Confirm::yes, true) {
        command().add_flag("--decrypt", decrypt_,
                           "decrypt the four columns instead, to check a file before handing it "
                           "over");
        auto* delimiter =
            command()
                .add_option("--delimiter", delimiter_,
                            "the separator between fields: ',', ';' or tab (default: the one with "
                            "which the header names the columns, or a first line sep=X)")
                ->type_name("SEPARATOR")
                ->check(one_of({",", ";", "tab"}, Code::not_a_separator));
        command()
            .add_option("--format", format_,
                        "csv (default), or tsv: tab-separated with backslash escapes (\\t \\n "
                        "\\r \\\\) and no quotes, as miller --otsv, sqlite's .mode tabs and "
                        "PostgreSQL's COPY write it")
            ->type_name("FORMAT")
            ->check(one_of({"csv", "tsv"}, Code::not_a_format))
            ->excludes(delimiter);
        command()
            .add_option("--input-encoding", input_encoding_,
                        "the encoding of a file with no byte-order mark, if not UTF-8: any name "
                        "--encoding takes, or UTF-16LE or UTF-16BE; it is written back in it")
            ->type_name("NAME")
            ->check(not_empty("encoding name"));
        command().footer(
            "The input is CSV (RFC 4180), separated by commas, semicolons or tabs, whose\n"
            "header row names the columns login, password, proxy and outbound_proxy, in any\n"
            "order; a first line sep=X or #TYPE ... is kept. It is UTF-8, with or without a\n"
            "byte-order mark, or UTF-16, with or without one. The output is the same file,\n"
            "in the same shape (separator, quotes, line ends, byte-order mark, encoding),\n"
            "with those four cells encrypted; other columns pass through, and empty cells\n"
            "stay empty. A row holds at most 16384 fields and 1 MiB; a field 64 KiB. If any\n"
            "row is refused, the problems are reported with row and column, nothing is\n"
            "written, and the exit status is 1.\n"
#ifdef _WIN32
            "A file that is not UTF-8 and has no byte-order mark is read in the ANSI code\n"
            "page, as Excel writes it.\n"
#endif
            "\n" +
            examples("accounts"));
    }

  private:
    int check_files() override {
        if (decrypt_) confirm_ = PasswordInput::Confirm::no;
        if (!input_encoding_.empty()) {
            const FileForm form = file_form_of(input_encoding_);
            Outcome named = form == FileForm::utf32 ? Outcome(Code::file_is_utf32) : Outcome();
            if (form == FileForm::utf16le || form == FileForm::utf16be) {
                options_.utf16 = form == FileForm::utf16le ? ByteOrder::little : ByteOrder::big;
            } else if (named.ok()) {
                named = TextEncoding::open(input_encoding_, file_encoding_);
            }
            if (!named.ok()) {
                report(std::move(named).about("--input-encoding " + escaped(input_encoding_)));
                return exit_usage;
            }
        }
        // The header is read before the password, unless the password comes
        // first on the same input.
        input_.fd = input_fd_;
        if (input_fd_ == standard_input && password_.reads_standard_input()) return exit_done;
        return read_header();
    }

    int read_header() {
        options_.separator = delimiter_ == "tab" ? '\t' : delimiter_.empty() ? '\0' : delimiter_[0];
        options_.backslash_escapes = format_ == "tsv";
        options_.header_names.assign(accounts::columns.begin(), accounts::columns.end());
        options_.encoding = file_encoding_.get();
        // As Excel writes a CSV on Windows, unless the file says or is told.
        options_.fallback = input_encoding_.empty() ? fallback_.get() : nullptr;
        reader_.emplace(input_, options_);
        accounts::CsvRecord header;
        if (!reader_->next(header)) return refuse_file();
        table_.emplace(reader_->shape(), decrypt_, output_->to_terminal());
        if (table_->read_header(header).ok()) return exit_done;
        tell();
        return nothing_written();
    }

    int transform(Codec& codec) override {
        if (!reader_) {
            if (const int status = read_header(); status != exit_done) return status;
        }
        table_->start(*output_);
        accounts::CsvRecord record;
        while (reader_->next(record)) table_->add(codec, record, *output_);
        if (!reader_->error().ok()) return refuse_file();
        tell();
        if (!table_->ok()) return nothing_written();
        if (Outcome delivered = output_->commit(); !delivered.ok()) {
            report(delivered);
            return exit_refused;
        }
        return exit_done;
    }

    // A file that cannot be read as a file of accounts.
    int refuse_file() {
        const Outcome& error = reader_->error();
        report(error.ok() ? Outcome(Code::empty_input).about(input_name_)
                          : Outcome(error).about(input_name_));
        const accounts::CsvShape& shape = reader_->shape();
        if (error == Code::file_not_utf8 && !shape.bom && input_encoding_.empty()) {
            report(Code::maybe_code_page);
        }
        if (table_) tell();
        return nothing_written();
    }

    // The table's messages, those of rows said of the input.
    void tell() {
        for (Outcome& outcome : table_->messages()) {
            if (outcome.row != 0) outcome.subject = input_name_;
            report(outcome);
        }
    }

    int nothing_written() {
        report(Outcome(Code::nothing_written)
                   .about(output_path_.empty() || output_path_ == "-" ? "standard output"
                                                                      : output_path_));
        return exit_refused;
    }

    std::string delimiter_, format_ = "csv", input_encoding_;
    bool decrypt_ = false;
    DescriptorSource input_;
    accounts::CsvOptions options_;
    std::unique_ptr<TextEncoding> file_encoding_;
    std::optional<accounts::CsvReader> reader_;
    std::optional<accounts::AccountTable> table_;
};

}  // namespace

std::unique_ptr<Command> accounts_command(CLI::App& tool) {
    return std::make_unique<AccountsCommand>(tool);
}

}  // namespace sipcrypt::cli
