// Text encodings on any bytes: UTF-8 checking agrees with conversion, and
// whatever converts one way converts back to exactly the same text or bytes,
// in every encoding, the stateful and the one-way-mapping ones included.
#include <array>
#include <memory>

#include "core/text_encoding.h"
#include "core/unicode.h"
#include "fuzz_input.h"

namespace {
// Windows' code pages from their tables, iconv's (ISO-8859-16, ISO-2022-JP),
// and none chosen.
const std::array<const char*, 10> names = {
    "UTF-8",     "WINDOWS-1252", "ISO-8859-16", "EUC-KR", "ASCII",
    "SHIFT_JIS", "ISO-2022-JP",  "BIG5",        "CP936",  ""};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::array<std::unique_ptr<sipcrypt::TextEncoding>, names.size()> encodings;
    if (size == 0) return 0;
    const std::size_t which = data[0] % names.size();
    if (!encodings[which]) (void)sipcrypt::TextEncoding::open(names[which], encodings[which]);
    auto& encoding = *encodings[which];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    using sipcrypt::Code;
    sipcrypt::SecretBytes bytes, back;
    const auto to_bytes = encoding.from_utf8(text, bytes);
    FUZZ_CHECK((to_bytes == Code::not_utf8 || to_bytes == Code::broken_text) ==
               !sipcrypt::is_valid_utf8(text));
    if (to_bytes.ok()) {
        FUZZ_CHECK(encoding.to_utf8({bytes.data(), bytes.size()}, back).ok());
        FUZZ_CHECK(std::string_view(back.data(), back.size()) == text);
    } else {
        FUZZ_CHECK(to_bytes.position >= 1);
    }
    // Raw bytes as text in the encoding: if they convert, the UTF-8 is valid
    // and converts back to the same bytes.
    if (encoding.to_utf8(text, back).ok()) {
        FUZZ_CHECK(sipcrypt::is_valid_utf8({back.data(), back.size()}));
        FUZZ_CHECK(encoding.from_utf8({back.data(), back.size()}, bytes).ok());
        FUZZ_CHECK(std::string_view(bytes.data(), bytes.size()) == text);
    }
    return 0;
}
