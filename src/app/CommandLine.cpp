#include "app/CommandLine.h"

#include <QCommandLineParser>

#include "check/CheckCommand.h"

namespace bw {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QString::fromStdString("BRINDLEWORK gives every image of an HTML page an alternative (ALT) text.\n\n"
                               "brindlework check [--format text|json|sarif|junit|html] [--baseline FILE] [--write-baseline FILE] [--read-pictures] PATH...\n" +
                               checkHelp()));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("PAGE", "An HTML page to open at start, as File > Open would.", "[PAGE]");
}

namespace {

// The toolkit's own options, with or without a value: the toolkit takes them itself.
QStringList withoutToolkitOptions(const QStringList& arguments)
{
    static const QStringList valued = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "display", "geometry", "style", "stylesheet", "qmljsdebugger"};
    static const QStringList flags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    QStringList kept{arguments.value(0)}; // the program's own name
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--") {
            kept += arguments.mid(i); // only names follow
            break;
        }
        QString name = argument.startsWith("--") ? argument.mid(2) : argument.startsWith('-') ? argument.mid(1) : "";
        const qsizetype equals = name.indexOf('=');
        const QString bare = equals < 0 ? name : name.left(equals);
        if (!name.isEmpty() && valued.contains(bare)) {
            if (equals < 0)
                ++i; // its value follows
            continue;
        }
        if (!name.isEmpty() && flags.contains(name))
            continue;
        kept << argument;
    }
    return kept;
}

} // namespace

namespace {

// The check reads its own arguments, as brindlework-check does.
CommandLine readCheck(const QStringList& arguments)
{
    std::vector<std::string> bytes;
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit().toStdString());
    const CheckOptions options = readCheckOptions(bytes);
    CommandLine line;
    line.ask = options.error.empty() ? CommandLine::Ask::Check : CommandLine::Ask::Wrong;
    line.error = QString::fromLocal8Bit(options.error);
    for (const std::string& path : options.paths)
        line.paths << QString::fromLocal8Bit(path);
    line.format = QString::fromStdString(options.format);
    line.baseline = QString::fromLocal8Bit(options.baseline);
    line.writeBaseline = QString::fromLocal8Bit(options.writeBaseline);
    return line;
}

} // namespace

CommandLine readCommandLine(const QStringList& arguments)
{
    if (arguments.value(1) == "check")
        return readCheck(arguments.mid(2));
    QCommandLineParser parser;
    describe(parser);
    CommandLine line;
    if (!parser.parse(withoutToolkitOptions(arguments))) {
        line.ask = CommandLine::Ask::Wrong;
        line.error = parser.errorText();
        return line;
    }
    if (parser.isSet("help") || parser.isSet("help-all")) {
        line.ask = CommandLine::Ask::Help;
        return line;
    }
    if (parser.isSet("version")) {
        line.ask = CommandLine::Ask::Version;
        return line;
    }
    const QStringList pages = parser.positionalArguments();
    if (pages.size() > 1) {
        // The window works one page at a time; quietly dropping the rest would lose them.
        line.ask = CommandLine::Ask::Wrong;
        line.error = QString("Only one PAGE can be opened at a time, but %1 were given: %2.")
                         .arg(pages.size())
                         .arg(pages.join(", "));
        return line;
    }
    if (pages.size() == 1 && pages.constFirst().isEmpty()) {
        line.ask = CommandLine::Ask::Wrong;
        line.error = "The PAGE name is empty.";
        return line;
    }
    if (!pages.isEmpty())
        line.page = pages.constFirst();
    return line;
}

} // namespace bw
