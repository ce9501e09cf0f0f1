// Renders the settings dialog, filled in and pressed once, to a PNG file
// without a display: QT_QPA_PLATFORM=offscreen dialog_screenshot OUT.png
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "app/settings_dialog.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: dialog_screenshot OUT.png\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    auto encoding = sipcrypt::TextEncoding::open("UTF-8");
    sipcrypt::app::SettingsDialog dialog(*encoding);
    const std::pair<int, const char*> inputs[] = {{1002, "secret"},
                                                  {1003, "alice"},
                                                  {1004, "pa,ss"},
                                                  {1005, "proxy.example.net"},
                                                  {1006, "sip:alice@example.com"}};
    for (const auto& [id, text] : inputs) {
        static_cast<QLineEdit*>(dialog.control(id))->setText(QString::fromUtf8(text));
    }
    static_cast<QPushButton*>(dialog.control(1000))->click();
    dialog.show();
    QApplication::processEvents();
    return dialog.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
