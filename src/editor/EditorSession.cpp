#include "editor/EditorSession.h"

#include <algorithm>
#include <utility>

#include "text/Encoding.h"
#include "text/Text.h"
#include "page/PageEncoding.h"

namespace bw {

using text::number;

EditorSession::EditorSession(Platform platform, Version version)
    : platform_(platform), version_(version), doc_(platform.files), site_(platform.files), siteEdits_(platform.files)
{
    doc_.confirmOverwrite = [this](const std::string& path) {
        return platform_.dialogs.msgBox(path + " was changed by another program since it was opened. Overwrite it "
                                               "with this window's text?",
                                        Buttons::YesNo, kTitle, Answer::No) == Answer::Yes;
    };
    siteEdits_.confirmOverwrite = doc_.confirmOverwrite;
    pageHeard_ = doc_.subscribe([this](const PageDocument::Notice& notice) {
        const PageDocument::Change change = notice.change;
        if (change == PageDocument::Change::Opened || change == PageDocument::Change::Closed) {
            offeredFor_ = -1;
            overviewPictures_.clear();
        }
        if (change == PageDocument::Change::Closed) {
            contexts_.reset();
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
    Text1.Change = [this] { altTextChanged(); };
    List1.Click = [this] { showSelectedImage(); };

    Text4.setText("Information on submitting your page to the Search Engines");
    Label2.Caption = "Alt text:";
    Label3.Visible = false;
    Label1.Caption = "Image of";
    Command1.Caption = "RESET";
    Command3.Caption = "NEXT";
    Command4.Caption = "&Save";
    Command5.Caption = "BACK";
    Command6.Caption = "SUBMIT PAGE";
    Command7.Caption = "Move to next file";
    Command7.Visible = false;
    n.Caption = "New";
    o.Caption = "Open";
    s.Caption = "Save";
    sa.Caption = "Save As";
    e.Caption = "Exit";
    pr.Caption = "Preferences";
    url.Caption = "URL";
    na.Caption = "User Name";
    pass.Caption = "Password";
    l.Caption = "Local";
    ftpa.Caption = "FTP";
    su.Caption = "Support";
    ab.Caption = "About";
    h.Caption = "&Help";
    Decorative.Caption = "Decorative (no ALT)";
    Decorative.Enabled = false;
    MissingOnly.Caption = "Missing only";
    UseEverywhere.Caption = "Use for every page";
    UseEverywhere.Enabled = false;
}

std::string EditorSession::versionLabel(Version v)
{
    return "Ver. " + number(v.major) + "." + number(v.minor) + "." + number(v.revision);
}

void EditorSession::load()
{
    Label4.Caption = versionLabel(version_);
    Label5.Caption = "";
    Toolbar1 = {
        {},
        {"new", "new", "New File"},
        {"open", "open", "Open File"},
        {"save", "save", "Save File"},
        {},
        {"Preview", "Preview", "Preview"},
        {},
    };
    platform_.host.loadSplash();
    Text6.setText("");
    batchPage = 1;
    hasBackground = false;
    showsPicture = true;
    shownImage = 0;
    editsKept = false;
    Label1.Caption = "Image of";
}

void EditorSession::clearAll()
{
    Text1.setText("");
    Text3.setText("");
    Text6.setText("");
    doc_.close();
    List1.Clear();
    List2.Clear();
    List3.Clear();
    Picture1.clear();
    batchPage = 1;
    hasBackground = false;
    showsPicture = true;
    Label1.Caption = "Image of";
    shownImage = 0;
    editsKept = false;
    Caption = "BRINDLEWORK Beta";
    Label5.Caption = "";
    showDecorative(-1);
}

void EditorSession::clearImages()
{
    Text1.setText("");
    Text3.setText("");
    doc_.close();
    List1.Clear();
    List2.Clear();
    Picture1.Visible = false;
    showDecorative(-1);
}

void EditorSession::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

bool EditorSession::putPageBack()
{
    // Nothing written since the page was opened: nothing to put back (and a read-only page
    // can still be closed).
    const PageDocument::Outcome put = doc_.putBack();
    if (put.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + Text6.Text() + "\ncould not be put back to its text as first read: " + put.error +
                ".\n\nThe file was left as it was and the page stays open.");
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
    const bool page = pageOpen() && !editsKept && doc_.holdsEdits();
    const bool others = siteEdits_.holdsEdits();
    if (!page && !others)
        return true;
    const std::string& path = Text6.Text();
    std::string what = page ? "The ALT texts written to " + path.substr(path.find_last_of('/') + 1) + " since you opened it" : "";
    if (others)
        what += page ? ", and those written to other pages with \"Use for every page\"," : "The ALT texts written to other pages with \"Use for every page\"";
    enum { Keep, TakeOut, Cancel };
    switch (platform_.dialogs.choose(what + " will be taken out again.", kTitle, {"Keep", "Take Out", "Cancel"}, Keep, Cancel)) {
    case Keep:
        editsKept = editsKept || page;
        siteEdits_.forget();
        return true;
    case TakeOut: {
        if (page && !putPageBack())
            return false;
        const std::vector<std::string> failed = others ? siteEdits_.putBack(site_) : std::vector<std::string>();
        std::string list;
        for (const std::string& line : failed)
            list += "\n" + line;
        if (!failed.empty())
            message("These pages could not be put back to their text as first read, and were left as they are:" + list);
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
    if (Text1.Text() != offered_) {
        offered_.clear();
        Offer.Caption.clear();
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
        saveAsChosen();
    } else if (text::equalsNoCase(key, "preview")) {
        preview();
    }
}

void EditorSession::preview()
{
    if (pageOpen())
        platform_.shell.open(Text6.Text());
}

void EditorSession::submitPage() { platform_.shell.open(site::kSubmit); }
void EditorSession::openSupport() { platform_.shell.open(site::kSupport); }
void EditorSession::showAbout() { platform_.host.showAbout(); }

// ---- Opening a page ----

void EditorSession::prepareHtmlDialog()
{
    CommonDialog1.Flags = FileDialog::HideReadOnly;
    CommonDialog1.Filter = kHtmlFilter;
    CommonDialog1.FilterIndex = 1;
}

// An empty name, or the filter pattern itself, is what a dialog left unused reports.
bool EditorSession::noFileChosen(const std::string& name) { return name.empty() || text::equalsNoCase(name, "*.html"); }

void EditorSession::openPage() { openChosen(true); }

void EditorSession::openPath(const std::string& path)
{
    CommonDialog1.FileName = path;
    size_t slash = path.find_last_of('/');
    CommonDialog1.FileTitle = slash == std::string::npos ? path : path.substr(slash + 1);
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
    Label1.Caption = "Image of";
    if (useDialog) {
        prepareHtmlDialog();
        if (!platform_.dialogs.showOpen(CommonDialog1))
            return; // Cancel cancels: not even the last file is opened again
    }
    const std::string chosen = CommonDialog1.FileName;
    Caption = "BRINDLEWORK Beta " + chosen;
    doc_.close();
    if (noFileChosen(chosen))
        return;
    // Found without regard to letter case, as pages were named on older systems; from here
    // on the page is the file as it lies on disk, and every write goes there.
    const auto found = platform_.files.resolve(chosen);
    if (!found) {
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "File Not Found");
        return;
    }
    // Read before taking the page on, so that a file we cannot read leaves no page open.
    auto read = readPage(*found, chosen);
    if (!read)
        return;
    indexed_ = {}; // a page opened anew: the site is read anew, with what changed since
    takePage(*found, std::move(*read));
    size_t titleLength = CommonDialog1.FileTitle.size();
    pageFolder = chosen.substr(0, chosen.size() > titleLength ? chosen.size() - titleLength : 0);

    listImages();
    Label1.Caption = "Image " + number(List1.ListIndex() + 1) + " of " + number(List1.ListCount());
    listImageNames();
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
    Text6.setText(path);
    doc_.open(path, std::move(read));
    indexSite();
}

void EditorSession::showFirstImage()
{
    if (!hasBackground) {
        // A page without image tags has nothing to look for.
        if (List1.ListCount() > 0 && !imageExists(List1.ListIndex())) {
            showsPicture = false;
            platform_.dialogs.msgBox("UNABLE TO DISPLAY IMAGES, IMAGES NOT FOUND", Buttons::OkCancel, kTitle);
        }
        return;
    }

    backgroundEnding();
}

bool EditorSession::backgroundEnding()
{
    const int next = List1.ListIndex() + 1;
    if (next >= List1.ListCount()) {
        // Only the background image (or nothing at all) was found: stay where we are.
        Picture1.clear();
        Label1.Caption = "Image 0 of 0";
        Picture1.Visible = true;
        return false;
    }
    const bool found = imageExists(next);
    if (!found)
        showsPicture = false; // before the selection, so that its handler does not look either
    List1.setListIndex(next);
    if (!found)
        platform_.dialogs.msgBox(kTitle, Buttons::OkCancel, "Pic Not Found");
    if (found)
        showPicture(next);
    else
        showsPicture = false;
    Label1.Caption = "Image " + number(List1.ListIndex()) + " of " + number(List1.ListCount() - 1);
    Picture1.Visible = true;
    return true;
}

void EditorSession::listImages()
{
    const std::string_view page = doc_.text();
    for (size_t i = 0; i < doc_.images().size(); ++i) {
        const FoundImage& image = doc_.tagOf(i);
        // The tag up to the end of the name of its picture, as pages have always listed it.
        const TagAttribute* naming = namingAttribute(page, image);
        const size_t end = naming ? naming->whole.end : image.tag.whole.end;
        List1.AddItem(std::string(page.substr(image.tag.whole.begin, end - image.tag.whole.begin)));
        if (image.kind == ImageKind::Background)
            hasBackground = true;
    }
}

void EditorSession::listImageNames()
{
    for (int i = 0; i < List1.ListCount(); ++i) {
        List2.AddItem(std::string(doc_.writtenName(static_cast<size_t>(i))));
        List1.setListIndex(0);
    }
}

// ---- Image navigation ----

std::optional<PictureBox> EditorSession::picture(int index)
{
    if (index < 0 || index >= List1.ListCount() || static_cast<size_t>(index) >= doc_.images().size())
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
    for (const std::string& candidate : candidatePaths(pageFolder, source))
        if (auto found = platform_.files.resolve(candidate); found && platform_.files.isFile(*found)) {
            box.Picture = std::move(*found);
            return box;
        }
    return std::nullopt;
}

void EditorSession::showPicture(int index)
{
    const bool visible = Picture1.Visible;
    Picture1 = picture(index).value_or(PictureBox{});
    Picture1.Visible = visible;
}

void EditorSession::showSelectedImage()
{
    const int i = List1.ListIndex();
    if (i == -1)
        return;
    const int count = List1.ListCount();
    Label1.Caption = hasBackground ? "Image " + number(i) + " of " + number(count - 1)
                              : "Image " + number(i + 1) + " of " + number(count);
    Label5.Caption = List2.List(i);
    if (showsPicture)
        showPicture(i);
    else
        Picture1.clear();
    const auto image = static_cast<size_t>(i);
    Context = contexts_ && image < doc_.images().size() ? contexts_->contextOf(doc_.images()[image].copies.front()) : ImageContext{};
    readExistingAlt(i);
    offerSiteAlt(true);
    notices_.tell({PageDocument::Change::Shown, i});
}

void EditorSession::showDecorative(int index)
{
    if (index < 0) {
        Context = {};
        Offer.Caption.clear();
        offered_.clear();
        offeredFor_ = -1;
        UseEverywhere.Enabled = false;
    }
    const auto i = static_cast<size_t>(index);
    const bool image = pageOpen() && index >= 0 && i < doc_.images().size() && doc_.images()[i].kind != ImageKind::Background;
    const auto shown = image ? doc_.altShown(i) : std::nullopt;
    Decorative.Enabled = image;
    Decorative.Value = shown && shown->empty();
    Text1.Enabled = !Decorative.Value;
    if (undecorated_.first != index)
        undecorated_ = {-1, {}};
}

void EditorSession::readExistingAlt(int index)
{
    const auto i = static_cast<size_t>(index);
    const auto shown = i < doc_.images().size() ? doc_.altShown(i) : std::nullopt;
    showDecorative(index);
    if (!shown) {
        Text1.setText("");
        return;
    }
    Text1.setText(*shown);
    showsPicture = true;
}

} // namespace bw
