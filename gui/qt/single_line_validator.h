#pragma once

#include <QValidator>

namespace sipcrypt::gui::qt {

// Makes a box take what a Windows single-line edit box takes: of text pasted
// or dropped into it, only the first line. The boxes render a line break as
// a space, so a value holding one would be encrypted other than it shows.
class SingleLineValidator : public QValidator {
    Q_OBJECT

  public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

}  // namespace sipcrypt::gui::qt
