#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/codec.h"
#include "fields.h"

namespace sipcrypt::gui {

// The settings dialog without its toolkit: the nine texts of its boxes and
// the press of its button. A view shows the texts in its boxes, hands them
// over before a press, shows what the press says, and shows the texts again.
// Texts are UTF-16, as the boxes hold them on every toolkit.
class SettingsForm {
  public:
    // What a press has to say, and where the focus goes after it; nothing,
    // when the text is empty.
    struct Notice {
        std::string text;  // UTF-8
        std::optional<Field> focus;
    };

    explicit SettingsForm(Codec& codec);
    ~SettingsForm();
    SettingsForm(const SettingsForm&) = delete;
    SettingsForm& operator=(const SettingsForm&) = delete;

    const std::u16string& text(Field field) const;
    void set_text(Field field, std::u16string_view text);

    // Encrypts the four parameters under the password, all or nothing: if
    // any field is refused, the notice names every refused field and no
    // encrypted text changes. An empty parameter is skipped, and its
    // encrypted text stays as it was. The cipher is keyed once a press.
    Notice press();

  private:
    Codec& codec_;
    std::array<std::u16string, field_count> texts_;
    std::u16string last_long_password_told_;
};

}  // namespace sipcrypt::gui
