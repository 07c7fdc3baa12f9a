#include "site/SiteEdits.h"

#include <algorithm>

#include "text/Text.h"
#include "page/PageEncoding.h"

namespace bw {

std::vector<std::string> SiteEdits::pagesFor(SiteIndex& index, const std::string& picture, const std::string& alt,
                                             const std::string& openPage)
{
    std::vector<std::string> pages;
    // Spaces would only tell a screen reader nothing, on every page at once.
    if (text::isBlank(alt))
        return pages;
    const std::string open = normalPath(openPage);
    for (SiteIndex::Use& use : index.usesOf(picture))
        if (!use.alt && use.page != open)
            pages.push_back(std::move(use.page));
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

PageDocument* SiteEdits::pageAt(const std::string& path, std::unique_ptr<PageDocument>& fresh, std::string& why)
{
    // A page written before keeps its document, and with it what putting back writes; its
    // change check asks before it overwrites another program's change.
    if (const auto held = pages_.find(path); held != pages_.end())
        return held->second.get();
    ReadResult read = files_.readFile(path);
    if (!read.ok) {
        why = "cannot be read: " + read.error;
        return nullptr;
    }
    if (!isPageText(read.bytes)) {
        why = "is not an HTML page: it holds binary data";
        return nullptr;
    }
    fresh = std::make_unique<PageDocument>(files_);
    fresh->confirmOverwrite = [this](const std::string& p) { return confirmOverwrite && confirmOverwrite(p); };
    fresh->open(path, std::move(read));
    return fresh.get();
}

std::vector<size_t> SiteEdits::imagesFor(const PageDocument& page, PictureKeys& keys, const std::vector<std::string>& copies)
{
    // The tags are found again in the page as it is now, not as it was indexed.
    std::vector<size_t> images;
    for (size_t i = 0; i < page.images().size(); ++i)
        if (!page.altShown(i) && std::find(copies.begin(), copies.end(), keys.of(page, i)) != copies.end())
            images.push_back(i);
    return images;
}

std::vector<SiteEdits::Planned> SiteEdits::plan(SiteIndex& index, const std::string& picture, const std::string& alt,
                                                const std::string& openPage)
{
    std::vector<Planned> planned;
    PictureKeys keys(files_);
    const std::vector<std::string> copies = index.copiesOf(picture);
    for (const std::string& path : pagesFor(index, picture, alt, openPage)) {
        std::unique_ptr<PageDocument> fresh;
        std::string why;
        const PageDocument* page = pageAt(path, fresh, why);
        if (!page)
            continue;
        const std::string& text = page->text();
        for (size_t i : imagesFor(*page, keys, copies))
            for (size_t copy : page->images()[i].copies) {
                const ByteRange tag = page->tags()[copy].tag.whole;
                planned.push_back({path, 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(tag.begin), '\n')),
                                   std::string(tag.of(text))});
            }
    }
    return planned;
}

SiteEdits::Result SiteEdits::useForEveryPage(SiteIndex& index, const std::string& picture, const std::string& alt,
                                             const std::string& openPage)
{
    Result result;
    PictureKeys keys(files_);
    const std::vector<std::string> copies = index.copiesOf(picture);
    for (const std::string& path : pagesFor(index, picture, alt, openPage)) {
        std::unique_ptr<PageDocument> fresh;
        std::string why;
        PageDocument* page = pageAt(path, fresh, why);
        if (!page) {
            result.failed.push_back(path + ": " + why);
            continue;
        }
        bool wrote = false;
        for (size_t i : imagesFor(*page, keys, copies)) {
            const PageDocument::Outcome outcome = page->writeAlt(i, alt, EmptyBox::Remove);
            if (outcome.kind == PageDocument::Outcome::Written) {
                wrote = true;
                result.writes.emplace_back(path, page->lastPatch());
            }
            if (outcome.kind == PageDocument::Outcome::Declined)
                why = "another program changed it; it was left as it is";
            else if (outcome.kind == PageDocument::Outcome::Failed)
                why = "could not be written: " + outcome.error;
            if (!why.empty())
                break;
        }
        index.update(path, page->text(), page->encoding());
        if (!why.empty())
            result.failed.push_back(path + ": " + why);
        else if (wrote)
            result.written.push_back(path);
        if (fresh && fresh->written())
            pages_.emplace(path, std::move(fresh));
    }
    return result;
}

PageDocument::Outcome SiteEdits::apply(SiteIndex& index, const std::string& page, const Patch& patch)
{
    const auto held = pages_.find(page);
    if (held == pages_.end())
        return {PageDocument::Outcome::Failed, "it is no longer held"};
    const PageDocument::Outcome outcome = held->second->apply(patch, -1);
    if (outcome.kind == PageDocument::Outcome::Written)
        index.update(page, held->second->text(), held->second->encoding());
    return outcome;
}

bool SiteEdits::holdsEdits() const
{
    return std::any_of(pages_.begin(), pages_.end(), [](const auto& held) { return held.second->holdsEdits(); });
}

std::vector<std::string> SiteEdits::putBack(SiteIndex& index)
{
    std::vector<std::string> failed;
    for (auto held = pages_.begin(); held != pages_.end();) {
        PageDocument& page = *held->second;
        const PageDocument::Outcome outcome = page.putBack();
        if (outcome.kind == PageDocument::Outcome::Declined)
            failed.push_back(held->first + ": another program changed it since; it was left as it is");
        else if (outcome.kind == PageDocument::Outcome::Failed)
            failed.push_back(held->first + ": could not be put back: " + outcome.error);
        if (!outcome.ok()) {
            ++held;
            continue;
        }
        index.update(held->first, page.firstRead(), page.encoding());
        held = pages_.erase(held);
    }
    return failed;
}

} // namespace bw
