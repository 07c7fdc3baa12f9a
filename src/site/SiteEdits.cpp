#include "site/SiteEdits.h"

#include <algorithm>

#include "text/Text.h"
#include "page/PageEncoding.h"

namespace bw {

SiteEdits::Result SiteEdits::useForEveryPage(SiteIndex& index, const std::string& picture, const std::string& alt,
                                             const std::string& openPage)
{
    Result result;
    // Spaces would only tell a screen reader nothing, on every page at once.
    if (std::all_of(alt.begin(), alt.end(), [](char c) { return text::isHtmlSpace(c); }))
        return result;
    const std::string open = normalPath(openPage);
    std::vector<std::string> pages;
    for (SiteIndex::Use& use : index.usesOf(picture))
        if (!use.alt && use.page != open)
            pages.push_back(std::move(use.page));
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());

    PictureKeys keys(files_);
    for (const std::string& path : pages) {
        // A page written before keeps its document, and with it what putting back writes; its
        // change check asks before it overwrites another program's change.
        std::unique_ptr<PageDocument> fresh;
        PageDocument* page = nullptr;
        if (const auto held = pages_.find(path); held != pages_.end()) {
            page = held->second.get();
        } else {
            ReadResult read = files_.readFile(path);
            if (!read.ok) {
                result.failed.push_back(path + ": cannot be read: " + read.error);
                continue;
            }
            if (!isPageText(read.bytes)) {
                result.failed.push_back(path + ": is not an HTML page: it holds binary data");
                continue;
            }
            fresh = std::make_unique<PageDocument>(files_);
            fresh->confirmOverwrite = [this](const std::string& p) { return confirmOverwrite && confirmOverwrite(p); };
            fresh->open(path, std::move(read));
            page = fresh.get();
        }
        // The tags are found again in the page as it is now, not as it was indexed.
        bool wrote = false;
        std::string why;
        for (size_t i = 0; i < page->images().size() && why.empty(); ++i) {
            if (page->altShown(i) || keys.of(*page, i) != picture)
                continue;
            const PageDocument::Outcome outcome = page->writeAlt(i, alt, EmptyBox::Remove);
            wrote |= outcome.kind == PageDocument::Outcome::Written;
            if (outcome.kind == PageDocument::Outcome::Declined)
                why = "another program changed it; it was left as it is";
            else if (outcome.kind == PageDocument::Outcome::Failed)
                why = "could not be written: " + outcome.error;
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
