// The values given as arguments may be SIP passwords: once used, the tool's
// copies of them are wiped.
#include "cli/value_lines.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sipcrypt::cli {
namespace {

TEST(ValueLines, ArgumentsAreWipedOnceUsed) {
    std::vector<std::string> arguments = {std::string(40, 'a'), std::string(100, 'b'), "c"};
    std::vector<std::pair<const char*, std::size_t>> buffers;
    for (const auto& argument : arguments)
        buffers.emplace_back(argument.data(), argument.capacity());

    // The lines go to standard output, which the test keeps for itself.
    const int saved = ::dup(standard_output);
    const int sink = ::open("/dev/null", O_WRONLY);
    ::dup2(sink, standard_output);
    const int status = transform_values(arguments, ParameterStatus::value_too_long,
                                        [](std::string_view in, SecretBytes& result) {
                                            result.assign(in.size(), '*');
                                            return Outcome(ParameterStatus::done);
                                        });
    ::dup2(saved, standard_output);
    ::close(saved);
    ::close(sink);
    EXPECT_EQ(status, 0);
    for (const auto& [buffer, capacity] : buffers) {
        EXPECT_TRUE(std::all_of(buffer, buffer + capacity, [](char c) { return c == 0; }));
    }
}

}  // namespace
}  // namespace sipcrypt::cli
