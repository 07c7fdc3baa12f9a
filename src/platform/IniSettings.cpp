#include "platform/IniSettings.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "platform/AtomicFile.h"
#include "text/Text.h"

namespace bw {
namespace fs = std::filesystem;

namespace {

constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateFolder = 0700;

std::string iniEscape(const std::string& text);
std::string iniUnescape(const std::string& text);

std::string describe(int err) { return std::strerror(err); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

struct Section {
    std::string name;
    SettingPairs entries;

    SettingPairs::iterator find(const std::string& key)
    {
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (sameName(it->first, key))
                return it;
        return entries.end();
    }
};

struct Document {
    std::vector<Section> sections;
    int skipped = 0; // lines that could not be read

    Section* find(const std::string& name)
    {
        for (Section& s : sections)
            if (sameName(s.name, name))
                return &s;
        return nullptr;
    }
    Section& get(const std::string& name)
    {
        if (Section* s = find(name))
            return *s;
        sections.push_back({name, {}});
        return sections.back();
    }
};

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

Document parse(std::string_view text)
{
    Document doc;
    // Where each section's keys stand, by their lower-case spelling: a read stays linear in
    // the size of the store.
    std::vector<std::unordered_map<std::string, size_t>> keys;
    size_t current = SIZE_MAX;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3); // a byte-order mark some editors write
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            current = static_cast<size_t>(&doc.get(iniUnescape(std::string(line.substr(1, line.size() - 2)))) - doc.sections.data());
            keys.resize(doc.sections.size());
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos || current == SIZE_MAX) {
            ++doc.skipped;
            continue;
        }
        std::string key = iniUnescape(std::string(trim(line.substr(0, equals))));
        std::string value = iniUnescape(std::string(trim(line.substr(equals + 1))));
        SettingPairs& entries = doc.sections[current].entries;
        auto [at, added] = keys[current].try_emplace(lowered(key), entries.size());
        if (!added)
            entries[at->second].second = std::move(value); // the later line of a repeated key wins
        else
            entries.emplace_back(std::move(key), std::move(value));
    }
    return doc;
}

std::string serialize(const Document& doc)
{
    std::string out;
    bool first = true;
    for (const Section& s : doc.sections) {
        if (s.entries.empty())
            continue;
        if (!first)
            out += '\n';
        first = false;
        out += '[' + iniEscape(s.name) + "]\n";
        for (const auto& [key, value] : s.entries)
            out += iniEscape(key) + '=' + iniEscape(value) + '\n';
    }
    return out;
}

// A file name made of the application's name: letters, digits, "-", "_" and "." (not first).
std::string fileName(const std::string& app)
{
    std::string out;
    for (size_t i = 0; i < app.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(app[i]);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || (c == '.' && i > 0);
        out += plain ? std::string(1, static_cast<char>(c)) : text::percentByte(c);
    }
    return (out.empty() ? "%" : out) + ".ini";
}

enum class Found { Missing, Read, Unreadable };

struct Loaded {
    Found found = Found::Missing;
    std::string bytes;
    std::string error;
};

Loaded load(const std::string& path)
{
    Loaded result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            result.found = Found::Missing;
            return result;
        }
        result.found = Found::Unreadable;
        result.error = describe(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.found = Found::Unreadable;
        result.error = S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a plain file";
        ::close(fd);
        return result;
    }
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.found = Found::Unreadable;
            result.error = describe(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        result.bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    result.found = Found::Read;
    return result;
}

// Creates each missing folder of path, private to the user.
bool makeFolders(const std::string& path, std::string& error)
{
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        partial = path.substr(0, slash);
        pos = slash + 1;
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), kPrivateFolder) != 0 && errno != EEXIST) {
            int err = errno;
            struct stat there {};
            if (::stat(partial.c_str(), &there) == 0 && S_ISDIR(there.st_mode))
                continue; // there already, only not ours to write in
            error = describe(err);
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "the folder " + path + " cannot be made (something else has its name)";
        return false;
    }
    return true;
}

// A copy of a damaged file under a name of its own, "bw.ini.damaged-20240307-123456-1":
// an earlier copy is never replaced.
WriteResult keepDamaged(const std::string& path, const std::string& bytes)
{
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 1; n < 10000; ++n) {
        const std::string name = path + ".damaged-" + stamp + "-" + std::to_string(n);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {false, describe(errno)};
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                break;
            done += static_cast<size_t>(w);
        }
        bool written = done == bytes.size();
        int err = written ? 0 : errno;
        if (written && ::fsync(fd) != 0) {
            written = false;
            err = errno;
        }
        ::close(fd);
        if (!written) {
            ::unlink(name.c_str());
            return {false, describe(err ? err : EIO)};
        }
        return {true, {}};
    }
    return {false, "too many copies are kept already"};
}

WriteResult replacePrivately(const std::string& path, const std::string& bytes)
{
    // Created private, so that no other user ever reads a password, not even for a moment.
    return replaceFile(path, {bytes}, {fs::path(path).filename().string() + ".", kPrivateFile});
}

// Key, value and section text as written in the file: every byte that the file's syntax
// would read differently is written as %XX, so any text reads back as it was.
std::string iniEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool edge = i == 0 || i + 1 == text.size();
        bool special = c < 0x20 || c == 0x7f || c == '%' || c == '=' || c == ';' || c == '#' || c == '[' ||
                       c == ']' || (c == ' ' && edge);
        if (special)
            out += text::percentByte(c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string iniUnescape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

IniSettingsStore::IniSettingsStore(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty())
        folder_ = "./";
    if (folder_.back() != '/')
        folder_ += '/';
}

std::string IniSettingsStore::fileFor(const std::string& app) const { return folder_ + fileName(app); }

std::string IniSettingsStore::getSetting(const std::string& app, const std::string& section, const std::string& key,
                                         const std::string& defaultValue)
{
    Loaded loaded = load(fileFor(app));
    if (loaded.found != Found::Read)
        return defaultValue;
    Document doc = parse(loaded.bytes);
    Section* s = doc.find(section);
    if (!s)
        return defaultValue;
    auto it = s->find(key);
    return it == s->entries.end() ? defaultValue : it->second;
}

SettingPairs IniSettingsStore::getAllSettings(const std::string& app, const std::string& section)
{
    Loaded loaded = load(fileFor(app));
    if (loaded.found != Found::Read)
        return {};
    Document doc = parse(loaded.bytes);
    Section* s = doc.find(section);
    return s ? s->entries : SettingPairs{};
}

namespace {

// Holds an exclusive lock on a file beside the store while a rewrite reads, changes and
// replaces it, so that two programs saving at once do not drop each other's settings.
class RewriteLock {
public:
    explicit RewriteLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFile))
    {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~RewriteLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    RewriteLock(const RewriteLock&) = delete;
    RewriteLock& operator=(const RewriteLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// Reads the application's file, lets change edit it, and writes it back when change says so.
template <class Change> WriteResult rewrite(const std::string& folder, const std::string& path, Change change)
{
    WriteResult result;
    for (int attempt = 0;; ++attempt) {
        RewriteLock lock(path + ".lock");
        Loaded loaded = load(path);
        if (loaded.found == Found::Unreadable) {
            // Replacing a file we cannot read would lose what it holds.
            result.error = "the settings file " + path + " cannot be read (" + loaded.error + "), so it is left as it is";
            return result;
        }
        Document doc = parse(loaded.bytes);
        if (!change(doc))
            return {true, {}};
        if (!lock.held() && attempt == 0) {
            // The first save: make the folder, then read and change again under the lock.
            if (!makeFolders(folder.substr(0, folder.size() - 1), result.error)) {
                result.error = "the folder " + folder + " cannot be made: " + result.error;
                return result;
            }
            continue;
        }
        if (doc.skipped > 0) {
            // Lines we could not read are dropped by the rewrite; keep the file as it was beside it.
            WriteResult kept = keepDamaged(path, loaded.bytes);
            if (!kept.ok) {
                result.error = "a copy of the damaged settings file cannot be kept beside it: " + kept.error;
                return result;
            }
        }
        result = replacePrivately(path, serialize(doc));
        if (!result.ok)
            result.error = "the settings file " + path + " cannot be written: " + result.error;
        return result;
    }
}

} // namespace

WriteResult IniSettingsStore::saveSetting(const std::string& app, const std::string& section, const std::string& key,
                                          const std::string& value)
{
    return rewrite(folder_, fileFor(app), [&](Document& doc) {
        Section& s = doc.get(section);
        auto it = s.find(key);
        if (it != s.entries.end())
            it->second = value;
        else
            s.entries.emplace_back(key, value);
        return true;
    });
}

WriteResult IniSettingsStore::deleteSetting(const std::string& app, const std::string& section, const std::string& key)
{
    return rewrite(folder_, fileFor(app), [&](Document& doc) {
        Section* s = doc.find(section);
        if (!s)
            return false;
        auto it = s->find(key);
        if (it == s->entries.end())
            return false;
        s->entries.erase(it);
        return true;
    });
}

} // namespace bw
