// The values given as arguments may be SIP passwords: once used, the tool's
// copies of them are wiped.
#include "cli/value_stream.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sipcrypt::cli {
namespace {

TEST(ValueStream, ArgumentsAreWipedOnceUsed) {
    std::vector<std::string> arguments = {std::string(40, 'a'), std::string(100, 'b'), "c"};
    std::vector<std::pair<const char*, std::size_t>> buffers;
    for (const auto& argument : arguments)
        buffers.emplace_back(argument.data(), argument.capacity());

    const int out = ::memfd_create("out", MFD_CLOEXEC);
    {
        OutputSink sink(out);
        EXPECT_EQ(transform_values(arguments, sink, ParameterStatus::value_too_long,
                                   [](std::string_view in, std::string& result) {
                                       result.assign(in.size(), '*');
                                       return Outcome(ParameterStatus::done);
                                   }),
                  0);
    }
    ::close(out);
    for (const auto& [buffer, capacity] : buffers) {
        EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == 0; }));
    }
}

}  // namespace
}  // namespace sipcrypt::cli
