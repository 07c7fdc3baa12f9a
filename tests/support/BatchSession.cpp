#include "support/BatchSession.h"

#include <algorithm>

#include "editor/Encoding.h"

namespace bw::test {
namespace {

const char* const kPages[] = {"/site/p0.html", "/site/p1.html", "/other/p2.html", "/ftp/f.html"};

} // namespace

BatchSession::BatchSession(Choices& c) : c_(c), form_(Platform{dialogs_, files_, shell_, host_, settings_}, Version{1, 0, 0})
{
    form_.Form_Load();
    for (const char* folder : {"/site/", "/other/", "/ftp/"})
        for (const char* image : {"a.gif", "b.jpg", "pics/c.gif", "bg.gif"})
            files_.files[std::string(folder) + image] = "GIF89a";
    // One or two folders, and the FTP window's temp path.
    const bool twoFolders = c_.pick(2);
    for (const char* page : kPages) {
        if (!twoFolders && std::string(page).rfind("/other/", 0) == 0)
            continue;
        files_.files[page] = original_[page] = makePage(c_);
        pages_.push_back(page);
    }
    dialogs_.chooseAnswerer = [this] { return closingChoice_ = static_cast<int>(c_.pick(3)); };
    dialogs_.answerer = [this] {
        if (dialogs_.shown.back().text.find("changed by another program") != std::string::npos)
            askedChange_ = true;
        return c_.pick(2) ? Answer::Yes : Answer::No;
    };
    startBatch();
}

int64_t BatchSession::writes(const std::string& path) const
{
    auto it = files_.writes.find(path);
    return it == files_.writes.end() ? 0 : it->second;
}

void BatchSession::noteVisit()
{
    visitPath_ = form_.Text6.Text();
    if (visitPath_.empty())
        return;
    visitText_ = form_.ejspara;
    visitWrites_ = writes(visitPath_);
    auto& allowed = allowed_[visitPath_];
    for (size_t k : listedTags(form_.document()).allowed)
        allowed.push_back(k);
}

void BatchSession::startBatch()
{
    // One to four pages of the local folders, the same page perhaps twice, now and then one
    // that is not there.
    window_ = std::make_unique<form3>(Platform{dialogs_, files_, shell_, host_, settings_}, form_);
    std::vector<std::string> chosen;
    for (uint32_t n = 1 + c_.pick(4); n > 0; --n)
        chosen.push_back(c_.pick(8) == 0 ? std::string("/site/gone.html") : pages_[c_.pick(static_cast<uint32_t>(pages_.size() - 1))]);
    dialogs_.chosenMany.push_back(chosen);
    window_->Command1_Click();
    window_->OKButton_Click();
    noteVisit();
}

void BatchSession::ftpBatch()
{
    form_.List1.Clear();
    form_.Text6.setText("f.html");
    form_.batchopen(*this);
    noteVisit();
}

std::string BatchSession::check(const std::string& what)
{
    if (std::exchange(askedChange_, false))
        return what + ": asked about another program's change, but there was none";
    for (const auto& page : pages_)
        if (std::string problem = intactProblem(original_[page], files_.files[page], allowed_[page]); !problem.empty())
            return what + ": " + page + ": " + problem;
    if (files_.files.count("/site/gone.html"))
        return what + ": a page that was not there was written";
    return {};
}

std::string BatchSession::run(int steps)
{
    for (int i = 0; i < steps && !c_.done(); ++i) {
        ++steps_;
        std::string what;
        const std::string onScreen = form_.Text6.Text();
        const std::string before = onScreen.empty() ? "" : files_.files[onScreen];
        const int64_t writtenBefore = onScreen.empty() ? 0 : writes(onScreen);
        bool closing = false, unchanged = false;
        closingChoice_ = -1;
        switch (c_.pick(15)) {
        case 0:
        case 1:
            what = runEdit(form_, c_, Edit::Type);
            break;
        case 2:
        case 3:
            what = runEdit(form_, c_, Edit::Next);
            break;
        case 4:
            what = runEdit(form_, c_, Edit::Back);
            break;
        case 5:
            what = runEdit(form_, c_, Edit::Keep);
            break;
        case 6:
            what = runEdit(form_, c_, Edit::Save);
            break;
        case 7:
        case 8: {
            // What was typed for the image shown is written before the batch moves on.
            std::string expected;
            const int image = form_.List1.ListIndex();
            const PageDocument& page = form_.document();
            if (image >= 0 && page.images()[static_cast<size_t>(image)].kind != ImageKind::Background &&
                !form_.Text1.empty() && page.altShown(static_cast<size_t>(image)) != form_.Text1.Text()) {
                const std::string clean = withoutControls(form_.Text1.Text());
                if (!clean.empty() && clean.find_first_of("<\"&") == std::string::npos)
                    expected = "=\"" + toPageEncoding(clean, page.encoding()) + "\"";
            }
            const int at = form_.nästa;
            form_.Command7_Click();
            what = "Move to next file";
            if (!expected.empty() && !askedChange_ && files_.files[onScreen].find(expected) == std::string::npos)
                return what + ": the ALT typed on " + onScreen + " was not written";
            if (form_.nästa != at)
                noteVisit();
            break;
        }
        case 9:
            startBatch();
            what = "OK";
            break;
        case 10:
            ftpBatch();
            what = "batchopen";
            break;
        case 11:
            form_.Command1_Click();
            what = "RESET";
            closing = !form_.pageOpen();
            break;
        case 12:
            form_.n_Click();
            what = "New";
            closing = !form_.pageOpen();
            unchanged = !closing; // No changes nothing
            break;
        case 13: {
            const bool closed = form_.Form_Unload();
            what = "closing the window";
            if (closed == (closingChoice_ == 2))
                return what + ": Cancel did not cancel, or Keep did not close";
            closing = closingChoice_ == 1;
            unchanged = !closing;
            break;
        }
        default: {
            const int ended = host_.ended;
            form_.e_Click();
            what = "Exit";
            if ((host_.ended != ended) == (closingChoice_ == 2))
                return what + ": Cancel did not cancel, or Keep did not end the program";
            closing = closingChoice_ == 1;
            unchanged = !closing;
        }
        }
        // Written ALTs are taken out only when the user chose so.
        if (unchanged && !onScreen.empty() && !askedChange_ && files_.files[onScreen] != before)
            return what + ": " + onScreen + " changed though nothing was to be taken out";
        if (std::string problem = check(what); !problem.empty())
            return problem;
        // Closing leaves the page at this visit's first-read text, or untouched.
        if (closing && !onScreen.empty()) {
            const std::string expected = writtenBefore == visitWrites_ ? before : visitText_;
            if (onScreen != visitPath_)
                return what + ": the page on screen was not the page the visit opened";
            if (files_.files[onScreen] != expected)
                return what + ": " + onScreen + " is not back at its own first-read text";
        }
        if (closing || !form_.pageOpen() || what == "Exit") {
            form_.nytt();
            startBatch();
        }
    }
    return {};
}

} // namespace bw::test
