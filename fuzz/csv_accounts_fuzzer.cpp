// Files of accounts on any input, in pieces of any size: nothing crashes,
// over-reads or leaks, and whatever is accepted is written back whole, in
// its own shape: read again, it has the same rows, the same cells outside the
// four columns, and in those columns texts that decrypt to the cells that
// went in. Commas, semicolons, tabs, sep= and #TYPE lines and UTF-16 are
// all found from the input. The table reports refusals on standard error:
// run with -close_fd_mask=2 to keep it quiet.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli/account_table.h"
#include "core/csv.h"
#include "fuzz_input.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The input handed over a few bytes at a time, as a pipe may.
struct Pieces : sipcrypt::accounts::ByteSource {
    std::string_view data;
    std::size_t piece;
    std::error_code read(char* buffer, std::size_t size, std::size_t& got) override {
        got = std::min({size, piece, data.size()});
        std::memcpy(buffer, data.data(), got);
        data.remove_prefix(got);
        return {};
    }
};

sipcrypt::accounts::CsvOptions options() {
    sipcrypt::accounts::CsvOptions options;
    options.header_names.assign(sipcrypt::cli::AccountTable::columns.begin(),
                                sipcrypt::cli::AccountTable::columns.end());
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const sipcrypt::ParameterCipher cipher("fuzz");
    static const auto codec = [] {
        auto utf8 = sipcrypt::Codec::open("UTF-8");
        (void)utf8->set_password("fuzz");
        return utf8;
    }();
    const int output = memfd_create("out", MFD_CLOEXEC);
    FUZZ_CHECK(output >= 0);
    Pieces input;
    input.data = {reinterpret_cast<const char*>(data + 1), size - 1};
    input.piece = 1 + data[0] % 64;
    sipcrypt::accounts::CsvReader reader(input, options());
    Rows in;
    bool accepted = false;
    {
        sipcrypt::cli::OutputSink sink(output);
        sipcrypt::cli::AccountTable table(*codec, false, reader.shape(), sink);
        sipcrypt::accounts::CsvRecord record;
        while (reader.next(record)) {
            in.emplace_back(record.fields.begin(), record.fields.end());
            table.add(record);
        }
        accepted = !reader.error() && table.finish() && sink.finish("output");
    }
    if (accepted) {
        std::string written(static_cast<std::size_t>(::lseek(output, 0, SEEK_END)), '\0');
        FUZZ_CHECK(::pread(output, written.data(), written.size(), 0) ==
                   static_cast<ssize_t>(written.size()));
        Pieces again;
        again.data = written;
        again.piece = 4096;
        auto same_shape = options();
        same_shape.separator = reader.shape().separator;
        sipcrypt::accounts::CsvReader back(again, same_shape);
        Rows out;
        sipcrypt::accounts::CsvRecord record;
        while (back.next(record)) out.emplace_back(record.fields.begin(), record.fields.end());
        FUZZ_CHECK(!back.error());
        FUZZ_CHECK(back.shape().form == reader.shape().form);
        FUZZ_CHECK(back.shape().preamble == reader.shape().preamble);
        FUZZ_CHECK(out.size() == in.size());
        const auto& header = in.front();
        for (std::size_t row = 0; row < in.size(); ++row) {
            FUZZ_CHECK(out[row].size() == in[row].size());
            for (std::size_t column = 0; column < in[row].size(); ++column) {
                const auto& names = sipcrypt::cli::AccountTable::columns;
                const bool encrypted =
                    row > 0 && std::find(names.begin(), names.end(), header[column]) != names.end();
                if (!encrypted || in[row][column].empty()) {
                    FUZZ_CHECK(out[row][column] == in[row][column]);
                    continue;
                }
                sipcrypt::SecretBytes value;
                FUZZ_CHECK(cipher.decrypt(out[row][column], value) ==
                           sipcrypt::ParameterStatus::done);
                FUZZ_CHECK(std::string(value.begin(), value.end()) == in[row][column]);
            }
        }
    }
    ::close(output);
    return 0;
}
