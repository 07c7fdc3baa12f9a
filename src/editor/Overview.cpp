// The help around the ALT box: the page's images at a glance, decorative images, and what
// the ALT rules say of the text being typed.
#include "editor/EditorSession.h"
#include "text/Text.h"
#include "page/AltRules.h"

namespace bw {

using text::number;

bool EditorSession::overviewLists(int index) const
{
    const auto i = static_cast<size_t>(index);
    if (index < 0 || i >= doc_.images().size() || doc_.images()[i].kind == ImageKind::Background)
        return false;
    // The image in view stays listed, so the user sees where they are.
    return !MissingOnly.Value || index == List1.ListIndex() || !doc_.tagOf(i).tag.find(doc_.text(), "alt");
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
    if (index < 0 || index >= List1.ListCount() || static_cast<size_t>(index) >= doc_.images().size())
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
    if (!pageOpen() || index == List1.ListIndex() || index < 0 || index >= List1.ListCount())
        return;
    if (!writeTypedAlt())
        return;
    move(index - List1.ListIndex());
}

void EditorSession::decorativeToggled()
{
    const int index = List1.ListIndex();
    const auto i = static_cast<size_t>(index);
    if (!pageOpen() || index < 0 || i >= doc_.images().size() || doc_.images()[i].kind == ImageKind::Background) {
        Decorative.Value = false;
        return;
    }
    PageDocument::Outcome outcome;
    if (Decorative.Value) {
        undecorated_ = {index, Text1.Text()};
        outcome = doc_.writeAlt(i, "", EmptyBox::Decorate);
    } else {
        // The box comes back with what it held; with nothing, the image has no ALT again.
        std::string typed = undecorated_.first == index ? undecorated_.second : std::string();
        outcome = doc_.writeAlt(i, typed, typed.empty() ? EmptyBox::Undecorate : EmptyBox::Remove);
    }
    if (outcome.kind == PageDocument::Outcome::Failed)
        message("The page file\n" + Text6.Text() + "\ncould not be written: " + outcome.error +
                ".\n\nThe file was left as it was.");
    if (!outcome.ok()) {
        Decorative.Value = !Decorative.Value;
        return;
    }
    readExistingAlt(index);
    platform_.host.setFocus(Decorative.Value ? "Decorative" : "Text1");
}

void EditorSession::updateHints()
{
    Hint.Caption.clear();
    Length.Caption.clear();
    const int index = List1.ListIndex();
    if (!pageOpen() || index < 0 || static_cast<size_t>(index) >= doc_.images().size() || Decorative.Value ||
        Text1.empty())
        return;
    const std::string name(doc_.writtenName(static_cast<size_t>(index)));
    const auto findings = altFindings(Text1.Text(), AltContext{name, Context.linkText, Context.caption});
    for (const AltRule* rule : findings) {
        if (!Hint.Caption.empty())
            Hint.Caption += " ";
        Hint.Caption += std::string(rule->message) + " [" + rule->id + "]";
    }
    if (const size_t length = altLength(Text1.Text()); length >= 125)
        Length.Caption = number(static_cast<long long>(length)) + " / 150";
}

void EditorSession::indexSite()
{
    const std::string& path = doc_.path();
    std::pair<std::vector<std::string>, std::string> site{List3.items(), path.substr(0, path.find_last_of('/') + 1)};
    if (site == indexed_ || site.second.empty() || !platform_.files.sharedAcrossThreads())
        return;
    indexed_ = std::move(site);
    site_.start(indexed_.first, {indexed_.second}, {path, doc_.sharedText(), doc_.encoding()});
}

void EditorSession::offerSiteAlt(bool untouchedBox)
{
    const int index = List1.ListIndex();
    const auto i = static_cast<size_t>(index);
    UseEverywhere.Enabled = false;
    if (!pageOpen() || index < 0 || i >= doc_.images().size())
        return;
    const std::string picture = pictureKey(platform_.files, doc_, i);
    if (picture.empty())
        return;
    if (untouchedBox && offeredFor_ != index && Text1.empty() && !doc_.altShown(i)) {
        if (const auto offer = site_.offerFor(picture, doc_.path())) {
            offeredFor_ = index;
            offered_ = offer->alt;
            Offer.Caption = "used on " + number(static_cast<long long>(offer->pages)) +
                            (offer->pages == 1 ? " other page" : " other pages");
            Text1.setText(offer->alt);
        }
    }
    for (const SiteIndex::Use& use : site_.usesOf(picture))
        if (use.page != doc_.path() && !use.alt)
            UseEverywhere.Enabled = true;
}

void EditorSession::siteIndexTick()
{
    const SiteIndex::Progress progress = site_.progress();
    Indexing.Caption = progress.finished ? std::string()
                                         : "Reading the site's pictures: " + number(static_cast<long long>(progress.done)) +
                                               " of " + number(static_cast<long long>(progress.total)) + " pages";
    offerSiteAlt(!Decorative.Value);
}

void EditorSession::useForEveryPage()
{
    const int index = List1.ListIndex();
    if (!pageOpen() || index < 0 || static_cast<size_t>(index) >= doc_.images().size())
        return;
    const std::string alt = Text1.Text();
    if (alt.find_first_not_of(" \t\r\n") == std::string::npos) {
        message("Type the ALT text first: an empty ALT is not written to other pages.");
        return;
    }
    // This page first, as NEXT writes it.
    if (!writeTypedAlt())
        return;
    const std::string picture = pictureKey(platform_.files, doc_, static_cast<size_t>(index));
    const SiteEdits::Result result = siteEdits_.useForEveryPage(site_, picture, alt, doc_.path());
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
