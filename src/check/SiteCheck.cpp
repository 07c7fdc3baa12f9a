#include "check/SiteCheck.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>

#include "check/PictureTexts.h"
#include "page/PageEncoding.h"
#include "text/Encoding.h"
#include "text/Text.h"
#include "page/ImageContext.h"
#include "page/PageDocument.h"
#include "platform/FileSystem.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

const char* const kSeverities[] = {"error", "warning", "note"};

// A non-empty ALT a page gives a picture (its file or address): for the conflicts between pages.
// When a finding of the same part is about the same image, the picture, its name and the ALT
// are read from that finding rather than held twice.
struct PictureUse {
    std::string picture, folded, src;
    std::optional<std::string> alt;
    size_t line, column;
    size_t finding = SIZE_MAX; // that finding's place in the part
    size_t hash = 0;           // of the picture, made while it is at hand

    // The picture's path, in two pieces when a finding holds it.
    std::pair<std::string_view, std::string_view> pictureIn(const std::vector<CheckFinding>& findings) const
    {
        if (finding == SIZE_MAX)
            return {{}, picture};
        return {findings[finding].pictureHead(), findings[finding].pictureRest};
    }
};

struct CheckedPage {
    PageCheck page;
    std::vector<PictureUse> uses;
    size_t failing = 0; // findings that fail, counted as they are made: not read again by the thread that takes them
};

// A path with "." and "a/.." taken out, as a key: most need nothing done.
std::string normal(std::string path)
{
    const bool plain = path.find("//") == std::string::npos && path.find("/.") == std::string::npos && !path.starts_with("./") &&
                       !path.starts_with("../");
    if (plain)
        return path;
    std::string made = fs::path(path).lexically_normal().string();
    // A folder (".../") stays one: "../" is not "..", and "./" is this folder, named by nothing.
    if (path.ends_with('/') && !made.ends_with('/'))
        made = made == "." ? "" : made + '/';
    return made;
}

// A name of letters, digits and "-_./" with no "." or empty part: it resolves as it is written.
// One pass, as it is asked of every image with an ALT.
bool plainName(std::string_view name)
{
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (int c = 0; c < 256; ++c)
            plain[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '/';
        return plain;
    }();
    if (name.empty() || name[0] == '/' || name[0] == '.')
        return false;
    char before = 0;
    for (const char c : name) {
        if (!kPlain[static_cast<unsigned char>(c)] || (before == '/' && (c == '.' || c == '/')))
            return false;
        before = c;
    }
    return true;
}

// Where the picture a name resolves to stands: a file near the page (for a root-relative name,
// the first that exists above it) or an address; empty for none. `folder` is normal and empty
// or ends in "/".
std::string pictureOf(const std::string& folder, std::string_view written, std::string_view base, bool& local)
{
    if (base.empty() && plainName(written)) {
        local = true;
        std::string path;
        path.reserve(folder.size() + written.size());
        path.append(folder).append(written);
        return path; // not append's reference: that was a copy
    }
    const ImageSource source = imageSource(written, base);
    local = source.kind == ImageSource::Kind::File;
    if (source.kind == ImageSource::Kind::Remote)
        return source.path;
    if (local && !source.rootRelative)
        return normal(folder + source.path);
    const std::vector<std::string> candidates = candidatePaths(folder, source);
    std::error_code error;
    for (const std::string& candidate : candidates)
        if (fs::exists(candidate, error))
            return normal(candidate);
    return candidates.empty() ? std::string() : normal(candidates.front());
}

// One page's images against the rules in one pass over it, the findings handed on in parts as
// they come, so that a huge page's findings are never held together.
class PageChecker final : public ImageReader {
public:
    static constexpr size_t kPart = 4096; // findings, or pictures, in one part

    // buffer: the worker's page storage, read into and handed back for its next page; room: the
    // storage of findings and uses of a part done with, taken for this page's first.
    PageChecker(const std::string& path, const std::function<void(CheckedPage&&)>& handOn, PictureTexts* pictures, std::string& buffer,
                CheckedPage& room)
        : path_(path), handOn_(handOn), pictures_(pictures), buffer_(buffer)
    {
        part_.page.path = path;
        part_.page.findings.swap(room.page.findings);
        part_.uses.swap(room.uses);
    }

    void run()
    {
        ReadResult read = RealFileSystem().readFile(path_, std::move(buffer_));
        if (!read.ok) {
            part_.page.error = path_ + ": cannot be read: " + read.error;
        } else if (std::optional<std::string> text = pageText(std::move(read.bytes))) {
            page_ = std::move(*text);
            encoding_ = pageEncoding(page_);
            const std::optional<ByteRange> base = baseHrefOf(page_);
            base_ = base ? base->of(page_) : std::string_view();
            const size_t slash = path_.rfind('/');
            folder_ = slash == std::string::npos ? "" : normal(path_.substr(0, slash + 1));
            folderInPath_ = path_.starts_with(folder_);
            readImages(page_, encoding_, *this);
            tellWaiting();
        } else {
            part_.page.error = path_ + ": is not an HTML page: it holds binary data";
        }
        handOn_(std::move(part_));
        buffer_ = std::move(page_.empty() ? read.bytes : page_);
    }

    Wants met(size_t, const FoundImage& image, bool outside) override
    {
        ++part_.page.images;
        const TagAttribute* alt = image.tag.find(page_, "alt");
        if (alt && alt->value.empty())
            return Wants::Nothing; // decorative: no rule, no conflict, no place to say
        Waiting waiting{image.tag.whole.begin, 0, 0, image.kind, false, nullptr, {}};
        place(waiting);
        // Without an ALT only a caption may name it, and only when nothing else does. Outside
        // links and figures it is checked now: most images wait for nothing.
        const auto named = [&](std::string_view name) { const TagAttribute* a = image.tag.find(page_, name); return a && a->filled; };
        const Wants wants = outside ? Wants::Nothing
                            : alt   ? Wants::LinkAndCaption
                            : named("aria-label") || named("aria-labelledby") ? Wants::Nothing
                                                                              : Wants::Caption;
        waiting.awaits = wants != Wants::Nothing;
        if (!waiting.awaits && waiting_.empty()) {
            check(image, waiting, {});
        } else {
            waiting_.push_back(std::move(waiting));
            last_ = image; // most are settled before the next image: not read again
        }
        return wants;
    }

    void graphic(const FoundGraphic& graphic) override
    {
        const AltRule* rule = graphicFinding(page_, graphic);
        if (!rule)
            return;
        Waiting waiting{graphic.tag.whole.begin, 0, 0, ImageKind::Img, false, rule, "<" + fromPageEncoding(graphic.tag.name.of(page_), encoding_) + ">"};
        place(waiting);
        if (waiting_.empty())
            report(waiting);
        else
            waiting_.push_back(std::move(waiting));
    }

    void settled(size_t, const ImageContext& context) override
    {
        tellWaiting(); // those before it that wanted nothing
        if (!waiting_.empty())
            checkAgain(waiting_.front(), context);
        waiting_.pop_front();
        tellWaiting();
    }

private:
    // An image (or a graphic's finding) met but not yet checked: it waits for its context, or
    // for an image before it to get its own.
    struct Waiting {
        size_t at, line, column;
        ImageKind kind;
        bool awaits;            // its context
        const AltRule* graphic; // a graphic's finding
        std::string name;       // the graphic's name
    };

    // Line breaks up to the tag: tags come in page order. They are counted without a branch on
    // each; only the last is looked for, backwards.
    void place(Waiting& waiting)
    {
        const size_t at = waiting.at;
        if (at > counted_) {
            const std::string_view between(page_.data() + counted_, at - counted_);
            if (const size_t breaks = text::countByte(between, '\n')) {
                line_ += breaks;
                lineStart_ = static_cast<size_t>(static_cast<const char*>(::memrchr(between.data(), '\n', between.size())) - page_.data()) + 1;
            }
            counted_ = at;
        }
        waiting.line = line_;
        waiting.column = at - lineStart_ + 1;
    }

    // Those at the front that wait for no context of their own.
    void tellWaiting()
    {
        for (; !waiting_.empty() && !waiting_.front().awaits; waiting_.pop_front())
            if (waiting_.front().graphic)
                report(waiting_.front());
            else
                checkAgain(waiting_.front(), {});
    }

    // An image met before, its tag read again.
    void checkAgain(const Waiting& waiting, const ImageContext& context)
    {
        if (last_.tag.whole.begin == waiting.at && !last_.tag.whole.empty())
            return check(last_, waiting, context);
        reread_.kind = waiting.kind;
        if (startTagAt(page_, waiting.at, reread_.tag))
            check(reread_, waiting, context);
    }

    void check(const FoundImage& image, const Waiting& where, const ImageContext& context)
    {
        PageCheck& report = part_.page;
        const std::optional<std::string_view> alt = altOf(page_, image.tag, encoding_, altScratch_);
        if (alt && alt->empty())
            return;
        const std::string_view written = writtenName(page_, image);
        const std::string_view src = fromPageEncoding(written, encoding_, srcScratch_);
        auto attribute = [&](std::string_view name) {
            const TagAttribute* a = alt ? nullptr : image.tag.find(page_, name);
            return a ? a->value.of(page_) : std::string_view();
        };
        const AltFindings rules =
            altFindings(alt, {src, context.linkText, context.caption, attribute("aria-label"), attribute("aria-labelledby"), attribute("title")}, &folded_);
        if (image.kind == ImageKind::Area)
            folded_.clear(); // an area's name is the page it links to, not a picture
        if (rules.empty() && folded_.empty())
            return;
        // A plain name stands in the page's folder, which the page's path holds: the findings
        // hold the name alone.
        bool local = false;
        const bool near = image.kind != ImageKind::Area && folderInPath_ && base_.empty() && plainName(written);
        std::string picture = near || image.kind == ImageKind::Area ? std::string() : pictureOf(folder_, written, base_, local);
        local = local || near;
        const auto wholePicture = [&]() -> const std::string& { return near ? pictureScratch_.assign(folder_).append(written) : picture; };
        const auto ownAlt = [&] { return alt ? std::optional<std::string>(*alt) : std::nullopt; };
        if (report.findings.empty())
            report.findings.reserve(std::min<size_t>(kPart, 64)); // a page with one finding often has many: not moved at each doubling
        if (part_.uses.empty())
            part_.uses.reserve(std::min<size_t>(kPart, 64));
        std::string text = pictures_ && local && !folded_.empty() ? pictures_->textOf(wholePicture()) : std::string();
        const AltRule* textRule = text.empty() ? nullptr : pictureTextFinding(alt, text);
        // The last finding that names the picture takes it; a use reads it from the first.
        size_t naming = local ? rules.size() + (textRule != nullptr) : 0;
        const auto namePicture = [&](CheckFinding& made) {
            if (!local)
                return;
            made.pictureFolder = near ? folder_.size() : 0;
            if (near)
                made.pictureRest.assign(written);
            else if (--naming == 0)
                made.pictureRest = std::move(picture);
            else
                made.pictureRest = picture;
        };
        const size_t first = report.findings.size();
        const size_t pictureHash = folded_.empty() ? 0 : std::hash<std::string_view>{}(wholePicture());
        for (const AltRule* rule : rules)
            namePicture(add(where, rule, src, alt));
        if (textRule) {
            CheckFinding& made = add(where, textRule, src, alt);
            namePicture(made);
            made.pictureText = std::move(text);
        }
        if (!folded_.empty() && local && report.findings.size() > first)
            part_.uses.emplace_back(std::string(), folded_, std::string(), std::nullopt, where.line, where.column, first, pictureHash);
        else if (!folded_.empty() && (near || !picture.empty()))
            part_.uses.push_back({near ? wholePicture() : std::move(picture), folded_, std::string(src), ownAlt(), where.line, where.column, SIZE_MAX, pictureHash});
        handOnWhenFull();
    }

    void report(const Waiting& graphic)
    {
        add(graphic, graphic.graphic, graphic.name, std::nullopt);
        handOnWhenFull();
    }

    // A finding made in place: its strings are written once, not made and then moved.
    CheckFinding& add(const Waiting& where, const AltRule* rule, std::string_view src, std::optional<std::string_view> alt)
    {
        CheckFinding& made = part_.page.findings.emplace_back();
        made.page = sharedPath();
        made.line = where.line;
        made.column = where.column;
        made.rule = rule;
        made.src.assign(src);
        if (alt)
            made.alt.emplace(*alt);
        part_.failing += made.fails();
        return made;
    }

    void handOnWhenFull()
    {
        if (part_.page.findings.size() < kPart && part_.uses.size() < kPart)
            return;
        part_.page.more = true;
        handOn_(std::move(part_));
        part_ = {};
        part_.page.path = path_;
        part_.page.continues = true;
    }

    // The path as findings hold it: made for the first and shared by the rest. A copy each was
    // allocated here and freed by the thread that takes the findings.
    const std::shared_ptr<const std::string>& sharedPath()
    {
        if (!sharedPath_)
            sharedPath_ = std::make_shared<const std::string>(path_);
        return sharedPath_;
    }

    const std::string& path_;
    std::shared_ptr<const std::string> sharedPath_;
    const std::function<void(CheckedPage&&)>& handOn_;
    PictureTexts* pictures_; // null: pictures are not read
    std::string& buffer_;
    std::string page_, encoding_, folder_;
    std::string altScratch_, srcScratch_, pictureScratch_, folded_; // storage reused from image to image
    std::string_view base_;
    bool folderInPath_ = false; // the page's path begins with its folder as pictures are resolved from it
    CheckedPage part_;
    std::deque<Waiting> waiting_;
    FoundImage reread_;
    FoundImage last_; // the last image that waits, as met
    size_t line_ = 1, lineStart_ = 0, counted_ = 0;
};

// Each picture's distinct ALTs, where each was first seen, in the order the pictures were met.
class AltConflicts {
public:
    void add(std::vector<PictureUse>& uses, const std::vector<CheckFinding>& findings, const std::string& page, size_t pageNumber)
    {
        std::shared_ptr<const std::string> shared; // the page's path, made for its first new ALT
        for (PictureUse& use : uses) {
            const auto [head, rest] = use.pictureIn(findings);
            Picture& picture = pictureOf(head, rest, use.hash, pageNumber);
            picture.onPages = picture.onPages || picture.firstPage != pageNumber;
            if (std::none_of(picture.alts.begin(), picture.alts.end(), [&](const auto& seen) { return seen.first == use.folded; })) {
                if (!shared)
                    shared = std::make_shared<const std::string>(page);
                if (use.finding == SIZE_MAX)
                    picture.alts.emplace_back(std::move(use.folded),
                                              CheckFinding{shared, use.line, use.column, nullptr, std::move(use.src), std::move(use.alt), 0, std::move(use.picture), {}});
                else
                    picture.alts.emplace_back(std::move(use.folded), CheckFinding{shared, use.line, use.column, nullptr, findings[use.finding].src,
                                                                                  findings[use.finding].alt, findings[use.finding].pictureFolder,
                                                                                  findings[use.finding].pictureRest, {}});
            }
        }
    }

    void report(std::vector<CheckFinding>& findings) const
    {
        for (const Picture& picture : pictures_) {
            if (picture.alts.size() < 2 || !picture.onPages)
                continue;
            for (const auto& [folded, where] : picture.alts) {
                findings.push_back(where);
                findings.back().rule = altRule("alt-conflict");
                std::error_code error;
                if (!fs::exists(where.picture(), error)) { // an address, or no file
                    findings.back().pictureFolder = 0;
                    findings.back().pictureRest.clear();
                }
            }
        }
    }

private:
    struct Picture {
        std::vector<std::pair<std::string, CheckFinding>> alts; // folded, and where first seen
        size_t firstPage;
        bool onPages; // seen on more than one page
        std::string path;
    };

    // The picture of that path (head, then rest), met now if never before. Looked up by the
    // hash the worker made: on this one thread, hashing every use's path was a tenth of the
    // check's time.
    Picture& pictureOf(std::string_view head, std::string_view rest, size_t hash, size_t pageNumber)
    {
        if (2 * (pictures_.size() + 1) > slots_.size())
            grow();
        const auto same = [&](const std::string& path) {
            return path.size() == head.size() + rest.size() && path.starts_with(head) && path.ends_with(rest);
        };
        size_t slot = hash & (slots_.size() - 1);
        for (; slots_[slot].picture != 0; slot = (slot + 1) & (slots_.size() - 1))
            if (slots_[slot].hash == hash && same(pictures_[slots_[slot].picture - 1].path))
                return pictures_[slots_[slot].picture - 1];
        slots_[slot] = {hash, pictures_.size() + 1};
        return pictures_.emplace_back(Picture{{}, pageNumber, false, std::string(head).append(rest)});
    }

    void grow()
    {
        std::vector<Slot> slots(std::max<size_t>(64, 2 * slots_.size()));
        for (const Slot& old : slots_) {
            if (old.picture == 0)
                continue;
            size_t slot = old.hash & (slots.size() - 1);
            while (slots[slot].picture != 0)
                slot = (slot + 1) & (slots.size() - 1);
            slots[slot] = old;
        }
        slots_ = std::move(slots);
    }

    struct Slot {
        size_t hash = 0, picture = 0; // picture: its place in pictures_ plus one; 0 for none
    };
    std::vector<Slot> slots_;
    std::vector<Picture> pictures_;
};

} // namespace

std::string CheckBaseline::lineOf(const CheckFinding& f)
{
    std::string line;
    for (const std::string_view part : {std::string_view(f.file()), std::string_view(f.rule->id), std::string_view(f.src),
                                        f.alt ? std::string_view(*f.alt) : std::string_view("\x01")}) {
        for (const char c : part)
            line += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        line += '\t';
    }
    line.back() = '\n';
    return line;
}

std::optional<CheckBaseline> CheckBaseline::read(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in || !fs::is_regular_file(path)) {
        error = path + ": the baseline cannot be read";
        return std::nullopt;
    }
    CheckBaseline baseline;
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        // Four fields as lineOf writes them: a file, a rule known today, a picture, an ALT.
        ++number;
        const size_t rule = line.find('\t') + 1, picture = line.find('\t', rule) + 1, alt = line.find('\t', picture) + 1;
        const bool fields = rule > 1 && picture > rule && alt > picture && line.find('\t', alt) == std::string::npos;
        bool escapes = true;
        for (size_t i = line.find('\\'); escapes && i != std::string::npos; i = line.find('\\', i + 2))
            escapes = i + 1 < line.size() && std::string_view("\\tnr").find(line[i + 1]) != std::string_view::npos;
        if (!fields || !escapes || !altRule(std::string_view(line).substr(rule, picture - rule - 1))) {
            error = path + ":" + std::to_string(number) + ": the baseline cannot be parsed: a line holds a page, a rule, a picture "
                    "and an ALT, parted by tabs, as --write-baseline writes them";
            return std::nullopt;
        }
        baseline.lines_.insert(line + "\n");
    }
    return baseline;
}

bool CheckBaseline::accepts(const CheckFinding& finding)
{
    const auto held = lines_.find(lineOf(finding));
    if (held == lines_.end())
        return false;
    lines_.erase(held);
    return true;
}

CheckReport checkSite(const std::vector<std::string>& paths, const std::function<void(const PageCheck&)>& each,
                      CheckBaseline* baseline, PictureTexts* pictures)
{
    // What to check, in order: a page's path, or a path that cannot be checked with why.
    std::vector<CheckedPage> items;
    for (const std::string& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            FolderPages found = pagesInFolder(path);
            for (std::string& page : found.pages)
                items.push_back({{std::move(page), {}, 0, {}}, {}});
            if (!found.error.empty())
                items.push_back({{path, path + ": the folder cannot be read to its end (" + found.error + ")", 0, {}}, {}});
            std::sort(found.unread.begin(), found.unread.end()); // the walk's order is the file system's
            for (auto& [folder, why] : found.unread)
                items.push_back({{folder, folder + ": the subfolder cannot be read to its end (" + why + "): pages in it may be left out", 0, {}}, {}});
        } else if (fs::is_regular_file(path, error)) {
            items.push_back({{path, {}, 0, {}}, {}});
        } else {
            // A pipe or a device could feed it forever.
            items.push_back({{path, path + (fs::exists(path, error) ? ": is neither a page file nor a folder" : ": no such file or folder"), 0, {}}, {}});
        }
    }
    // Pages are read on every core, each worker handing on the parts of its pages as they come;
    // this thread takes them in page order. A worker keeps at most kAhead pages before the one
    // being taken, and a few parts of each. This thread, once it has caught up, sleeps until
    // kBatch pages are ready (or a worker waits for it): a wake-up for each page cost a switch
    // on a busy core. The parts it has done with go back to their worker to be freed: freed
    // here, each of their strings locked that worker's heap.
    constexpr size_t kAhead = 64, kMostParts = 4, kBatch = 8;
    struct Slot {
        std::vector<CheckedPage> parts;
        size_t taken = 0;
        bool whole = false; // its last part is in
        unsigned worker = 0;
    };
    std::vector<Slot> slots(items.size());
    std::mutex mutex;
    std::condition_variable workerWake, takerWake;
    size_t reporting = 0;      // the page being taken
    size_t workersWaiting = 0; // for this thread
    bool takerWaits = false;
    const auto batchReady = [&] {
        if (workersWaiting > 0)
            return true;
        for (size_t i = reporting; i < std::min(reporting + kBatch, slots.size()); ++i)
            if (!slots[i].whole)
                return false;
        return true;
    };
    const unsigned workers = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    std::vector<std::vector<CheckedPage>> spent(workers); // by worker
    std::atomic<size_t> next = 0;
    auto work = [&](unsigned worker) {
        std::string buffer;
        CheckedPage room; // the largest storage of the parts given back, for the next page: a page's findings were made anew and grown each time
        const auto keepRoom = [&](CheckedPage& done) {
            if (done.page.findings.capacity() > room.page.findings.capacity()) {
                done.page.findings.clear();
                room.page.findings.swap(done.page.findings);
            }
            if (done.uses.capacity() > room.uses.capacity()) {
                done.uses.clear();
                room.uses.swap(done.uses);
            }
        };
        const auto waitFor = [&](std::unique_lock<std::mutex>& lock, auto&& ready) {
            if (ready())
                return;
            ++workersWaiting;
            takerWake.notify_one();
            workerWake.wait(lock, ready);
            --workersWaiting;
        };
        for (size_t i; (i = next++) < items.size();) {
            {
                std::unique_lock lock(mutex);
                waitFor(lock, [&] { return i < reporting + kAhead; });
            }
            const auto handOn = [&](CheckedPage&& part) {
                std::vector<CheckedPage> done; // freed once the lock is let go
                {
                    std::unique_lock lock(mutex);
                    done.swap(spent[worker]);
                    Slot& slot = slots[i];
                    slot.worker = worker;
                    waitFor(lock, [&] { return slot.parts.size() - slot.taken < kMostParts || !part.page.more; });
                    slot.whole = !part.page.more;
                    slot.parts.push_back(std::move(part));
                    if (takerWaits && batchReady())
                        takerWake.notify_one();
                }
                for (CheckedPage& old : done)
                    keepRoom(old);
            };
            if (items[i].page.error.empty())
                PageChecker(items[i].page.path, handOn, pictures, buffer, room).run();
            else
                handOn(std::move(items[i]));
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < workers; ++t)
        threads.emplace_back(work, t);
    CheckReport report;
    AltConflicts conflicts;
    CheckedPage part;
    std::optional<unsigned> partOf; // the worker that made `part`, while it is held
    for (size_t i = 0; i < items.size(); ++i) {
        for (bool more = true; more;) {
            {
                std::unique_lock lock(mutex);
                if (partOf)
                    spent[*partOf].push_back(std::move(part));
                Slot& slot = slots[i];
                if (slot.taken == slot.parts.size()) {
                    takerWaits = true;
                    takerWake.wait(lock, [&] { return slot.taken < slot.parts.size() && batchReady(); });
                    takerWaits = false;
                }
                part = std::move(slot.parts[slot.taken++]);
                partOf = slot.worker;
                if (!part.page.more) {
                    slot = {};
                    reporting = i + 1;
                }
                if (workersWaiting > 0)
                    workerWake.notify_all();
            }
            PageCheck& page = part.page;
            more = page.more;
            conflicts.add(part.uses, page.findings, page.path, i);
            if (!page.error.empty())
                report.errors.push_back(page.error);
            else if (!page.more)
                ++report.pages;
            report.images += page.images;
            if (baseline)
                std::erase_if(page.findings, [&](const CheckFinding& f) {
                    const bool accepted = f.fails() && baseline->accepts(f);
                    report.accepted += accepted;
                    return accepted;
                });
            report.errorsAndWarnings += baseline ? static_cast<size_t>(std::count_if(page.findings.begin(), page.findings.end(), std::mem_fn(&CheckFinding::fails)))
                                                 : part.failing;
            if (each)
                each(page);
            else
                report.findings.insert(report.findings.end(), std::make_move_iterator(page.findings.begin()), std::make_move_iterator(page.findings.end()));
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    conflicts.report(report.findings);
    return report;
}

namespace {

// What a finding is about: the picture as the tag names it; for a conflict, the ALT too, on
// the finding's one line.
std::string subject(const CheckFinding& f)
{
    if (!f.pictureText.empty())
        return withoutControls(f.src + ", the picture reads \"" + f.pictureText + "\"");
    return withoutControls(std::string_view(f.rule->id) == "alt-conflict" ? f.src + ", ALT \"" + f.alt.value_or("") + "\"" : f.src);
}

// A name on one line of text: a backslash and control characters written as C writes them.
std::string oneLine(std::string_view name)
{
    if (std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\'; }))
        return std::string(name);
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '\t' || c == '\n' || c == '\r') {
            out += '\\';
            out += c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : 'r';
        } else if (u < 0x20 || u == 0x7F) {
            out += {'\\', 'x', "0123456789abcdef"[u >> 4], "0123456789abcdef"[u & 15]};
        } else {
            out += c;
        }
    }
    return out;
}

// A finding's one line of the text format, appended piece by piece with no string made for
// each: a huge page has millions of lines.
void appendLine(std::string& out, const CheckFinding& f)
{
    out += oneLine(f.file());
    out += ':';
    out += std::to_string(f.line);
    out += ':';
    out += std::to_string(f.column);
    out += ": ";
    out += kSeverities[static_cast<int>(f.rule->severity)];
    out += ": ";
    out += f.rule->message;
    out += " (";
    out += subject(f);
    out += ") [";
    out += f.rule->id;
    out += "]\n";
}

} // namespace

std::string textLines(const std::vector<CheckFinding>& findings)
{
    std::string out;
    for (const CheckFinding& f : findings)
        appendLine(out, f);
    return out;
}

namespace {

// The length of the UTF-8 character at s[i], 0 when the bytes there are not one.
size_t characterAt(std::string_view s, size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= s.size();
    for (size_t k = 1; valid && k < length; ++k)
        valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    return valid ? length : 0;
}

// A JSON string of any bytes: a byte that is not UTF-8 becomes a lone surrogate U+DC80 to
// U+DCFF, from which the byte can be had back (Python's surrogateescape), not a broken document.
std::string jsonString(std::string_view s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = characterAt(s, i);
        if (length == 0 || c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", length == 0 ? 0xDC00 + c : c);
            out += escaped;
            i += length ? length : 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out.append(s.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

} // namespace

// XML text or attribute value: markup characters as references, controls XML cannot hold
// dropped, what is not UTF-8 as U+FFFD.
std::string xmlText(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const size_t length = characterAt(s, i);
        if (length == 0)
            out += "\xEF\xBF\xBD";
        else if (c == '&' || c == '<' || c == '>' || c == '"')
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out.append(s.substr(i, length));
        i += length ? length : 1;
    }
    return out;
}

// The file: URI of a path, made absolute: what is not a plain character is %-escaped, so
// that any bytes of a name come back from it.
std::string uriOf(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = path.starts_with('/') ? fs::path(path) : fs::absolute(path, error);
    std::string out = "file://";
    for (const char c : absolute.string()) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~')
            out += c;
        else
            out += text::percentByte(u);
    }
    return out;
}

namespace {

constexpr size_t kMostThumbnailBytes = 256 * 1024;

// Text for HTML, of any bytes: markup characters as references, control characters as the
// symbols that picture them, and what is not UTF-8 as U+FFFD, so that nothing in a page name
// or an ALT can change the report.
std::string htmlText(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = characterAt(s, i);
        if (length == 0 || (c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0)) {
            out += "\xEF\xBF\xBD"; // not UTF-8, or a C1 control
        } else if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') {
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : "&#39;";
        } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            const unsigned symbol = c == 0x7F ? 0x2421 : 0x2400 + c;
            out += {'\xE2', static_cast<char>(0x80 | (symbol >> 6 & 0x3F)), static_cast<char>(0x80 | (symbol & 0x3F))};
        } else {
            out.append(s.substr(i, length));
        }
        i += length ? length : 1;
    }
    return out;
}

// A name as the report shows it: a data: URL may be long, its start tells enough.
std::string shortened(const std::string& name)
{
    constexpr size_t kMost = 120;
    size_t cut = kMost;
    while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character
    return name.size() <= kMost + 3 ? name : name.substr(0, cut) + "\xE2\x80\xA6";
}

// A path that may wrap after each "/".
std::string breakable(const std::string& path)
{
    std::string out;
    for (const char c : path)
        out += c == '/' ? std::string("/<wbr>") : std::string(1, c);
    return out;
}

std::string base64(std::string_view bytes)
{
    static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t word = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            word |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            word |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[word >> 18];
        out += kDigits[word >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[word >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[word & 63] : '=';
    }
    return out;
}

// The type of a picture every browser shows, told by its first bytes; null for any other.
const char* pictureType(std::string_view bytes)
{
    const auto starts = [&](std::string_view magic, size_t at = 0) { return at <= bytes.size() && bytes.substr(at, magic.size()) == magic; };
    if (starts("\x89PNG\r\n\x1A\n"))
        return "image/png";
    if (starts("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (starts("GIF87a") || starts("GIF89a"))
        return "image/gif";
    if (starts("RIFF") && starts("WEBP", 8))
        return "image/webp";
    if (starts("ftypavif", 4))
        return "image/avif";
    if (starts("BM"))
        return "image/bmp";
    if (starts(std::string_view("\0\0\1\0", 4)))
        return "image/x-icon";
    const std::string_view head = bytes.substr(0, 1024);
    if (head.find("<svg") != std::string_view::npos && head.find('\0') == std::string_view::npos)
        return "image/svg+xml";
    return nullptr;
}

// The picture as a data: URI for the report, or "" when it has no preview.
std::string thumbnailOf(const CheckFinding& f)
{
    std::string bytes;
    if (text::inStrNoCase(f.src.substr(0, 5), "data:") == 1) {
        bytes = imageSource(f.src).data;
    } else if (const std::string picture = f.picture(); !picture.empty()) {
        std::error_code error;
        const auto size = fs::file_size(picture, error);
        if (error || size > kMostThumbnailBytes || !fs::is_regular_file(picture, error))
            return {};
        std::ifstream in(picture, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const char* type = bytes.size() <= kMostThumbnailBytes ? pictureType(bytes) : nullptr;
    return type ? std::string("data:") + type + ";base64," + base64(bytes) : std::string();
}

constexpr const char* kHtmlHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>BRINDLEWORK: ALT text check</title>
<style>
body { font: 15px/1.45 system-ui, sans-serif; color: #1d1d1f; margin: 0 auto; max-width: 75em; padding: 1em 2em 3em; }
h1 { font-size: 1.6em; margin: .4em 0; } h2 { font-size: 1.25em; margin: 1.2em 0 .4em; } h3 { font-size: 1.05em; margin: 1em 0 .3em; }
h4 { font-size: 1em; font-weight: normal; margin: 1em 0 .2em; }
/* A browser lays out only the groups on screen: a large site's report opens at once. */
section.group { content-visibility: auto; contain-intrinsic-size: auto 60em; }
a { color: inherit; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; vertical-align: top; padding: .45em .6em; border-bottom: 1px solid #e2e2e6; }
thead th { background: #f4f4f6; font-weight: 600; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
code { font: .9em/1.3 ui-monospace, monospace; overflow-wrap: anywhere; }
code.file { overflow-wrap: break-word; } .at { white-space: nowrap; }
.pic { width: 10em; } .where { width: 16em; }
.thumb { display: block; width: 88px; height: 66px; margin-bottom: .3em; border: 1px solid #d6d6db; border-radius: 3px;
         background: #fafafa center / contain no-repeat; }
.none { display: flex; align-items: center; justify-content: center; font-size: .8em; color: #6e6e73; }
.alt { white-space: pre-wrap; } .alt::before { content: "\201C"; } .alt::after { content: "\201D"; }
.missing { color: #6e6e73; font-style: italic; }
.sev { display: inline-block; min-width: 5.8em; font-size: .8em; font-weight: 600; text-transform: uppercase; }
.error .sev { color: #b3261e; } .warning .sev { color: #8a5300; } .note .sev { color: #1f5fa8; }
.rule { color: #6e6e73; }
.summary { font-size: 1.1em; }
.zero { color: #9a9aa0; }
</style>
</head>
<body>
<header><h1>ALT text check</h1></header>
)";

} // namespace

// What the HTML report keeps until its end, when it is written with the findings grouped
// by rule: each rule's rows in a file of their own (a large site's report is never held),
// the totals, and the pictures already written.
struct CheckPrinter::Html {
    struct Page {
        std::string path, error;
        size_t images = 0, counts[3] = {};
        std::vector<size_t> perRule; // empty while the page has no finding
    };
    class Spool {
    public:
        void add(const std::string& text)
        {
            if (!tried_ && (tried_ = true))
                file_.reset(std::tmpfile());
            if (!file_ || std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size())
                held_ += text; // no temporary file: kept here instead
        }
        void copyTo(const std::function<void(std::string_view)>& write)
        {
            if (file_ && std::fseek(file_.get(), 0, SEEK_SET) == 0)
                for (char buffer[65536]; const size_t n = std::fread(buffer, 1, sizeof buffer, file_.get());)
                    write(std::string_view(buffer, n));
            write(held_);
        }
        size_t page = SIZE_MAX; // whose rows come last

    private:
        bool tried_ = false;
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, std::fclose};
        std::string held_;
    };
    std::vector<Page> pages;
    std::unordered_map<std::string, size_t> pageAt;
    std::unordered_map<std::string, std::string> thumbnails; // picture: its style class, "" for none
    std::vector<size_t> perRule = std::vector<size_t>(altRules().size());
    std::vector<Spool> spools = std::vector<Spool>(altRules().size());
    std::set<std::pair<size_t, size_t>> anchored; // rule and page of each group named so far
    size_t rows = 0;
};

namespace {

// Where the rows of one rule on one page stand in the HTML report.
std::string groupId(size_t rule, size_t page) { return "r" + std::to_string(rule) + "p" + std::to_string(page); }

} // namespace

CheckPrinter::CheckPrinter(std::string_view format, std::function<void(std::string_view)> write)
    : format_(format), write_(std::move(write))
{
    if (format_ == "json") {
        write_("{\"findings\": [");
    } else if (format_ == "sarif") {
        std::string rules;
        for (const AltRule& rule : altRules())
            rules += std::string(rules.empty() ? "" : ",") + "\n{\"id\": " + jsonString(rule.id) + ", \"shortDescription\": {\"text\": " +
                     jsonString(rule.message) + "}, \"defaultConfiguration\": {\"level\": \"" + kSeverities[static_cast<int>(rule.severity)] + "\"}}";
        write_("{\"version\": \"2.1.0\", \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"runs\": [{\"tool\": "
               "{\"driver\": {\"name\": \"brindlework\", \"rules\": [" + rules + "]}}, \"results\": [");
    } else if (format_ == "html") {
        html_ = std::make_unique<Html>();
        write_(kHtmlHead);
    }
}

CheckPrinter::~CheckPrinter() = default;

void CheckPrinter::page(const PageCheck& page)
{
    if (format_ == "text") {
        write_(textLines(page.findings));
    } else if (format_ == "junit") {
        for (const CheckFinding& f : page.findings)
            if (f.rule->severity == Severity::Error)
                appendLine(failure_, f);
        if (page.more)
            return; // one test case for all the page's parts
        cases_ += "<testcase classname=\"brindlework.check\" name=\"" + xmlText(page.path) + "\"";
        if (!page.error.empty())
            cases_ += "><error message=\"" + xmlText(page.error) + "\"/></testcase>\n";
        else if (!failure_.empty())
            cases_ += "><failure message=\"images whose ALT is missing or poor\">" + xmlText(failure_) + "</failure></testcase>\n";
        else
            cases_ += "/>\n";
        failures_ += !failure_.empty();
        failure_.clear();
    } else {
        if (html_ && page.continues) {
            html_->pages.back().images += page.images;
        } else if (html_) {
            html_->pageAt.try_emplace(page.path, html_->pages.size());
            html_->pages.push_back({page.path, page.error, page.images, {}, {}});
        }
        for (const CheckFinding& f : page.findings)
            finding(f);
    }
}

void CheckPrinter::finding(const CheckFinding& f)
{
    const int severity = static_cast<int>(f.rule->severity);
    if (format_ == "json") {
        write_((first_ ? "\n" : ",\n") + std::string("{\"file\": ") + jsonString(f.file()) + ", \"line\": " + std::to_string(f.line) +
               ", \"column\": " + std::to_string(f.column) + ", \"rule\": " + jsonString(f.rule->id) + ", \"severity\": " +
               jsonString(kSeverities[severity]) + ", \"message\": " + jsonString(f.rule->message) + ", \"src\": " + jsonString(f.src) +
               ", \"alt\": " + (f.alt ? jsonString(*f.alt) : "null") +
               (f.pictureText.empty() ? "" : ", \"pictureText\": " + jsonString(f.pictureText)) + "}");
    } else if (format_ == "sarif") {
        write_((first_ ? "\n" : ",\n") + std::string("{\"ruleId\": ") + jsonString(f.rule->id) + ", \"level\": " + jsonString(kSeverities[severity]) +
               ", \"message\": {\"text\": " + jsonString(std::string(f.rule->message) + " (" + subject(f) + ")") +
               "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " + jsonString(uriOf(f.file())) +
               "}, \"region\": {\"startLine\": " + std::to_string(f.line) + ", \"startColumn\": " + std::to_string(f.column) + "}}}]" +
               (f.pictureText.empty() ? "" : ", \"properties\": {\"pictureText\": " + jsonString(f.pictureText) + "}") + "}");
    } else if (format_ == "text") {
        std::string line;
        appendLine(line, f);
        write_(line);
    } else if (html_) {
        Html& html = *html_;
        ++html.rows;
        const size_t rule = static_cast<size_t>(f.rule - altRules().data());
        ++html.perRule[rule];
        const auto known = html.pageAt.find(f.file());
        const size_t pageNumber = known != html.pageAt.end() ? known->second : SIZE_MAX;
        if (known != html.pageAt.end()) {
            Html::Page& page = html.pages[pageNumber];
            ++page.counts[severity];
            page.perRule.resize(altRules().size());
            ++page.perRule[rule];
        }
        Html::Spool& spool = html.spools[rule];
        std::string out;
        const bool first = html.perRule[rule] == 1;
        if (first || spool.page != pageNumber) { // a group of its own for each page
            spool.page = pageNumber;
            if (!first)
                out += "</tbody></table>\n";
            const bool named = pageNumber != SIZE_MAX && html.anchored.insert({rule, pageNumber}).second;
            out += "<h4" + (named ? " id=\"" + groupId(rule, pageNumber) + "\"" : std::string()) + "><code class=\"file\">" +
                   breakable(htmlText(f.file())) + "</code></h4>\n<table class=\"rows\"><thead><tr><th class=\"pic\">Picture</th><th>ALT</th>"
                   "<th>Finding</th><th class=\"where\">Where</th></tr></thead><tbody>\n";
        }
        // Each picture once, as a style the rows that show it name.
        const std::string key = f.pictureRest.empty() ? f.src : f.picture();
        auto [thumbnail, fresh] = html.thumbnails.try_emplace(key);
        out += "<tr class=\"" + std::string(kSeverities[severity]) + "\"><td>";
        if (fresh)
            if (const std::string uri = thumbnailOf(f); !uri.empty()) {
                thumbnail->second = "t" + std::to_string(html.thumbnails.size());
                out += "<style>." + thumbnail->second + " { background-image: url(\"" + uri + "\"); }</style>";
            }
        out += thumbnail->second.empty() ? "<span class=\"thumb none\">no preview</span>" : "<span class=\"thumb " + thumbnail->second + "\"></span>";
        out += "<code>" + htmlText(shortened(f.src)) + "</code></td><td>" +
               (f.alt ? "<span class=\"alt\">" + htmlText(*f.alt) + "</span>" : std::string("<span class=\"missing\">none</span>")) +
               "</td><td><span class=\"sev\">" + kSeverities[severity] + "</span> " + htmlText(f.rule->message) +
               (f.pictureText.empty() ? "" : " The picture reads <span class=\"alt\">" + htmlText(f.pictureText) + "</span>.") + " <code class=\"rule\">[" +
               f.rule->id + "]</code></td><td><code class=\"file\">" + breakable(htmlText(f.file())) + "<span class=\"at\">:" +
               std::to_string(f.line) + ":" + std::to_string(f.column) + "</span></code></td></tr>\n";
        spool.add(out);
    }
    first_ = false;
}

void CheckPrinter::end(const CheckReport& report)
{
    for (const CheckFinding& f : report.findings)
        finding(f);
    if (format_ == "json") {
        write_("\n], \"pages\": " + std::to_string(report.pages) + ", \"images\": " + std::to_string(report.images) + "}\n");
    } else if (format_ == "sarif") {
        write_("\n]}]}\n");
    } else if (format_ == "junit") {
        write_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n<testsuite name=\"brindlework check\" tests=\"" +
               std::to_string(report.pages + report.errors.size()) + "\" failures=\"" + std::to_string(failures_) + "\" errors=\"" +
               std::to_string(report.errors.size()) + "\">\n" + cases_ + "</testsuite>\n</testsuites>\n");
    } else if (html_) {
        writeHtmlEnd(report);
    }
}

void CheckPrinter::writeHtmlEnd(const CheckReport& report)
{
    Html& html = *html_;
    const size_t rules = altRules().size();
    size_t totals[3] = {};
    for (size_t r = 0; r < rules; ++r)
        totals[static_cast<int>(altRules()[r].severity)] += html.perRule[r];
    const auto cell = [](size_t n) { return std::string(n ? "<td class=\"n\">" : "<td class=\"n zero\">") + std::to_string(n) + "</td>"; };
    const auto count = [](size_t n, const std::string& what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    std::string out = "<section id=\"totals\"><h2>Totals</h2>\n<p class=\"summary\">" + count(report.pages, "page") + ", " +
                      count(report.images, "image") + ": " + count(totals[0], "error") + ", " + count(totals[1], "warning") + ", " +
                      count(totals[2], "note") + (report.accepted ? "; " + std::to_string(report.accepted) + " more accepted by the baseline" : "") +
                      (report.errors.empty() ? "" : "; " + std::to_string(report.errors.size()) + " could not be checked") + ".</p>\n"
                      "<h3>By rule</h3>\n<table><thead><tr><th>Rule</th><th>Severity</th><th class=\"n\">Findings</th></tr></thead><tbody>\n";
    for (size_t r = 0; r < rules; ++r) {
        const std::string id = altRules()[r].id;
        out += "<tr><td><code>" + (html.perRule[r] ? "<a href=\"#r" + std::to_string(r) + "\">" + id + "</a>" : id) + "</code></td><td>" +
               kSeverities[static_cast<int>(altRules()[r].severity)] + "</td>" + cell(html.perRule[r]) + "</tr>\n";
    }
    out += "</tbody></table></section>\n<section id=\"findings\"><h2>Findings</h2>\n";
    if (!html.rows)
        out += "<p>No findings: every image has a fitting ALT.</p>\n";
    write_(out);
    for (size_t r = 0; r < rules; ++r) {
        if (!html.perRule[r])
            continue;
        const AltRule& rule = altRules()[r];
        write_("<section class=\"group " + std::string(kSeverities[static_cast<int>(rule.severity)]) + "\" id=\"r" + std::to_string(r) +
               "\"><h3><span class=\"sev\">" + kSeverities[static_cast<int>(rule.severity)] + "</span> " + htmlText(rule.message) +
               " <code class=\"rule\">[" + rule.id + "]</code> (" + std::to_string(html.perRule[r]) + ")</h3>\n");
        html.spools[r].add("</tbody></table>\n</section>\n");
        html.spools[r].copyTo(write_);
    }
    // Only the pages with something to see; the others are a count.
    out = "</section>\n<section id=\"pages\"><h2>By page</h2>\n<table><thead><tr><th>Page</th><th class=\"n\">Images</th>"
          "<th class=\"n\">Errors</th><th class=\"n\">Warnings</th><th class=\"n\">Notes</th><th>Findings</th></tr></thead><tbody>\n";
    size_t quiet = 0;
    for (size_t p = 0; p < html.pages.size(); ++p) {
        const Html::Page& page = html.pages[p];
        if (page.error.empty() && page.perRule.empty()) {
            ++quiet;
            continue;
        }
        std::string links;
        for (size_t r = 0; r < page.perRule.size(); ++r)
            if (page.perRule[r])
                links += std::string(links.empty() ? "" : ", ") + "<a href=\"#" + groupId(r, p) + "\">" + altRules()[r].id + "</a> (" +
                         std::to_string(page.perRule[r]) + ")";
        out += "<tr><td><code>" + htmlText(page.path) + "</code></td>" +
               (page.error.empty() ? cell(page.images) + cell(page.counts[0]) + cell(page.counts[1]) + cell(page.counts[2]) + "<td>" + links + "</td>"
                                   : "<td colspan=\"5\">" + htmlText(page.error) + "</td>") + "</tr>\n";
    }
    out += "</tbody></table>\n<p class=\"quiet\">" + count(quiet, "page") + " without findings.</p></section>\n</body>\n</html>\n";
    write_(out);
}

int checkStatus(const CheckReport& report)
{
    if (!report.errors.empty())
        return 2;
    return report.errorsAndWarnings > 0 ? 1 : 0;
}

} // namespace bw
