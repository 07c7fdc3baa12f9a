#pragma once
// What the command line asks for: a page to open at start, help, the version, or nothing
// it can do (a usage error, told before any window is made).
#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace bw {

struct CommandLine {
    enum class Ask { Run, Help, Version, Wrong, Check };
    Ask ask = Ask::Run;
    QString page;  // the page to open at start; empty = none
    QStringList paths; // with Check: the pages and folders to check
    QString error; // with Wrong: what is wrong, as a sentence
    QString format = "text"; // with Check: text, json, sarif, junit or html
    QString baseline, writeBaseline; // with Check: findings to accept; where to write today's
};

inline constexpr const char* kUsage = "Usage: brindlework [options] [PAGE]\n       brindlework check [--format text|json|sarif|junit|html] [--baseline FILE] [--write-baseline FILE] [--read-pictures] PATH...";

// The options and arguments the program takes, for parsing and for --help.
void describe(QCommandLineParser& parser);
// `arguments` as main gets them, the program's own name first.
CommandLine readCommandLine(const QStringList& arguments);

} // namespace bw
