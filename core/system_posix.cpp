// What the core asks of a POSIX system: iconv, the environment, files.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "system.h"

namespace sipcrypt {

namespace {

const iconv_t no_converter = reinterpret_cast<iconv_t>(-1);

std::size_t run(iconv_t converter, std::string_view in, SecretBytes& out) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // the initial state
    out.resize(in.size() * 4 + 16);
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    std::size_t done = 0;
    bool flushing = false;
    std::size_t stopped_at = Converter::npos;
    for (;;) {
        char* out_ptr = out.data() + done;
        std::size_t out_left = out.size() - done;
        const std::size_t result = flushing
                                       ? iconv(converter, nullptr, nullptr, &out_ptr, &out_left)
                                       : iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
        done = static_cast<std::size_t>(out_ptr - out.data());
        if (result == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            stopped_at = static_cast<std::size_t>(in_ptr - in.data());
            if (stopped_at == in.size() && stopped_at > 0) --stopped_at;
            break;
        }
        if (flushing) break;
        flushing = true;
    }
    out.resize(done);
    return stopped_at;
}

class Iconv final : public Converter {
  public:
    Iconv(iconv_t from_utf8, iconv_t to_utf8) : from_utf8_(from_utf8), to_utf8_(to_utf8) {}
    ~Iconv() override {
        if (from_utf8_ != no_converter) iconv_close(from_utf8_);
        if (to_utf8_ != no_converter) iconv_close(to_utf8_);
    }
    std::size_t from_utf8(std::string_view in, SecretBytes& out) override {
        return run(from_utf8_, in, out);
    }
    std::size_t to_utf8(std::string_view in, SecretBytes& out) override {
        return run(to_utf8_, in, out);
    }

  private:
    iconv_t from_utf8_;
    iconv_t to_utf8_;
};

}  // namespace

std::unique_ptr<Converter> open_system_converter(std::string_view name) {
    const std::string target(name);
    if (target.empty()) return nullptr;
    const iconv_t there = iconv_open(target.c_str(), "UTF-8");
    const iconv_t back = iconv_open("UTF-8", target.c_str());
    auto converter = std::make_unique<Iconv>(there, back);  // closes what did open
    if (there == no_converter || back == no_converter) return nullptr;
    return converter;
}

std::uint16_t ansi_code_page() {
    return 0;
}

bool environment_text(const std::string& name, std::string& value) {
    const char* found = std::getenv(name.c_str());
    if (found != nullptr) value = found;
    return found != nullptr;
}

std::string settings_file_path() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && *config == '/') return std::string(config) + "/sipcrypt/sipcrypt.conf";
    if (home != nullptr && *home != '\0')
        return std::string(home) + "/.config/sipcrypt/sipcrypt.conf";
    return {};
}

std::FILE* open_file(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

}  // namespace sipcrypt
