#include "settings_app.h"

#include "settings_dialog.h"

namespace sipcrypt::app {

SettingsApp::SettingsApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("sipcrypt-gui"));
    QApplication::setApplicationVersion(QStringLiteral(SIPCRYPT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("sipcrypt-gui"));
}

int SettingsApp::run(TextEncoding& encoding) {
    SettingsDialog dialog(encoding);
    dialog.exec();  // OK, Cancel and the close box all end the program
    return 0;
}

}  // namespace sipcrypt::app
