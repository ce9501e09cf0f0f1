#include "encoding_choice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "converter.h"
#include "escape.h"

namespace sipcrypt {

namespace {

constexpr const char* variable = "SIPCRYPT_ENCODING";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// encoding= from the settings file: false when the file says nothing of it
// or cannot be used, `problem` saying why in the second case.
bool read_setting(std::string& name, std::string& where, std::string& problem) {
    const std::string path = settings_file_path();
    std::FILE* file = path.empty() ? nullptr : open_file(path);
    if (file == nullptr) {
        const int error = errno;
        // A file behind a folder the user may not enter is none of theirs.
        std::error_code unseen;
        (void)std::filesystem::status(path, unseen);
        if (!path.empty() && error != ENOENT && !unseen) {
            problem = path + ": " + std::strerror(error);
        }
        return false;
    }
    std::string contents;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        contents.append(buffer, n);
    }
    const int unread = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    if (unread != 0) {
        problem = path + ": " + std::strerror(unread);
        return false;
    }
    // Notepad puts a byte-order mark before the first line.
    if (contents.rfind("\xEF\xBB\xBF", 0) == 0) contents.erase(0, 3);
    std::size_t number = 0;
    for (std::size_t start = 0; start < contents.size(); ++number) {
        const std::size_t end = std::min(contents.find('\n', start), contents.size());
        const std::string_view line = trimmed({contents.data() + start, end - start});
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (trimmed(line.substr(0, equals)) != "encoding" || equals == std::string_view::npos) {
            problem = path + ", line " + std::to_string(number + 1) + ": unknown setting '" +
                      escaped(line) + "' (the file knows encoding=NAME)";
            return false;
        }
        name = trimmed(line.substr(equals + 1));
        where = path + ": encoding=" + escaped(name);
    }
    return !name.empty();
}

}  // namespace

std::unique_ptr<TextEncoding> choose_encoding(std::string_view named, std::string& problem) {
    problem.clear();
    std::string name(named);
    std::string where = "--encoding " + escaped(name);
    if (name.empty()) {
        if (environment_text(variable, name) && !name.empty()) {
            where = std::string(variable) + "=" + escaped(name);
        } else if (!read_setting(name, where, problem)) {
            if (!problem.empty()) return nullptr;
            const std::uint16_t ansi = ansi_code_page();
            name = ansi == 0 ? "" : ansi == 65001 ? "UTF-8" : "CP" + std::to_string(ansi);
            where = "the ANSI code page (" + name + ")";
        }
    }
    EncodingRefusal why{};
    auto encoding = TextEncoding::open(name, &why);
    if (!encoding) problem = where + ": " + describe(why);
    return encoding;
}

std::string how_the_encoding_is_chosen() {
    std::string path = settings_file_path();
    if (path.empty()) path = "the settings file";
    return std::string("without --encoding: ") + variable + ", else encoding= in " + path +
           (ansi_code_page() != 0 ? ", else the ANSI code page"
                                  : ", else none: ASCII only, other text refused");
}

}  // namespace sipcrypt
