#include "gui/launch_options.h"

#include <gtest/gtest.h>

#include "core/messages.h"

namespace sipcrypt::gui {
namespace {

TEST(LaunchOptions, ReadTheSameForEveryView) {
    using Action = LaunchOptions::Action;
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string encoding_or_error;
    };
    const Case cases[] = {
        {{}, Action::run, ""},
        {{"--encoding", "WINDOWS-1252"}, Action::run, "WINDOWS-1252"},
        {{"--encoding=CP932"}, Action::run, "CP932"},
        {{"--version"}, Action::version, ""},
        {{"--version", "-h"}, Action::help, ""},
        {{"--encoding"}, Action::usage_error, "--encoding needs a value"},
        {{"--encoding="}, Action::usage_error, "--encoding needs a value"},
        {{"--frob"}, Action::usage_error, "unknown option '--frob'"},
        {{"stray"}, Action::usage_error, "unexpected argument 'stray'"},
    };
    for (const auto& c : cases) {
        const LaunchOptions options = read_launch_options(c.arguments);
        EXPECT_EQ(options.action, c.action);
        if (c.action == Action::run) {
            EXPECT_EQ(options.encoding, c.encoding_or_error);
        } else if (c.action == Action::usage_error) {
            EXPECT_EQ(message(options.error, Audience::dialog), c.encoding_or_error);
        }
    }
}

}  // namespace
}  // namespace sipcrypt::gui
