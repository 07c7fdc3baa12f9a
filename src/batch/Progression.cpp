// The main window's side of a batch: its start from the batch window, "Move to next file"
// and the first page of a batch fetched by the FTP window.
#include <algorithm>

#include "batch/BatchSummary.h"
#include "batch/FtpBatchSource.h"
#include "editor/EditorSession.h"
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

void EditorSession::batchChanged() { notices_.tell({PageDocument::Change::Batch}); }

void EditorSession::newLocalBatch() { platform_.host.showLocalBatch(); }
void EditorSession::newFtpBatch() { platform_.host.showFtp(); }

bool EditorSession::takeBatchPage(const std::string& path)
{
    // Batch pages are named exactly: another file that differs in letter case is not it.
    std::optional<ReadResult> read;
    if (path.empty() || !platform_.files.exists(path))
        message("The page\n" + path + "\nof the batch could not be found. It was left out.");
    else
        read = readPage(path, path);
    // What was on screen is not this page: nothing of it may be written under this path.
    List1.Clear();
    List2.Clear();
    Text3.setText("");
    Label5.Caption = "";
    Picture1.clear();
    if (!read) {
        clearImages();
        Text6.setText("");
        Label1.Caption = "Image of";
        return false;
    }
    // A page of its own, as File > Open gives one: first image, nothing kept, every picture
    // may show, no background until its scan finds one.
    shownImage = 0;
    editsKept = false;
    showsPicture = true;
    hasBackground = false;
    takePage(path, std::move(*read));
    Caption = "BRINDLEWORK Beta " + path;
    return true;
}

void EditorSession::startBatch(const std::vector<std::string>& pages)
{
    const AtEnd told{[this] { batchChanged(); }};
    ftpPages_ = nullptr;
    up.Visible = sc.Visible = false;
    List1.Clear();
    Label3.Visible = true;
    Command7.Visible = true;
    Label3.Caption = "1 / " + number(static_cast<long long>(pages.size()));
    // A fresh batch: an earlier one's rows must neither count nor give the folder.
    List3.Clear();
    batchPage = 1;
    for (const std::string& page : pages) {
        List3.AddItem(page);
    }
    Label1.Caption = "Image of";
    doc_.close();
    if (pages.empty()) {
        Text6.setText("");
        return;
    }
    // A page that cannot be opened is told and skipped.
    size_t k = 0;
    while (k < pages.size() && (pageFolder = folderOfPath(pages[k]), !takeBatchPage(pages[k])))
        ++k;
    if (k == pages.size())
        return;
    batchPage = static_cast<int>(k) + 1;
    Label3.Caption = number(batchPage) + " / " + number(static_cast<long long>(pages.size()));
    listImages();
    listImageNames();
    if (List1.ListCount() == 0)
        Label1.Caption = "Image 0 of 0";
    if (hasBackground) {
        backgroundEnding();
        return;
    }
    if (!imageExists(List1.ListIndex() + 1))
        showsPicture = false;
}

void EditorSession::startFtpBatch(const FtpBatchSource& ftp, const std::vector<std::string>& names)
{
    const AtEnd told{[this] { batchChanged(); }};
    List1.Clear();
    List3.Clear();
    batchPage = 1;
    Text6.setText(names.empty() ? std::string() : names.front());
    ftpPages_ = ftp.roundTrip();
    up.Visible = sc.Visible = ftpPages_ != nullptr;
    openFtpBatchPage(ftp);
    const std::string folder = ftp.tempPath();
    for (const std::string& name : names) {
        List3.AddItem(folder + name);
    }
    Label3.Visible = true;
    Command7.Visible = true;
    Label3.Caption = "1 / " + number(static_cast<long long>(names.size()));
}

void EditorSession::nextFile()
{
    const AtEnd told{[this] { batchChanged(); }};
    const int pages = List3.ListCount();
    // What was typed for the image shown is written first, as NEXT writes it.
    if (pageOpen() && !writeTypedAlt())
        return;
    if (batchPage >= pages) {
        // The page stays, with its folder.
        if (pages > 0)
            message(summaryText(summarize(platform_.files, List3.items())));
        return;
    }
    clearImages();
    platform_.host.unloadLocalBatch();
    Picture1.Visible = true;
    // A page that cannot be opened is told and skipped.
    for (;;) {
        ++batchPage;
        const std::string path = List3.List(batchPage - 1);
        Label3.Caption = number(batchPage) + " / " + number(pages);
        pageFolder = folderOfPath(path);
        if (takeBatchPage(path))
            break;
        if (batchPage >= pages)
            return;
    }
    listImages();
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames();
    if (hasBackground) {
        backgroundEnding();
        return;
    }
    showPicture(List1.ListIndex());
    Picture1.Visible = true;
    if (!imageExists(List1.ListIndex() + 1))
        showsPicture = false;
}

void EditorSession::uploadEdited()
{
    // What was typed for the image shown goes up with its page, as NEXT would write it.
    if (!ftpPages_ || (pageOpen() && !writeTypedAlt()))
        return;
    ftpPages_->uploadChanged();
}

void EditorSession::showChanges()
{
    if (ftpPages_ && (!pageOpen() || writeTypedAlt()))
        ftpPages_->showChanges();
}

void EditorSession::openFtpBatchPage(const FtpBatchSource& ftp)
{
    if (Text6.empty())
        return;
    // The page is read from the temp path, and its pictures were downloaded beside it.
    const std::string path = ftp.tempPath() + Text6.Text();
    pageFolder = folderOfPath(path);
    if (!takeBatchPage(path))
        return;
    listImages();
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames();
    if (!hasBackground) {
        // A page without image tags has no picture to miss.
        if (List1.ListCount() > 0 && !imageExists(List1.ListIndex())) {
            showsPicture = false;
            platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
        }
        return;
    }
    backgroundEnding();
}

} // namespace bw
