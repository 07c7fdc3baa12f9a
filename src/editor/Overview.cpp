// The help around the ALT box: the page's images at a glance, decorative images, and what
// the ALT rules say of the text being typed.
#include "editor/EditorSession.h"
#include "text/Text.h"
#include "page/AltRules.h"
#include "platform/Folders.h"
#include "settings/Profiles.h"
#include "site/SiteRoot.h"

namespace bw {

using text::number;

bool EditorSession::overviewLists(int index) const
{
    const auto i = static_cast<size_t>(index);
    if (index < 0 || i >= doc_.images().size() || doc_.images()[i].kind == ImageKind::Background)
        return false;
    // The image in view stays listed, so the user sees where they are.
    return !view_.missingOnly.Value || index == imageList_.index() || !doc_.tagOf(i).tag.find(doc_.text(), "alt");
}

std::vector<int> EditorSession::overviewImages() const
{
    std::vector<int> listed;
    const int count = static_cast<int>(doc_.images().size());
    for (int index = 0; index < count; ++index)
        if (overviewLists(index))
            listed.push_back(index);
    return listed;
}

EditorSession::OverviewRow EditorSession::overviewRow(int index) const
{
    OverviewRow row;
    row.index = index;
    const auto i = static_cast<size_t>(index);
    if (index < 0 || i >= doc_.images().size())
        return row;
    row.name = doc_.writtenName(i);
    std::optional<std::string> alt = doc_.altShown(i);
    row.state = !alt ? OverviewRow::State::Missing : alt->empty() ? OverviewRow::State::Decorative : OverviewRow::State::Described;
    row.alt = std::move(alt).value_or(std::string());
    return row;
}

const std::optional<PictureBox>& EditorSession::overviewPicture(int index)
{
    static const std::optional<PictureBox> none;
    // Before the page's images are listed its pictures cannot be looked up yet.
    if (index < 0 || index >= imageList_.count() || static_cast<size_t>(index) >= doc_.images().size())
        return none;
    const auto i = static_cast<size_t>(index);
    if (overviewPictures_.size() <= i)
        overviewPictures_.resize(doc_.images().size());
    if (!overviewPictures_[i])
        overviewPictures_[i] = picture(index);
    return *overviewPictures_[i];
}

void EditorSession::jumpTo(int index)
{
    platform_.host.setFocus("Text1");
    if (!pageOpen() || index == imageList_.index() || index < 0 || index >= imageList_.count())
        return;
    if (!writeTypedAlt())
        return;
    move(index - imageList_.index());
}

void EditorSession::setDecorative(bool on)
{
    view_.decorative.Value = on;
    decorativeToggled();
}

void EditorSession::decorativeToggled()
{
    const int index = imageList_.index();
    const auto i = static_cast<size_t>(index);
    if (!pageOpen() || index < 0 || i >= doc_.images().size() || doc_.images()[i].kind == ImageKind::Background) {
        view_.decorative.Value = false;
        return;
    }
    PageDocument::Outcome outcome;
    if (view_.decorative.Value) {
        undecorated_ = {index, view_.altBox.Text()};
        outcome = doc_.writeAlt(i, "", EmptyBox::Decorate);
    } else {
        // The box comes back with what it held; with nothing, the image has no ALT again.
        std::string typed = undecorated_.first == index ? undecorated_.second : std::string();
        outcome = doc_.writeAlt(i, typed, typed.empty() ? EmptyBox::Undecorate : EmptyBox::Remove);
    }
    recordWrite({}, outcome, doc_.lastPatch());
    if (outcome.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + pagePath_ + "\ncould not be written: " + outcome.error +
                ".\n\nThe file was left as it was.");
    if (!outcome.ok()) {
        view_.decorative.Value = !view_.decorative.Value;
        return;
    }
    readExistingAlt(index);
    platform_.host.setFocus(view_.decorative.Value ? "Decorative" : "Text1");
}

// The hints and the count read no more of the box than this: every rule has its say long
// before, and typing in a pasted book stays as quick as in a short text.
constexpr size_t kHintedBytes = 4096;

void EditorSession::updateHints()
{
    view_.hint.Caption.clear();
    view_.length.Caption.clear();
    const int index = imageList_.index();
    if (!pageOpen() || index < 0 || static_cast<size_t>(index) >= doc_.images().size() || view_.decorative.Value ||
        view_.altBox.empty())
        return;
    const std::string name(doc_.writtenName(static_cast<size_t>(index)));
    const std::string_view typed = std::string_view(view_.altBox.Text()).substr(0, kHintedBytes);
    const bool cut = typed.size() < view_.altBox.Text().size();
    const auto findings = altFindings(typed, AltContext{name, view_.context.linkText, view_.context.caption});
    std::vector<const AltRule*> said(findings.begin(), findings.end());
    if (const AltRule* rule = pictureTextFinding(typed, pictureText_))
        said.push_back(rule);
    for (const AltRule* rule : said) {
        if (!view_.hint.Caption.empty())
            view_.hint.Caption += " ";
        view_.hint.Caption += std::string(rule->message) + " [" + rule->id + "]";
    }
    // Past the part read, the count says "at least".
    if (const size_t length = altLength(typed); length >= 125)
        view_.length.Caption = number(static_cast<long long>(length)) + (cut ? "+ / 150" : " / 150");
}

namespace {
// Where the folders chosen with "Site folder..." are kept, one key each.
constexpr const char* kSiteFolders = "brindlepad\\sites";
} // namespace

std::vector<std::string> EditorSession::chosenSiteFolders()
{
    std::vector<std::string> folders = siteFoldersThisRun_;
    for (auto& [key, folder] : platform_.settings.getAllSettings(store::kApp, kSiteFolders))
        folders.push_back(std::move(folder));
    return folders;
}

void EditorSession::indexSite()
{
    const std::string& path = doc_.path();
    const std::string pageFolder = folderOfPath(path);
    std::pair<std::vector<std::string>, std::string> site{
        batchPages_, pageFolder.empty() ? pageFolder : siteFolderOf(platform_.files, pageFolder, userHomeFolder(), chosenSiteFolders())};
    view_.siteFolder.Caption = site.second.empty() ? std::string() : "Site: " + site.second;
    if (site == indexed_ || site.second.empty() || !platform_.files.sharedAcrossThreads())
        return;
    indexed_ = std::move(site);
    siteEndHeard_ = false;
    site_.start(indexed_.first, {indexed_.second}, {path, doc_.sharedText(), doc_.encoding()});
}

void EditorSession::chooseSiteFolder()
{
    const std::string& path = doc_.path();
    if (!pageOpen() || path.empty()) {
        message("Open a page first: the site folder is chosen for the site of the page open.");
        return;
    }
    const std::string pageFolder = folderOfPath(path);
    const std::string shown = indexed_.second.empty() ? pageFolder : indexed_.second;
    std::optional<std::string> chosen = platform_.dialogs.chooseFolder("Site folder", shown);
    if (!chosen || chosen->empty())
        return;
    if (chosen->back() != '/')
        *chosen += '/';
    if (pageFolder.compare(0, chosen->size(), *chosen) != 0) {
        message("The folder\n" + *chosen + "\ndoes not hold the open page, so it cannot be its site. Nothing was changed.");
        return;
    }
    // The new choice replaces any earlier one for this page's site.
    auto holdsPage = [&](const std::string& folder) { return pageFolder.compare(0, folder.size(), folder) == 0; };
    std::erase_if(siteFoldersThisRun_, holdsPage);
    siteFoldersThisRun_.push_back(*chosen);
    std::vector<std::string> keys;
    for (const auto& [key, folder] : platform_.settings.getAllSettings(store::kApp, kSiteFolders)) {
        if (holdsPage(folder))
            (void)platform_.settings.deleteSetting(store::kApp, kSiteFolders, key); // the new one stands in this run either way
        else
            keys.push_back(key);
    }
    int free = 1;
    while (std::find(keys.begin(), keys.end(), "Site" + number(free)) != keys.end())
        ++free;
    const WriteResult saved = platform_.settings.saveSetting(store::kApp, kSiteFolders, "Site" + number(free), *chosen);
    if (!saved.ok)
        message("The site folder could not be remembered: " + saved.error + ".\n\nIt is used until the program ends.");
    indexSite();
}

std::string EditorSession::pictureFile(int index)
{
    const auto i = static_cast<size_t>(index);
    if (index < 0 || i >= doc_.images().size() || doc_.images()[i].kind == ImageKind::Background)
        return {};
    const std::optional<PictureBox> box = picture(index);
    return box ? box->Picture : std::string();
}

void EditorSession::readPictureText(int index)
{
    pictureText_.clear();
    pictureTextHeard_ = false;
    pictureTooLarge_ = false;
    pictureFile_.clear();
    // The reader's worker reads the files too: only a file system that allows that.
    if (!pictureTexts_.reads() || !platform_.files.sharedAcrossThreads() || !pageOpen() || index < 0) {
        pictureTexts_.want({});
        return;
    }
    // The next image's too, so that NEXT finds it read; never the rest of the page.
    pictureFile_ = pictureFile(index);
    std::vector<std::string> wanted;
    for (std::string file : {pictureFile_, pictureFile(index + 1)})
        if (!file.empty())
            wanted.push_back(std::move(file));
    pictureTexts_.want(std::move(wanted));
    takePictureText();
}

bool EditorSession::takePictureText()
{
    if (pictureTextHeard_ || pictureFile_.empty())
        return false;
    const std::optional<PictureReader::Result> read = pictureTexts_.textOf(pictureFile_);
    if (!read)
        return false;
    pictureTextHeard_ = true;
    if (read->outcome == PictureReader::Outcome::Text)
        pictureText_ = read->text;
    pictureTooLarge_ = read->outcome == PictureReader::Outcome::Skipped;
    return true;
}

void EditorSession::offerAlt(std::string alt, std::string caption, bool fromPicture)
{
    offeredFor_ = imageList_.index();
    offeredPictureText_ = fromPicture;
    offered_ = alt;
    view_.offer.Caption = std::move(caption);
    view_.altBox.setText(std::move(alt));
}

void EditorSession::offerSiteAlt(bool untouchedBox)
{
    const int index = imageList_.index();
    const auto i = static_cast<size_t>(index);
    view_.useEverywhereButton.Enabled = false;
    view_.uses.Caption.clear();
    if (!pageOpen() || index < 0 || i >= doc_.images().size())
        return;
    const std::string picture = pictureKey(platform_.files, doc_, i);
    if (picture.empty())
        return;
    // Another page's ALT first, then the picture's text; the picture's text standing as
    // offered gives way to another page's that came later.
    const bool untouched = untouchedBox && typedFor_ != index;
    const bool pictureTextStands = offeredFor_ == index && offeredPictureText_ && view_.altBox.Text() == offered_;
    if (untouched && ((offeredFor_ != index && view_.altBox.empty() && !doc_.altShown(i)) || pictureTextStands)) {
        if (const auto offer = site_.offerFor(picture, doc_.path()))
            offerAlt(offer->alt, "used on " + number(static_cast<long long>(offer->pages)) + (offer->pages == 1 ? " other page" : " other pages"), false);
        else if (!pictureText_.empty() && !pictureTextStands)
            offerAlt(pictureText_, "text in the picture", true);
        else if (pictureTooLarge_ && !pictureTextStands)
            view_.offer.Caption = "too large to read the text in the picture"; // a word, not silence
    }
    const SiteIndex::Reach reach = site_.reachOf(picture, doc_.path());
    view_.useEverywhereButton.Enabled = reach.missingElsewhere;
    auto counted = [](size_t n, const char* one, const char* many) { return number(static_cast<long long>(n)) + (n == 1 ? one : many); };
    if (reach.places > 0)
        view_.uses.Caption = "Used in " + counted(reach.places, " place", " places") + " on " + counted(reach.pages, " page", " pages") +
                             (siteIndexing() ? " so far" : "");
}

void EditorSession::siteIndexTick()
{
    const SiteIndex::Progress progress = site_.progress();
    siteEndHeard_ = progress.finished;
    view_.indexing.Caption = !siteIndexing() ? std::string()
                                         : "Reading the site's pictures: " + number(static_cast<long long>(progress.done)) +
                                               " of " + number(static_cast<long long>(progress.total)) + " pages";
    const bool read = takePictureText();
    offerSiteAlt(!view_.decorative.Value);
    if (read)
        updateHints();
}

void EditorSession::useForEveryPage()
{
    const int index = imageList_.index();
    if (!pageOpen() || index < 0 || static_cast<size_t>(index) >= doc_.images().size())
        return;
    const std::string alt = view_.altBox.Text();
    if (alt.find_first_not_of(" \t\r\n") == std::string::npos) {
        message("Type the ALT text first: an empty ALT is not written to other pages.");
        return;
    }
    const std::string picture = pictureKey(platform_.files, doc_, static_cast<size_t>(index));
    // What will be written is shown first; Cancel writes nothing, not even this page.
    const std::vector<SiteEdits::Planned> planned = siteEdits_.plan(site_, picture, alt, doc_.path());
    if (!planned.empty()) {
        // Named from the open page's folder, where the site is read from.
        const std::string folder = folderOfPath(doc_.path());
        std::string list;
        for (const SiteEdits::Planned& tag : planned)
            list += (tag.page.starts_with(folder) ? tag.page.substr(folder.size()) : tag.page) + ", line " + number(static_cast<long long>(tag.line)) + ": " + tag.tag + "\n";
        if (!platform_.dialogs.confirmList("The ALT text \"" + alt + "\" will be written into these " +
                                               number(static_cast<long long>(planned.size())) + " tags on other pages:",
                                           list, kTitle))
            return;
    }
    const Step step(*this); // this page and the others together
    // This page first, as NEXT writes it.
    if (!writeTypedAlt())
        return;
    SiteEdits::Result result = siteEdits_.useForEveryPage(site_, picture, alt, doc_.path());
    for (const auto& [page, patch] : result.writes)
        recordWrite(page, {PageDocument::Outcome::Written, {}}, patch);
    const auto written = static_cast<long long>(result.written.size());
    std::string text = written == 0 ? "No other page needed this ALT text."
                                    : "The ALT text was written to " + number(written) + (written == 1 ? " other page." : " other pages.");
    if (siteIndexing())
        text += " The site is still being read: pages not read yet were left as they are.";
    if (!result.failed.empty()) {
        text += "\n\nThese pages could not be written and were left as they are:";
        for (const std::string& line : result.failed)
            text += "\n" + line;
    }
    message(text);
    offerSiteAlt(false);
}

} // namespace bw
