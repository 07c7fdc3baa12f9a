#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace bw {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription("BRINDLEWORK gives every image of an HTML page an alternative (ALT) text.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("PAGE", "An HTML page to open at start, as File > Open would.", "[PAGE]");
}

CommandLine readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    describe(parser);
    CommandLine line;
    if (!parser.parse(arguments)) {
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
