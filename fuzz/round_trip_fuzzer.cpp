// Encrypt then decrypt any value under any password: the value comes back,
// or the same refusal comes from both the one-off and the keyed-once paths.
#include <string>

#include "cipher/base64.h"
#include "cipher/ecb.h"
#include "core/parameter_encryption.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [password, value] = sipcrypt::fuzz::split(data, size);
    std::string text = "untouched";
    const auto status = sipcrypt::encrypt_parameter(value, text, password);
    const sipcrypt::ParameterCipher cipher(password);
    std::string keyed_once_text;
    FUZZ_CHECK(cipher.encrypt(value, keyed_once_text) == status.code);
    if (status != sipcrypt::Code::done) {
        FUZZ_CHECK(text == "untouched");
        return 0;
    }
    FUZZ_CHECK(keyed_once_text == text);
    FUZZ_CHECK(text.size() ==
               sipcrypt::Base64Encoder::encoded_length(sipcrypt::padded_length(value.size())));
    sipcrypt::SecretBytes back;
    FUZZ_CHECK(cipher.decrypt(text, back) == sipcrypt::Code::done);
    FUZZ_CHECK(std::string_view(back.data(), back.size()) == value);
    return 0;
}
