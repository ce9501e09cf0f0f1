#include "settings_encryption.h"

#include <QByteArray>
#include <QStringView>

#include "cipher/blowfish_cipher.h"
#include "settings/parameter_encryption.h"
#include "settings/text_rules.h"

namespace sipcrypt::app {

namespace {

const std::array<QString, parameter_count> value_names = {
    QStringLiteral("SIP Login"), QStringLiteral("SIP Password"), QStringLiteral("SIP Proxy"),
    QStringLiteral("SIP Outbound Proxy")};
const QString password_name = QStringLiteral("Encryption Password");

// The text as bytes in the encoding.
Outcome to_bytes(const QString& text, TextEncoding& encoding, SecretBytes& bytes) {
    // A lone surrogate would otherwise become a stand-in character unseen.
    if (!QStringView(text).isValidUtf16()) return ParameterStatus::not_utf8;
    QByteArray utf8 = text.toUtf8();
    const std::string_view view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    Outcome status = check_value_text(view);
    if (status.ok()) status = encoding.from_utf8(view, bytes);
    secure_wipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return status;
}

QString refusal(const QString& field, const Outcome& status) {
    const QString why = status == ParameterStatus::not_utf8
                            ? QStringLiteral("the text holds a broken character")
                            : QString::fromStdString(describe(status));
    return field + QStringLiteral(": ") + why;
}

}  // namespace

SettingsOutcome encrypt_settings(const SettingsInput& input, TextEncoding& encoding) {
    SettingsOutcome outcome;
    if (input.password.isEmpty()) {
        outcome.kind = SettingsOutcome::Kind::empty_password;
        return outcome;
    }
    SecretBytes password;
    QByteArray password_text = input.password.toUtf8();
    Outcome password_ok = check_password_text(
        {password_text.constData(), static_cast<std::size_t>(password_text.size())});
    secure_wipe(password_text.data(), static_cast<std::size_t>(password_text.size()));
    if (password_ok.ok()) password_ok = to_bytes(input.password, encoding, password);
    if (const Outcome& status = password_ok; !status.ok()) {
        outcome.refusals << refusal(password_name, status);
    }
    outcome.password_cut_short = password.size() > BlowfishCipher::effective_key_length;

    // Every value is checked before any is encrypted, so that a refusal
    // anywhere leaves every box as it was.
    std::array<SecretBytes, parameter_count> values;
    for (std::size_t i = 0; i < parameter_count; ++i) {
        if (input.values[i].isEmpty()) continue;
        Outcome status = to_bytes(input.values[i], encoding, values[i]);
        if (status.ok()) status = check_value({values[i].data(), values[i].size()});
        if (!status.ok()) outcome.refusals << refusal(value_names[i], status);
    }
    if (!outcome.refusals.isEmpty()) {
        outcome.kind = SettingsOutcome::Kind::refused;
        return outcome;
    }

    std::string text;
    for (std::size_t i = 0; i < parameter_count; ++i) {
        if (input.values[i].isEmpty()) continue;
        const auto status = encrypt_parameter({values[i].data(), values[i].size()}, text,
                                              {password.data(), password.size()});
        if (status == ParameterStatus::done) outcome.texts[i] = QString::fromStdString(text);
    }
    return outcome;
}

}  // namespace sipcrypt::app
