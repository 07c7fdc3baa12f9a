#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QMap>

#include "check/SiteCheck.h"

namespace bw {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        "BRINDLEWORK gives every image of an HTML page an alternative (ALT) text.\n\n"
        "brindlework check [--format text|json|sarif|junit|html] PATH... checks the images of pages, and of the pages\n"
        "in folders and their subfolders, without a window: one line for each finding (or one JSON\n"
        "object, a SARIF log, a JUnit report, an HTML page), then exit status 0 (nothing to fix),\n"
        "1 (findings) or 2 (a path could not be checked).");
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

CommandLine wrong(const QString& error)
{
    CommandLine line;
    line.ask = CommandLine::Ask::Wrong;
    line.error = error;
    return line;
}

CommandLine readCheck(const QStringList& arguments)
{
    CommandLine line;
    line.ask = CommandLine::Ask::Check;
    bool names = false; // after "--" only names follow
    const QMap<QString, QString*> valued = {
        {"--format", &line.format}, {"--baseline", &line.baseline}, {"--write-baseline", &line.writeBaseline}};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!names && argument == "--")
            names = true;
        else if (!names && valued.contains(argument.section('=', 0, 0))) {
            const QString name = argument.section('=', 0, 0);
            const QString value = argument.contains('=') ? argument.section('=', 1) : arguments.value(++i);
            *valued[name] = value;
            if (value.isEmpty())
                return wrong(name + " needs a value.");
            if (name == "--format" && !CheckPrinter::knows(value.toStdString()))
                return wrong("check writes text, json, sarif, junit or html, not \"" + value + "\".");
        } else if (!names && argument.startsWith('-') && argument != "-")
            return wrong("check has no option " + argument + ".");
        else if (argument.isEmpty())
            return wrong("A PATH to check is empty.");
        else
            line.paths << argument;
    }
    if (line.paths.isEmpty())
        return wrong("check needs at least one PATH: a page or a folder.");
    if (!line.baseline.isEmpty() && !line.writeBaseline.isEmpty())
        return wrong("check takes --baseline or --write-baseline, not both.");
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
