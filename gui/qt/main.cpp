#include <QCommandLineParser>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "core/codec.h"
#include "core/converter.h"
#include "core/text_encoding.h"
#include "settings_app.h"

namespace {

constexpr const char* usage =
    "Usage: sipcrypt-gui [--encoding NAME]\n"
    "\n"
    "Opens the dialog that encrypts the four parameters of a SIP account under a\n"
    "password, for the program that decrypts them.\n"
    "\n"
    "Options:\n"
    "  --encoding NAME  the encoding the decrypting program reads, as iconv names it\n"
    "                   (default UTF-8; WINDOWS-1252 for a Western Windows code page)\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "For scripts and many accounts, use the command-line tool: sipcrypt --help\n";

constexpr const char* use_the_tool =
    "Start it from a desktop session, or use the command-line tool instead, for example:\n"
    "  sipcrypt encrypt --password-file pw.txt login password proxy outbound-proxy\n";

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
    std::fprintf(stderr, "sipcrypt-gui: the display cannot be reached (%s).\n%s",
                 detail.toLocal8Bit().constData(), use_the_tool);
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption encoding_option(
        QStringLiteral("encoding"), {}, QStringLiteral("NAME"),
        QString::fromStdString(sipcrypt::system_encoding_name()));
    const QCommandLineOption help_option(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version_option(
        QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({encoding_option, help_option, version_option});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("unexpected argument '%1'")
                                        .arg(parser.positionalArguments().value(0))
                                  : parser.errorText();
        std::fprintf(stderr, "sipcrypt-gui: %s\n%s", error.toLocal8Bit().constData(), usage);
        return 2;
    }
    if (parser.isSet(help_option)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (parser.isSet(version_option)) {
        std::puts("sipcrypt-gui " SIPCRYPT_VERSION);
        return 0;
    }
    const std::string encoding_name = parser.value(encoding_option).toStdString();
    sipcrypt::EncodingRefusal why{};
    const auto codec = sipcrypt::Codec::open(encoding_name, &why);
    if (!codec) {
        std::fprintf(stderr, "sipcrypt-gui: --encoding %s: %s\n", encoding_name.c_str(),
                     describe(why).c_str());
        return 2;
    }
    if (!has_display()) {
        std::fputs(
            "sipcrypt-gui: there is no display to show the dialog on (neither DISPLAY nor\n"
            "WAYLAND_DISPLAY is set).\n",
            stderr);
        std::fputs(use_the_tool, stderr);
        return 1;
    }
    qInstallMessageHandler(while_starting);
    sipcrypt::gui::qt::SettingsApp application(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& message : startup_messages) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    return application.run(*codec);
}
