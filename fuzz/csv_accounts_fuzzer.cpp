// The accounts CSV reader and table on any input: each record reaches the
// table whole, and nothing crashes, over-reads or leaks. The table reports
// refusals on standard error: run with -close_fd_mask=2 to keep it quiet.
#include <sys/mman.h>
#include <unistd.h>

#include "cli/account_table.h"
#include "cli/csv_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int input = memfd_create("csv", MFD_CLOEXEC);
    const int output = memfd_create("out", MFD_CLOEXEC);
    FUZZ_CHECK(input >= 0 && output >= 0);
    FUZZ_CHECK(::write(input, data, size) == static_cast<ssize_t>(size));
    ::lseek(input, 0, SEEK_SET);

    static const sipcrypt::ParameterCipher cipher("fuzz");
    static auto encoding = sipcrypt::TextEncoding::open("UTF-8");
    {
        sipcrypt::cli::OutputSink sink(output);
        sipcrypt::cli::AccountTable table(cipher, *encoding, sink);
        sipcrypt::cli::CsvPlace place;
        const auto error = sipcrypt::cli::read_csv(
            input,
            [&](const auto& record) {
                for (const auto& field : record.fields) {
                    FUZZ_CHECK(field.data() != nullptr || field.empty());
                }
                table.add(record);
            },
            place);
        table.finish();
    }
    ::close(input);
    ::close(output);
    return 0;
}
