#include <cstddef>

#include "settings_form.h"

#include "cipher/secret_memory.h"
#include "core/limits.h"
#include "core/messages.h"
#include "core/system.h"
#include "core/unicode.h"
#include "fields.h"

namespace sipcrypt::gui {

namespace {

std::size_t index_of(Field field) {
    return static_cast<std::size_t>(field);
}

// A field's text as UTF-8: half of a surrogate pair stays broken, for the
// checks to refuse with its place.
void utf8_of(const std::u16string& text, std::string& utf8) {
    utf16_to_utf8_as_is(text, utf8);
}

// Clears its strings' buffers when it goes: they hold clear values.
struct ClearTexts {
    std::array<std::string, parameters.size()> values;
    std::string password;
    ~ClearTexts() {
        for (auto& value : values) wipe_string(value);
        wipe_string(password);
    }
};

}  // namespace

SettingsForm::SettingsForm(Codec& codec) : codec_(codec) {}

SettingsForm::~SettingsForm() {
    for (auto& text : texts_) wipe_string(text);
    wipe_string(last_long_password_told_);
}

const std::u16string& SettingsForm::text(Field field) const {
    return texts_[index_of(field)];
}

void SettingsForm::set_text(Field field, std::u16string_view text) {
    auto& kept = texts_[index_of(field)];
    if (kept == text) return;
    wipe_string(kept);
    kept.assign(text);
}

SettingsForm::Notice SettingsForm::press() {
    const std::u16string& password = text(Field::encryption_password);
    if (password.empty()) return {message(Code::no_password_typed), Field::encryption_password};
    ClearTexts clear;
    Outcome refused(Code::nothing_encrypted);
    bool unchosen = false;
    const auto refuse = [&](Field field, Outcome status) {
        unchosen = unchosen || status == Code::not_ascii_character;
        status.subject = field_name(field);
        if (!refused.value.empty()) refused.value += '\n';
        refused.value += message(status, Audience::dialog);
    };
    utf8_of(password, clear.password);
    const Outcome keyed = codec_.set_password(clear.password);
    if (!keyed.ok()) refuse(Field::encryption_password, keyed);

    // Every text is made before any box changes, so that a refusal anywhere
    // leaves them all as they were.
    std::array<std::string, parameters.size()> made;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (text(parameters[i]).empty()) continue;
        utf8_of(text(parameters[i]), clear.values[i]);
        // Without a key, each value is still checked, so that one notice
        // names every refused field.
        const Outcome status =
            keyed.ok() ? codec_.encrypt(clear.values[i], made[i]) : codec_.check(clear.values[i]);
        if (!status.ok()) refuse(parameters[i], status);
    }
    if (!refused.value.empty()) {
        std::string said = message(refused, Audience::dialog);
        if (unchosen) {
            said +=
                "\n\n" + message(Outcome::quoting(Code::choose_an_encoding, settings_file_path()),
                                 Audience::dialog);
        }
        return {said, {}};
    }

    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (text(parameters[i]).empty()) continue;
        texts_[index_of(encrypted(parameters[i]))].assign(made[i].begin(), made[i].end());
    }
    if (codec_.password_cut_short() && password != last_long_password_told_) {
        wipe_string(last_long_password_told_);
        last_long_password_told_ = password;
        return {message(Outcome::over_limit(Code::password_cut_short, password_key_length),
                        Audience::dialog),
                {}};
    }
    return {};
}

std::string_view field_name(Field field) {
    static constexpr std::array<std::string_view, field_count> names = {
        "Encryption Password",
        "SIP Login",
        "SIP Password",
        "SIP Proxy",
        "SIP Outbound Proxy",
        "Encrypted SIP Login",
        "Encrypted SIP Password",
        "Encrypted SIP Proxy",
        "Encrypted SIP Outbound Proxy"};
    return names[index_of(field)];
}

}  // namespace sipcrypt::gui
