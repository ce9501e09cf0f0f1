#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/encoding_choice.h"
#include "core/messages.h"
#include "gui/launch_options.h"
#include "settings_app.h"

namespace {

// What Qt says while it connects to the display. If it cannot, it would end
// the program with an abort and advice to reinstall; a display that is not
// there (a stale DISPLAY over SSH, say) gets a plain message and status 1.
QStringList startup_messages;

void while_starting(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        startup_messages << message;
        return;
    }
    QString detail = startup_messages.isEmpty() ? message.section(QLatin1Char('.'), 0, 0)
                                                : startup_messages.first();
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            detail = QStringLiteral("%1=%2: %3").arg(QLatin1String(name), value, detail);
    }
    const auto unreachable =
        sipcrypt::Outcome::quoting(sipcrypt::Code::display_unreachable, detail.toStdString());
    std::fprintf(stderr, "sipcrypt-gui: %s\n",
                 sipcrypt::message(unreachable, sipcrypt::Audience::dialog).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

bool has_display() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    using sipcrypt::gui::LaunchOptions;
    const LaunchOptions options =
        sipcrypt::gui::read_launch_options(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
        case LaunchOptions::Action::usage_error:
            std::fprintf(stderr, "sipcrypt-gui: %s\n%s",
                         sipcrypt::message(options.error, sipcrypt::Audience::dialog).c_str(),
                         sipcrypt::gui::launch_usage().c_str());
            return 2;
        case LaunchOptions::Action::help:
            std::fputs(sipcrypt::gui::launch_usage().c_str(), stdout);
            return 0;
        case LaunchOptions::Action::version:
            std::puts("sipcrypt-gui " SIPCRYPT_VERSION);
            return 0;
        case LaunchOptions::Action::run:
            break;
    }
    std::unique_ptr<sipcrypt::TextEncoding> encoding;
    if (const auto chosen = sipcrypt::choose_encoding(options.encoding, encoding); !chosen.ok()) {
        std::fprintf(stderr, "sipcrypt-gui: %s\n",
                     sipcrypt::message(chosen, sipcrypt::Audience::dialog).c_str());
        return 2;
    }
    sipcrypt::Codec codec(std::move(encoding));
    if (!has_display()) {
        std::fprintf(
            stderr, "sipcrypt-gui: %s\n",
            sipcrypt::message(sipcrypt::Code::no_display, sipcrypt::Audience::dialog).c_str());
        return 1;
    }
    qInstallMessageHandler(while_starting);
    sipcrypt::gui::qt::SettingsApp application(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& message : startup_messages) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    return application.run(codec);
}
