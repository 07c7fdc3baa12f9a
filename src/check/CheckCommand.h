#pragma once
// The site check as a command: its options, its help and its run, the same for
// `brindlework check` and for the program that carries only the check, `brindlework-check`.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

struct CheckOptions {
    std::vector<std::string> paths; // the pages and folders to check, as given
    std::string format = "text";    // text, json, sarif, junit or html
    std::string baseline, writeBaseline; // findings to accept; where to write today's
    bool readPictures = false; // read the text in pictures, for alt-misses-picture-text
    bool help = false, version = false;
    std::string error; // what is wrong with the arguments, as a sentence; empty when nothing is
};

// The arguments that follow "check" (or the program's name, for brindlework-check), as bytes.
CheckOptions readCheckOptions(const std::vector<std::string>& arguments);

// The options, the output and the exit status as --help tells them, after the usage line.
std::string checkHelp();

// Checks, writes the findings to `out` and every message to `err` (each begun with `program`),
// and gives the exit status: 0 nothing to fix, 1 findings, 2 something could not be read or written.
int runCheck(const CheckOptions& options, std::string_view program, std::FILE* out, std::FILE* err);

// A whole run from the arguments: help, version, a usage error (`usage` names the command), or the check.
int checkCommand(const std::vector<std::string>& arguments, std::string_view program, std::string_view usage);

} // namespace bw
