#include "batch/BatchSession.h"

#include "batch/BatchSummary.h"
#include "text/Text.h"

namespace bw {

using text::number;

namespace {
// Tells the views when a batch command ends, however it ends: the batch may be started from
// another window, and a box shown on the way lets the views redraw before its progress is set.
template <class F> struct AtEnd {
    F told;
    ~AtEnd() { told(); }
};
} // namespace

BatchSession::BatchSession(Platform platform, EditorSession& editor) : platform_(platform), editor_(editor)
{
    // RESET and New end the batch; its progress and button stay as they were.
    editorHeard_ = editor_.subscribe([this](const PageDocument::Notice& notice) {
        if (notice.change == PageDocument::Change::Cleared) {
            pages_.clear();
            page_ = 1;
        }
    });
}

void BatchSession::setPages(std::vector<std::string> pages)
{
    // A fresh batch: an earlier one's pages must neither count nor give the folder.
    pages_ = std::move(pages);
    page_ = 1;
    editor_.indexAlso(pages_);
    view_.progress.Visible = true;
    view_.nextFileButton.Visible = true;
    showProgress();
}

void BatchSession::showProgress() { view_.progress.Caption = number(page_) + " / " + number(static_cast<long long>(pages_.size())); }

void BatchSession::start(const std::vector<std::string>& pages)
{
    const AtEnd told{[this] { changed(); }};
    ftpPages_ = nullptr;
    view_.uploadItem.Visible = view_.changesItem.Visible = false;
    editor_.beginBatch();
    setPages(pages);
    // A page that cannot be opened is told and skipped.
    size_t k = 0;
    while (k < pages.size() && !editor_.openBatchPage(pages[k], EditorSession::BatchPage::First))
        ++k;
    if (k == pages.size())
        return;
    page_ = static_cast<int>(k) + 1;
    showProgress();
}

void BatchSession::startFetched(const FtpBatchSource& ftp, const std::vector<std::string>& names)
{
    const AtEnd told{[this] { changed(); }};
    editor_.beginBatch();
    ftpPages_ = ftp.roundTrip();
    view_.uploadItem.Visible = view_.changesItem.Visible = ftpPages_ != nullptr;
    const std::string folder = ftp.tempPath();
    std::vector<std::string> pages;
    for (const std::string& name : names)
        pages.push_back(folder + name);
    setPages(std::move(pages));
    // The page is read from the temp path, and its pictures were downloaded beside it.
    if (!names.empty() && !names.front().empty())
        (void)editor_.openBatchPage(pages_.front(), EditorSession::BatchPage::Fetched); // told the user itself
}

void BatchSession::nextFile()
{
    const AtEnd told{[this] { changed(); }};
    const int pages = static_cast<int>(pages_.size());
    // What was typed for the image shown is written first, as NEXT writes it.
    if (!writeTyped())
        return;
    if (page_ >= pages) {
        // The page stays, with its folder.
        if (pages > 0)
            platform_.dialogs.msgBox(summaryText(summarize(platform_.files, pages_)), Buttons::Ok, kTitle);
        return;
    }
    // A page that cannot be opened is told and skipped.
    do {
        ++page_;
        showProgress();
    } while (!editor_.openBatchPage(pages_[static_cast<size_t>(page_ - 1)], EditorSession::BatchPage::Next) &&
             page_ < pages);
}

void BatchSession::uploadEdited()
{
    if (ftpPages_ && writeTyped())
        ftpPages_->uploadChanged();
}

void BatchSession::showChanges()
{
    if (ftpPages_ && writeTyped())
        ftpPages_->showChanges();
}

} // namespace bw
