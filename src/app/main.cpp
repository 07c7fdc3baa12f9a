#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Version.h"
#include "app/CommandLine.h"
#include "app/qt/Windows.h"
#include "check/CheckCommand.h"
#include "platform/Folders.h"
#include "platform/IniSettings.h"
#include "platform/curl/CurlFtp.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtSecrets.h"
#include "settings/Profiles.h"

namespace {

bool haveDisplay()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    // The command line is read before any display is needed, so that a mistake in it
    // is told as such wherever the program is started.
    const bw::CommandLine line = bw::readCommandLine(argumentsOf(argc, argv));
    switch (line.ask) {
    case bw::CommandLine::Ask::Wrong:
        std::fprintf(stderr, "brindlework: %s\n%s\nTry 'brindlework --help' for more.\n",
                     line.error.toLocal8Bit().constData(), bw::kUsage);
        return 2;
    case bw::CommandLine::Ask::Help:
    case bw::CommandLine::Ask::Version: {
        QCoreApplication app(argc, argv);
        bw::nameProgram();
        QCommandLineParser parser;
        bw::describe(parser);
        parser.process(app); // prints and exits
        return 0;
    }
    case bw::CommandLine::Ask::Check: // from the bytes as given: a name need not be text
        return bw::checkCommand(std::vector<std::string>(argv + 2, argv + argc), "brindlework", bw::kUsage);
    case bw::CommandLine::Ask::Run:
        break;
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
    bw::nameProgram();

    bw::QtDialogs dialogs;
    bw::RealFileSystem files;
    bw::QtShell shell(dialogs);
    bw::IniSettingsStore settings(bw::userConfigFolder());
    bw::CurlFtpClient ftp;
    bw::QtSecrets secrets(bw::store::kKeyringService);
    bw::App program(dialogs, files, shell, settings, {BW_VERSION_MAJOR, BW_VERSION_MINOR, BW_VERSION_PATCH},
                    bw::userFtpTempFolder(), &ftp, secrets);
    program.start(line.page.isEmpty() ? QStringList{} : QStringList{line.page});
    return app.exec();
}
