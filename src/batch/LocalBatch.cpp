#include "batch/LocalBatch.h"

#include <algorithm>
#include <unordered_set>

#include "batch/BatchSummary.h"
#include "text/Text.h"
#include "page/PageDocument.h"

namespace bw {

using text::number;

LocalBatch::LocalBatch(Platform platform, BatchSession& batch) : platform_(platform), batch_(batch)
{
    pagesLabel.Caption = "Files";
    addFilesButton.Caption = "&Add files";
    addFolderButton.Caption = "Add &folder";
    removeButton.Caption = "&Remove";
    upButton.Caption = "Move &Up";
    downButton.Caption = "Move &Down";
    missingAltOnly.Caption = "&Only pages with images missing an ALT";
    okButton.Caption = "OK";
    cancelButton.Caption = "Cancel";
    pageList.Click = [this] { enableButtons(); };
    enableButtons();
}

void LocalBatch::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void LocalBatch::append(const std::string& path)
{
    pageList.AddItem(path);
    pageNames.AddItem(path.substr(path.find_last_of('/') + 1));
}

size_t LocalBatch::add(const std::vector<std::string>& paths)
{
    // A set, for a folder of thousands of pages.
    std::unordered_set<std::string> listed(pageList.items().begin(), pageList.items().end());
    size_t added = 0;
    for (const std::string& path : paths)
        // The pattern itself is what an unused dialog reports.
        if (!path.empty() && path != "*.html" && listed.insert(path).second) {
            append(path);
            ++added;
        }
    enableButtons();
    return added;
}

void LocalBatch::setRows(const std::vector<std::string>& paths, int selected)
{
    pageList.Clear();
    pageNames.Clear();
    for (const std::string& path : paths)
        append(path);
    pageList.setListIndex(selected);
    enableButtons();
}

void LocalBatch::enableButtons()
{
    const int row = pageList.ListIndex(), rows = pageList.ListCount();
    removeButton.Enabled = row >= 0;
    upButton.Enabled = row > 0;
    downButton.Enabled = row >= 0 && row + 1 < rows;
}

void LocalBatch::addFiles()
{
    fileDialog.Filter = "HTML";
    fileDialog.FileName = "*.html";
    add(platform_.dialogs.showOpenMany(fileDialog));
}

void LocalBatch::addFolder()
{
    if (folder_.empty() && pageList.ListCount() > 0) {
        const std::string& last = pageList.List(pageList.ListCount() - 1);
        folder_ = last.substr(0, last.find_last_of('/') + 1);
    }
    const std::optional<std::string> folder = platform_.dialogs.chooseFolder("Add folder", folder_);
    if (!folder || folder->empty())
        return;
    folder_ = *folder;
    const FolderPages found = pagesInFolder(*folder);
    const size_t added = add(found.pages);
    if (!found.error.empty())
        message("The folder\n" + *folder + "\ncould not be read: " + found.error + ".");
    else if (found.pages.empty())
        message("The folder\n" + *folder + "\nholds no pages: no .html, .htm, .shtml or .xhtml file is in it or its subfolders.");
    else if (added == 0)
        message("Every page of the folder\n" + *folder + "\nis listed already.");
    if (found.unreadFolders > 0)
        message(number(static_cast<long long>(found.unreadFolders)) +
                (found.unreadFolders == 1 ? " subfolder" : " subfolders") + " of\n" + *folder +
                "\ncould not be read: the pages in them are not listed.");
}

void LocalBatch::removeSelected()
{
    const int row = pageList.ListIndex();
    if (row < 0)
        return;
    std::vector<std::string> rows = pageList.items();
    rows.erase(rows.begin() + row);
    // The row after it is selected next, so that Delete can be pressed again.
    setRows(rows, std::min(row, static_cast<int>(rows.size()) - 1));
}

void LocalBatch::move(int by)
{
    const int row = pageList.ListIndex(), to = row + by;
    if (row < 0 || to < 0 || to >= pageList.ListCount())
        return;
    std::vector<std::string> rows = pageList.items();
    std::swap(rows[static_cast<size_t>(row)], rows[static_cast<size_t>(to)]);
    setRows(rows, to);
}

void LocalBatch::moveSelectedUp() { move(-1); }
void LocalBatch::moveSelectedDown() { move(1); }

bool LocalBatch::chooseBatch()
{
    chosen_ = pageList.items();
    if (!missingAltOnly.Value || chosen_.empty())
        return true;
    // A page that cannot be read stays: the main window says why when it comes to it.
    const size_t all = chosen_.size();
    std::erase_if(chosen_, [this](const std::string& page) {
        const BatchSummary counts = summarizePage(platform_.files, page);
        return counts.unread == 0 && counts.missing == 0;
    });
    const size_t left = all - chosen_.size();
    if (chosen_.empty()) {
        message(all == 1 ? "Every image of the page chosen has an ALT already: there is nothing to do."
                         : "Every image of the " + number(static_cast<long long>(all)) +
                               " pages chosen has an ALT already: there is nothing to do.");
        return false;
    }
    if (left > 0)
        message(number(static_cast<long long>(left)) + (left == 1 ? " page was" : " pages were") +
                " left out of the batch: every image in " + (left == 1 ? "it" : "them") + " has an ALT already.");
    return true;
}

void LocalBatch::startChosenBatch()
{
    // The window goes once the main window has the batch; its lists go with it.
    const std::vector<std::string> pages = std::move(chosen_);
    chosen_.clear();
    batch_.start(pages);
    if (closeWindow)
        closeWindow();
}

void LocalBatch::ok()
{
    if (chooseBatch())
        startChosenBatch();
}

void LocalBatch::cancel()
{
    if (closeWindow)
        closeWindow();
}

} // namespace bw
