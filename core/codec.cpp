#include <utility>
#include <vector>

#include "codec.h"

#include "cipher/ecb.h"
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

Outcome Codec::encrypt_many(std::string_view texts, std::span<const std::size_t> lengths,
                            std::string& encrypted, std::span<Code> codes) {
    if (!cipher_) return Code::empty_password;
    std::vector<std::size_t> ends;
    ends.reserve(lengths.size());
    blocks_.clear();
    blocks_.reserve(texts.size() + lengths.size() * BlowfishCipher::block_size);
    encrypted.reserve(encrypted.size() + texts.size() * 2 + lengths.size() * 16);
    Outcome first;
    std::size_t at = 0;
    for (std::size_t i = 0; i < lengths.size(); at += lengths[i++]) {
        const std::string_view text = texts.substr(at, lengths[i]);
        Outcome status = check_value_text(text);
        if (status.ok()) status = encoding_->from_utf8(text, bytes_);
        if (status.ok()) status = check_value({bytes_.data(), bytes_.size()});
        if (status.ok()) {
            blocks_.insert(blocks_.end(), bytes_.begin(), bytes_.end());
            blocks_.resize(padded_length(blocks_.size()));
        }
        ends.push_back(blocks_.size());
        if (status == Code::empty_value) status = Code::done;
        if (!codes.empty()) codes[i] = status.code;
        if (!status.ok() && first.ok()) {
            first = std::move(status);
            first.count = i;
        }
    }
    secure_wipe(bytes_.data(), bytes_.size());
    cipher_->encrypt_many({reinterpret_cast<std::uint8_t*>(blocks_.data()), blocks_.size()}, ends,
                          encrypted);
    return first;
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
