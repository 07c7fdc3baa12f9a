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
        std::vector<std::pair<std::string, Patch>> writes; // each write, in the order made
    };
    // A tag that useForEveryPage would write now: its page, its line there (from 1) and its text.
    struct Planned {
        std::string page;
        size_t line = 0;
        std::string tag;
    };
    // What useForEveryPage would write, without writing: read as it reads the pages.
    std::vector<Planned> plan(SiteIndex& index, const std::string& picture, const std::string& alt,
                              const std::string& openPage);
    // Writes `alt` into every tag of `picture` (or of a copy of its bytes under another name)
    // that has no ALT, on the pages the index knows other than the open one. An ALT of a tag's own stays, alt="" too: decorative is a choice.
    // Each page is read again first, so that what another program changed since it was
    // indexed is seen and kept; the index hears of every page read and written.
    Result useForEveryPage(SiteIndex& index, const std::string& picture, const std::string& alt,
                           const std::string& openPage);
    bool holdsEdits() const;
    // Puts every written page back byte for byte as first read, asking through
    // confirmOverwrite for one another program changed since; returns "path: why" for each
    // page that could not be put back (those are still held).
    std::vector<std::string> putBack(SiteIndex& index);
    // Writes a patch an earlier write on a held page made, or its inverse; the index hears of it.
    PageDocument::Outcome apply(SiteIndex& index, const std::string& page, const Patch& patch);
    // The user keeps the edits.
    void forget() { pages_.clear(); }
    std::function<bool(const std::string& path)> confirmOverwrite;

private:
    // The other pages that may take the ALT, sorted.
    std::vector<std::string> pagesFor(SiteIndex& index, const std::string& picture, const std::string& alt,
                                      const std::string& openPage);
    // A page as it is now: the one held when written before, else read afresh into `fresh`;
    // nullptr with `why` when it cannot be read.
    PageDocument* pageAt(const std::string& path, std::unique_ptr<PageDocument>& fresh, std::string& why);
    // The images of a page that take the picture's ALT: no ALT of their own, and the picture
    // under any of its names (`copies`).
    static std::vector<size_t> imagesFor(const PageDocument& page, PictureKeys& keys, const std::vector<std::string>& copies);
    FileSystem& files_;
    std::map<std::string, std::unique_ptr<PageDocument>> pages_; // the pages written, as first read
};

} // namespace bw
