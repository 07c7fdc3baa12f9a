#include "platform/FileSystem.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <algorithm>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace bw {
namespace {

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y)
            return false;
    }
    return true;
}

bool present(const fs::path& p)
{
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

std::string describe(int err) { return std::strerror(err); }

// Coarser file systems keep times to 2 s; a change that soon after another may not show.
constexpr int64_t kGranularity = 2'000'000'000;

FileStamp stampOf(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.size = static_cast<uint64_t>(st.st_size);
    s.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t taken = static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    s.racy = taken - s.modified < kGranularity;
    return s;
}

bool alive(long pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

std::optional<std::string> RealFileSystem::resolve(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    if (present(path))
        return path;

    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\')
            c = '/';

    fs::path current = slashed.front() == '/' ? fs::path("/") : fs::path();
    size_t pos = 0;
    while (pos <= slashed.size()) {
        size_t next = slashed.find('/', pos);
        if (next == std::string::npos)
            next = slashed.size();
        std::string part = slashed.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == ".")
            continue;
        fs::path exact = current / part;
        if (part == ".." || present(exact)) {
            current = exact;
            continue;
        }
        // Names written on a system that ignored letter case.
        std::error_code ec;
        std::vector<std::string> matches;
        for (const auto& entry : fs::directory_iterator(current.empty() ? fs::path(".") : current, ec)) {
            std::string name = entry.path().filename().string();
            if (equalsIgnoringAsciiCase(name, part))
                matches.push_back(name);
        }
        if (matches.empty())
            return std::nullopt;
        std::sort(matches.begin(), matches.end());
        current /= matches.front();
    }
    if (current.empty())
        return std::nullopt;
    return current.string();
}

WriteResult RealFileSystem::makeFolders(const std::string& path)
{
    std::error_code ec;
    if (path.empty())
        return {false, "no folder was named", {}};
    // Made here, a folder is the user's alone: downloaded pages wait in it to go up again.
    fs::path made;
    for (const auto& part : fs::path(path)) {
        made /= part;
        if (!part.empty() && ::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return {false, describe(errno), {}};
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {false, describe(errno), {}};
    if (!S_ISDIR(info.st_mode))
        return {false, "it is a file, not a folder", {}};
    // Anyone else who may change the pages in it could change what goes up to the server.
    if (info.st_uid != ::geteuid())
        return {false, "it belongs to another user", {}};
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return {false, "other users may write in it", {}};
    return {true, {}, {}};
}

bool RealFileSystem::exists(const std::string& path) { return !path.empty() && present(path); }

bool RealFileSystem::isFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool RealFileSystem::sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return exists(a) && exists(b) && fs::equivalent(a, b, ec);
}

FileStamp RealFileSystem::stamp(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    return stampOf(st);
}

std::string RealFileSystem::copyPrefix(const std::string& file, long pid)
{
    return "." + shortStem(file) + ".brindlework-" + std::to_string(pid) + "-";
}

void RealFileSystem::removeStaleCopies(const std::string& path)
{
    const fs::path page(path);
    const std::string mine = "." + shortStem(page.filename().string()) + ".brindlework-";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(page.parent_path().empty() ? "." : page.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, mine.size(), mine) != 0 || !entry.is_regular_file(ec))
            continue;
        size_t digits = mine.size();
        while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')
            ++digits;
        if (digits == mine.size() || digits >= name.size() || name[digits] != '-')
            continue;
        if (!alive(std::stol(name.substr(mine.size(), digits - mine.size()))))
            fs::remove(entry.path(), ec);
    }
}

ReadResult RealFileSystem::readFile(const std::string& path, std::string buffer)
{
    ReadResult result;
    // Not blocking: a pipe with no writer would hold the open for ever.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        result.error = err == ENOENT && !exists(path) ? "the file is not there" : describe(err); // a broken link is there
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        // A pipe or a device may never end, or never begin.
        result.error = S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is a pipe or a device, not a file";
        return result;
    }
    result.stamp = stampOf(st);
    // Read straight into the page, sized as the file was; a file that grows meanwhile is
    // read on to its end, one that shrinks is cut where it ended.
    // The buffer's old bytes are kept as they are, to be read over: only growth is zeroed.
    std::string& bytes = result.bytes;
    bytes = std::move(buffer);
    bytes.resize(st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0);
    size_t got = 0;
    char more[1 << 16]; // what lies past that size: mostly nothing
    for (;;) {
        const bool full = got == bytes.size();
        const ssize_t n = full ? ::read(fd, more, sizeof more) : ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = describe(errno);
            ::close(fd);
            bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        if (full)
            bytes.append(more, static_cast<size_t>(n));
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    result.ok = true;
    return result;
}

WriteResult RealFileSystem::writeFile(const std::string& path, std::string_view bytes, std::string_view suffix)
{
    WriteResult result;
    if (path.empty()) {
        result.error = "no file name was given";
        return result;
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        result.error = "it is a folder, not a file";
        return result;
    }
    // Renaming over a read-only file would succeed; refuse as a plain write would.
    if (exists(path) && ::access(path.c_str(), W_OK) != 0) {
        result.error = describe(errno);
        return result;
    }
    // Named for this run, so that a later run can tell a copy left by a killed one.
    return replaceFile(path, {bytes, suffix}, {copyPrefix(fs::path(path).filename().string(), ::getpid()), {}});
}

WriteResult RealFileSystem::updatePrivateFile(const std::string& path,
                                              const std::function<std::string(std::string_view)>& change)
{
    WriteResult result;
    // The lock lives in a file of its own: the file itself is replaced, not written in place.
    const std::string lockPath = path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        result.error = describe(errno);
        if (lock >= 0)
            ::close(lock);
        return result;
    }
    std::string now;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            now.append(buffer, static_cast<std::size_t>(n));
    }
    if (fd >= 0)
        ::close(fd);
    result = replaceFile(path, {change(now)}, {copyPrefix(fs::path(path).filename().string(), ::getpid()), 0600, false});
    ::close(lock);
    return result;
}

WriteResult replaceFile(const std::string& path, std::initializer_list<std::string_view> pieces, const Replacement& how)
{
    WriteResult result;
    fs::path target = path;
    std::error_code ec;
    if (how.followLink && fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec)
            target = real;
    }
    struct stat old {};
    const bool hadFile = (how.followLink ? ::stat(target.c_str(), &old) : ::lstat(target.c_str(), &old)) == 0;

    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temp = (folder / (how.tempName + "XXXXXX")).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        result.error = describe(errno);
        return result;
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        result.error = describe(err);
        return result;
    };

    for (std::string_view piece : pieces) {
        const char* data = piece.data();
        size_t left = piece.size();
        while (left > 0) {
            ssize_t n = ::write(fd, data, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(errno);
            }
            data += n;
            left -= static_cast<size_t>(n);
        }
    }
    mode_t mode = 0666;
    if (how.mode) {
        mode = static_cast<mode_t>(*how.mode);
    } else if (hadFile) {
        mode = old.st_mode & 07777;
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not the owner: the file simply becomes ours, as any editor's save would.
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    if (::fsync(fd) != 0)
        return fail(errno);
    struct stat written {};
    if (::fstat(fd, &written) != 0)
        return fail(errno);
    result.stamp = stampOf(written);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        result.error = describe(err);
        return result;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        result.error = describe(err);
        return result;
    }
    // The rename itself survives a crash only once the folder is on disk too.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    result.ok = true;
    return result;
}

} // namespace bw
