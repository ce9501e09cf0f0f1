#include "encoding_choice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "escape.h"
#include "system.h"
#include "unicode.h"

namespace sipcrypt {

namespace {

constexpr const char* variable = "SIPCRYPT_ENCODING";

// The settings file's text as UTF-8: Notepad puts a UTF-8 byte-order mark
// before the first line, and PowerShell 5.1's Set-Content and Out-File
// write UTF-16 with one.
std::string as_text(std::string contents) {
    if (contents.rfind("\xEF\xBB\xBF", 0) == 0) return contents.substr(3);
    const bool little = contents.rfind("\xFF\xFE", 0) == 0;
    if (!little && contents.rfind("\xFE\xFF", 0) != 0) return contents;
    Utf16Decoder decoder(little ? ByteOrder::little : ByteOrder::big);
    std::string text(Utf16Decoder::most_utf8(contents.size()), '\0');
    char* end = decoder.decode(std::string_view(contents).substr(2), text.data());
    decoder.finish(end);
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

// encoding= from the settings file into `name`, with `where` it was found
// for messages; done when the file says nothing of it too.
Outcome read_setting(std::string& name, std::string& where) {
    const std::string path = settings_file_path();
    std::FILE* file = path.empty() ? nullptr : open_file(path);
    if (file == nullptr) {
        const int error = errno;
        // A file behind a folder the user may not enter is none of theirs.
        std::error_code unseen;
        (void)std::filesystem::status(path, unseen);
        if (path.empty() || error == ENOENT || unseen) return Code::done;
        return Outcome::from_errno(error).about(path);
    }
    std::string contents;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        contents.append(buffer, n);
    }
    const int unread = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    if (unread != 0) return Outcome::from_errno(unread).about(path);
    const std::string text = as_text(std::move(contents));
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = without_blanks({text.data() + start, end - start}, " \t\r");
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos ||
            !same_ignoring_case(without_blanks(line.substr(0, equals), " \t\r"), "encoding")) {
            Outcome outcome(Code::unknown_setting);
            outcome.subject = path;
            outcome.line = number + 1;
            outcome.value = escaped(line);
            return outcome;
        }
        name = without_blanks(line.substr(equals + 1), " \t\r");
        where = path + ": encoding=" + escaped(name);
    }
    return Code::done;
}

}  // namespace

Outcome choose_encoding(std::string_view named, std::unique_ptr<TextEncoding>& encoding) {
    encoding.reset();
    std::string name(named);
    std::string where = "--encoding " + escaped(name);
    if (name.empty()) {
        if (environment_text(variable, name) && !name.empty()) {
            where = std::string(variable) + "=" + escaped(name);
        } else {
            name.clear();
            if (Outcome read = read_setting(name, where); !read.ok()) return read;
            if (name.empty()) {
                const std::uint16_t ansi = ansi_code_page();
                name = ansi == 0 ? "" : ansi == 65001 ? "UTF-8" : "CP" + std::to_string(ansi);
                where = "the ANSI code page (" + name + ")";
            }
        }
    }
    Outcome opened = TextEncoding::open(name, encoding);
    if (!opened.ok()) opened.subject = where;
    return opened;
}

std::string how_the_encoding_is_chosen() {
    std::string path = settings_file_path();
    if (path.empty()) path = "the settings file";
    return std::string("without --encoding: ") + variable + ", else encoding= in " + path +
           (ansi_code_page() != 0 ? ", else the ANSI code page"
                                  : ", else none: ASCII only, other text refused");
}

}  // namespace sipcrypt
