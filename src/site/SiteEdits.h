#pragma once
// "Use for every page": one picture's ALT written into its uses on the site's other pages,
// each page with the open page's guarantees, and all of them put back together on request.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "page/PageDocument.h"
#include "platform/FileSystem.h"
#include "site/SiteIndex.h"

namespace bw {

class SiteEdits {
public:
    explicit SiteEdits(FileSystem& files) : files_(files) {}

    struct [[nodiscard]] Result {
        std::vector<std::string> written;
        std::vector<std::string> failed; // "path: why"
    };
    // Writes `alt` into every tag of `picture` that has no ALT, on the pages the index knows
    // other than the open one. An ALT of a tag's own stays, alt="" too: decorative is a choice.
    // Each page is read again first, so that what another program changed since it was
    // indexed is seen and kept; the index hears of every page read and written.
    Result useForEveryPage(SiteIndex& index, const std::string& picture, const std::string& alt,
                           const std::string& openPage);
    bool holdsEdits() const;
    // Puts every written page back byte for byte as first read, asking through
    // confirmOverwrite for one another program changed since; returns "path: why" for each
    // page that could not be put back (those are still held).
    std::vector<std::string> putBack(SiteIndex& index);
    // The user keeps the edits.
    void forget() { pages_.clear(); }
    std::function<bool(const std::string& path)> confirmOverwrite;

private:
    FileSystem& files_;
    std::map<std::string, std::unique_ptr<PageDocument>> pages_; // the pages written, as first read
};

} // namespace bw
