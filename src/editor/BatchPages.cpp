// The editor's side of a batch: each page of it opened as the open page.
#include "editor/EditorSession.h"

#include "text/Text.h"

namespace bw {

using text::number;

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
    imageList_.clear();
    view_.imageName.Caption = "";
    view_.picture.clear();
    if (!read) {
        clearImages();
        setPagePath("");
        view_.imageCounter.Caption = "Image of";
        return false;
    }
    // A page of its own, as File > Open gives one: first image, nothing kept, every picture
    // may show, no background until its scan finds one.
    shownImage_ = 0;
    editsKept_ = false;
    showsPicture_ = true;
    hasBackground_ = false;
    takePage(path, std::move(*read));
    view_.title = "BRINDLEWORK Beta " + path;
    return true;
}

void EditorSession::beginBatch()
{
    imageList_.clear();
    view_.imageCounter.Caption = "Image of";
    doc_.close();
    setPagePath("");
}

bool EditorSession::openBatchPage(const std::string& path, BatchPage which)
{
    if (which == BatchPage::Next) {
        clearImages();
        platform_.host.unloadLocalBatch();
        view_.picture.Visible = true;
    }
    pageFolder_ = folderOfPath(path);
    if (!takeBatchPage(path))
        return false;
    listImages();
    if (which != BatchPage::First)
        view_.imageCounter.Caption =
            "Image " + number(imageList_.index() + 1) + " of " + number(imageList_.count());
    selectFirstImage();
    if (which == BatchPage::First && imageList_.count() == 0)
        view_.imageCounter.Caption = "Image 0 of 0";
    if (hasBackground_) {
        backgroundEnding();
        return true;
    }
    switch (which) {
    case BatchPage::First:
        if (!imageExists(imageList_.index() + 1))
            showsPicture_ = false;
        break;
    case BatchPage::Next:
        showPicture(imageList_.index());
        view_.picture.Visible = true;
        if (!imageExists(imageList_.index() + 1))
            showsPicture_ = false;
        break;
    case BatchPage::Fetched:
        // A page without image tags has no picture to miss.
        if (imageList_.count() > 0 && !imageExists(imageList_.index())) {
            showsPicture_ = false;
            platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
        }
        break;
    }
    return true;
}

} // namespace bw
