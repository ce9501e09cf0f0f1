// The accounts CSV reader and table on any input: nothing crashes, over-reads
// or leaks, and whatever is accepted is written back whole: the same rows,
// the same cells outside the four encrypted columns, and in those columns
// texts that decrypt to the cells that went in. The table reports refusals on
// standard error: run with -close_fd_mask=2 to keep it quiet.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/account_table.h"
#include "cli/csv_reader.h"
#include "fuzz_input.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

bool read_all(int fd, Rows& rows,
              const std::function<void(const sipcrypt::cli::CsvRecord&)>& also) {
    ::lseek(fd, 0, SEEK_SET);
    sipcrypt::cli::CsvPlace place;
    return !sipcrypt::cli::read_csv(
        fd,
        [&](const sipcrypt::cli::CsvRecord& record) {
            rows.emplace_back(record.fields.begin(), record.fields.end());
            if (also) also(record);
        },
        place);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int input = memfd_create("csv", MFD_CLOEXEC);
    const int output = memfd_create("out", MFD_CLOEXEC);
    FUZZ_CHECK(input >= 0 && output >= 0);
    FUZZ_CHECK(::write(input, data, size) == static_cast<ssize_t>(size));

    static const sipcrypt::ParameterCipher cipher("fuzz");
    static const auto codec = [] {
        auto utf8 = sipcrypt::Codec::open("UTF-8");
        (void)utf8->set_password("fuzz");
        return utf8;
    }();
    Rows in, out;
    bool accepted = false;
    {
        sipcrypt::cli::OutputSink sink(output);
        sipcrypt::cli::AccountTable table(*codec, sink);
        const bool whole = read_all(input, in, [&](const auto& record) { table.add(record); });
        accepted = whole && table.finish() && sink.finish("output");
    }
    if (accepted) {
        FUZZ_CHECK(read_all(output, out, nullptr));
        FUZZ_CHECK(out.size() == in.size());
        const auto& header = in.front();
        for (std::size_t row = 0; row < in.size(); ++row) {
            FUZZ_CHECK(out[row].size() == in[row].size());
            for (std::size_t column = 0; column < in[row].size(); ++column) {
                const auto& names = sipcrypt::cli::AccountTable::encrypted_columns;
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
    ::close(input);
    ::close(output);
    return 0;
}
