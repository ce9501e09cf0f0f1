#include "whole_output.h"

#include <vector>

#include "io.h"

namespace sipcrypt::cli {

namespace {

using output_platform::Target;

// The causes a user can mend, in plain words; empty for any other. Out of
// line, so that the words stay whole in the binary: built in registers, their
// pieces read as misspellings to lintian.
[[gnu::noinline]] const char* plain_cause(const std::error_code& error) {
    if (error == std::errc::is_a_directory) return "is a folder";
    if (error == std::errc::permission_denied) return "permission denied";
    if (error == std::errc::no_such_file_or_directory) return "no such folder";
    if (error == std::errc::bad_file_descriptor) return "not open for writing";
    if (error == std::errc::device_or_resource_busy) return "in use by another program";
    return "";
}

}  // namespace

bool WholeOutput::to_terminal() const {
    return target_.kind == Target::Kind::stream && is_terminal(target_.fd);
}

// The output waits in a file, not in memory: a CSV of accounts may be larger
// than the tool should hold. For a file target the spool lies beside it, so
// that one rename puts it in place; for anything else it is unnamed, so that
// nothing of it can outlive the tool.
WholeOutput::WholeOutput(const std::string& path)
    : destination_(path.empty() || path == "-" ? "standard output" : path) {
    if (const std::error_code error = output_platform::examine(path, target_)) {
        problem_ = plain_cause(error);
        if (problem_.empty()) problem_ = error.message();
        return;
    }
    std::string folder;
    const std::error_code error = output_platform::open_spool(target_, spool_, folder);
    spool_where_ = folder.empty() ? destination_ : "the temporary file in " + folder;
    if (!error) return;
    if (!folder.empty()) {
        problem_ = folder + ": cannot make a temporary file there: " + error.message();
    } else {
        problem_ = plain_cause(error);
        if (problem_.empty()) problem_ = "cannot create a file beside it: " + error.message();
    }
}

WholeOutput::~WholeOutput() {
    output_platform::discard(spool_);
    output_platform::close_target(target_);
}

bool WholeOutput::fail(const std::string& what, std::error_code why) {
    problem_ = what + ": " + why.message();
    return false;
}

bool WholeOutput::commit() {
    if (!problem_.empty()) return false;
    if (target_.kind == Target::Kind::file) {
        const std::error_code error = output_platform::put_in_place(spool_, target_);
        return !error || fail("cannot put the file in place", error);
    }
    const std::error_code error = write_into_target();
    return !error || fail("cannot write", error);
}

// Into the target as it is open: at its own offset, appending if it appends.
// A file written in place is written from its start and then cut to length.
std::error_code WholeOutput::write_into_target() {
    std::uint64_t size = 0;
    if (const auto error = output_platform::rewind(spool_.fd, size)) return error;
    const bool in_place = target_.kind == Target::Kind::in_place;
    if (in_place) {
        if (const auto error = output_platform::reserve(target_.fd, size)) return error;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        std::size_t got = 0;
        if (const auto error = read_some(spool_.fd, buffer.data(), buffer.size(), got)) {
            return error;
        }
        if (got == 0) break;
        if (const auto error = write_all(target_.fd, {buffer.data(), got})) return error;
    }
    return in_place ? output_platform::finish_in_place(target_.fd, size) : std::error_code{};
}

}  // namespace sipcrypt::cli
