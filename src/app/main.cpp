#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Version.h"
#include "app/qt/Windows.h"
#include "platform/Folders.h"
#include "platform/IniSettings.h"
#include "platform/qt/QtPlatform.h"

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription("BRINDLEWORK gives every image of an HTML page an alternative (ALT) text.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("PAGE", "An HTML page to open at start, as File > Open would.", "[PAGE]");
}

bool wantsInfoOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "-h") || !std::strcmp(a, "--help") || !std::strcmp(a, "-?") ||
            !std::strcmp(a, "-v") || !std::strcmp(a, "--version") || !std::strcmp(a, "--help-all"))
            return true;
    }
    return false;
}

bool haveDisplay()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version work without a display.
    if (wantsInfoOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("brindlework");
        QCoreApplication::setApplicationVersion(BW_VERSION_STRING);
        QCommandLineParser parser;
        describe(parser);
        parser.process(app);
        return 0;
    }
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "brindlework: no graphical display was found (DISPLAY is not set).\n"
                     "BRINDLEWORK is a desktop program. Start it from a desktop session, or under a\n"
                     "virtual display:\n"
                     "    xvfb-run -a brindlework [PAGE]\n");
        return 2;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("brindlework");
    QCoreApplication::setApplicationVersion(BW_VERSION_STRING);
    QGuiApplication::setApplicationDisplayName("BRINDLEWORK");
    QGuiApplication::setDesktopFileName("brindlework");
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    bw::QtDialogs dialogs;
    bw::RealFileSystem files;
    bw::QtShell shell;
    bw::IniSettingsStore settings(bw::userConfigFolder());
    bw::App program(dialogs, files, shell, settings, {BW_VERSION_MAJOR, BW_VERSION_MINOR, BW_VERSION_PATCH},
                    bw::userFtpTempFolder());
    program.start(parser.positionalArguments());
    return app.exec();
}
