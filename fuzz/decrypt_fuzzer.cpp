// Decrypting any text under any password: a refusal or a value, never a crash
// or an over-read; and a value it gives encrypts back to the same text.
#include <string>

#include "core/parameter_encryption.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [password, text] = sipcrypt::fuzz::split(data, size);
    sipcrypt::SecretBytes value(2, 'x');
    const auto status = sipcrypt::decrypt_parameter(text, value, password);
    if (status != sipcrypt::Code::done) {
        FUZZ_CHECK(value.size() == 2);  // left untouched
        return 0;
    }
    std::string again;
    FUZZ_CHECK(sipcrypt::encrypt_parameter({value.data(), value.size()}, again, password) ==
               sipcrypt::Code::done);
    FUZZ_CHECK(again == text);
    return 0;
}
