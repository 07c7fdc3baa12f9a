// The main window's side of a batch: its start from the batch window, "Move to next file"
// and the first page of a batch fetched by the FTP window.
#include <algorithm>

#include "batch/FtpBatchSource.h"
#include "editor/Form1.h"
#include "editor/Text.h"

namespace bw {

using text::number;

namespace {

// The folder part of a batch row: its path without the row's file name.
std::string folderOf(const std::string& path, const std::string& name)
{
    return text::mid(path, 1, static_cast<long long>(path.size()) - static_cast<long long>(name.size()));
}

// The batch window's cut of an image name: its scanner knows only lower-case extensions.
std::string batchImageName(std::string_view entry)
{
    const size_t gif = text::inStr(entry, ".gif"), jpg = text::inStr(entry, ".jpg");
    return text::mid(entry, 11, static_cast<long long>(std::max(gif, jpg)) - 7);
}


} // namespace

void Form1::l_Click() { platform_.host.showLocalBatch(); }
void Form1::ftpa_Click() { platform_.host.showFtp(); }

bool Form1::takeBatchPage(const std::string& path)
{
    const auto found = path.empty() ? std::nullopt : platform_.files.resolve(path);
    std::optional<ReadResult> read;
    if (!found)
        message("The page\n" + path + "\nof the batch could not be found. It was left out.");
    else
        read = readPage(*found, path);
    // What was on screen is not this page: nothing of it may be written under this path.
    List1.Clear();
    List2.Clear();
    Text3.setText("");
    if (!read) {
        nytt1();
        Text6.setText("");
        Picture1.clear();
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
    takePage(*found, std::move(*read));
    Caption = "BRINDLEWORK Beta " + path;
    return true;
}

void Form1::startBatch(const ListBox& paths, const ListBox& names, bool& background)
{
    List1.Clear();
    Label3.Visible = true;
    Command7.Visible = true;
    Label3.Caption = "1 / " + number(paths.ListCount());
    // A fresh batch: an earlier one's rows must neither count nor give the folder.
    List3.Clear();
    List4.Clear();
    nästa = 1;
    for (int i = 0; i <= paths.ListCount(); ++i) {
        List3.AddItem(paths.List(i));
        List4.AddItem(names.List(i));
    }
    Label1.Caption = "Image of";
    texten10.clear();
    const std::string first = List3.List(0);
    const std::string folder = folderOf(first, List4.List(0));
    if (first.empty()) {
        Text6.setText("");
        return;
    }
    if (!takeBatchPage(first))
        return;
    if (text::inStr(texten10, "img SRC=") != 0)
        sökvägbild = folder;
    // Each page's own scan decides whether it has a background.
    background = false;
    Text2.setText(ripInto(*this, texten10, ScanVariant::Batch, background));
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount() - 1);
    listImageNames(batchImageName);
    if (background) {
        bakgrund = true;
        backgroundEnding(folder);
        if (Text1.empty())
            ingenalttext = true;
        return;
    }
    if (!fileIn(folder, List2.List(List1.ListIndex() + 1)))
        visa = false;
    if (Text1.empty())
        ingenalttext = true;
}

void Form1::Command7_Click()
{
    const int pages = List3.ListCount() - 1;
    // On the last page (or with no batch) nothing moves, and the page keeps its folder.
    if (nästa >= pages)
        return;
    nytt1();
    ++nästa;
    const int k = nästa - 1;
    Label3.Caption = number(nästa) + " / " + number(pages);
    Picture1.Visible = true;
    const std::string path = List3.List(k);
    platform_.host.unloadLocalBatch();
    sökvägbild = folderOf(path, List4.List(k));
    if (!takeBatchPage(path))
        return;

    // The picture of the first "img SRC=", up to a three-letter extension after its dot.
    std::string firstImage;
    if (const size_t p = text::inStrNoCase(texten10, "img SRC=")) {
        const size_t q = text::inStr(texten10, ".", p);
        if (q != 0)
            firstImage = text::mid(texten10, static_cast<long long>(p) + 9,
                                   static_cast<long long>(q) + 3 - (static_cast<long long>(p) + 9) + 1);
    }

    Text2.setText(RipHTML(texten10));
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames(imageName);
    if (bakgrund) {
        backgroundEnding(sökvägbild);
        return;
    }
    auto file = firstImage.empty() ? std::nullopt : imageFile(firstImage);
    Picture1.Picture = file ? std::move(*file) : std::string();
    Picture1.Visible = true;
    if (!imageExists(List2.List(List1.ListIndex() + 1)))
        visa = false;
}

void Form1::batchopen(const FtpBatchSource& ftp)
{
    if (Text6.empty())
        return;
    // The page is read from the temp path, and its pictures were downloaded beside it.
    const std::string path = ftp.tempPath() + Text6.Text();
    sökvägbild = path.substr(0, path.find_last_of("/\\") + 1);
    if (!takeBatchPage(path))
        return;
    Text2.setText(RipHTML(texten10));
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames(imageName);
    if (!bakgrund) {
        // A page without image tags has no picture to miss.
        if (List1.ListCount() > 0 && !imageExists(List2.List(List1.ListIndex()))) {
            visa = false;
            platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
        }
        if (Text1.empty())
            ingenalttext = false;
        return;
    }
    backgroundEnding(sökvägbild);
    if (Text1.empty())
        ingenalttext = false;
}

} // namespace bw
