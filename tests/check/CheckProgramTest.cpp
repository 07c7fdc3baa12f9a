// The check as programs run it: brindlework-check beside `brindlework check`, and the exit
// status when findings meet a path, a subfolder, a baseline or an output that fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/Doubles.h"

namespace bw {
namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (const char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The program on the arguments, with no display. `out` names where its standard output goes,
// if not to a file read back. With `unprivileged`, root runs it as nobody, for whom a folder of
// mode 000 cannot be read, as for anyone else.
Ran run(const test::TempDir& scratch, std::vector<std::string> arguments, const std::string& out = "", bool unprivileged = false)
{
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    if (unprivileged && ::geteuid() == 0)
        command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    for (const std::string& argument : arguments)
        command += quoted(argument) + " ";
    const std::string outFile = scratch.path("stdout"), errFile = scratch.path("stderr");
    const int status = std::system((command + ">" + quoted(out.empty() ? outFile : out) + " 2>" + quoted(errFile)).c_str());
    Ran result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.empty() ? contents(outFile) : "", contents(errFile)};
    std::remove(outFile.c_str());
    return result;
}

const std::vector<std::string> kFormats = {"text", "json", "sarif", "junit", "html"};

#ifdef BW_PROGRAM
TEST(CheckProgram, WritesWhatTheDesktopProgramsCheckWritesByteForByte)
{
    test::TempDir scratch;
    for (const char* site : {"/examples/check", "/examples/site", "/examples/site/index.html"})
        for (const std::string& format : kFormats) {
            SCOPED_TRACE(site + (" " + format));
            const std::string path = std::string(BW_SOURCE_DIR) + site;
            const Ran alone = run(scratch, {BW_CHECK_PROGRAM, "--format", format, path}),
                      desktop = run(scratch, {BW_PROGRAM, "check", "--format=" + format, path});
            EXPECT_EQ(alone.status, 1);
            EXPECT_EQ(alone.status, desktop.status);
            EXPECT_GT(alone.out.size(), 100u);
            EXPECT_EQ(alone.out, desktop.out);
        }
    for (const std::string& program : {std::string(BW_CHECK_PROGRAM) + " --help", std::string(BW_PROGRAM) + " --help",
                                       std::string(BW_PROGRAM) + " check --help"}) {
        const Ran help = run(scratch, {"sh", "-c", program});
        EXPECT_EQ(help.status, 0) << program;
        for (const char* option : {"--format", "--baseline FILE", "--write-baseline FILE", "--read-pictures", "surrogateescape", "Exit status"})
            EXPECT_NE(help.out.find(option), std::string::npos) << program << " lists " << option;
    }
}
#endif

// The stronger status wins: 2 (something could not be read or written) over 1 (findings);
// the findings are written all the same, and what failed is named.
TEST(CheckProgram, AFailureOfAnyKindBeatsTheFindingsAndIsNamed)
{
    test::TempDir site, bin;
    // Where nobody can run it, wherever the build is.
    const std::string program = bin.path("brindlework-check");
    std::filesystem::copy_file(BW_CHECK_PROGRAM, program);
    ::chmod(bin.path().c_str(), 0755);
    ::chmod(site.path().c_str(), 0755);
    const std::string bad = site.write("bad.html", "<img src=a.png>"), good = site.write("good.html", "<img src=a.png alt=\"A red boat\">");
    site.write("shut/x.html", "<img src=b.png>");
    ::chmod(site.path("shut").c_str(), 0);
    const std::string locked = site.write("locked.html", "<img src=a.png>");
    ::chmod(locked.c_str(), 0);
    const std::string accepted = site.write("accepts", bad + "\tmissing-alt\ta.png\t\x01\n");
    const std::string garbage = site.write("garbage", "{\"not\": \"a baseline\"}\n"), unknownRule = site.write("unknown", bad + "\tno-rule\ta.png\t\x01\n");
    const std::string finding = ":1:1: error: The image has no ALT text";
    const struct {
        std::vector<std::string> arguments;
        std::string out; // where standard output goes; empty: a file read back
        int status;
        std::string errHas, outHas;
    } rows[] = {
        {{good}, "", 0, "", ""},
        {{bad, good}, "", 1, "", finding},
        {{"--baseline", accepted, bad}, "", 0, "", ""},
        {{bad, site.path("gone.html")}, "", 2, site.path("gone.html") + ": no such file", finding},
        {{bad, locked}, "", 2, locked + ": cannot be read", finding},
        {{site.path()}, "", 2, site.path("shut") + ": the subfolder cannot be read", "bad.html" + finding},
        {{"--baseline", garbage, bad}, "", 2, garbage + ":1: the baseline cannot be parsed", finding},
        {{"--baseline", unknownRule, bad}, "", 2, unknownRule + ":1: the baseline cannot be parsed", finding},
        {{"--baseline", site.path("none"), bad}, "", 2, site.path("none") + ": the baseline cannot be read", finding},
        {{"--write-baseline", site.path("no/folder"), bad}, "", 2, "the baseline " + site.path("no/folder") + " cannot be written", ""},
        {{"--format", "json", good}, "/dev/full", 2, "cannot be written to the output: No space left on device", ""},
        {{bad}, "/dev/full", 2, "cannot be written", ""},
        {{"--read-pictures", bad}, "", 2, "--read-pictures: ", ""}, // no language data where TESSDATA_PREFIX says
    };
    ::setenv("TESSDATA_PREFIX", site.path("no-tessdata").c_str(), 1);
    for (const auto& row : rows)
        for (const std::string& format : row.arguments[0] == "--format" ? std::vector<std::string>{"json"} : kFormats) {
            std::vector<std::string> arguments{program, "--format", format};
            arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
            SCOPED_TRACE(testing::PrintToString(arguments));
            const Ran result = run(bin, arguments, row.out, true);
            EXPECT_EQ(result.status, row.status) << result.err;
            EXPECT_NE(result.err.find(row.errHas), std::string::npos) << result.err;
            EXPECT_EQ(result.err.empty(), row.errHas.empty()) << result.err;
            if (format == "text") {
                EXPECT_NE(result.out.find(row.outHas), std::string::npos) << result.out;
            }
        }
    ::chmod(site.path("shut").c_str(), 0755); // for the folder's removal
}

} // namespace
} // namespace bw
