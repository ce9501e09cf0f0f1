// The strict decoder on any text: no over-read or over-write, and whatever it
// accepts encodes back to exactly the same text.
#include <string>
#include <vector>

#include "cipher/base64.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::uint8_t> decoded(sipcrypt::Base64Decoder::max_decoded_length(size));
    const auto n = sipcrypt::Base64Decoder::decode(text, decoded.data());
    if (!n) return 0;
    FUZZ_CHECK(*n <= decoded.size());
    std::string again(sipcrypt::Base64Encoder::encoded_length(*n) + 1, '\x7F');
    sipcrypt::Base64Encoder::encode(decoded.data(), again.data(), *n);
    again.pop_back();
    FUZZ_CHECK(again == text);
    return 0;
}
