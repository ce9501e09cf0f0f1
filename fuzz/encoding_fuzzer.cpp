// Text encodings on any bytes: UTF-8 checking agrees with conversion, and
// whatever converts one way converts back to the same text.
#include <array>
#include <memory>

#include "fuzz_input.h"
#include "settings/text_encoding.h"

namespace {
// The first five map one to one over their repertoire, so every conversion
// must come back exactly. The Japanese ones map some ASCII bytes to other
// characters (0x7E is an overline in Shift_JIS), and ISO-2022-JP shifts
// state, so for them only safety is checked.
const std::array<const char*, 7> names = {"UTF-8", "WINDOWS-1252", "ISO-8859-1", "UTF-16LE",
                                          "ASCII", "SHIFT_JIS",    "ISO-2022-JP"};
constexpr std::size_t exact_round_trips = 5;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::array<std::unique_ptr<sipcrypt::TextEncoding>, names.size()> encodings;
    if (size == 0) return 0;
    const std::size_t which = data[0] % names.size();
    if (!encodings[which]) encodings[which] = sipcrypt::TextEncoding::open(names[which]);
    auto& encoding = *encodings[which];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    using sipcrypt::ParameterStatus;
    sipcrypt::SecretBytes bytes, back;
    const auto to_bytes = encoding.from_utf8(text, bytes);
    FUZZ_CHECK((to_bytes == ParameterStatus::not_utf8) == !sipcrypt::is_valid_utf8(text));
    if (to_bytes == ParameterStatus::done) {
        const auto from_bytes = encoding.to_utf8({bytes.data(), bytes.size()}, back);
        if (which < exact_round_trips) {
            FUZZ_CHECK(from_bytes == ParameterStatus::done);
            FUZZ_CHECK(std::string_view(back.data(), back.size()) == text);
        }
    }
    // Raw bytes as text in the encoding: if they convert, the UTF-8 is valid.
    if (encoding.to_utf8(text, back) == ParameterStatus::done) {
        FUZZ_CHECK(sipcrypt::is_valid_utf8({back.data(), back.size()}));
    }
    return 0;
}
