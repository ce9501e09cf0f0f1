#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <limits>

#include "core/codec.h"
#include "core/parameter_encryption.h"
#include "gui/dialog_template.h"
#include "gui/qt/font_units.h"
#include "gui/qt/settings_dialog.h"
#include "gui/settings_form.h"
#include "tests/codec_for.h"

using namespace sipcrypt;
using namespace sipcrypt::gui;
using namespace sipcrypt::gui::qt;

namespace {

// The template's boxes.
constexpr int password_edit_id = 1002;
constexpr std::array<int, 4> input_edit_ids = {1003, 1004, 1005, 1006};
constexpr std::array<int, 4> output_edit_ids = {1007, 1008, 1009, 1010};

QString core_text(const QString& value, const QString& password) {
    std::string text;
    const QByteArray v = value.toUtf8(), p = password.toUtf8();
    encrypt_parameter({v.constData(), static_cast<std::size_t>(v.size())}, text,
                      {p.constData(), static_cast<std::size_t>(p.size())});
    return QString::fromStdString(text);
}

// A dialog whose messages are collected instead of shown.
struct Fixture {
    std::unique_ptr<Codec> codec;
    SettingsForm form;
    SettingsDialog dialog;
    QStringList messages;

    explicit Fixture(const char* encoding_name = "UTF-8")
        : codec(codec_for(encoding_name)), form(*codec), dialog(form) {
        dialog.set_message_sink([this](const QString& text) { messages << text; });
    }
    QLineEdit* edit(int id) { return dialog.box(*field_of(id)); }
    QPushButton* button() { return dialog.button(); }
    void type(int id, const QString& text) { edit(id)->setText(text); }
    QStringList outputs() {
        QStringList texts;
        for (int id : output_edit_ids) texts << edit(id)->text();
        return texts;
    }
};

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // Where each control sits is worked out by hand further on; here, what
    // each is.
    void controls_follow_the_template() {
        Fixture f;
        QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Encrypt SIP Settings. "));
        QCOMPARE(f.dialog.minimumSize(), f.dialog.maximumSize());
        const Qt::WindowFlags flags = f.dialog.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

        const auto labels = f.dialog.findChildren<QLabel*>();
        const auto groups = f.dialog.findChildren<QGroupBox*>();
        int label_index = 0, group_index = 0;
        for (const ControlTemplate& c : settings_dialog_template.controls) {
            const QString text = QString::fromUtf8(c.text.data(), c.text.size());
            switch (c.kind) {
                case ControlKind::label: {
                    QLabel* label = labels.at(label_index++);
                    QCOMPARE(label->text(), text);
                    QCOMPARE(label->buddy(), f.edit(c.buddy));
                    break;
                }
                case ControlKind::group_box: {
                    QGroupBox* group = groups.at(group_index++);
                    QCOMPARE(group->title(), text);
                    break;
                }
                case ControlKind::push_button:
                    QCOMPARE(f.button()->text(), text);
                    QVERIFY(!f.button()->isDefault());
                    break;
                case ControlKind::edit: {
                    QLineEdit* edit = f.edit(c.id);
                    QVERIFY(edit != nullptr);
                    QCOMPARE(edit->isReadOnly(), c.id >= 1007);
                    QCOMPARE(edit->maxLength(), std::numeric_limits<int>::max());
                    QCOMPARE(edit->echoMode(), QLineEdit::Normal);
                    break;
                }
            }
        }
        QCOMPARE(label_index, 9);
        QCOMPARE(group_index, 2);
        QCOMPARE(f.edit(1003)->accessibleName(), QStringLiteral("SIP Login"));

        // Tab order is template order: the button, then the ten boxes.
        QList<int> order;
        QWidget* w = f.button();
        do {
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName().mid(8).toInt();
            w = w->nextInFocusChain();
        } while (w != f.button());
        QCOMPARE(order, (QList<int>{1000, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}));
    }

    void a_press_shows_the_cores_texts() {
        Fixture f;
        const QStringList values = {QStringLiteral("sip:alice@example.com"), QStringLiteral("a"),
                                    QStringLiteral("12345678"), QStringLiteral("p\u00E4ss\u00F6")};
        f.type(password_edit_id, QStringLiteral("secret"));
        for (int i = 0; i < 4; ++i) f.type(input_edit_ids[i], values[i]);
        f.button()->click();
        QCOMPARE(f.outputs().at(0), QStringLiteral("0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(f.outputs().at(i), core_text(values[i], QStringLiteral("secret")));
        }
        QVERIFY(f.messages.isEmpty());
        // A text longer than its box shows from its start.
        QCOMPARE(f.edit(1007)->cursorPosition(), 0);

        // Again without changes: the same texts.
        const QStringList first = f.outputs();
        f.button()->click();
        QCOMPARE(f.outputs(), first);

        // An emptied input keeps its old text; the other three are renewed.
        f.type(password_edit_id, QStringLiteral("other"));
        f.type(input_edit_ids[1], QString());
        f.button()->click();
        QCOMPARE(f.outputs().at(1), first.at(1));
        for (int i : {0, 2, 3}) {
            QCOMPARE(f.outputs().at(i), core_text(values[i], QStringLiteral("other")));
        }
    }

    void a_press_with_nothing_to_encrypt_changes_nothing() {
        Fixture f;
        f.type(password_edit_id, QStringLiteral("secret"));
        f.button()->click();
        QCOMPARE(f.outputs(), QStringList(4, QString()));
        QVERIFY(f.messages.isEmpty());
    }

    // The form's notice is shown as it is, once a press, and no box changes;
    // what each refusal says is the form's (settings_form_test).
    void refusals_show_the_forms_notice_and_change_no_output() {
        Fixture f("WINDOWS-1252");
        f.type(password_edit_id, QStringLiteral("secret"));
        for (int id : input_edit_ids) f.type(id, QStringLiteral("v%1").arg(id));
        f.button()->click();
        const QStringList before = f.outputs();
        // Longer than the box's default limit: refused, not cut short by the box.
        f.type(1005, QString(40000, QChar(u'x')));
        QCOMPARE(f.edit(1005)->text().size(), 40000);
        f.type(1004, QStringLiteral("\u65E5\u672C"));
        f.button()->click();
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages.last().startsWith(QStringLiteral("Nothing was encrypted:")));
        QVERIFY(f.messages.last().contains(QStringLiteral("SIP Password: character U+65E5")));
        QVERIFY(f.messages.last().contains(QStringLiteral("SIP Proxy: the value is longer")));
        QCOMPARE(f.outputs(), before);
    }

    // Worked out by hand for the test font (DejaVu Sans 8 pt, 96 dpi: base
    // units 7 and 13), not by the code under test: x * 7 / 4 and y * 13 / 8,
    // each rounded to nearest. The dialog is then 439 x 535 pixels.
    void controls_sit_where_the_dialog_manager_puts_them() {
        Fixture f;
        const DialogUnits units = dialog_units_of(f.dialog.font());
        QCOMPARE(units.base_x(), 7);
        QCOMPARE(units.base_y(), 13);
        QCOMPARE(f.dialog.size(), QSize(439, 535));
        const QRect expected[] = {
            {40, 60, 124, 13},   {40, 93, 320, 128},  {112, 117, 61, 13},  {89, 143, 84, 13},
            {110, 169, 63, 13},  {51, 195, 123, 13},  {44, 232, 280, 42},  {172, 57, 189, 20},
            {179, 114, 168, 20}, {179, 140, 168, 20}, {179, 166, 168, 20}, {179, 192, 168, 20},
            {44, 333, 320, 128}, {116, 358, 61, 13},  {93, 384, 84, 13},   {114, 410, 63, 13},
            {54, 436, 123, 13},  {182, 354, 168, 20}, {182, 380, 168, 20}, {182, 406, 168, 20},
            {182, 432, 168, 20},
        };
        const auto children = f.dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(children.size(), 21);
        QList<QRect> boxes;
        for (int i = 0; i < 21; ++i) {
            QCOMPARE(children[i]->geometry(), expected[i]);
            if (qobject_cast<QLineEdit*>(children[i]) != nullptr) boxes << expected[i];
        }
        // No two boxes overlap, and each label sits left of its box, on its line.
        for (int i = 0; i < boxes.size(); ++i) {
            for (int k = i + 1; k < boxes.size(); ++k) QVERIFY(!boxes[i].intersects(boxes[k]));
        }
        for (QLabel* label : f.dialog.findChildren<QLabel*>()) {
            const QRect box = label->buddy()->geometry();
            QVERIFY2(label->geometry().right() < box.left(), qPrintable(label->text()));
            QVERIFY(label->geometry().top() < box.bottom() &&
                    box.top() < label->geometry().bottom());
        }
    }

    void boxes_are_named_for_screen_readers() {
        Fixture f;
        const QStringList names = {QStringLiteral("SIP Login"), QStringLiteral("SIP Password"),
                                   QStringLiteral("SIP Proxy"),
                                   QStringLiteral("SIP Outbound Proxy")};
        QCOMPARE(f.edit(password_edit_id)->accessibleName(), QStringLiteral("Encryption Password"));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(f.edit(input_edit_ids[i])->accessibleName(), names[i]);
            QCOMPARE(f.edit(output_edit_ids[i])->accessibleName(),
                     QStringLiteral("Encrypted ") + names[i]);
        }
        const auto groups = f.dialog.findChildren<QGroupBox*>();
        QCOMPARE(groups[0]->accessibleName(), QStringLiteral("SIP Settings"));
        QCOMPARE(groups[1]->accessibleName(), QStringLiteral("Encrypted SIP Settings"));
        QCOMPARE(groups[0]->title(), QStringLiteral(" SIP Settings "));
    }

    // As on Windows, a box that cannot be typed in shows the dialog's face.
    void read_only_boxes_do_not_look_editable() {
        Fixture f;
        f.dialog.show();
        const QImage image = f.dialog.grab().toImage();
        const QColor face = f.dialog.palette().color(QPalette::Window);
        const auto inside = [&](int id) {
            const QRect box = f.edit(id)->geometry();
            return image.pixelColor(box.center().x(), box.center().y());
        };
        for (int id : output_edit_ids) QCOMPARE(inside(id), face);
        for (int id : input_edit_ids) QVERIFY(inside(id) != face);
    }

    // A paste keeps only its first line, as in a Windows single-line box; a
    // value that still holds a line break is refused at the press.
    void values_are_one_line() {
        Fixture f;
        QLineEdit* login = f.edit(1003);
        login->setText(QStringLiteral("abcd"));
        login->setCursorPosition(2);
        QApplication::clipboard()->setText(QStringLiteral("X\nY\r\nZ"));
        login->paste();
        QCOMPARE(login->text(), QStringLiteral("abXcd"));
        QCOMPARE(login->cursorPosition(), 3);
    }

    void after_the_empty_password_message_the_password_box_has_the_focus() {
        Fixture f;
        f.dialog.show();
        QApplication::setActiveWindow(&f.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&f.dialog));
        QCOMPARE(f.dialog.focusWidget(), f.button());
        f.type(1003, QStringLiteral("alice"));
        f.button()->click();
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.dialog.focusWidget(), f.edit(password_edit_id));
    }

    void keyboard_follows_the_dialog_conventions() {
        {
            Fixture f;
            f.dialog.show();
            QCOMPARE(f.dialog.focusWidget(), f.button());
            f.type(password_edit_id, QStringLiteral("secret"));
            f.type(1003, QStringLiteral("sip:alice@example.com"));
            QTest::keyClick(f.button(), Qt::Key_Space);
            QCOMPARE(f.edit(1007)->text(), QStringLiteral("0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"));
            f.type(1003, QStringLiteral("a"));
            QTest::keyClick(f.button(), Qt::Key_Return);
            QCOMPARE(f.edit(1007)->text(),
                     core_text(QStringLiteral("a"), QStringLiteral("secret")));
            QVERIFY(f.dialog.isVisible());
        }
        for (int id : {1002, 1004, 1010}) {
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                Fixture f;
                f.dialog.show();
                QTest::keyClick(f.edit(id), key,
                                key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
                QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
                QVERIFY(!f.dialog.isVisible());
            }
        }
        {
            Fixture f;
            f.dialog.show();
            QTest::keyClick(f.edit(1003), Qt::Key_Escape);
            QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
            QVERIFY(!f.dialog.isVisible());
        }
        {
            Fixture f;
            f.dialog.show();
            f.dialog.close();
            QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        }
    }

    void the_dialog_really_renders() {
        Fixture f;
        f.dialog.show();
        const QImage image = f.dialog.grab().toImage();
        QCOMPARE(image.size(), f.dialog.size() * f.dialog.devicePixelRatio());
        const QColor background = image.pixelColor(2, 2);
        auto dark_pixels = [&](const QRect& rect) {
            int count = 0;
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                for (int x = rect.left(); x <= rect.right(); ++x) {
                    if (image.pixelColor(x, y).lightness() < background.lightness() - 80) ++count;
                }
            }
            return count;
        };
        for (QLabel* label : f.dialog.findChildren<QLabel*>()) {
            QVERIFY2(dark_pixels(label->geometry()) > 10, qPrintable(label->text()));
        }
        QVERIFY(dark_pixels(f.button()->geometry().adjusted(8, 8, -8, -8)) > 50);
    }

    void the_icon_has_the_four_images() {
        Fixture f;
        const QList<QSize> sizes = f.dialog.windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));

        QFile file(QStringLiteral(":/icons/sipcrypt.ico"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ico = file.readAll();
        const auto u16 = [&](int at) { return int(uchar(ico[at])) | int(uchar(ico[at + 1])) << 8; };
        QCOMPARE(u16(2), 1);  // an icon
        QCOMPARE(u16(4), 4);
        QList<QPair<int, int>> images;  // size, bits per pixel
        for (int i = 0; i < 4; ++i)
            images << qMakePair(int(uchar(ico[6 + 16 * i])), u16(6 + 16 * i + 6));
        QCOMPARE(images, (QList<QPair<int, int>>{{32, 8}, {16, 8}, {32, 4}, {16, 4}}));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
