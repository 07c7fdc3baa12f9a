// The main window's side of a batch: its start from the batch window, "Move to next file"
// and the first page of a batch fetched by the FTP window.
#include <algorithm>

#include "batch/BatchSummary.h"
#include "batch/FtpBatchSource.h"
#include "editor/Form1.h"
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

void Form1::batchChanged() { notices_.tell({PageDocument::Change::Batch}); }

void Form1::l_Click() { platform_.host.showLocalBatch(); }
void Form1::ftpa_Click() { platform_.host.showFtp(); }

bool Form1::takeBatchPage(const std::string& path)
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
        nytt1();
        Text6.setText("");
        Label1.Caption = "Image of";
        return false;
    }
    // A page of its own, as File > Open gives one: first image, nothing kept, every picture
    // may show, no background until its scan finds one.
    bild = 0;
    ändrat = false;
    visa = true;
    bakgrund = false;
    tomt = false;
    aa.clear();
    takePage(path, std::move(*read));
    Caption = "BRINDLEWORK Beta " + path;
    return true;
}

void Form1::startBatch(const std::vector<std::string>& pages)
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
    List4.Clear();
    nästa = 1;
    for (const std::string& page : pages) {
        List3.AddItem(page);
        List4.AddItem(page.substr(page.find_last_of('/') + 1));
    }
    Label1.Caption = "Image of";
    doc_.close();
    if (pages.empty()) {
        Text6.setText("");
        return;
    }
    // A page that cannot be opened is told and skipped.
    size_t k = 0;
    while (k < pages.size() && (sökvägbild = folderOfPath(pages[k]), !takeBatchPage(pages[k])))
        ++k;
    if (k == pages.size())
        return;
    nästa = static_cast<int>(k) + 1;
    Label3.Caption = number(nästa) + " / " + number(static_cast<long long>(pages.size()));
    RipHTML();
    listImageNames();
    if (List1.ListCount() == 0)
        Label1.Caption = "Image 0 of 0";
    if (bakgrund) {
        backgroundEnding();
        if (Text1.empty())
            ingenalttext = true;
        return;
    }
    if (!imageExists(List1.ListIndex() + 1))
        visa = false;
    if (Text1.empty())
        ingenalttext = true;
}

void Form1::startFtpBatch(const FtpBatchSource& ftp, const std::vector<std::string>& names)
{
    const AtEnd told{[this] { batchChanged(); }};
    List1.Clear();
    List3.Clear();
    List4.Clear();
    nästa = 1;
    Text6.setText(names.empty() ? std::string() : names.front());
    ftpPages_ = ftp.roundTrip();
    up.Visible = sc.Visible = ftpPages_ != nullptr;
    batchopen(ftp);
    const std::string folder = ftp.tempPath();
    for (const std::string& name : names) {
        List3.AddItem(folder + name);
        List4.AddItem(name);
    }
    Label3.Visible = true;
    Command7.Visible = true;
    Label3.Caption = "1 / " + number(static_cast<long long>(names.size()));
}

void Form1::Command7_Click()
{
    const AtEnd told{[this] { batchChanged(); }};
    const int pages = List3.ListCount();
    // What was typed for the image shown is written first, as NEXT writes it.
    if (pageOpen() && !tempspar())
        return;
    if (nästa >= pages) {
        // The page stays, with its folder.
        if (pages > 0)
            message(summaryText(summarize(platform_.files, List3.items())));
        return;
    }
    nytt1();
    platform_.host.unloadLocalBatch();
    Picture1.Visible = true;
    // A page that cannot be opened is told and skipped.
    for (;;) {
        ++nästa;
        const std::string path = List3.List(nästa - 1);
        Label3.Caption = number(nästa) + " / " + number(pages);
        sökvägbild = folderOfPath(path);
        if (takeBatchPage(path))
            break;
        if (nästa >= pages)
            return;
    }
    RipHTML();
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames();
    if (bakgrund) {
        backgroundEnding();
        return;
    }
    showPicture(List1.ListIndex());
    Picture1.Visible = true;
    if (!imageExists(List1.ListIndex() + 1))
        visa = false;
}

void Form1::up_Click()
{
    // What was typed for the image shown goes up with its page, as NEXT would write it.
    if (!ftpPages_ || (pageOpen() && !tempspar()))
        return;
    ftpPages_->uploadChanged();
}

void Form1::sc_Click()
{
    if (ftpPages_ && (!pageOpen() || tempspar()))
        ftpPages_->showChanges();
}

void Form1::batchopen(const FtpBatchSource& ftp)
{
    if (Text6.empty())
        return;
    // The page is read from the temp path, and its pictures were downloaded beside it.
    const std::string path = ftp.tempPath() + Text6.Text();
    sökvägbild = folderOfPath(path);
    if (!takeBatchPage(path))
        return;
    RipHTML();
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames();
    if (!bakgrund) {
        // A page without image tags has no picture to miss.
        if (List1.ListCount() > 0 && !imageExists(List1.ListIndex())) {
            visa = false;
            platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
        }
        if (Text1.empty())
            ingenalttext = false;
        return;
    }
    backgroundEnding();
    if (Text1.empty())
        ingenalttext = false;
}

} // namespace bw
