#pragma once
// The site's pictures: which pages show each picture file and with what ALT, read in the
// background, so that the ALT one page gives a picture can be offered on every other page.
// A picture is met under every name: files with the same bytes are one picture.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "page/ImageFinder.h"
#include "page/ImageName.h"
#include "platform/FileSystem.h"

namespace bw {

class PageDocument;

// A path as the index keeps it: absolute, "\" left as written, "." and "a/.." taken out.
std::string normalPath(std::string_view path);

// The picture file an image shows, the key of the index: its name resolved against the page's
// folder and <base href>, found on disk as the window finds it (letter case, "\", a site root
// above the page), else as written. Empty for what names no file here: remote and data:
// pictures, an area's link, a background.
class PictureKeys {
public:
    explicit PictureKeys(FileSystem& files) : files_(files) {}
    std::string of(const std::string& pagePath, const ImageSource& source);
    std::string of(const std::string& pagePath, std::string_view page, const FoundImages& found, size_t tag);
    std::string of(const PageDocument& page, size_t image);

private:
    FileSystem& files_;
    std::unordered_map<std::string, std::string> found_; // each candidate looked up once
};

std::string pictureKey(FileSystem& files, const PageDocument& page, size_t image);

class SiteIndex {
public:
    // The index's own threads take turns with the FileSystem; the window may use it meanwhile
    // only if it allows that (RealFileSystem does).
    explicit SiteIndex(FileSystem& files);
    ~SiteIndex() { stop(); }
    SiteIndex(const SiteIndex&) = delete;
    SiteIndex& operator=(const SiteIndex&) = delete;

    // A page the caller holds already (the open one): read from its text, not from the disk
    // again, so a large page is not held twice. The text is never changed while it is shared.
    struct HeldPage {
        std::string path;
        std::shared_ptr<const std::string> text;
        std::string encoding;
    };
    // Drops what was indexed and indexes these pages and every page of these folders and
    // their subfolders, in the background; returns at once.
    void start(const std::vector<std::string>& pages, const std::vector<std::string>& folders, HeldPage held = {});
    // Stops indexing; what was indexed stays.
    void stop();

    struct Progress {
        size_t done = 0, total = 0; // total grows while the folders are walked
        bool finished = false;
    };
    Progress progress() const;

    // The page now holds these bytes (the window wrote them): its pictures are read from them,
    // and what the background reads of the page before is dropped.
    void update(const std::string& page, std::string_view text, const std::string& encoding);

    struct Use {
        std::string page;
        size_t tag = 0; // index into findImages(page).images
        std::optional<std::string> alt; // as the box shows it; nullopt: the tag has none
    };
    // The uses of the picture and of its copies (files with the same bytes).
    std::vector<Use> usesOf(const std::string& picture) const;
    // The picture file and its copies, itself first: the keys its uses stand under. Only the
    // picture itself while its bytes are not known (not read yet, or unreadable).
    std::vector<std::string> copiesOf(const std::string& picture) const;

    // How far a picture reaches: its tags on the site, and the pages they are on; whether a
    // page other than `page` has one without an ALT.
    struct Reach {
        size_t places = 0, pages = 0;
        bool missingElsewhere = false;
    };
    Reach reachOf(const std::string& picture, const std::string& page) const;

    // For an image without an ALT: the ALT most other pages give the picture, blank ones
    // not counted, with how many pages give it; the open page does not count.
    struct Offer {
        std::string alt;
        size_t pages = 0;
    };
    std::optional<Offer> offerFor(const std::string& picture, const std::string& page) const;

private:
    struct Found {
        std::string picture;
        uint32_t tag;
        std::optional<std::string> alt;
    };
    struct Held {
        uint32_t page, tag;
        std::optional<std::string> alt;
    };
    struct Page {
        std::string path;
        std::vector<std::vector<Held>*> pictures; // the lists its uses are in
    };

    // The use lists of the picture and its copies; under mutex_.
    std::vector<const std::vector<Held>*> heldFor(const std::string& picture) const;
    void run(std::vector<std::string> pages, std::vector<std::string> folders, HeldPage held);
    std::vector<Found> picturesOf(const std::string& path, std::string_view page, const std::string& encoding,
                                  PictureKeys& keys);
    // Takes a page's pictures in place of what was held for it; a page read by the
    // background never replaces one the window updated.
    void merge(const std::string& path, std::vector<Found>&& found, bool fromWindow);
    // Reads the bytes of the pictures found that no thread has read in this run, so that their
    // copies meet; `buffer` is reused.
    void keyByContent(const std::vector<Found>& found, std::string& buffer);

    std::unique_ptr<FileSystem> files_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::vector<Held>> uses_; // by picture; nodes never move
    std::unordered_map<std::string, uint32_t> pageIds_;
    std::unordered_map<std::string, std::string> contentOf_; // picture → its bytes' key; empty: being read, or unreadable
    std::unordered_map<std::string, std::vector<std::string>> copies_; // bytes' key → the pictures with those bytes
    std::vector<Page> pages_;
    std::thread runner_;
    std::atomic<bool> stopping_ = false, finished_ = false;
    std::atomic<size_t> done_ = 0, total_ = 0;
};

} // namespace bw
