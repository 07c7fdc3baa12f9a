#include "platform/curl/CurlFtp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include <curl/curl.h>

#include "ftp/Listing.h"
#include "platform/curl/CurlLoop.h"

namespace bw {

struct CurlFtpClient::Handle {
    CURL* easy = nullptr;
    CURLM* multi = nullptr; // holds the session's connection between actions
    char error[CURL_ERROR_SIZE] = {};
    // What the action in progress needs from the callbacks.
    const FtpClient::Lines* lines = nullptr;
    std::string pending; // listing text not yet ended by a line end
    bool listing = false; // a listing's bytes are being taken, as they came
    int fd = -1;
    int writeErrno = 0;
    const FtpClient::Progress* progress = nullptr;
    bool cancelled = false;
    std::exception_ptr thrown; // from a caller's callback; carried across libcurl

    Handle() : easy(curl_easy_init()), multi(curl_multi_init()) {}
    ~Handle()
    {
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi); // says QUIT and closes the connection
    }
};

namespace {

bool globalInit()
{
    static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    return code == CURLE_OK;
}

long wholeSeconds(std::chrono::milliseconds ms)
{
    long s = static_cast<long>((ms.count() + 999) / 1000);
    return s < 1 ? 1 : s;
}

bool hostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

// "name", "name:port", "[v6]:port", "ftp://name/" -> "ftp://name:port"; nullopt when
// something else would slip into the address.
std::optional<std::string> serverUrl(std::string host)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!host.empty() && blank(host.back()))
        host.pop_back();
    std::size_t lead = 0;
    while (lead < host.size() && blank(host[lead]))
        ++lead;
    host.erase(0, lead);
    if (host.size() > 6 && (host.compare(0, 6, "ftp://") == 0 || host.compare(0, 6, "FTP://") == 0))
        host.erase(0, 6);
    while (!host.empty() && host.back() == '/')
        host.pop_back();

    std::string name, port;
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        for (char c : host.substr(1, close - 1))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
                return std::nullopt;
        name = host.substr(0, close + 1);
        std::string rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
        }
    } else {
        std::size_t colon = host.find(':');
        name = host.substr(0, colon);
        if (colon != std::string::npos)
            port = host.substr(colon + 1);
        for (char c : name)
            if (!hostChar(c))
                return std::nullopt;
    }
    if (name.empty() || name == "[]")
        return std::nullopt;
    if (!port.empty() || host.find(':') != std::string::npos) {
        if (port.empty() || port.size() > 5)
            return std::nullopt;
        for (char c : port)
            if (c < '0' || c > '9')
                return std::nullopt;
        long n = std::stol(port);
        if (n < 1 || n > 65535)
            return std::nullopt;
        return "ftp://" + name + ":" + std::to_string(n);
    }
    return "ftp://" + name;
}

// Listing text goes out in whole lines, each ended by CR LF whatever the server used.
void deliverLines(CurlFtpClient::Handle& h, std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
    }
    (*h.lines)(out);
}

// The unfinished line is kept only a little past what RawListing keeps, so that it still
// sees the line as too long, and a line without end costs no more than its length.
constexpr std::size_t kHeldLine = kMaxListingLine + 2;

void holdLine(CurlFtpClient::Handle& h, std::string_view text)
{
    h.pending.append(text.substr(0, kHeldLine - std::min(h.pending.size(), kHeldLine)));
}

void takeListing(CurlFtpClient::Handle& h, const char* data, size_t n)
{
    try {
        // Only the new bytes are searched: what is pending holds no line end.
        const std::string_view in(data, n);
        const std::size_t first = in.find('\n');
        if (first == std::string_view::npos) {
            holdLine(h, in);
            return;
        }
        holdLine(h, in.substr(0, first));
        const std::size_t last = in.rfind('\n');
        h.pending.append(in.substr(first, last + 1 - first));
        deliverLines(h, h.pending);
        h.pending.clear();
        holdLine(h, in.substr(last + 1));
    } catch (...) {
        h.thrown = std::current_exception();
    }
}

// libcurl reads a listing as text and turns a lone CR into a line end, so that a name
// holding a CR would end its line, or make an empty one. The bytes are taken as they
// came, before that, from the debug callback; the converted copy is dropped.
int listDebug(CURL*, curl_infotype type, char* data, size_t n, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    if (type == CURLINFO_DATA_IN && h.listing && !h.thrown)
        takeListing(h, data, n);
    return 0;
}

size_t listWrite(char*, size_t size, size_t count, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    return h.thrown ? 0 : size * count;
}

size_t fileWrite(char* data, size_t size, size_t count, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    size_t n = size * count, done = 0;
    while (done < n) {
        ssize_t w = ::write(h.fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            h.writeErrno = errno;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    return n;
}

int progressCall(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    if (!h.progress || !*h.progress)
        return 0;
    try {
        if (!(*h.progress)(static_cast<std::uint64_t>(dlnow), static_cast<std::uint64_t>(dltotal))) {
            h.cancelled = true;
            return 1;
        }
    } catch (...) {
        h.thrown = std::current_exception();
        return 1;
    }
    return 0;
}

std::string plainWords(CURLcode code)
{
    switch (code) {
    case CURLE_LOGIN_DENIED: return "The server refused the user name or password.";
    case CURLE_COULDNT_RESOLVE_HOST: return "The host name could not be found.";
    case CURLE_COULDNT_CONNECT: return "Could not connect to the server.";
    case CURLE_OPERATION_TIMEDOUT: return "The server did not answer in time.";
    case CURLE_REMOTE_FILE_NOT_FOUND: return "The file is not on the server.";
    case CURLE_REMOTE_ACCESS_DENIED: return "The server refused access to that folder or file.";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING: return "The server's answer made no sense.";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return "The connection to the server was lost.";
    default: return std::string(curl_easy_strerror(code)) + ".";
    }
}

std::string escaped(CURL* easy, const std::string& s)
{
    char* e = curl_easy_escape(easy, s.c_str(), static_cast<int>(s.size()));
    if (!e)
        throw std::bad_alloc();
    std::string out(e);
    curl_free(e);
    return out;
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > pos)
            out.push_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return out;
}

constexpr const char* kPart = ".part-";

// Removes the half downloads of runs that have ended: ".NAME.part-PID-XXXXXX" whose PID
// is no longer running. The files of a run still going on are left alone.
void removeStaleParts(const std::filesystem::path& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.rfind(kPart);
        if (name.empty() || name[0] != '.' || at == std::string::npos || !entry.is_regular_file(ec))
            continue;
        std::size_t digits = at + std::strlen(kPart), end = digits;
        while (end < name.size() && end - digits < 10 && std::isdigit(static_cast<unsigned char>(name[end])))
            ++end;
        if (end == digits || end >= name.size() || name[end] != '-')
            continue;
        const long pid = std::stol(name.substr(digits, end - digits));
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::filesystem::remove(entry.path(), ec);
    }
}

} // namespace

CurlFtpClient::CurlFtpClient(FtpTimeouts timeouts) : timeouts_(timeouts) {}

CurlFtpClient::~CurlFtpClient() = default;

bool CurlFtpClient::connected() const { return connected_; }

void CurlFtpClient::setProgress(Progress progress) { progress_ = std::move(progress); }

FtpResult CurlFtpClient::fail(int number, std::string text) { return {false, number, std::move(text)}; }

std::string CurlFtpClient::currentDir() const
{
    std::string out = absolute_ ? "/" : "";
    for (std::size_t i = 0; i < path_.size(); ++i)
        out += (i ? "/" : "") + path_[i];
    return out;
}

std::string CurlFtpClient::folderUrl() const
{
    // "%2F" makes curl start from the server's root instead of the login folder.
    std::string url = base_ + (absolute_ ? "/%2F" : "/");
    for (std::size_t i = 0; i < path_.size(); ++i)
        url += (i && absolute_ ? "/" : "") + escaped(handle_->easy, path_[i]) + (absolute_ ? "" : "/");
    if (absolute_ && !path_.empty())
        url += "/";
    return url;
}

FtpResult CurlFtpClient::connect(const std::string& host, const std::string& user, const std::string& password)
{
    disconnect();
    // A line end would end the command and start one of the server's choosing.
    for (auto [what, text] : {std::pair{"host name", &host}, {"user name", &user}, {"password", &password}})
        if (hasControlCharacter(*text))
            return fail(ftp_error::badName, std::string("The ") + what +
                                                " holds a line break or another control character; nothing was sent.");
    auto url = serverUrl(host);
    if (!url)
        return fail(ftp_error::badName, "\"" + host + "\" is not a host name (write it as name or name:port).");
    if (!globalInit())
        return fail(CURLE_FAILED_INIT, "The network library could not start.");
    auto h = std::make_unique<Handle>();
    if (!h->easy || !h->multi)
        return fail(CURLE_FAILED_INIT, "The network library could not start.");

    CURL* e = h->easy;
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(e, option, value);
    };
    set(CURLOPT_ERRORBUFFER, h->error);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, "ftp");
    set(CURLOPT_MAXCONNECTS, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, wholeSeconds(timeouts_.answer));
    set(CURLOPT_LOW_SPEED_LIMIT, timeouts_.slowest);
    set(CURLOPT_LOW_SPEED_TIME, wholeSeconds(timeouts_.stalled));
    set(CURLOPT_TCP_KEEPALIVE, 1L);
    // One CWD per folder change, and none while the folder stays the same.
    set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    // Above a login folder of unknown name the path is "../..": libcurl would drop those.
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_XFERINFOFUNCTION, &progressCall);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(h.get()));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_WRITEDATA, static_cast<void*>(h.get()));
    set(CURLOPT_WRITEFUNCTION, &listWrite);
    set(CURLOPT_DEBUGFUNCTION, &listDebug);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(h.get()));
    set(CURLOPT_VERBOSE, 1L);
    if (!user.empty()) {
        set(CURLOPT_USERNAME, user.c_str());
        set(CURLOPT_PASSWORD, password.c_str());
    }
    set(CURLOPT_NOBODY, 1L);
    if (rc != CURLE_OK)
        return fail(rc, plainWords(rc));

    handle_ = std::move(h);
    base_ = *url;
    absolute_ = false;
    path_.clear();
    FtpResult result = perform(base_ + "/");
    if (!result.ok) {
        handle_.reset();
        return result;
    }
    // Keep track of folders from the root when the server tells where login put us.
    char* entry = nullptr;
    if (curl_easy_getinfo(handle_->easy, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && entry[0] == '/') {
        absolute_ = true;
        path_ = splitPath(entry);
    }
    connected_ = true;
    return result;
}

FtpResult CurlFtpClient::perform(const std::string& url)
{
    Handle& h = *handle_;
    h.error[0] = '\0';
    h.cancelled = false;
    h.writeErrno = 0;
    h.thrown = nullptr;
    h.progress = &progress_;
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_URL, url.c_str());
    if (rc == CURLE_OK)
        rc = runTransfer(h.multi, h.easy);
    if (h.thrown)
        std::rethrow_exception(h.thrown);
    if (rc == CURLE_OK)
        return {true, 0, {}};
    if (h.cancelled)
        return fail(ftp_error::cancelled, "The action was cancelled.");
    if (h.writeErrno)
        return fail(ftp_error::localFile, std::string("The downloaded file could not be written: ") + std::strerror(h.writeErrno) + ".");
    if (rc == CURLE_OPERATION_TIMEDOUT && std::strncmp(h.error, "Operation too slow", 18) == 0)
        return fail(rc, "The transfer stalled (less than " + std::to_string(timeouts_.slowest) + " bytes a second for " +
                            std::to_string(wholeSeconds(timeouts_.stalled)) + " seconds) and was stopped.");
    std::string text = plainWords(rc);
    if (h.error[0])
        text += std::string(" (") + h.error + ")";
    return fail(rc, text);
}

FtpResult CurlFtpClient::list(const Lines& received)
{
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    Handle& h = *handle_;
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, 0L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_WRITEFUNCTION, &listWrite);
    if (rc != CURLE_OK)
        return fail(rc, plainWords(rc));
    Lines ignore = [](std::string_view) {};
    h.lines = received ? &received : &ignore;
    h.pending.clear();
    h.listing = true;
    FtpResult result;
    try {
        result = perform(folderUrl());
    } catch (...) {
        h.listing = false;
        throw;
    }
    h.listing = false;
    if (result.number == CURLE_FTP_COULDNT_RETR_FILE) {
        // libcurl words a refused LIST as a refused RETR.
        long code = 0;
        curl_easy_getinfo(h.easy, CURLINFO_RESPONSE_CODE, &code);
        result.error = "The server refused to list the folder" + (code ? " (its answer: " + std::to_string(code) + ")" : std::string()) + ".";
    }
    if (result.ok && !h.pending.empty()) {
        h.pending += "\r\n";
        deliverLines(h, h.pending);
    }
    h.pending.clear();
    h.lines = nullptr;
    return result;
}

FtpResult CurlFtpClient::changeDir(const std::string& name)
{
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    if (name == ".")
        return {true, 0, {}};
    if (name == "..")
        return parentDir();
    if (!isSafeName(name))
        return fail(ftp_error::badName, "\"" + name + "\" is not a folder name this program can use.");
    std::vector<std::string> folder = path_;
    folder.push_back(name);
    return enter(std::move(folder));
}

FtpResult CurlFtpClient::enter(std::vector<std::string> folder)
{
    // The server is asked for the folder before it becomes current: a failed change stays put.
    std::vector<std::string> old = std::exchange(path_, std::move(folder));
    if (curl_easy_setopt(handle_->easy, CURLOPT_NOBODY, 1L) != CURLE_OK) {
        path_ = std::move(old);
        return fail(CURLE_FAILED_INIT, plainWords(CURLE_FAILED_INIT));
    }
    FtpResult result = perform(folderUrl());
    if (!result.ok)
        path_ = std::move(old);
    return result;
}

FtpResult CurlFtpClient::parentDir()
{
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    std::vector<std::string> folder = path_;
    if (!folder.empty() && folder.back() != "..")
        folder.pop_back();
    else if (!absolute_)
        folder.push_back(".."); // above the login folder, which has no known name
    else
        return {true, 0, {}}; // the root has no parent
    return enter(std::move(folder));
}

FtpResult CurlFtpClient::download(const std::string& remoteName, const std::string& localPath)
{
    namespace fs = std::filesystem;
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    if (!isSafeName(remoteName))
        return fail(ftp_error::badName, "The server's file name \"" + remoteName + "\" cannot be used: its download would be written outside the temp path.");
    fs::path target(localPath);
    if (localPath.empty() || !target.has_filename())
        return fail(ftp_error::localFile, "No local file name was given for \"" + remoteName + "\".");
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return fail(ftp_error::localFile, "\"" + localPath + "\" is a folder, not a file.");
    bool replacing = fs::exists(target, ec);

    // The transfer goes to a file of its own beside the target and takes the target's
    // name only when complete, so nothing half-fetched ever stands under that name.
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    removeStaleParts(folder);
    std::string temp =
        (folder / ("." + target.filename().string() + kPart + std::to_string(::getpid()) + "-XXXXXX")).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(ftp_error::localFile, "Cannot write in the folder \"" + folder.string() + "\": " + std::strerror(errno) + ".");
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    Handle& h = *handle_;
    auto abandon = [&](FtpResult r) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        h.fd = -1;
        return r;
    };
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, 0L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_WRITEFUNCTION, &fileWrite);
    if (rc != CURLE_OK)
        return abandon(fail(rc, plainWords(rc)));
    h.fd = fd;
    FtpResult result;
    try {
        result = perform(folderUrl() + escaped(h.easy, remoteName));
    } catch (...) {
        abandon({});
        throw;
    }
    h.fd = -1;
    if (!result.ok)
        return abandon(result);
    // Replacing a copy the user may have worked on: make sure the new bytes are on disk
    // before the old ones go.
    if (replacing && ::fsync(fd) != 0)
        return abandon(fail(ftp_error::localFile, "\"" + localPath + "\" could not be written: " + std::strerror(errno) + "."));
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return abandon(fail(ftp_error::localFile, "\"" + localPath + "\" could not be written: " + std::strerror(errno) + "."));
    if (::rename(temp.c_str(), localPath.c_str()) != 0)
        return abandon(fail(ftp_error::localFile, "\"" + localPath + "\" could not be written: " + std::strerror(errno) + "."));
    return result;
}

// Until the secure protocols and uploads are in: said plainly, never pretended.
FtpResult CurlFtpClient::stat(const std::string&, RemoteStamp&) { return fail(CURLE_UNSUPPORTED_PROTOCOL, "Not built yet."); }
FtpResult CurlFtpClient::upload(const std::string&, const std::string&, bool) { return fail(CURLE_UNSUPPORTED_PROTOCOL, "Not built yet."); }
FtpResult CurlFtpClient::goTo(const std::string&) { return fail(CURLE_UNSUPPORTED_PROTOCOL, "Not built yet."); }
void CurlFtpClient::setOptions(const ConnectOptions& options) { options_ = options; }

FtpResult CurlFtpClient::disconnect()
{
    handle_.reset();
    connected_ = false;
    path_.clear();
    absolute_ = false;
    return {true, 0, {}};
}

} // namespace bw
