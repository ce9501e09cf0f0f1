// The converter on POSIX systems: iconv.
#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "cipher/secret_memory.h"
#include "converter.h"

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

}  // namespace

struct Converter::Tables {
    iconv_t from_utf8 = no_converter;
    iconv_t to_utf8 = no_converter;
    ~Tables() {
        if (from_utf8 != no_converter) iconv_close(from_utf8);
        if (to_utf8 != no_converter) iconv_close(to_utf8);
    }
};

std::unique_ptr<Converter> Converter::open(std::string_view name) {
    const std::string target(name);
    if (target.empty()) return nullptr;
    auto tables = std::make_unique<Tables>();
    tables->from_utf8 = iconv_open(target.c_str(), "UTF-8");
    tables->to_utf8 = iconv_open("UTF-8", target.c_str());
    if (tables->from_utf8 == no_converter || tables->to_utf8 == no_converter) return nullptr;
    return std::unique_ptr<Converter>(new Converter(std::move(tables)));
}

Converter::Converter(std::unique_ptr<Tables> tables) : tables_(std::move(tables)) {}

Converter::~Converter() = default;

std::size_t Converter::from_utf8(std::string_view in, SecretBytes& out) {
    return run(tables_->from_utf8, in, out);
}

std::size_t Converter::to_utf8(std::string_view in, SecretBytes& out) {
    return run(tables_->to_utf8, in, out);
}

std::string system_encoding_name() {
    return "UTF-8";
}

std::string_view encoding_names_hint() {
    return "see iconv --list";
}

}  // namespace sipcrypt
