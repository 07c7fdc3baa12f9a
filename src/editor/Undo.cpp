// Undo and redo: each command's writes, on the open page and on the site's other pages, taken
// back and made again together, byte for byte.
#include "editor/EditorSession.h"

namespace bw {

EditorSession::Step::Step(EditorSession& editor) : editor_(editor)
{
    if (editor_.stepDepth_++ == 0)
        editor_.step_ = {editor_.imageList_.index(), editor_.editsKept_, false, {}};
}

EditorSession::Step::~Step()
{
    if (--editor_.stepDepth_ > 0)
        return;
    UndoStep step = std::exchange(editor_.step_, {});
    if (step.writes.empty())
        return;
    step.keptAfter = editor_.editsKept_;
    editor_.undoable_.push_back(std::move(step));
    editor_.redoable_.clear();
    editor_.showUndoState();
}

void EditorSession::recordWrite(std::string page, const PageDocument::Outcome& outcome, const Patch& patch)
{
    if (outcome.kind != PageDocument::Outcome::Written || patch.empty())
        return;
    const Step step(*this);
    step_.writes.emplace_back(std::move(page), patch);
}

void EditorSession::forgetSteps()
{
    undoable_.clear();
    redoable_.clear();
    showUndoState();
}

void EditorSession::showUndoState()
{
    view_.undoItem.Enabled = !undoable_.empty();
    view_.redoItem.Enabled = !redoable_.empty();
}

void EditorSession::undo() { replay(undoable_, redoable_, true); }

void EditorSession::redo() { replay(redoable_, undoable_, false); }

void EditorSession::replay(std::vector<UndoStep>& from, std::vector<UndoStep>& to, bool back)
{
    if (from.empty() || stepDepth_ > 0)
        return;
    UndoStep& step = from.back();
    const int image = step.image;
    // What is done moves over write by write: a write another program's change stops (the user
    // kept that change) stays where it was, with the writes after it, and every page keeps in
    // step with the writes left to take back or make again.
    UndoStep done{step.image, step.keptBefore, step.keptAfter, {}};
    std::string failed;
    while (!step.writes.empty()) {
        auto& [page, patch] = back ? step.writes.back() : step.writes.front();
        const Patch written = back ? patch.inverse() : patch;
        const PageDocument::Outcome outcome =
            page.empty() ? doc_.apply(written, step.image) : siteEdits_.apply(site_, page, written);
        if (!outcome.ok()) {
            if (outcome.kind == PageDocument::Outcome::Failed)
                failed = (page.empty() ? pagePath_ : page) + "\ncould not be written: " + outcome.error;
            break;
        }
        if (back) {
            done.writes.insert(done.writes.begin(), std::move(step.writes.back()));
            step.writes.pop_back();
        } else {
            done.writes.push_back(std::move(step.writes.front()));
            step.writes.erase(step.writes.begin());
        }
    }
    const bool moved = !done.writes.empty();
    if (moved) {
        editsKept_ = back ? step.keptBefore : step.keptAfter;
        if (step.writes.empty())
            from.pop_back();
        to.push_back(std::move(done));
    }
    showUndoState();
    if (!failed.empty())
        message("The page file\n" + failed + ".\n\nThe file was left as it was.");
    if (!moved || !pageOpen() || image < 0 || image >= imageList_.count())
        return;
    if (image != imageList_.index())
        move(image - imageList_.index());
    else
        showSelectedImage();
}

} // namespace bw
