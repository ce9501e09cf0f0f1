#include "settings_app.h"

#include "gui/settings_form.h"
#include "settings_dialog.h"

namespace sipcrypt::gui::qt {

SettingsApp::SettingsApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("sipcrypt-gui"));
    QApplication::setApplicationVersion(QStringLiteral(SIPCRYPT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("sipcrypt-gui"));
}

int SettingsApp::run(Codec& codec) {
    SettingsForm form(codec);
    SettingsDialog dialog(form);
    dialog.exec();  // OK, Cancel and the close box all end the program
    return 0;
}

}  // namespace sipcrypt::gui::qt
