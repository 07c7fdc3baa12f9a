#pragma once
// Random batches of random pages, walked with random commands; after every step each page
// file may differ from its first-read text only in ALT attributes of the tags a visit
// listed, plus line ends, and closing a page leaves it at that visit's first-read text.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batch/Form3.h"
#include "batch/FtpBatchSource.h"
#include "support/PageSession.h"

namespace bw::test {

class BatchSession : FtpBatchSource {
public:
    explicit BatchSession(Choices& c);
    // Runs up to `steps` random commands; returns the first broken property, or "".
    std::string run(int steps);
    int stepsRun() const { return steps_; }
    std::string tempPath() const override { return "/ftp/"; }

private:
    void startBatch();
    void ftpBatch();
    void noteVisit();
    std::string check(const std::string& what);
    int64_t writes(const std::string& path) const;

    Choices& c_;
    ScriptedDialogs dialogs_;
    MemoryFileSystem files_;
    RecordingShell shell_;
    FakeHost host_;
    MemorySettings settings_;
    Form1 form_;
    std::unique_ptr<form3> window_;
    std::vector<std::string> pages_;                  // the page files that exist
    std::map<std::string, std::string> original_;     // each page as first made
    std::map<std::string, std::vector<size_t>> allowed_;
    std::string visitPath_, visitText_; // the page on screen and its text as this visit read it
    int64_t visitWrites_ = 0;
    bool askedChange_ = false;
    int closingChoice_ = -1; // the answer to the last "taken out again" question
    int steps_ = 0;
};

} // namespace bw::test
