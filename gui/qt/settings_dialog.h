#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <utility>

#include "gui/fields.h"

class QLineEdit;
class QPushButton;

namespace sipcrypt::gui {
class SettingsForm;
}

namespace sipcrypt::gui::qt {

// The settings dialog's Qt view: built control by control from the dialog
// template, its boxes bound to the form's fields; a press goes through the
// form, and the view shows what it says.
class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // Shows a message to the user. Replaceable, so that tests can read the
    // messages without a blocking modal box.
    using MessageSink = std::function<void(const QString& text)>;

    explicit SettingsDialog(SettingsForm& form, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    QLineEdit* box(Field field) const { return boxes_[static_cast<std::size_t>(field)]; }
    QPushButton* button() const { return button_; }
    void set_message_sink(MessageSink sink) { message_sink_ = std::move(sink); }

  public slots:
    void generate_encrypted_parameters();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build_controls();

    SettingsForm& form_;
    std::array<QLineEdit*, field_count> boxes_{};
    QPushButton* button_ = nullptr;
    MessageSink message_sink_;
};

}  // namespace sipcrypt::gui::qt
