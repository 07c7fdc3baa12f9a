#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <filesystem>
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

bool RealFileSystem::exists(const std::string& path) { return resolve(path).has_value(); }

bool RealFileSystem::isFile(const std::string& path)
{
    auto found = resolve(path);
    std::error_code ec;
    return found && fs::is_regular_file(*found, ec);
}

bool RealFileSystem::sameFile(const std::string& a, const std::string& b)
{
    auto x = resolve(a), y = resolve(b);
    std::error_code ec;
    return x && y && fs::equivalent(*x, *y, ec);
}

ReadResult RealFileSystem::readFile(const std::string& path, std::string buffer)
{
    ReadResult result;
    result.bytes = std::move(buffer);
    result.bytes.clear();
    auto found = resolve(path);
    if (!found) {
        result.error = "the file is not there";
        return result;
    }
    int fd = ::open(found->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = describe(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        result.error = "it is a folder, not a file";
        return result;
    }
    if (st.st_size > 0)
        result.bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = describe(errno);
            ::close(fd);
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        result.bytes.append(chunk, static_cast<size_t>(n));
    }
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
    fs::path target = resolve(path).value_or(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec)
            target = real;
    }
    if (fs::is_directory(target, ec)) {
        result.error = "it is a folder, not a file";
        return result;
    }

    struct stat old {};
    bool hadFile = ::stat(target.c_str(), &old) == 0;
    // Renaming over a read-only file would succeed; refuse as a plain write would.
    if (hadFile && ::access(target.c_str(), W_OK) != 0) {
        result.error = describe(errno);
        return result;
    }

    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
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

    for (std::string_view piece : {bytes, suffix}) {
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
    if (hadFile) {
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
    result.ok = true;
    return result;
}

} // namespace bw
