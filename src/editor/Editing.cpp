// NEXT and BACK, the write-back of the ALT text, "&Save", Save and Save As.
#include <algorithm>

#include "editor/EditorSession.h"

namespace bw {

void EditorSession::lastImage() { platform_.dialogs.msgBox("Last Image", Buttons::OkCancel, kTitle); }

void EditorSession::next()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // The image being left is written first, the last one too.
    if (!writeTypedAlt())
        return;
    const int count = imageList_.count();
    if (count == 0 || (hasBackground_ && shownImage_ == count - 2)) {
        lastImage();
        return;
    }
    if (shownImage_ == count - 1) {
        lastImage();
        return;
    }
    move(+1);
}

void EditorSession::back()
{
    platform_.host.setFocus("Text1");
    if (!pageOpen())
        return;
    // On the first image nothing is written.
    if (shownImage_ == 0 || imageList_.count() == 0) {
        lastImage();
        return;
    }
    if (!writeTypedAlt())
        return;
    move(-1);
}

void EditorSession::move(int step)
{
    const int target = imageList_.index() + step;
    if (target < 0 || target >= imageList_.count())
        return;
    shownImage_ += step;
    std::optional<PictureBox> found = picture(target);
    if (!found)
        showsPicture_ = false;
    imageList_.select(target); // a missing picture is cleared by the selection handler
    if (found) {
        found->Visible = view_.picture.Visible;
        view_.picture = std::move(*found);
    }
}

bool EditorSession::writeAlt(EmptyBox empty)
{
    const int index = imageList_.index();
    const PageDocument::Outcome outcome =
        index < 0 ? PageDocument::Outcome{} : doc_.writeAlt(static_cast<size_t>(index), view_.altBox.Text(), empty);
    recordWrite({}, outcome, doc_.lastPatch());
    if (outcome.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + pagePath_ + "\ncould not be written: " + outcome.error +
                ".\n\nThe file was left as it was.");
    return outcome.ok();
}

bool EditorSession::writeTypedAlt()
{
    view_.helpMenu.Enabled = !doc_.text().empty();
    return writeAlt(EmptyBox::Remove);
}

void EditorSession::keep()
{
    if (!pageOpen())
        return;
    if (platform_.files.exists(pagePath_) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle) == Answer::No)
        return;
    const Step step(*this); // the write and the keeping together
    view_.helpMenu.Enabled = !doc_.text().empty();
    if (writeAlt(EmptyBox::Decorate))
        editsKept_ = true;
}

void EditorSession::save()
{
    if (!pageOpen())
        return;
    const Step step(*this);
    view_.helpMenu.Enabled = !doc_.text().empty();
    // Saved means kept: closing afterwards leaves the page as it is.
    if (writeAlt(EmptyBox::Decorate))
        editsKept_ = true;
}

void EditorSession::saveAs()
{
    if (!pageOpen())
        return;
    // Edits kept with "&Save" stay kept: saving a copy does not take them back.
    prepareHtmlDialog();
    if (!platform_.dialogs.showSave(fileDialog_))
        return; // Cancel: nothing asked, nothing written
    const std::string chosen = fileDialog_.FileName;
    if (noFileChosen(chosen))
        return;
    if (platform_.files.exists(chosen) &&
        platform_.dialogs.msgBox("Are you sure you want to do this ?", Buttons::YesNo, kTitle, Answer::No) == Answer::No)
        return;
    if (!writeTypedAlt())
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
    if (editsKept_ || overPage || putPageBack())
        clearAll();
}

} // namespace bw
