#include "check/CheckCommand.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

#include "Version.h"
#include "check/PictureTexts.h"
#include "check/SiteCheck.h"
#include "platform/FileSystem.h"

namespace bw {

CheckOptions readCheckOptions(const std::vector<std::string>& arguments)
{
    CheckOptions options;
    const auto wrong = [&](std::string error) {
        options.error = std::move(error);
        return options;
    };
    bool names = false; // after "--" only names follow
    const std::pair<std::string_view, std::string*> valued[] = {
        {"--format", &options.format}, {"--baseline", &options.baseline}, {"--write-baseline", &options.writeBaseline}};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string name = argument.substr(0, argument.find('='));
        std::string* value = nullptr;
        for (const auto& [option, field] : valued)
            value = name == option ? field : value;
        if (!names && argument == "--") {
            names = true;
        } else if (!names && value) {
            *value = argument.size() > name.size() ? argument.substr(name.size() + 1) : i + 1 < arguments.size() ? arguments[++i] : "";
            if (value->empty())
                return wrong(name + " needs a value.");
            if (name == "--format" && !CheckPrinter::knows(*value))
                return wrong("check writes text, json, sarif, junit or html, not \"" + *value + "\".");
        } else if (!names && (argument == "--help" || argument == "-h")) {
            options.help = true;
        } else if (!names && argument == "--version") {
            options.version = true;
        } else if (!names && argument == "--read-pictures") {
            options.readPictures = true;
        } else if (!names && argument.starts_with('-') && argument != "-") {
            return wrong("check has no option " + argument + ".");
        } else if (argument.empty()) {
            return wrong("A PATH to check is empty.");
        } else {
            options.paths.push_back(argument);
        }
    }
    if (options.help || options.version)
        return options;
    if (options.paths.empty())
        return wrong("check needs at least one PATH: a page or a folder.");
    if (!options.baseline.empty() && !options.writeBaseline.empty())
        return wrong("check takes --baseline or --write-baseline, not both.");
    return options;
}

std::string checkHelp()
{
    return "Checks the images of pages, and of the pages in folders and their subfolders (.html, .htm,\n"
           ".shtml, .xhtml), against the ALT rules, on every core, without a window or a display.\n"
           "\n"
           "Options:\n"
           "  --format FORMAT        text (the default): one line per finding, as compilers write theirs;\n"
           "                         json, sarif (SARIF 2.1.0), junit (a test case per page) or html\n"
           "  --baseline FILE        leave out the errors and warnings FILE accepts: only new ones fail\n"
           "  --write-baseline FILE  write today's errors and warnings to FILE, to accept them from now on\n"
           "  --read-pictures        read the text in the pictures (with Tesseract; slow) and warn where\n"
           "                         a non-empty ALT leaves it out [alt-misses-picture-text]\n"
           "  -h, --help             show this help\n"
           "  --version              show the version\n"
           "\n"
           "File names: text writes a backslash as \\\\ and control characters as \\t, \\n, \\r or \\xHH;\n"
           "json writes each byte of a name that is not UTF-8 as \\udc80 to \\udcff (0x80 to 0xFF, as\n"
           "Python's surrogateescape reads them: os.fsencode gives the name back); sarif names each\n"
           "page by its file: URI, every byte not a letter, digit or one of -._~/ percent-encoded.\n"
           "\n"
           "Exit status: 0 nothing to fix; 1 errors or warnings; 2 a path, a subfolder or the baseline\n"
           "could not be read, or the output could not be written (the findings are written all the same);\n"
           "--read-pictures where pictures cannot be read (nothing is checked).\n";
}

int runCheck(const CheckOptions& options, std::string_view program, std::FILE* out, std::FILE* err)
{
    const std::string prefix = std::string(program) + ": ";
    // Progress stands on one line of a terminal, which a message clears first.
    const bool terminal = ::isatty(::fileno(err));
    std::atomic<bool> progressShown = false;
    const auto clearProgress = [&] {
        if (progressShown.exchange(false))
            std::fputs("\r\x1b[K", err);
    };
    const auto tell = [&](const std::string& message) {
        std::fflush(out); // after the findings that came before it
        clearProgress();
        std::fprintf(err, "%s%s\n", prefix.c_str(), message.c_str());
    };
    std::unique_ptr<PictureTexts> pictures;
    if (options.readPictures) {
        pictures = std::make_unique<PictureTexts>(makePictureReader, [&](size_t read, size_t met) {
            if (terminal)
                progressShown = std::fprintf(err, "\r%sReading pictures: %zu of %zu\x1b[K", prefix.c_str(), read, met) > 0;
        });
        if (const std::string why = pictures->unavailable(); !why.empty()) {
            tell("--read-pictures: " + why);
            return 2;
        }
    }
    int status = 0;
    std::optional<CheckBaseline> baseline;
    if (!options.baseline.empty()) {
        std::string error;
        if (!(baseline = CheckBaseline::read(options.baseline, error))) {
            tell(error + "; every finding is written and fails");
            status = 2;
        }
    }
    int writeError = 0;
    CheckPrinter printer(options.format, [&](std::string_view text) {
        clearProgress(); // the terminal may show both
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), out) != text.size() && !writeError)
            writeError = errno ? errno : EIO;
    });
    std::string accepted; // with --write-baseline: every error and warning of today
    const CheckReport report = checkSite(options.paths, [&](const PageCheck& page) {
        printer.page(page);
        for (const CheckFinding& finding : page.findings)
            if (!options.writeBaseline.empty() && finding.fails())
                accepted += CheckBaseline::lineOf(finding);
        if (!page.error.empty())
            tell(page.error);
    }, baseline ? &*baseline : nullptr, pictures.get());
    printer.end(report);
    errno = 0;
    if ((std::fflush(out) != 0 || std::ferror(out)) && !writeError)
        writeError = errno ? errno : EIO;
    if (writeError) {
        tell(std::string("the findings cannot be written to the output: ") + std::strerror(writeError));
        status = 2;
    }
    if (!options.writeBaseline.empty()) {
        const WriteResult written = RealFileSystem().writeFile(options.writeBaseline, accepted);
        if (!written.ok) {
            tell("the baseline " + options.writeBaseline + " cannot be written: " + written.error);
            return 2;
        }
        return report.errors.empty() ? status : 2; // today's findings are accepted from now on
    }
    return std::max(status, checkStatus(report));
}

int checkCommand(const std::vector<std::string>& arguments, std::string_view program, std::string_view usage)
{
    const CheckOptions options = readCheckOptions(arguments);
    if (!options.error.empty()) {
        std::fprintf(stderr, "%.*s: %s\n%.*s\nTry '%.*s --help' for more.\n", int(program.size()), program.data(), options.error.c_str(),
                     int(usage.size()), usage.data(), int(program.size()), program.data());
        return 2;
    }
    if (options.help) {
        std::printf("%.*s\n\n%s", int(usage.size()), usage.data(), checkHelp().c_str());
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (options.version) {
        std::printf("%.*s %s\n", int(program.size()), program.data(), BW_VERSION_STRING);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    return runCheck(options, program, stdout, stderr);
}

} // namespace bw
