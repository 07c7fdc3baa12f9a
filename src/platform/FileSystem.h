#pragma once
// Files as the program sees them: pages are bytes, read whole and replaced whole.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// A "/" separated path's folder, ending in "/" ("" for a bare name), and its last part.
inline std::string folderOfPath(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }
inline std::string nameOfPath(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Sixteen hex digits that stand for a name of any length, the same in every run: the program's
// hidden files beside a file are named by it, so that they fit wherever the file's name fits.
inline std::string shortStem(std::string_view name)
{
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        out[static_cast<std::size_t>(i)] = "0123456789abcdef"[hash & 15];
    return out;
}

// Larger files are no picture of a page worth reading: they are not even loaded.
constexpr uint64_t kMostPictureBytes = 64 << 20;

// What a file looked like when it was last read or written, to notice other programs' changes.
struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    int64_t modified = 0; // nanoseconds
    uint64_t device = 0, inode = 0;
    // Taken so soon after the last change that a change within the clock's granularity
    // would not show: only the bytes can tell.
    bool racy = true;
    bool sameLook(const FileStamp& o) const
    {
        return exists == o.exists && size == o.size && modified == o.modified && device == o.device &&
               inode == o.inode;
    }
};

struct [[nodiscard]] ReadResult {
    bool ok = false;
    std::string bytes;
    std::string error; // why it failed, in plain words
    FileStamp stamp{}; // of the file as read
    bool tooLarge = false; // readPicture: larger than kMostPictureBytes, and not read
};

struct [[nodiscard]] WriteResult {
    bool ok = false;
    std::string error;
    FileStamp stamp{}; // of the file as written
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The path as it lies on disk: exact first, else each component matched ignoring
    // ASCII letter case, "\" taken as a separator as well as "/".
    virtual std::optional<std::string> resolve(const std::string& path) = 0;
    // The paths below are taken exactly as given: letter case matters.
    // Something (file or folder) is there.
    virtual bool exists(const std::string& path) = 0;
    // A regular file (or a link to one) is there.
    virtual bool isFile(const std::string& path) = 0;
    // Both paths name one existing file on disk (through links too).
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    virtual FileStamp stamp(const std::string& path) = 0;
    // buffer: a string whose storage may be reused for the bytes (large pages, read often).
    virtual ReadResult readFile(const std::string& path, std::string buffer = {}) = 0;
    // A picture's file as readFile reads it, unless it is larger than kMostPictureBytes: then
    // nothing is read (tooLarge), and the buffer comes back in `bytes` for the next one.
    ReadResult readPicture(const std::string& path, std::string buffer = {})
    {
        if (stamp(path).size <= kMostPictureBytes)
            return readFile(path, std::move(buffer));
        ReadResult skipped;
        skipped.bytes = std::move(buffer);
        skipped.error = "it is larger than any picture of a page";
        skipped.tooLarge = true;
        return skipped;
    }
    // Replaces the file atomically, keeping its permissions: never half written.
    // Writes bytes followed by suffix.
    virtual WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix = {}) = 0;
    // Changes a file that only its user may read (0600) under a lock, so that two programs
    // changing it at once both keep their part: `change` gets what is there ("" when nothing
    // is) and gives the new bytes. A link in its place is replaced, never followed.
    virtual WriteResult updatePrivateFile(const std::string& path, const std::function<std::string(std::string_view)>& change)
    {
        ReadResult now = readFile(path);
        return writeFile(path, change(now.ok ? std::string_view(now.bytes) : std::string_view()));
    }
    // Removes the temporary copies of the file that runs no longer alive left behind.
    virtual void removeStaleCopies(const std::string& path) = 0;
    // Makes the folder and any missing folders above it, each for its user alone (0700); a
    // folder already there is fine unless another user owns it or may write in it.
    virtual WriteResult makeFolders(const std::string& path) = 0;
    // Whether the files may be read from other threads while the window uses them (the site
    // index reads pages in the background only then).
    virtual bool sharedAcrossThreads() const { return false; }
};

class RealFileSystem final : public FileSystem {
public:
    std::optional<std::string> resolve(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool isFile(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    FileStamp stamp(const std::string& path) override;
    ReadResult readFile(const std::string& path, std::string buffer = {}) override;
    WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix = {}) override;
    WriteResult updatePrivateFile(const std::string& path, const std::function<std::string(std::string_view)>& change) override;
    void removeStaleCopies(const std::string& path) override;
    WriteResult makeFolders(const std::string& path) override;
    bool sharedAcrossThreads() const override { return true; } // it holds no state of its own

    // The name of a temporary copy of `file` made by the process `pid`, before its random part.
    static std::string copyPrefix(const std::string& file, long pid);
};

} // namespace bw
