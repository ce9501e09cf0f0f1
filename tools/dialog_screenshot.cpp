// Renders the settings dialog, filled in and pressed once, to a PNG file
// without a display: QT_QPA_PLATFORM=offscreen dialog_screenshot OUT.png
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "core/codec.h"
#include "gui/qt/settings_dialog.h"
#include "gui/settings_form.h"
#include "tests/codec_for.h"

int main(int argc, char** argv) {
    using sipcrypt::gui::Field;
    if (argc != 2) {
        std::fputs("usage: dialog_screenshot OUT.png\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    auto codec = sipcrypt::codec_for("UTF-8");
    sipcrypt::gui::SettingsForm form(*codec);
    sipcrypt::gui::qt::SettingsDialog dialog(form);
    const std::pair<Field, const char*> inputs[] = {
        {Field::encryption_password, "secret"},
        {Field::sip_login, "alice"},
        {Field::sip_password, "pa,ss"},
        {Field::sip_proxy, "proxy.example.net"},
        {Field::sip_outbound_proxy, "sip:alice@example.com"}};
    for (const auto& [field, text] : inputs) dialog.box(field)->setText(QString::fromUtf8(text));
    dialog.button()->click();
    dialog.show();
    QApplication::processEvents();
    return dialog.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
