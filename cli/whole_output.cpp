#include "whole_output.h"

#include <algorithm>
#include <vector>

#include "io.h"

namespace sipcrypt::cli {

namespace {

constexpr std::size_t buffer_capacity = 64 * 1024;
using output_platform::Target;

// The causes a user can mend, in plain words.
Outcome in_plain_words(Outcome outcome) {
    const std::error_code error = outcome.system;
    if (outcome.code != Code::system_error) return outcome;
    if (error == std::errc::is_a_directory) outcome.code = Code::is_a_folder;
    if (error == std::errc::permission_denied) outcome.code = Code::permission_denied;
    if (error == std::errc::no_such_file_or_directory) outcome.code = Code::no_such_folder;
    if (error == std::errc::bad_file_descriptor) outcome.code = Code::not_open_for_writing;
    if (error == std::errc::device_or_resource_busy) outcome.code = Code::in_use;
    return outcome;
}

// The same outcome as another code, for a failure the system gave reasons for.
Outcome as(Code code, Outcome outcome) {
    if (outcome.code == Code::system_error) outcome.code = code;
    return outcome;
}

}  // namespace

WholeOutput::~WholeOutput() {
    output_platform::discard(spool_);
    output_platform::close_target(target_);
}

Outcome WholeOutput::failure(Outcome outcome) const {
    const bool standard = path_.empty() || path_ == "-";
    if (outcome.subject.empty()) outcome.subject = standard ? "standard output" : path_;
    return outcome;
}

Outcome WholeOutput::open() {
    buffer_.reserve(buffer_capacity);
    Outcome opened = output_platform::open_target(whole_ ? path_ : "-", target_);
    if (opened.ok() && whole_) opened = output_platform::open_spool(target_, spool_);
    return opened.ok() ? opened : failure(in_plain_words(std::move(opened)));
}

bool WholeOutput::to_terminal() const {
    return target_.kind == Target::Kind::stream && is_terminal(target_.fd);
}

void WholeOutput::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > buffer_capacity) flush();
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void WholeOutput::flush() {
    if (error_.ok() && !buffer_.empty()) {
        error_ = write_all(whole_ ? spool_.fd : target_.fd, {buffer_.data(), buffer_.size()});
    }
    secure_wipe(buffer_.data(), buffer_.size());
    buffer_.clear();
}

Outcome WholeOutput::commit() {
    flush();
    if (!error_.ok() && whole_ && !spool_.named && target_.kind != Target::Kind::file) {
        return as(Code::spool_not_written, error_).about(spool_.name);
    }
    if (!error_.ok()) return failure(whole_ ? as(Code::not_written, error_) : error_);
    if (!whole_) return Code::done;
    Outcome delivered =
        target_.kind == Target::Kind::file
            ? as(Code::not_put_in_place, output_platform::put_in_place(spool_, target_))
            : deliver();
    if (delivered.ok()) target_.created = false;
    return delivered.ok() ? delivered : failure(std::move(delivered));
}

// Into the target as it is open: at its own offset, appending if it appends.
// A file rewritten in place has room made first, so that a full disk leaves
// it as it was: zeros past its old end, which every file system takes, cut
// off again if they do not fit. It is then written from its start and cut to
// length, with the signals that would end the tool held.
Outcome WholeOutput::deliver() {
    using namespace output_platform;
    std::uint64_t size = 0, old_size = 0;
    Outcome done = size_of(spool_.fd, size);
    if (done.ok()) done = seek(spool_.fd, 0);
    const bool in_place = target_.kind == Target::Kind::in_place;
    std::vector<char> copied(buffer_capacity);
    if (in_place) {
        hold(target_, true);
        if (done.ok()) done = size_of(target_.fd, old_size);
        for (std::uint64_t end = old_size; done.ok() && end < size; end += copied.size()) {
            done = write_all(target_.fd,
                             {copied.data(), static_cast<std::size_t>(std::min<std::uint64_t>(
                                                 size - end, copied.size()))});
        }
        if (!done.ok()) (void)cut(target_.fd, old_size);
        if (done.ok()) done = seek(target_.fd, 0);
    }
    while (done.ok()) {
        std::size_t got = 0;
        done = read_some(spool_.fd, copied.data(), copied.size(), got);
        if (!done.ok() || got == 0) break;
        done = write_all(target_.fd, {copied.data(), got});
    }
    secure_wipe(copied.data(), copied.size());
    if (in_place) {
        if (done.ok()) done = cut(target_.fd, size);
        hold(target_, false);
    }
    return as(Code::not_written, std::move(done));
}

}  // namespace sipcrypt::cli
