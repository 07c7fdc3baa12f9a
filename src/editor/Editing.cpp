// NEXT and BACK, the write-back of the ALT text, "&Save", Save and Save As.
#include <algorithm>

#include "editor/Form1.h"

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
    std::optional<PictureBox> found = picture(target);
    if (!found)
        visa = false;
    List1.setListIndex(target); // a missing picture is cleared by the selection handler
    if (found) {
        found->Visible = Picture1.Visible;
        Picture1 = std::move(*found);
    }
    if (Text1.empty())
        tomt = true;
}

bool Form1::writeAlt(EmptyBox empty, PageDocument::Outcome::Kind* kind)
{
    const int index = List1.ListIndex();
    const PageDocument::Outcome outcome =
        index < 0 ? PageDocument::Outcome{} : doc_.writeAlt(static_cast<size_t>(index), Text1.Text(), empty);
    if (kind)
        *kind = outcome.kind;
    if (outcome.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + Text6.Text() + "\ncould not be written: " + outcome.error +
                ".\n\nThe file was left as it was.");
    return outcome.ok();
}

bool Form1::tempspar()
{
    h.Enabled = !doc_.text().empty();
    if (aa.empty())
        aa.assign(1, '1');
    PageDocument::Outcome::Kind written;
    if (!writeAlt(EmptyBox::Remove, &written))
        return false;
    if (written == PageDocument::Outcome::Nothing)
        return true; // no image, or a background
    const bool typedNothing = Text1.empty();
    if (!ingenalttext && !typedNothing && text1lång != 1)
        ingenalttext = true;
    if (ingenalttext && typedNothing)
        tomt = false;
    text1lång = 0;
    return true;
}

void Form1::Command4_Click()
{
    if (!pageOpen())
        return;
    if (platform_.files.exists(Text6.Text()) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    h.Enabled = !doc_.text().empty();
    if (writeAlt(EmptyBox::Decorate))
        ändrat = true;
}

void Form1::s_Click()
{
    if (!pageOpen())
        return;
    h.Enabled = !doc_.text().empty();
    // Saved means kept: closing afterwards leaves the page as it is.
    if (writeAlt(EmptyBox::Decorate))
        ändrat = true;
}

void Form1::fileSaveas()
{
    if (!pageOpen())
        return;
    // Edits kept with "&Save" stay kept: saving a copy does not take them back.
    prepareHtmlDialog();
    if (!platform_.dialogs.showSave(CommonDialog1))
        return; // Cancel: nothing asked, nothing written
    const std::string chosen = CommonDialog1.FileName;
    if (noFileChosen(chosen))
        return;
    if (platform_.files.exists(chosen) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle, Answer::No) == Answer::No)
        return;
    if (!tempspar())
        return;
    // Saved over the page itself, what was saved is what the page is put back to.
    const bool overPage = doc_.isPageFile(chosen);
    const PageDocument::Outcome saved = doc_.saveAs(chosen);
    if (saved.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + chosen + "\ncould not be written: " + saved.error + ".\n\nThe file was left as it was.");
    if (!saved.ok())
        return;
    if (platform_.dialogs.msgBox("File saved, do u want to reset the app ?", Buttons::YesNo, "File Saved") !=
        Answer::Yes)
        return;
    // Kept edits, or edits saved into the page itself, stay in the page file.
    if (ändrat || overPage || writeBackUnedited())
        nytt();
}

} // namespace bw
