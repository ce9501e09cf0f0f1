#include "single_line_validator.h"

#include <QRegularExpression>

namespace sipcrypt::gui::qt {

QValidator::State SingleLineValidator::validate(QString& input, int& position) const {
    // The box held no line break before, so the first one is in what was
    // just put in, which ends at the cursor: keep that up to the break,
    // and what followed the cursor.
    const auto first_break = input.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
    if (first_break < 0) return Acceptable;
    if (first_break < position) {
        input = input.left(first_break) + input.mid(position);
        position = static_cast<int>(first_break);
    }
    return Acceptable;
}

}  // namespace sipcrypt::gui::qt
