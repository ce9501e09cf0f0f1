#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace sipcrypt::gui {

// The dialog's nine texts, in the order of their boxes: the password, the
// four SIP parameters, their four encrypted texts.
enum class Field : std::size_t {
    encryption_password,
    sip_login,
    sip_password,
    sip_proxy,
    sip_outbound_proxy,
    encrypted_sip_login,
    encrypted_sip_password,
    encrypted_sip_proxy,
    encrypted_sip_outbound_proxy,
};
inline constexpr std::size_t field_count = 9;

// The four parameters, in the order they are encrypted, and the box that
// shows each one's encrypted text.
inline constexpr std::array<Field, 4> parameters = {Field::sip_login, Field::sip_password,
                                                    Field::sip_proxy, Field::sip_outbound_proxy};
constexpr Field encrypted(Field parameter) {
    return static_cast<Field>(static_cast<std::size_t>(parameter) + parameters.size());
}

// The boxes are controls 1002 to 1010, in field order.
inline constexpr int first_box_id = 1002;
constexpr int control_id(Field field) {
    return first_box_id + static_cast<int>(field);
}
constexpr std::optional<Field> field_of(int control_id) {
    if (control_id < first_box_id || control_id >= first_box_id + int{field_count}) return {};
    return static_cast<Field>(control_id - first_box_id);
}

// What the user knows a field as, for messages and screen readers:
// "Encryption Password", "SIP Login", "Encrypted SIP Login".
std::string_view field_name(Field field);

}  // namespace sipcrypt::gui
