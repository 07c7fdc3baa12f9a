#include "platform/Folders.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {
namespace {

namespace fs = std::filesystem;

std::string home()
{
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return fs::temp_directory_path().string();
}

// An XDG base folder: the variable when it holds an absolute path, else the fallback under home.
std::string base(const char* variable, const char* fallback)
{
    if (const char* v = std::getenv(variable); v && v[0] == '/')
        return v;
    return home() + "/" + fallback;
}

std::string slashed(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

bool makePrivate(const fs::path& folder)
{
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return ::access(folder.c_str(), W_OK) == 0;
    fs::create_directories(folder, ec);
    if (ec)
        return false;
    ::chmod(folder.c_str(), 0700);
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

} // namespace

std::string userConfigFolder() { return slashed(base("XDG_CONFIG_HOME", ".config") + "/brindlework"); }

std::string userFtpTempFolder()
{
    fs::path folder = fs::path(base("XDG_CACHE_HOME", ".cache")) / "brindlework" / "ftp";
    if (!makePrivate(folder)) {
        std::error_code ec;
        folder = fs::temp_directory_path(ec) / ("brindlework-" + std::to_string(::getuid())) / "ftp";
        makePrivate(folder);
    }
    return slashed(folder.string());
}

std::string userHomeFolder() { return slashed(home()); }

} // namespace bw
