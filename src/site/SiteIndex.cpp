#include "site/SiteIndex.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "page/PageEncoding.h"
#include "text/ContentKey.h"
#include "text/Encoding.h"
#include "text/Text.h"
#include "page/PageDocument.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kNoPage = UINT32_MAX;

bool shows(ImageKind kind) { return kind == ImageKind::Img || kind == ImageKind::InputImage; }

std::string slashed(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The FileSystem promises nothing about threads: the workers and update() take turns with it.
class TakingTurns final : public FileSystem {
public:
    explicit TakingTurns(FileSystem& files) : files_(files) {}
    std::optional<std::string> resolve(const std::string& p) override { std::lock_guard l(m_); return files_.resolve(p); }
    bool exists(const std::string& p) override { std::lock_guard l(m_); return files_.exists(p); }
    bool isFile(const std::string& p) override { std::lock_guard l(m_); return files_.isFile(p); }
    bool sameFile(const std::string& a, const std::string& b) override { std::lock_guard l(m_); return files_.sameFile(a, b); }
    FileStamp stamp(const std::string& p) override { std::lock_guard l(m_); return files_.stamp(p); }
    ReadResult readFile(const std::string& p, std::string buffer) override
    {
        std::lock_guard l(m_);
        return files_.readFile(p, std::move(buffer));
    }
    WriteResult writeFile(const std::string& p, std::string_view bytes, std::string_view suffix) override
    {
        std::lock_guard l(m_);
        return files_.writeFile(p, bytes, suffix);
    }
    void removeStaleCopies(const std::string& p) override { std::lock_guard l(m_); files_.removeStaleCopies(p); }
    WriteResult makeFolders(const std::string& p) override { std::lock_guard l(m_); return files_.makeFolders(p); }

private:
    FileSystem& files_;
    std::mutex m_;
};

} // namespace

std::string normalPath(std::string_view path)
{
    std::string whole;
    if (path.empty() || path.front() != '/') {
        std::error_code error;
        whole = fs::current_path(error).string() + "/";
    }
    whole += path;
    std::string out = "/";
    for (size_t at = 0; at < whole.size();) {
        size_t end = whole.find('/', at);
        if (end == std::string::npos)
            end = whole.size();
        const std::string_view part = std::string_view(whole).substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (out.size() > 1)
                out.resize(out.rfind('/', out.size() - 2) + 1);
            continue;
        }
        out += part;
        out += '/';
    }
    if (out.size() > 1)
        out.pop_back();
    return out;
}

std::string PictureKeys::of(const std::string& pagePath, const ImageSource& source)
{
    if (source.kind != ImageSource::Kind::File)
        return {};
    const std::string page = normalPath(pagePath);
    const std::vector<std::string> candidates = candidatePaths(page.substr(0, page.rfind('/') + 1), source);
    for (const std::string& candidate : candidates) {
        const std::string path = normalPath(candidate);
        auto [at, fresh] = found_.try_emplace(path);
        if (fresh) {
            if (files_.isFile(path))
                at->second = path;
            else if (auto resolved = files_.resolve(normalPath(slashed(path))); resolved && files_.isFile(*resolved))
                at->second = normalPath(*resolved);
        }
        if (!at->second.empty())
            return at->second;
    }
    // Not on disk: pages that write its name alike still meet.
    return candidates.empty() ? std::string() : normalPath(slashed(candidates.front()));
}

std::string PictureKeys::of(const std::string& pagePath, std::string_view page, const FoundImages& found, size_t tag)
{
    if (tag >= found.images.size() || !shows(found.images[tag].kind))
        return {};
    const std::string_view base = found.baseHref ? found.baseHref->of(page) : std::string_view();
    return of(pagePath, imageSource(writtenName(page, found.images[tag]), base));
}

std::string PictureKeys::of(const PageDocument& page, size_t image)
{
    if (image >= page.images().size() || !shows(page.images()[image].kind))
        return {};
    return of(page.path(), page.source(image));
}

std::string pictureKey(FileSystem& files, const PageDocument& page, size_t image)
{
    return PictureKeys(files).of(page, image);
}

SiteIndex::SiteIndex(FileSystem& files) : files_(std::make_unique<TakingTurns>(files)) {}

void SiteIndex::start(const std::vector<std::string>& pages, const std::vector<std::string>& folders, HeldPage held)
{
    stop();
    {
        std::lock_guard lock(mutex_);
        uses_.clear();
        pageIds_.clear();
        pages_.clear();
        contentOf_.clear();
        copies_.clear();
    }
    stopping_ = false;
    finished_ = false;
    done_ = 0;
    total_ = 0;
    if (held.text)
        held.path = normalPath(held.path);
    runner_ = std::thread(&SiteIndex::run, this, pages, folders, std::move(held));
}

void SiteIndex::stop()
{
    stopping_ = true;
    if (runner_.joinable())
        runner_.join();
}

SiteIndex::Progress SiteIndex::progress() const { return {done_, total_, finished_}; }

void SiteIndex::run(std::vector<std::string> pages, std::vector<std::string> folders, HeldPage held)
{
    std::vector<std::string> list;
    std::unordered_set<std::string> seen;
    auto add = [&](std::string path) {
        path = normalPath(path);
        if (seen.insert(path).second) {
            list.push_back(std::move(path));
            total_ = list.size();
        }
    };
    for (std::string& page : pages)
        add(std::move(page));
    for (const std::string& folder : folders)
        for (std::string& page : pagesInFolder(normalPath(folder), &stopping_).pages)
            add(std::move(page));

    std::atomic<size_t> next = 0;
    auto work = [&] {
        PictureKeys keys(*files_);
        std::string buffer, pictureBuffer;
        auto take = [&](const std::string& path, std::vector<Found> found) {
            keyByContent(found, pictureBuffer);
            merge(path, std::move(found), false);
        };
        for (size_t i; !stopping_ && (i = next++) < list.size();) {
            if (held.text && list[i] == held.path) {
                take(list[i], picturesOf(list[i], *held.text, held.encoding, keys));
                ++done_;
                continue;
            }
            ReadResult read = files_->readFile(list[i], std::move(buffer));
            // Pages that cannot be read, or are not text, have no pictures to offer.
            if (std::optional<std::string> text = read.ok ? pageText(std::move(read.bytes)) : std::nullopt) {
                take(list[i], picturesOf(list[i], *text, pageEncoding(*text), keys));
                read.bytes = std::move(*text); // the buffer for the next page
            }
            buffer = std::move(read.bytes);
            ++done_;
        }
    };
    // Two cores at most: the window stays quick while the site is read.
    std::thread helper;
    if (std::thread::hardware_concurrency() > 1)
        helper = std::thread(work);
    work();
    if (helper.joinable())
        helper.join();
    finished_ = !stopping_;
}

std::vector<SiteIndex::Found> SiteIndex::picturesOf(const std::string& path, std::string_view page,
                                                    const std::string& encoding, PictureKeys& keys)
{
    const FoundImages found = findImages(page);
    std::vector<Found> out;
    for (size_t k = 0; k < found.images.size(); ++k) {
        std::string picture = keys.of(path, page, found, k);
        if (!picture.empty())
            out.push_back({std::move(picture), static_cast<uint32_t>(k), altOf(page, found.images[k].tag, encoding)});
    }
    return out;
}

void SiteIndex::merge(const std::string& path, std::vector<Found>&& found, bool fromWindow)
{
    std::lock_guard lock(mutex_);
    const auto [at, fresh] = pageIds_.try_emplace(path, static_cast<uint32_t>(pages_.size()));
    if (!fresh && !fromWindow)
        return;
    if (fresh)
        pages_.push_back({path, {}});
    const uint32_t id = at->second;
    Page& page = pages_[id];
    for (std::vector<Held>* uses : page.pictures)
        std::erase_if(*uses, [id](const Held& h) { return h.page == id; });
    page.pictures.clear();
    for (Found& f : found) {
        std::vector<Held>& uses = uses_[f.picture];
        if (uses.empty() || uses.back().page != id)
            page.pictures.push_back(&uses);
        uses.push_back({id, f.tag, std::move(f.alt)});
    }
}

void SiteIndex::keyByContent(const std::vector<Found>& found, std::string& buffer)
{
    for (const Found& f : found) {
        {
            std::lock_guard lock(mutex_);
            if (!contentOf_.try_emplace(f.picture).second)
                continue; // read by this thread or the other one
        }
        if (stopping_)
            continue;
        // One too large to be a picture is not read: it meets only its own name.
        ReadResult read = files_->readPicture(f.picture, std::move(buffer));
        if (read.ok) {
            std::string key = contentKey(read.bytes);
            std::lock_guard lock(mutex_);
            copies_[key].push_back(f.picture);
            contentOf_[f.picture] = std::move(key);
        }
        buffer = std::move(read.bytes);
    }
}

void SiteIndex::update(const std::string& page, std::string_view text, const std::string& encoding)
{
    const std::string path = normalPath(page);
    PictureKeys keys(*files_);
    merge(path, picturesOf(path, text, encoding, keys), true);
}

std::vector<std::string> SiteIndex::copiesOf(const std::string& picture) const
{
    std::lock_guard lock(mutex_);
    const auto content = contentOf_.find(picture);
    if (content == contentOf_.end() || content->second.empty())
        return {picture};
    std::vector<std::string> copies{picture};
    for (const std::string& copy : copies_.at(content->second))
        if (copy != picture)
            copies.push_back(copy);
    return copies;
}

std::vector<const std::vector<SiteIndex::Held>*> SiteIndex::heldFor(const std::string& picture) const
{
    std::vector<const std::vector<Held>*> lists;
    const auto content = contentOf_.find(picture);
    const bool known = content != contentOf_.end() && !content->second.empty();
    for (const std::string& copy : known ? copies_.at(content->second) : std::vector<std::string>{picture})
        if (const auto held = uses_.find(copy); held != uses_.end())
            lists.push_back(&held->second);
    return lists;
}

std::vector<SiteIndex::Use> SiteIndex::usesOf(const std::string& picture) const
{
    std::lock_guard lock(mutex_);
    std::vector<Use> out;
    for (const std::vector<Held>* uses : heldFor(picture))
        for (const Held& h : *uses)
            out.push_back({pages_[h.page].path, h.tag, h.alt});
    return out;
}

SiteIndex::Reach SiteIndex::reachOf(const std::string& picture, const std::string& page) const
{
    const std::string open = normalPath(page);
    std::lock_guard lock(mutex_);
    Reach reach;
    std::vector<uint32_t> pages;
    for (const std::vector<Held>* uses : heldFor(picture))
        for (const Held& h : *uses) {
            ++reach.places;
            pages.push_back(h.page);
            reach.missingElsewhere = reach.missingElsewhere || (!h.alt && pages_[h.page].path != open);
        }
    std::sort(pages.begin(), pages.end());
    reach.pages = static_cast<size_t>(std::unique(pages.begin(), pages.end()) - pages.begin());
    return reach;
}

std::optional<SiteIndex::Offer> SiteIndex::offerFor(const std::string& picture, const std::string& page) const
{
    const std::string open = normalPath(page);
    std::lock_guard lock(mutex_);
    const auto openId = pageIds_.find(open);
    const uint32_t skip = openId == pageIds_.end() ? kNoPage : openId->second;
    // Each ALT with the pages that give it: a page may show the picture under two names.
    std::vector<std::pair<std::string_view, uint32_t>> given;
    for (const std::vector<Held>* uses : heldFor(picture))
        for (const Held& h : *uses)
            if (h.alt && h.page != skip && !text::isBlank(*h.alt))
                given.emplace_back(*h.alt, h.page);
    std::sort(given.begin(), given.end());
    given.erase(std::unique(given.begin(), given.end()), given.end());
    std::optional<Offer> best;
    for (size_t at = 0, end; at < given.size(); at = end) {
        for (end = at; end < given.size() && given[end].first == given[at].first;)
            ++end;
        // The first of the ALTs given most often, in byte order.
        if (!best || end - at > best->pages)
            best = Offer{std::string(given[at].first), end - at};
    }
    return best;
}

} // namespace bw
