#pragma once
// One open page: its bytes as first read and as last written, its file stamp and encoding,
// the images found in it, and every write to its file. It knows nothing of windows: views
// and the window that drives it hear of its changes through listeners.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "page/ByteRange.h"
#include "page/ImageFinder.h"
#include "page/ImageName.h"
#include "page/Notices.h"
#include "platform/FileSystem.h"

namespace bw {

enum class EmptyBox {
    Remove,   // an empty box removes an old non-empty ALT; ALT="" and no ALT stay as they are
    Decorate, // an empty box writes ALT="", marking the image as decorative
    Undecorate, // an empty box takes every ALT out, ALT="" too: the image is no longer decorative
};

// The value as it goes between double quotes, so that a browser shows what was typed: "&" and
// a quote as character references (and "<", so that no typed text can pose as a tag), all
// else as typed.
std::string altValue(std::string_view typed);

// The attribute whose value names the image's picture (a new ALT follows it), if any.
const TagAttribute* namingAttribute(std::string_view page, const FoundImage& image);

// A tag's ALT as the box shows it and a reader hears it: decoded from the page's encoding,
// references resolved. nullopt when the tag has no alt at all.
std::optional<std::string> altOf(std::string_view page, const StartTag& tag, const std::string& encoding);
// The same without a copy where the page's bytes read as they are; else made in `scratch`.
std::optional<std::string_view> altOf(std::string_view page, const StartTag& tag, const std::string& encoding, std::string& scratch);

// Whether a file name is that of a page: .html, .htm, .shtml or .xhtml, in any letter case.
bool isPageFileName(std::string_view name);

// The page files (.html, .htm, .shtml, .xhtml in any letter case) of a folder and its
// subfolders, sorted by path. Links to folders are not followed, so that no loop can hold the
// walk; subfolders that cannot be read are left out and counted. A set `stop` ends the walk early.
struct FolderPages {
    std::vector<std::string> pages;
    size_t unreadFolders = 0;
    std::vector<std::pair<std::string, std::string>> unread; // each such subfolder, and why
    std::string error; // why the folder itself could not be read; empty when it could
};
FolderPages pagesInFolder(const std::string& folder, const std::atomic<bool>* stop = nullptr);

// What one write changed in a page, piece by piece in page order, so that it can be taken
// back byte for byte: each piece's place is in the page as it was before the write.
struct Patch {
    struct Piece {
        size_t at;
        std::string removed, inserted;
    };
    std::vector<Piece> pieces;
    bool empty() const { return pieces.empty(); }
    // The write that takes this one back, placed in the page as this one left it.
    Patch inverse() const;
};

// Bytes [from, to) of a page replaced by `with`.
struct PageEdit {
    size_t from, to;
    std::string with;
};

class PageDocument {
public:
    // Shown and Batch are the editor's: the image on screen changed; the batch changed (its
    // pages, the page reached, its progress and commands).
    // Shown, Cleared (RESET, New) and Batch are told by the editor and the batch.
    enum class Change { Opened, Written, PutBack, Closed, Shown, Cleared, Batch };
    struct Notice {
        Change change;
        // Written: the image whose ALT was written (-1: the whole page was saved);
        // Shown: the image now shown.
        int image = -1;
    };
    using Listener = Notices<Notice>::Listener;

    // One listed image: a tag written identically several times is one image, and what is
    // written for it goes into every copy.
    struct Image {
        ImageKind kind = ImageKind::Img;
        std::span<const size_t> copies; // indexes into tags(), the first copy first
    };

    struct [[nodiscard]] Outcome {
        enum Kind {
            Nothing,   // nothing to write to (no page, no such image, a background)
            Unchanged, // the page already says it: nothing written
            Written,
            Declined,  // another program changed the file and the user kept its change
            Failed,    // the file could not be written; error says why
        } kind = Nothing;
        std::string error;
        bool ok() const { return kind != Declined && kind != Failed; }
    };

    explicit PageDocument(FileSystem& files) : files_(files) {}
    PageDocument(const PageDocument&) = delete;
    PageDocument& operator=(const PageDocument&) = delete;

    [[nodiscard]] Subscription subscribe(Listener listener) { return notices_.subscribe(std::move(listener)); }
    // Told while the open page is still there, before another page or none takes its place.
    std::function<void()> leaving;
    // Asked before a write would overwrite what another program put into the page file.
    std::function<bool(const std::string& path)> confirmOverwrite;

    // Takes the page just read from path as the open page.
    void open(const std::string& path, ReadResult&& read);
    void close();
    bool isOpen() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // The page as last read or written. A write puts a new string in its place.
    const std::string& text() const { return *text_; }
    // The same, kept alive for a reader of it that outlives later writes.
    std::shared_ptr<const std::string> sharedText() const { return text_; }
    // The page exactly as first read; what putting it back writes.
    const std::string& firstRead() const { return *firstRead_; }
    const std::string& encoding() const { return encoding_; }
    // The page file was written since it was opened.
    bool written() const { return written_; }
    // The page file holds ALTs written since it was opened, which putting it back takes out.
    bool holdsEdits() const;

    const std::vector<FoundImage>& tags() const { return found_.images; }
    const FoundImages& found() const { return found_; }
    const std::vector<Image>& images() const { return images_; }
    // The tag of image i that is shown and read: its first copy.
    const FoundImage& tagOf(size_t i) const { return found_.images[images_[i].copies.front()]; }
    std::string_view writtenName(size_t i) const { return bw::writtenName(*text_, tagOf(i)); }
    ImageSource source(size_t i) const;
    // The image's ALT as the box shows it; nothing when the tag has no alt attribute.
    std::optional<std::string> altShown(size_t i) const;

    // Writes the typed text as the ALT of image i, into every copy of its tag.
    Outcome writeAlt(size_t i, std::string_view typed, EmptyBox empty);
    // Writes a patch made by an earlier write, or its inverse, telling of it as a write of
    // image `image`. Fails, writing nothing, when the page does not hold what it replaces.
    Outcome apply(const Patch& patch, int image);
    // What the last write (writeAlt or apply) that wrote changed.
    const Patch& lastPatch() const { return lastPatch_; }
    // Puts the first-read text back into the page file, byte for byte, when anything was
    // written since the page was opened.
    Outcome putBack();
    // Writes the page as it is now to another file, or over the page file.
    // Over the page file itself, what was saved is what putting the page back writes.
    Outcome saveAs(const std::string& path);
    bool isPageFile(const std::string& path);

private:
    Outcome writeFile(std::string_view bytes, std::string_view suffix = {});
    // Writes the edits (in page order) into the page and moves its tags after them.
    Outcome applyEdits(const std::vector<PageEdit>& edits, int image);
    [[nodiscard]] bool mayOverwrite();
    void findIn(const std::string& page);
    void notify(Change change, int image = -1) { notices_.tell({change, image}); }

    FileSystem& files_;
    Notices<Notice> notices_;
    std::string path_;
    // One string until the first write: the page is held once while it is only read.
    std::shared_ptr<std::string> text_ = std::make_shared<std::string>(), firstRead_ = text_;
    std::string spare_; // the last page given up, reused for the next
    std::string encoding_ = "UTF-8";
    std::string fileEncoding_; // "UTF-16LE" or "UTF-16BE" for a file in UTF-16; the text is held in UTF-8
    FileStamp stamp_;
    // What the file holds as far as this document knows.
    enum class Disk { Text, FirstRead } disk_ = Disk::Text;
    bool written_ = false;
    Patch lastPatch_;
    FoundImages found_;
    std::vector<Image> images_;
    std::vector<size_t> copies_; // what images_ holds: every image's copies, one image after another
};

} // namespace bw
