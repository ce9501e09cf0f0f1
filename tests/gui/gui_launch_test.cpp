// sipcrypt-gui as it is started: what it says and the status it ends with
// when it cannot show the dialog at all.
#include <gtest/gtest.h>

#include <string>

#include "../cli/process_runner.h"

namespace sipcrypt::testing {
namespace {

ProcessResult start_gui(const std::vector<std::string>& arguments,
                        const std::map<std::string, std::string>& environment) {
    std::map<std::string, std::string> clean = {
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
    for (const auto& [name, value] : environment) clean[name] = value;
    return run_process(SIPCRYPT_GUI_BINARY, arguments, {}, clean);
}

TEST(GuiLaunch, NoDisplayOrOneThatNothingAnswersEndsWithAMessage) {
    struct Case {
        std::map<std::string, std::string> environment;
        std::string message;
    };
    const Case cases[] = {
        {{}, "there is no display to show the dialog on"},
        {{{"DISPLAY", ":57"}}, "the display cannot be reached (DISPLAY=:57"},
        {{{"WAYLAND_DISPLAY", "nowhere"}},
         "the display cannot be reached (WAYLAND_DISPLAY=nowhere"},
    };
    for (const auto& c : cases) {
        const auto r = start_gui({}, c.environment);
        EXPECT_EQ(r.exit_status, 1) << r.err;
        EXPECT_EQ(r.signal, 0);
        EXPECT_NE(r.err.find("sipcrypt-gui: " + c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("sipcrypt accounts"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Reinstalling"), std::string::npos) << r.err;
    }
}

TEST(GuiLaunch, AnEncodingThatCannotCarryValuesIsAUsageError) {
    // The dialog chooses its encoding as the tool does: the setting too.
    const std::pair<std::string, std::string> cases[] = {
        {"UTF-16", "--encoding UTF-16: this encoding puts zero bytes into plain text"},
        {"UTF-32LE", "--encoding UTF-32LE: this encoding puts zero bytes into plain text"},
        {"NO-SUCH", "--encoding NO-SUCH: unknown encoding"},
        {"", "SIPCRYPT_ENCODING=UTF-7: this encoding does not keep plain ASCII text as it is"},
    };
    for (const auto& [name, message] : cases) {
        std::vector<std::string> arguments;
        if (!name.empty()) arguments = {"--encoding", name};
        const auto r = start_gui(arguments, {{"QT_QPA_PLATFORM", "offscreen"},
                                             {"SIPCRYPT_ENCODING", name.empty() ? "UTF-7" : ""}});
        EXPECT_EQ(r.exit_status, 2) << name;
        EXPECT_NE(r.err.find("sipcrypt-gui: " + message), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace sipcrypt::testing
