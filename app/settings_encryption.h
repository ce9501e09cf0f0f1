#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "settings/text_encoding.h"

namespace sipcrypt::app {

// The four SIP account parameters, in the order they are encrypted.
inline constexpr std::size_t parameter_count = 4;

// What one press of the button gets from the dialog's boxes.
struct SettingsInput {
    QString password;
    std::array<QString, parameter_count> values;  // login, password, proxy, outbound proxy
};

struct SettingsOutcome {
    enum class Kind { encrypted, empty_password, refused };
    Kind kind = Kind::encrypted;
    // For refused: one line per refused field, naming it and why.
    QStringList refusals;
    // For encrypted: the new text of each output box; none for an empty
    // value, whose box keeps what it shows.
    std::array<std::optional<QString>, parameter_count> texts;
    // The password is longer than the 72 bytes that count.
    bool password_cut_short = false;
};

// Encrypts the non-empty values under the password, all or nothing: if any
// field is refused, no text is given at all.
SettingsOutcome encrypt_settings(const SettingsInput& input, TextEncoding& encoding);

}  // namespace sipcrypt::app
