#include <utility>

#include "codec.h"

#include "limits.h"
#include "outcome.h"
#include "parameter_encryption.h"
#include "text_encoding.h"
#include "text_rules.h"

namespace sipcrypt {

Codec::Codec(std::unique_ptr<TextEncoding> encoding) : encoding_(std::move(encoding)) {}

Outcome Codec::set_password(std::string_view utf8) {
    cipher_.reset();
    cut_short_ = false;
    Outcome status = check_password_text(utf8);
    if (status.ok()) status = encoding_->from_utf8(utf8, bytes_);
    if (!status.ok()) return status;
    cipher_.emplace(std::string_view(bytes_.data(), bytes_.size()));
    cut_short_ = bytes_.size() > password_key_length;
    secure_wipe(bytes_.data(), bytes_.size());
    return Code::done;
}

Outcome Codec::encrypt(std::string_view text, std::string& encrypted) {
    if (!cipher_) return Code::empty_password;
    Outcome status = check_value_text(text);
    if (status.ok()) status = encoding_->from_utf8(text, bytes_);
    if (status.ok()) status = cipher_->encrypt({bytes_.data(), bytes_.size()}, encrypted);
    secure_wipe(bytes_.data(), bytes_.size());
    return status;
}

Outcome Codec::check(std::string_view text) {
    Outcome status = check_value_text(text);
    if (status.ok()) status = encoding_->from_utf8(text, bytes_);
    if (status.ok()) status = check_value({bytes_.data(), bytes_.size()});
    secure_wipe(bytes_.data(), bytes_.size());
    return status;
}

Outcome Codec::decrypt(std::string_view encrypted, SecretBytes& text) {
    if (!cipher_) return Code::empty_password;
    Outcome status = cipher_->decrypt(encrypted, bytes_);
    if (status.ok()) status = encoding_->to_utf8({bytes_.data(), bytes_.size()}, text);
    secure_wipe(bytes_.data(), bytes_.size());
    return status;
}

}  // namespace sipcrypt
