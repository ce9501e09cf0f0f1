#include "settings_dialog.h"

#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "cipher/secure_wipe.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "settings_encryption.h"
#include "single_line_validator.h"

// The icons are compiled into this static library; a linker drops them
// unless something asks for them by name.
static void load_resources() {
    Q_INIT_RESOURCE(sipcrypt);
}

namespace sipcrypt::app {

namespace {

QString text_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Overwrites a string's characters if this string alone holds them. Data
// shared with a text box belongs to the box, which Qt does not wipe; so this
// is a best effort.
void wipe(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        secure_wipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text.clear();
}

// Every size in the .ico (the 256-colour image where it has two), and the
// larger sizes the desktop draws from the PNGs.
QIcon application_icon() {
    load_resources();
    QIcon icon;
    QImageReader reader(QStringLiteral(":/icons/sipcrypt.ico"));
    QList<QSize> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const QImage image = reader.read();
        if (image.isNull() || sizes.contains(image.size())) continue;
        sizes << image.size();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    for (int size : {48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/sipcrypt-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

SettingsDialog::SettingsDialog(TextEncoding& encoding, QWidget* parent)
    : QDialog(parent), encoding_(encoding) {
    const DialogTemplate& t = settings_dialog_template;
    // A top-level window with a taskbar entry, minimise and close buttons
    // and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(text_of(t.caption));
    QFont font(text_of(t.font_family), t.font_point_size);
    // Where the family is missing, the nearest sans-serif face stands in.
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setWindowIcon(application_icon());
    build_controls();
    setFixedSize(DialogUnits::of_font(font).to_pixels(t.width, t.height));
    message_sink_ = [this](const QString& text) {
        QMessageBox::warning(this, windowTitle(), text);
    };
}

SettingsDialog::~SettingsDialog() {
    for (QString* member : {&encryption_password_, &sip_login_, &sip_password_, &sip_proxy_,
                            &sip_outbound_proxy_, &last_long_password_warned_}) {
        wipe(*member);
    }
}

void SettingsDialog::build_controls() {
    const DialogUnits units = DialogUnits::of_font(font());
    QWidget* previous_tab_stop = nullptr;
    std::map<int, QLabel*> labels_by_buddy;
    for (const ControlTemplate& c : settings_dialog_template.controls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::label: {
                auto* label = new QLabel(text_of(c.text), this);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                labels_by_buddy[c.buddy] = label;
                widget = label;
                break;
            }
            case ControlKind::group_box:
                widget = new QGroupBox(text_of(c.text), this);
                widget->setAccessibleName(text_of(c.text).trimmed());
                break;
            case ControlKind::push_button: {
                auto* button = new QPushButton(text_of(c.text), this);
                // Enter presses the button while it has the focus, but it is
                // never the dialog's default: Enter elsewhere ends the dialog.
                button->setAutoDefault(true);
                button->setDefault(false);
                connect(button, &QPushButton::clicked, this,
                        &SettingsDialog::generate_encrypted_parameters);
                widget = button;
                break;
            }
            case ControlKind::edit: {
                auto* edit = new QLineEdit(this);
                edit->setMaxLength(std::numeric_limits<int>::max());
                if ((c.flags & read_only) != 0) {
                    edit->setReadOnly(true);
                    // As on Windows: a box that cannot be typed in has the
                    // dialog's face, not an input box's.
                    QPalette palette = edit->palette();
                    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                    edit->setPalette(palette);
                } else {
                    edit->setValidator(new SingleLineValidator(edit));
                }
                edit->installEventFilter(this);
                widget = edit;
                break;
            }
        }
        widget->setGeometry(units.to_pixels(c.rect));
        if (c.id != no_id) {
            widget->setObjectName(QStringLiteral("control_%1").arg(c.id));
            controls_[c.id] = widget;
        }
        if ((c.flags & tab_stop) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous_tab_stop != nullptr) setTabOrder(previous_tab_stop, widget);
            previous_tab_stop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    // Each label names its box, for screen readers and for the user; the
    // output boxes as what they hold.
    for (const auto& [id, label] : labels_by_buddy) {
        label->setBuddy(controls_.at(id));
        const QString name = label->text().chopped(1);
        const bool output =
            std::find(output_edit_ids.begin(), output_edit_ids.end(), id) != output_edit_ids.end();
        controls_.at(id)->setAccessibleName(output ? QStringLiteral("Encrypted ") + name : name);
    }
    controls_.at(generate_button_id)->setFocus();
}

QWidget* SettingsDialog::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void SettingsDialog::exchange_data(Exchange direction) {
    const std::array<std::pair<int, QString*>, 9> members = {{
        {1002, &encryption_password_},
        {1003, &sip_login_},
        {1004, &sip_password_},
        {1005, &sip_proxy_},
        {1006, &sip_outbound_proxy_},
        {1007, &encrypted_sip_login_},
        {1008, &encrypted_sip_password_},
        {1009, &encrypted_sip_proxy_},
        {1010, &encrypted_sip_outbound_proxy_},
    }};
    for (const auto& [id, member] : members) {
        auto* edit = static_cast<QLineEdit*>(controls_.at(id));
        if (direction == Exchange::from_controls) {
            *member = edit->text();
        } else if (edit->text() != *member) {
            edit->setText(*member);
            edit->setCursorPosition(0);  // show the start of a long text, not its end
        }
    }
}

void SettingsDialog::generate_encrypted_parameters() {
    exchange_data(Exchange::from_controls);
    const SettingsOutcome outcome = encrypt_settings(
        {encryption_password_, {sip_login_, sip_password_, sip_proxy_, sip_outbound_proxy_}},
        encoding_);
    switch (outcome.kind) {
        case SettingsOutcome::Kind::empty_password:
            show_message(
                QStringLiteral("Type an encryption password first.\n\nNothing was encrypted."));
            controls_.at(password_edit_id)->setFocus();
            return;
        case SettingsOutcome::Kind::refused:
            show_message(QStringLiteral("Nothing was encrypted:\n\n") +
                         outcome.refusals.join(QChar(u'\n')));
            return;
        case SettingsOutcome::Kind::encrypted:
            break;
    }
    QString* outputs[] = {&encrypted_sip_login_, &encrypted_sip_password_, &encrypted_sip_proxy_,
                          &encrypted_sip_outbound_proxy_};
    for (std::size_t i = 0; i < parameter_count; ++i) {
        if (outcome.texts[i]) *outputs[i] = *outcome.texts[i];
    }
    exchange_data(Exchange::to_controls);
    if (outcome.password_cut_short && encryption_password_ != last_long_password_warned_) {
        last_long_password_warned_ = encryption_password_;
        show_message(QStringLiteral(
            "Only the first 72 bytes of the encryption password count; the rest makes no "
            "difference to the encrypted texts."));
    }
}

// Enter in any edit box ends the dialog, as OK would.
bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) != nullptr) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::show_message(const QString& text) {
    if (message_sink_) message_sink_(text);
}

}  // namespace sipcrypt::app
