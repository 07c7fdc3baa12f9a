#include "editor/EditorSession.h"

#include <algorithm>
#include <utility>

#include "text/Encoding.h"
#include "text/Text.h"
#include "page/PageEncoding.h"

namespace bw {

using text::number;

EditorSession::EditorSession(Platform platform, Version version)
    : platform_(platform), version_(version), doc_(platform.files), site_(platform.files), siteEdits_(platform.files),
      pictureTexts_(platform.files)
{
    doc_.confirmOverwrite = [this](const std::string& path) {
        return platform_.dialogs.msgBox(path + " was changed by another program since it was opened. Overwrite it "
                                               "with this window's text?",
                                        Buttons::YesNo, kTitle, Answer::No) == Answer::Yes;
    };
    siteEdits_.confirmOverwrite = doc_.confirmOverwrite;
    pageHeard_ = doc_.subscribe([this](const PageDocument::Notice& notice) {
        const PageDocument::Change change = notice.change;
        // Steps are taken back on the page as written since it was opened, and only so.
        if (change == PageDocument::Change::Opened || change == PageDocument::Change::Closed ||
            change == PageDocument::Change::PutBack)
            forgetSteps();
        if (change == PageDocument::Change::Opened || change == PageDocument::Change::Closed) {
            offeredFor_ = -1;
            overviewPictures_.clear();
        }
        if (change == PageDocument::Change::Closed) {
            contexts_.reset();
            readPictureText(-1);
            return;
        }
        // A write changes ALT attributes only, never the page's text, so the contexts stand;
        // the index hears of the page once it is left, as only other pages are offered from it.
        if (change == PageDocument::Change::Written)
            siteStale_ = true;
        else
            contexts_.emplace(doc_.sharedText(), doc_.found(), doc_.encoding());
    });
    // The views hear of a change once this editor has taken it in.
    pageRelayed_ = doc_.subscribe([this](const PageDocument::Notice& notice) { notices_.tell(notice); });
    doc_.leaving = [this] {
        if (std::exchange(siteStale_, false))
            site_.update(doc_.path(), doc_.text(), doc_.encoding());
    };
    view_.altBox.Change = [this] { altTextChanged(); };
    imageList_.selected = [this] { showSelectedImage(); };

    view_.searchNote.setText("Information on submitting your page to the Search Engines");
}

std::string EditorSession::versionLabel(Version v)
{
    return "Ver. " + number(v.major) + "." + number(v.minor) + "." + number(v.revision);
}

void EditorSession::load()
{
    view_.version.Caption = versionLabel(version_);
    view_.imageName.Caption = "";
    view_.toolbar = {
        {},
        {"new", "new", "New File"},
        {"open", "open", "Open File"},
        {"save", "save", "Save File"},
        {},
        {"Preview", "Preview", "Preview"},
        {},
    };
    platform_.host.loadSplash();
    setPagePath("");
    hasBackground_ = false;
    showsPicture_ = true;
    shownImage_ = 0;
    editsKept_ = false;
    view_.imageCounter.Caption = "Image of";
}

void EditorSession::clearAll()
{
    view_.altBox.setText("");
    setPagePath("");
    doc_.close();
    imageList_.clear();
    batchPages_.clear();
    view_.picture.clear();
    hasBackground_ = false;
    showsPicture_ = true;
    view_.imageCounter.Caption = "Image of";
    shownImage_ = 0;
    editsKept_ = false;
    view_.title = "BRINDLEWORK Beta";
    view_.imageName.Caption = "";
    view_.siteFolder.Caption.clear();
    view_.indexing.Caption.clear();
    showDecorative(-1);
    notices_.tell({PageDocument::Change::Cleared});
}

void EditorSession::clearImages()
{
    view_.altBox.setText("");
    doc_.close();
    imageList_.clear();
    view_.picture.Visible = false;
    showDecorative(-1);
}

void EditorSession::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

bool EditorSession::putPageBack(bool closing)
{
    // Nothing written since the page was opened: nothing to put back (and a read-only page
    // can still be closed).
    const PageDocument::Outcome put = doc_.putBack();
    if (put.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + pagePath_ + "\ncould not be put back to its text as first read: " + put.error +
                ".\n\nThe file was left as it was and the page stays open.");
    // The user kept another program's text: closing stops there, and says so.
    if (put.kind == PageDocument::Outcome::Declined && closing)
        message("The page file\n" + pagePath_ + "\nwas changed by another program, so it was not put back: it keeps "
                "that program's text.\n\nThe page stays open.");
    return put.ok();
}

void EditorSession::clearAfterAsking(const char* question)
{
    if (!pageOpen()) {
        clearAll();
        return;
    }
    // No changes nothing: the page stays open and its file as it is.
    if (platform_.dialogs.msgBox(question, Buttons::YesNo, kTitle, Answer::No) == Answer::Yes && putPageBack())
        clearAll();
}

void EditorSession::reset() { clearAfterAsking("Do you want to reset ?"); }

void EditorSession::newPage() { clearAfterAsking("Do you want to Load New Page ?"); }

bool EditorSession::mayClosePage()
{
    // Kept edits stay in the page file, and a page never written has nothing to take out.
    const bool page = pageOpen() && !editsKept_ && doc_.holdsEdits();
    const bool others = siteEdits_.holdsEdits();
    if (!page && !others)
        return true;
    const std::string& path = pagePath_;
    std::string what = page ? "The ALT texts written to " + path.substr(path.find_last_of('/') + 1) + " since you opened it" : "";
    if (others)
        what += page ? ", and those written to other pages with \"Use for every page\"," : "The ALT texts written to other pages with \"Use for every page\"";
    enum { Keep, TakeOut, Cancel };
    switch (platform_.dialogs.choose(what + " will be taken out again.", kTitle, {"Keep", "Take Out", "Cancel"}, Keep, Cancel)) {
    case Keep:
        editsKept_ = editsKept_ || page;
        siteEdits_.forget();
        forgetSteps();
        return true;
    case TakeOut: {
        if (page && !putPageBack(true))
            return false;
        forgetSteps(); // the pages put back are as first read: no step fits them any more
        const std::vector<std::string> failed = others ? siteEdits_.putBack(site_) : std::vector<std::string>();
        std::string list;
        for (const std::string& line : failed)
            list += "\n" + line;
        if (!failed.empty())
            message("These pages could not be put back to their text as first read, and were left as they are:" + list +
                    "\n\nThe program stays open.");
        return failed.empty();
    }
    default:
        return false;
    }
}

void EditorSession::exitProgram()
{
    if (mayClosePage())
        platform_.host.endProgram();
}

bool EditorSession::mayClose() { return mayClosePage(); }

void EditorSession::altTextChanged()
{
    if (view_.altBox.Text() != offered_) {
        offered_.clear();
        view_.offer.Caption.clear();
    }
    updateHints();
}

void EditorSession::toolbarButton(std::string_view key)
{
    if (text::equalsNoCase(key, "new")) {
        newPage();
    } else if (text::equalsNoCase(key, "open")) {
        openPage();
        platform_.host.setFocus("Text1");
    } else if (text::equalsNoCase(key, "save")) {
        saveAs();
    } else if (text::equalsNoCase(key, "preview")) {
        preview();
    }
}

void EditorSession::preview()
{
    if (pageOpen())
        platform_.shell.open(pagePath_);
}

void EditorSession::submitPage() { platform_.shell.open(site::kSubmit); }
void EditorSession::openSupport() { platform_.shell.open(site::kSupport); }
void EditorSession::showAbout() { platform_.host.showAbout(); }

// ---- Opening a page ----

void EditorSession::prepareHtmlDialog()
{
    fileDialog_.Flags = FileDialog::HideReadOnly;
    fileDialog_.Filter = kHtmlFilter;
    fileDialog_.FilterIndex = 1;
}

// An empty name, or the filter pattern itself, is what a dialog left unused reports.
bool EditorSession::noFileChosen(const std::string& name) { return name.empty() || text::equalsNoCase(name, "*.html"); }

void EditorSession::openPage() { openChosen(true); }

void EditorSession::openPath(const std::string& path)
{
    fileDialog_.FileName = path;
    size_t slash = path.find_last_of('/');
    fileDialog_.FileTitle = slash == std::string::npos ? path : path.substr(slash + 1);
    openChosen(false);
}

void EditorSession::openChosen(bool useDialog)
{
    if (!pageOpen()) {
    } else {
        if (platform_.dialogs.msgBox("Load New Page ?", Buttons::YesNo, kTitle) != Answer::Yes)
            return;
        clearAll();
    }
    view_.imageCounter.Caption = "Image of";
    if (useDialog) {
        prepareHtmlDialog();
        if (!platform_.dialogs.showOpen(fileDialog_))
            return; // Cancel cancels: not even the last file is opened again
    }
    const std::string chosen = fileDialog_.FileName;
    view_.title = "BRINDLEWORK Beta " + chosen;
    doc_.close();
    if (noFileChosen(chosen))
        return;
    // Found without regard to letter case, as pages were named on older systems; from here
    // on the page is the file as it lies on disk, and every write goes there.
    const auto found = platform_.files.resolve(chosen);
    // A page refused leaves no count of images behind.
    if (!found) {
        view_.imageCounter.Caption.clear();
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "File Not Found");
        return;
    }
    // Read before taking the page on, so that a file we cannot read leaves no page open.
    auto read = readPage(*found, chosen);
    if (!read) {
        view_.imageCounter.Caption.clear();
        return;
    }
    indexed_ = {}; // a page opened anew: the site is read anew, with what changed since
    takePage(*found, std::move(*read));
    size_t titleLength = fileDialog_.FileTitle.size();
    pageFolder_ = chosen.substr(0, chosen.size() > titleLength ? chosen.size() - titleLength : 0);

    listImages();
    view_.imageCounter.Caption = "Image " + number(imageList_.index() + 1) + " of " + number(imageList_.count());
    selectFirstImage();
    showFirstImage();
}

std::optional<ReadResult> EditorSession::readPage(const std::string& path, const std::string& shownAs)
{
    ReadResult read = platform_.files.readFile(path);
    if (!read.ok) {
        message("The page\n" + shownAs + "\ncould not be read: " + read.error + ".");
        return std::nullopt;
    }
    if (!isPageText(read.bytes)) {
        message("The file\n" + shownAs + "\nis not an HTML page: it holds binary data. It was not opened.");
        return std::nullopt;
    }
    return read;
}

void EditorSession::takePage(const std::string& path, ReadResult&& read)
{
    // Copies left by a run that was killed while writing this page.
    platform_.files.removeStaleCopies(path);
    setPagePath(path);
    doc_.open(path, std::move(read));
    indexSite();
}

void EditorSession::showFirstImage()
{
    if (!hasBackground_) {
        // A page without image tags has nothing to look for.
        if (imageList_.count() > 0 && !imageExists(imageList_.index())) {
            showsPicture_ = false;
            platform_.dialogs.msgBox("UNABLE TO DISPLAY IMAGES, IMAGES NOT FOUND", Buttons::OkCancel, kTitle);
        }
        return;
    }

    backgroundEnding();
}

bool EditorSession::backgroundEnding()
{
    const int next = imageList_.index() + 1;
    if (next >= imageList_.count()) {
        // Only the background image (or nothing at all) was found: stay where we are.
        view_.picture.clear();
        view_.imageCounter.Caption = "Image 0 of 0";
        view_.picture.Visible = true;
        return false;
    }
    const bool found = imageExists(next);
    if (!found)
        showsPicture_ = false; // before the selection, so that its handler does not look either
    imageList_.select(next);
    if (!found)
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
    if (found)
        showPicture(next);
    else
        showsPicture_ = false;
    view_.imageCounter.Caption = "Image " + number(imageList_.index()) + " of " + number(imageList_.count() - 1);
    view_.picture.Visible = true;
    return true;
}

void EditorSession::listImages()
{
    const auto& images = doc_.images();
    imageList_.setCount(static_cast<int>(images.size()));
    hasBackground_ = std::any_of(images.begin(), images.end(),
                                 [](const PageDocument::Image& image) { return image.kind == ImageKind::Background; });
}

void EditorSession::selectFirstImage()
{
    if (imageList_.count() > 0)
        imageList_.select(0);
}

// ---- Image navigation ----

std::optional<PictureBox> EditorSession::picture(int index)
{
    if (index < 0 || index >= imageList_.count() || static_cast<size_t>(index) >= doc_.images().size())
        return std::nullopt;
    const auto i = static_cast<size_t>(index);
    PictureBox box;
    if (doc_.images()[i].kind == ImageKind::Area) {
        box.Note = "An area of an image map, linking to " + std::string(doc_.writtenName(i));
        return box;
    }
    ImageSource source = doc_.source(i);
    switch (source.kind) {
    case ImageSource::Kind::None:
        box.Note = "This tag names no picture.";
        return box;
    case ImageSource::Kind::Remote:
        box.Note = "This picture is not on this computer. It lives at\n" + source.path;
        return box;
    case ImageSource::Kind::Data:
        box.Data = std::move(source.data);
        return box;
    case ImageSource::Kind::File:
        break;
    }
    for (const std::string& candidate : candidatePaths(pageFolder_, source))
        if (auto found = platform_.files.resolve(candidate); found && platform_.files.isFile(*found)) {
            box.Picture = std::move(*found);
            return box;
        }
    return std::nullopt;
}

void EditorSession::showPicture(int index)
{
    const bool visible = view_.picture.Visible;
    view_.picture = picture(index).value_or(PictureBox{});
    view_.picture.Visible = visible;
}

void EditorSession::showSelectedImage()
{
    const int i = imageList_.index();
    if (i == -1)
        return;
    const int count = imageList_.count();
    view_.imageCounter.Caption = hasBackground_ ? "Image " + number(i) + " of " + number(count - 1)
                              : "Image " + number(i + 1) + " of " + number(count);
    view_.imageName.Caption = std::string(doc_.writtenName(static_cast<size_t>(i)));
    if (showsPicture_)
        showPicture(i);
    else
        view_.picture.clear();
    const auto image = static_cast<size_t>(i);
    view_.context = contexts_ && image < doc_.images().size() ? contexts_->contextOf(doc_.images()[image].copies.front()) : ImageContext{};
    typedFor_ = -1;
    readPictureText(i);
    readExistingAlt(i);
    offerSiteAlt(true);
    notices_.tell({PageDocument::Change::Shown, i});
}

void EditorSession::showDecorative(int index)
{
    if (index < 0) {
        view_.context = {};
        view_.offer.Caption.clear();
        offered_.clear();
        offeredFor_ = -1;
        view_.useEverywhereButton.Enabled = false;
    }
    const auto i = static_cast<size_t>(index);
    const bool image = pageOpen() && index >= 0 && i < doc_.images().size() && doc_.images()[i].kind != ImageKind::Background;
    const auto shown = image ? doc_.altShown(i) : std::nullopt;
    view_.decorative.Enabled = image;
    view_.decorative.Value = shown && shown->empty();
    view_.altBox.Enabled = !view_.decorative.Value;
    if (undecorated_.first != index)
        undecorated_ = {-1, {}};
}

void EditorSession::readExistingAlt(int index)
{
    const auto i = static_cast<size_t>(index);
    const auto shown = i < doc_.images().size() ? doc_.altShown(i) : std::nullopt;
    showDecorative(index);
    if (!shown) {
        view_.altBox.setText("");
        return;
    }
    view_.altBox.setText(*shown);
    showsPicture_ = true;
}

} // namespace bw
