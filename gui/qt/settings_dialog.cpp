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
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/secret_memory.h"
#include "font_units.h"
#include "gui/dialog_template.h"
#include "gui/dialog_units.h"
#include "gui/settings_form.h"
#include "single_line_validator.h"

// The icons are compiled into this static library; a linker drops them
// unless something asks for them by name.
static void load_resources() {
    Q_INIT_RESOURCE(sipcrypt);
}

namespace sipcrypt::gui::qt {

namespace {

QString text_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

SettingsDialog::SettingsDialog(SettingsForm& form, QWidget* parent) : QDialog(parent), form_(form) {
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
    const DialogUnits units = dialog_units_of(font);
    setFixedSize(units.to_pixels_x(t.width), units.to_pixels_y(t.height));
    message_sink_ = [this](const QString& text) {
        QMessageBox::warning(this, windowTitle(), text);
    };
}

// Qt keeps the boxes' texts in strings it may share and does not wipe; what
// the dialog can reach, it clears.
SettingsDialog::~SettingsDialog() {
    for (QLineEdit* box : boxes_) box->clear();
}

void SettingsDialog::build_controls() {
    const DialogUnits units = dialog_units_of(font());
    QWidget* previous_tab_stop = nullptr;
    std::vector<std::pair<QLabel*, int>> labels;
    for (const ControlTemplate& c : settings_dialog_template.controls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::label: {
                auto* label = new QLabel(text_of(c.text), this);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                labels.emplace_back(label, c.buddy);
                widget = label;
                break;
            }
            case ControlKind::group_box:
                widget = new QGroupBox(text_of(c.text), this);
                widget->setAccessibleName(text_of(c.text).trimmed());
                break;
            case ControlKind::push_button:
                button_ = new QPushButton(text_of(c.text), this);
                // Enter presses the button while it has the focus, but it is
                // never the dialog's default: Enter elsewhere ends the dialog.
                button_->setAutoDefault(true);
                button_->setDefault(false);
                connect(button_, &QPushButton::clicked, this,
                        &SettingsDialog::generate_encrypted_parameters);
                widget = button_;
                break;
            case ControlKind::edit: {
                const Field field = *field_of(c.id);
                auto* box = new QLineEdit(this);
                box->setMaxLength(std::numeric_limits<int>::max());
                box->setAccessibleName(text_of(field_name(field)));
                if ((c.flags & read_only) != 0) {
                    box->setReadOnly(true);
                    // As on Windows: a box that cannot be typed in has the
                    // dialog's face, not an input box's.
                    QPalette palette = box->palette();
                    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                    box->setPalette(palette);
                } else {
                    box->setValidator(new SingleLineValidator(box));
                }
                box->installEventFilter(this);
                boxes_[static_cast<std::size_t>(field)] = box;
                widget = box;
                break;
            }
        }
        widget->setGeometry(to_qrect(units.to_pixels(c.rect)));
        if (c.id != no_id) widget->setObjectName(QStringLiteral("control_%1").arg(c.id));
        if ((c.flags & tab_stop) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous_tab_stop != nullptr) setTabOrder(previous_tab_stop, widget);
            previous_tab_stop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    // Each label names its box, for the keyboard.
    for (const auto& [label, id] : labels) label->setBuddy(box(*field_of(id)));
    button_->setFocus();
}

// The boxes' texts go to the form, the form presses, and its texts come back
// to the boxes: one exchange each way over all nine, the read-only ones too.
void SettingsDialog::generate_encrypted_parameters() {
    for (std::size_t i = 0; i < field_count; ++i) {
        std::u16string text = boxes_[i]->text().toStdU16String();
        form_.set_text(static_cast<Field>(i), text);
        wipe_string(text);
    }
    const SettingsForm::Notice notice = form_.press();
    for (std::size_t i = 0; i < field_count; ++i) {
        const QString text = QString::fromStdU16String(form_.text(static_cast<Field>(i)));
        if (boxes_[i]->text() == text) continue;
        boxes_[i]->setText(text);
        boxes_[i]->setCursorPosition(0);  // show the start of a long text, not its end
    }
    if (notice.text.empty()) return;
    if (message_sink_) message_sink_(QString::fromStdString(notice.text));
    if (notice.focus) box(*notice.focus)->setFocus();
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

}  // namespace sipcrypt::gui::qt
