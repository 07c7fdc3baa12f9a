#pragma once
// Files as the program sees them: pages are bytes, read whole and replaced whole.
#include <optional>
#include <string>
#include <string_view>

namespace bw {

struct ReadResult {
    bool ok = false;
    std::string bytes;
    std::string error; // why it failed, in plain words
};

struct WriteResult {
    bool ok = false;
    std::string error;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The path as it lies on disk: exact first, else each component matched ignoring
    // ASCII letter case, "\" taken as a separator as well as "/".
    virtual std::optional<std::string> resolve(const std::string& path) = 0;
    // Something (file or folder) is there.
    virtual bool exists(const std::string& path) = 0;
    // A regular file (or a link to one) is there.
    virtual bool isFile(const std::string& path) = 0;
    // Both paths name one file on disk (through links and letter case too).
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // buffer: a string whose storage may be reused for the bytes (large pages, read often).
    virtual ReadResult readFile(const std::string& path, std::string buffer = {}) = 0;
    // Replaces the file atomically, keeping its permissions: never half written.
    // Writes bytes followed by suffix.
    virtual WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix = {}) = 0;
};

class RealFileSystem final : public FileSystem {
public:
    std::optional<std::string> resolve(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool isFile(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    ReadResult readFile(const std::string& path, std::string buffer = {}) override;
    WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix = {}) override;
};

} // namespace bw
