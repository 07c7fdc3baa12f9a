// NEXT and BACK, the write-back of the ALT text, "&Save", Save and Save As.
#include "editor/AltEdit.h"
#include "editor/Form1.h"
#include "editor/Text.h"

namespace bw {

void Form1::lastImage() { platform_.dialogs.msgBox("Last Image", Buttons::OkCancel, kTitle); }

void Form1::Command3_Click()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // The image being left is written first, the last one too.
    if (!tempspar())
        return;
    const int count = List1.ListCount();
    if (count == 0 || (bakgrund && bild == count - 2)) {
        lastImage();
        return;
    }
    if (bild == count - 1) {
        lastImage();
        if (Text1.empty())
            tomt = true;
        return;
    }
    move(+1);
}

void Form1::Command5_Click()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // On the first image nothing is written.
    if (bild == 0 || List1.ListCount() == 0) {
        lastImage();
        if (!bakgrund && Text1.empty())
            tomt = true;
        return;
    }
    if (!tempspar())
        return;
    move(-1);
}

void Form1::move(int step)
{
    const int target = List1.ListIndex() + step;
    if (target < 0 || target >= List1.ListCount())
        return;
    bild += step;
    const std::string& name = List2.List(target);
    auto file = imageFile(name);
    if (!file)
        visa = false;
    List1.setListIndex(target); // a missing picture is cleared by the selection handler
    if (file)
        Picture1.Picture = std::move(*file);
    Label5.Caption = name;
    if (Text1.empty())
        tomt = true;
}

bool Form1::writePage(const std::string& path, std::string_view text)
{
    WriteResult written = platform_.files.writeFile(path, text, "\r\n");
    if (written.ok)
        return true;
    message("The page file\n" + path + "\ncould not be written: " + written.error +
            ".\n\nThe file was left as it was.");
    return false;
}

void Form1::reread(std::string&& written)
{
    ReadResult read = platform_.files.readFile(Text6.Text(), std::move(texten10));
    if (read.ok) {
        texten10 = std::move(read.bytes);
        spare_ = std::move(written);
        return;
    }
    // What was just written is what the file holds.
    texten10 = std::move(written);
    texten10 += "\r\n";
    message("The page file\n" + Text6.Text() + "\ncould not be read back: " + read.error +
            ".\n\nWork goes on with the text that was written to it.");
}

std::optional<Form1::Span> Form1::entrySpan(int index) const
{
    const std::string& entry = List1.List(index);
    if (entry.empty())
        return std::nullopt;
    // The opened page never changes, so each entry is searched in it once.
    if (static_cast<size_t>(index) >= foundAt_.size())
        foundAt_.resize(static_cast<size_t>(index) + 1, kNotSearched);
    size_t& found = foundAt_[static_cast<size_t>(index)];
    if (found == kNotSearched)
        found = text::inStrNoCase(opened_, entry);
    if (found == 0)
        return std::nullopt;
    size_t start = found - 1, end = start + entry.size();
    for (const TextEdit& e : edits_) {
        start = e.map(start);
        end = e.map(end);
    }
    if (end > texten10.size() || end <= start)
        return std::nullopt;
    return Span{start + 1, end - start};
}

void Form1::startTracking()
{
    opened_ = texten10;
    edits_.clear();
    foundAt_.clear();
}

void Form1::track(const AltEdit& edit)
{
    // Each write's edits are in the old page's positions: replay them from the back.
    edits_.insert(edits_.end(), edit.edits.rbegin(), edit.edits.rend());
}

Form1::Written Form1::writeAlt(EmptyBox empty)
{
    const auto span = entrySpan(List1.ListIndex());
    if (!span)
        return Written::Nothing; // no image, or its entry is not in the page
    AltEdit edit =
        withAlt(texten10, span->position - 1, span->length, Text1.Text(), empty, std::move(spare_));
    if (!writePage(Text6.Text(), edit.page)) {
        spare_ = std::move(edit.page);
        return Written::Failed;
    }
    track(edit);
    reread(std::move(edit.page));
    return Written::Done;
}

bool Form1::tempspar()
{
    h.Enabled = !texten10.empty();
    if (aa.empty())
        aa = "1";
    const Written written = writeAlt(EmptyBox::Remove);
    if (written != Written::Done)
        return written == Written::Nothing;
    const bool typedNothing = Text1.empty();
    if (!ingenalttext && !typedNothing && text1lång != 1)
        ingenalttext = true;
    if (ingenalttext && typedNothing)
        tomt = false;
    text1lång = 0;
    return true;
}

bool Form1::writeCurrentAlt(bool decorate)
{
    h.Enabled = !texten10.empty();
    const Written written = writeAlt(decorate ? EmptyBox::Decorate : EmptyBox::Remove);
    if (written == Written::Done)
        if (const auto now = entrySpan(List1.ListIndex()))
            cutFollowingText(now->position, now->length);
    return written != Written::Failed;
}

void Form1::Command4_Click()
{
    if (!pageOpen())
        return;
    if (platform_.files.exists(Text6.Text()) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    if (writeCurrentAlt(true))
        ändrat = true;
}

void Form1::s_Click()
{
    if (!pageOpen())
        return;
    writeCurrentAlt(true);
}

void Form1::fileSaveas()
{
    if (!pageOpen())
        return;
    ändrat = false;
    prepareHtmlDialog();
    platform_.dialogs.showSave(CommonDialog1);
    const std::string chosen = CommonDialog1.FileName;
    if (noFileChosen(chosen))
        return;
    if (platform_.files.exists(chosen) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    if (!tempspar())
        return;
    if (!writePage(chosen, texten10))
        return;
    const bool overPage = platform_.files.sameFile(chosen, Text6.Text());
    if (overPage)
        reread(std::string(texten10));
    if (platform_.dialogs.msgBox("File saved, do u want to reset the app ?", Buttons::YesNo, "File Saved") !=
        Answer::Yes)
        return;
    if (ändrat)
        return;
    // Saved over the page itself: the edits live in that very file, so it is not put back.
    if (overPage) {
        nytt();
        return;
    }
    if (writeBackUnedited())
        nytt();
}

} // namespace bw
