// The C API on any input, as a program may call it: any password and
// encoding, values and texts, one at a time and in batches, buffers of any
// size. Every call gives a code, never a crash or an over-read; what it
// encrypts decrypts back; a batch gives what the calls one at a time give.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "sipcrypt.h"

namespace {
const char* const encodings[] = {"UTF-8", "WINDOWS-1252", "SHIFT_JIS", "ASCII", nullptr, "NO-SUCH"};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const char* encoding = encodings[data[0] % std::size(encodings)];
    const std::size_t room = data[1];  // a caller's buffer, perhaps too small
    const auto [password, rest] = sipcrypt::fuzz::split(data + 2, size - 2);
    sipcrypt_context* context = sipcrypt_create();
    if (sipcrypt_set_key(context, encoding, password.data(), password.size()) != SIPCRYPT_OK) {
        FUZZ_CHECK(sipcrypt_encrypt(context, "a", 1, nullptr, 0, nullptr) ==
                   SIPCRYPT_NULL_ARGUMENT);
        sipcrypt_free(context);
        return 0;
    }
    // The rest, as values a line each.
    std::vector<std::string> inputs;
    for (std::size_t at = 0; at <= rest.size();) {
        const std::size_t end = std::min(rest.find('\n', at), rest.size());
        inputs.emplace_back(rest.substr(at, end - at));
        at = end + 1;
    }
    std::string joined;
    std::vector<std::size_t> lengths;
    std::vector<std::string> texts;
    std::vector<sipcrypt_error> codes;
    for (const std::string& value : inputs) {
        std::vector<char> small(room), text(SIPCRYPT_MAX_TEXT_LENGTH + 1);
        std::size_t length = 0;
        const sipcrypt_error error = sipcrypt_encrypt(context, value.data(), value.size(),
                                                      small.data(), small.size(), &length);
        FUZZ_CHECK(error != SIPCRYPT_OK || length < room);
        const sipcrypt_error again = sipcrypt_encrypt(context, value.data(), value.size(),
                                                      text.data(), text.size(), &length);
        FUZZ_CHECK(again == error || error == SIPCRYPT_BUFFER_TOO_SMALL);
        texts.emplace_back(again == SIPCRYPT_OK ? std::string(text.data(), length) : "");
        codes.push_back(again);
        joined += value;
        lengths.push_back(value.size());
        if (again != SIPCRYPT_OK) continue;
        std::vector<char> back(value.size() + 1);
        FUZZ_CHECK(sipcrypt_decrypt(context, text.data(), length, back.data(), back.size(),
                                    &length) == SIPCRYPT_OK);
        FUZZ_CHECK(std::string(back.data(), length) == value);
    }
    std::vector<char> batch(inputs.size() * (SIPCRYPT_MAX_TEXT_LENGTH + 1));
    std::vector<sipcrypt_error> errors(inputs.size());
    std::size_t length = 0;
    (void)sipcrypt_encrypt_batch(context, joined.data(), lengths.data(), inputs.size(),
                                 batch.data(), batch.size(), &length, errors.data());
    std::string expected;
    for (const std::string& text : texts) expected += text + '\0';
    FUZZ_CHECK(std::string(batch.data(), length) == expected);
    FUZZ_CHECK(errors == codes);
    // Any text decrypts to a value or a refusal.
    std::vector<char> value(rest.size() + 1);
    (void)sipcrypt_decrypt(context, rest.data(), rest.size(), value.data(), value.size(), &length);
    (void)sipcrypt_message(context);
    sipcrypt_free(context);
    return 0;
}
