#include <cstddef>

#include "settings_form.h"

#include "cipher/secret_memory.h"
#include "core/limits.h"
#include "core/outcome.h"
#include "core/utf16.h"
#include "fields.h"

namespace sipcrypt::gui {

namespace {

std::size_t index_of(Field field) {
    return static_cast<std::size_t>(field);
}

// A field's text as UTF-8, or why it cannot be.
Outcome utf8_of(const std::u16string& text, std::string& utf8) {
    // Only half of a surrogate pair makes a box's text fail to be UTF-8.
    return utf16_to_utf8(text, utf8) ? Outcome(ParameterStatus::done)
                                     : Outcome(ParameterStatus::broken_text);
}

std::string refusal(Field field, const Outcome& status) {
    return std::string(field_name(field)) + ": " + describe(status);
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
    if (password.empty()) {
        return {"Type an encryption password first.\n\nNothing was encrypted.",
                Field::encryption_password};
    }
    ClearTexts clear;
    std::string refusals;
    const auto refuse = [&](Field field, const Outcome& status) {
        if (!refusals.empty()) refusals += '\n';
        refusals += refusal(field, status);
    };
    Outcome keyed = utf8_of(password, clear.password);
    if (keyed.ok()) keyed = codec_.set_password(clear.password);
    if (!keyed.ok()) refuse(Field::encryption_password, keyed);

    // Every text is made before any box changes, so that a refusal anywhere
    // leaves them all as they were.
    std::array<std::string, parameters.size()> made;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (text(parameters[i]).empty()) continue;
        Outcome status = utf8_of(text(parameters[i]), clear.values[i]);
        // Without a key, each value is still checked, so that one notice
        // names every refused field.
        if (status.ok()) {
            status = keyed.ok() ? codec_.encrypt(clear.values[i], made[i])
                                : codec_.check(clear.values[i]);
        }
        if (!status.ok()) refuse(parameters[i], status);
    }
    if (!refusals.empty()) return {"Nothing was encrypted:\n\n" + refusals, {}};

    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (text(parameters[i]).empty()) continue;
        texts_[index_of(encrypted(parameters[i]))].assign(made[i].begin(), made[i].end());
    }
    if (codec_.password_cut_short() && password != last_long_password_told_) {
        wipe_string(last_long_password_told_);
        last_long_password_told_ = password;
        const std::string limit = std::to_string(password_key_length);
        return {"Only the first " + limit +
                    " bytes of the encryption password count; the rest makes no difference "
                    "to the encrypted texts.",
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
