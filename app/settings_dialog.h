#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <map>

#include "settings/text_encoding.h"

class QLineEdit;
class QPushButton;

namespace sipcrypt::app {

// The one window: the password and the four SIP parameters in, their
// encrypted texts out, built control by control from the dialog template.
class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Exchange { from_controls, to_controls };

    // Shows a message to the user. Replaceable, so that tests can read the
    // messages without a blocking modal box.
    using MessageSink = std::function<void(const QString& text)>;

    explicit SettingsDialog(TextEncoding& encoding, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // The control with a template id (1000, 1002 ... 1010), or null.
    QWidget* control(int id) const;
    void set_message_sink(MessageSink sink) { message_sink_ = std::move(sink); }

    // Copies the nine texts between the members and their boxes, in the
    // order 1002 ... 1010, the read-only boxes included.
    void exchange_data(Exchange direction);

  public slots:
    void generate_encrypted_parameters();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build_controls();
    void show_message(const QString& text);

    TextEncoding& encoding_;
    std::map<int, QWidget*> controls_;
    MessageSink message_sink_;
    QString last_long_password_warned_;

    // In the order of their boxes, 1002 ... 1010.
    QString encryption_password_;
    QString sip_login_;
    QString sip_password_;
    QString sip_proxy_;
    QString sip_outbound_proxy_;
    QString encrypted_sip_login_;
    QString encrypted_sip_password_;
    QString encrypted_sip_proxy_;
    QString encrypted_sip_outbound_proxy_;
};

}  // namespace sipcrypt::app
