#include "platform/curl/CurlFtp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "platform/FileSystem.h"
#include "platform/Listing.h"
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
    bool bodyListing = false; // SFTP: the listing comes as the body, not through the debug callback
    int fd = -1;
    int writeErrno = 0;
    int readFd = -1; // the page an upload sends
    int readErrno = 0;
    bool uploading = false;
    bool sentAll = false; // the last upload's bytes all went: libssh2 counts those the server took
    const FtpClient::Progress* progress = nullptr;
    bool cancelled = false;
    // The server's certificate or host key, checked while connecting.
    ConnectOptions options;
    std::string host;      // the name the certificate must be made out to
    std::string hostPort;  // "name:port", as the accepted certificates keep it
    std::string trustFile; // the accepted certificates; "" keeps none
    enum class Key { fine, unknown, changed, wrongName } key = Key::fine;
    std::string fingerprint, oldFingerprint, keyWhy;
    std::string knownAs;  // SSH: the host as known_hosts names it, "name" or "[name]:port"
    int knownLine = 0;    // SSH: the known_hosts line of the key that changed
    std::string keyLine;  // SSH: the known_hosts line to add once the key is accepted always
    // The certificate this session's control connection was let through with: the data
    // connections that show it again need no second check.
    std::string approved;
    bool keepKey = false; // accepted always: written to trustFile after the handshake
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

struct Address {
    std::string name; // "[v6]" keeps its brackets
    long port = 0;    // 0: none given
};

// "name", "name:port", "[v6]:port", "ftp://name/" -> name and port; nullopt when
// something else would slip into the address.
std::optional<Address> serverAddress(std::string host)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!host.empty() && blank(host.back()))
        host.pop_back();
    std::size_t lead = 0;
    while (lead < host.size() && blank(host[lead]))
        ++lead;
    host.erase(0, lead);
    for (const char* scheme : {"ftp://", "ftps://", "sftp://"}) {
        const std::size_t n = std::strlen(scheme);
        if (host.size() > n && strncasecmp(host.c_str(), scheme, n) == 0)
            host.erase(0, n);
    }
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
        return Address{name, n};
    }
    return Address{name, 0};
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
    if (h.bodyListing) { // sftp-server lists "." and ".." too, which FTP servers leave out
        std::string kept;
        for (std::size_t at = 0, end; at < out.size(); at = end) {
            end = std::min(out.find('\n', at), out.size() - 1) + 1;
            const std::string name = listingName(std::string_view(out).substr(at, end - at - 2));
            if (name != "." && name != "..")
                kept.append(out, at, end - at);
        }
        out.swap(kept);
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
    if (type == CURLINFO_DATA_IN && h.listing && !h.bodyListing && !h.thrown)
        takeListing(h, data, n);
    return 0;
}

size_t listWrite(char* data, size_t size, size_t count, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    if (h.listing && h.bodyListing && !h.thrown)
        takeListing(h, data, size * count);
    return h.thrown ? 0 : size * count;
}

size_t ignoreHeader(char*, size_t size, size_t count, void*) { return size * count; }

size_t fileRead(char* data, size_t size, size_t count, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    for (;;) {
        ssize_t r = ::read(h.readFd, data, size * count);
        if (r >= 0)
            return static_cast<size_t>(r);
        if (errno != EINTR) {
            h.readErrno = errno;
            return CURL_READFUNC_ABORT;
        }
    }
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

int progressCall(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    if (!h.progress || !*h.progress)
        return 0;
    const curl_off_t now = h.uploading ? ulnow : dlnow, total = h.uploading ? ultotal : dltotal;
    try {
        if (!(*h.progress)(static_cast<std::uint64_t>(now), static_cast<std::uint64_t>(total))) {
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
    case CURLE_USE_SSL_FAILED:
        return "The server does not offer FTP with TLS, so nothing was sent to it, not even the user name. "
               "Choose plain FTP for this host only if the password may cross the network readable.";
    case CURLE_SSL_CONNECT_ERROR: return "The secure (TLS) connection could not be set up.";
    case CURLE_PEER_FAILED_VERIFICATION: return "The server's certificate or host key was refused.";
    case CURLE_UPLOAD_FAILED: return "The server refused to store the file.";
    case CURLE_SSH: return "The SSH connection failed.";
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

std::string toBase64(std::string_view bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// "SHA256:" and the digest in base64 without its padding, as OpenSSH writes fingerprints.
std::string fingerprintOf(const unsigned char* digest, unsigned int size)
{
    std::string out = toBase64(std::string_view(reinterpret_cast<const char*>(digest), size));
    while (!out.empty() && out.back() == '=')
        out.pop_back();
    return "SHA256:" + out;
}

std::string fromBase64(std::string_view text)
{
    std::string out(text.size(), '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0)
        return {};
    const std::size_t pad = text.size() - std::min(text.size(), text.find_last_not_of('=') + 1);
    out.resize(static_cast<std::size_t>(n) - std::min<std::size_t>(pad, static_cast<std::size_t>(n)));
    return out;
}

std::string sshFingerprint(std::string_view blob)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (blob.empty() || !EVP_Digest(blob.data(), blob.size(), md, &size, EVP_sha256(), nullptr))
        return {};
    return fingerprintOf(md, size);
}

// An SSH public key names its type first: a length in four bytes, then "ssh-ed25519" or the like.
std::string keyType(std::string_view blob)
{
    if (blob.size() < 4)
        return {};
    const auto byte = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(blob[i])); };
    const std::size_t n = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    return n <= blob.size() - 4 ? std::string(blob.substr(4, n)) : std::string();
}

// OpenSSH's host patterns know "*" and "?" only, and no letter case; "[" is a plain character.
bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern.empty())
        return name.empty();
    if (pattern[0] == '*')
        return wildcardMatch(pattern.substr(1), name) || (!name.empty() && wildcardMatch(pattern, name.substr(1)));
    return !name.empty() &&
           (pattern[0] == '?' || std::tolower(static_cast<unsigned char>(pattern[0])) == std::tolower(static_cast<unsigned char>(name[0]))) &&
           wildcardMatch(pattern.substr(1), name.substr(1));
}

// A name as OpenSSH hashes it with HashKnownHosts: "|1|" salt "|" HMAC-SHA1 of the name keyed
// by the salt, both in base64. Such an entry stands alone on its line.
bool hashedNameIs(const std::string& hashed, const std::string& name)
{
    const std::size_t bar = hashed.find('|', 3);
    if (hashed.compare(0, 3, "|1|") != 0 || bar == std::string::npos)
        return false;
    const std::string salt = fromBase64(std::string_view(hashed).substr(3, bar - 3));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (salt.empty() || !HMAC(EVP_sha1(), salt.data(), static_cast<int>(salt.size()),
                              reinterpret_cast<const unsigned char*>(name.data()), name.size(), md, &size))
        return false;
    return hashed.substr(bar + 1) == toBase64(std::string_view(reinterpret_cast<const char*>(md), size));
}

// Whether a known_hosts line's names ("a,[b]:2222,!c,*.d") take name, as OpenSSH reads them.
bool namesTake(const std::string& names, const std::string& name)
{
    if (names.compare(0, 3, "|1|") == 0)
        return hashedNameIs(names, name);
    bool taken = false;
    for (std::size_t at = 0; at <= names.size();) {
        const std::size_t end = std::min(names.find(',', at), names.size());
        std::string pattern = names.substr(at, end - at);
        at = end + 1;
        const bool negated = !pattern.empty() && pattern[0] == '!';
        if (negated)
            pattern.erase(0, 1);
        if (!wildcardMatch(pattern, name))
            continue;
        if (negated)
            return false;
        taken = true;
    }
    return taken;
}

struct KnownKey {
    int line = 0;
    std::string type, blob;
};

// The keys known_hosts holds for a host, each with its line.
std::vector<KnownKey> knownKeys(const std::string& file, const std::string& name)
{
    std::vector<KnownKey> out;
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::string names, type, key;
        // "@cert-authority" and "@revoked" lines name authorities and revoked keys, not hosts' keys.
        if (!(words >> names >> type >> key) || names[0] == '#' || names[0] == '@')
            continue;
        if (namesTake(names, name))
            out.push_back({number, type, fromBase64(key)});
    }
    return out;
}

// The accepted certificates: a line "host:port SHA256:..." each.
std::map<std::string, std::string> readTrusted(const std::string& file)
{
    std::map<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string hostPort, fingerprint;
        if (line.empty() || line[0] == '#' || !(words >> hostPort >> fingerprint))
            continue;
        out[hostPort] = fingerprint;
    }
    return out;
}

// Written whole beside the old file and renamed over it: a crash never leaves half a list.
bool writeTrusted(const std::string& file, const std::map<std::string, std::string>& trusted)
{
    std::string text = "# Server certificates accepted by BRINDLEWORK: host:port and the SHA-256 fingerprint.\n";
    for (const auto& [hostPort, fingerprint] : trusted)
        text += hostPort + " " + fingerprint + "\n";
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

std::string certificateFault(int error)
{
    switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return "is signed by itself, not by an authority this computer knows";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY: return "is signed by an authority this computer does not know";
    case X509_V_ERR_CERT_HAS_EXPIRED: return "has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID: return "is not valid yet";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return "is made out to another host name";
    default: return std::string("could not be checked (") + X509_verify_cert_error_string(error) + ")";
    }
}

// Decides on the server's certificate before any command goes over the connection: a
// certificate accepted before must still be that one; else the system's authorities
// must vouch for it and its host name, or the user must have accepted it just now.
int checkCertificate(X509_STORE_CTX* store, void* user)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!leaf || !X509_digest(leaf, EVP_sha256(), md, &size))
        return 0;
    h.fingerprint = fingerprintOf(md, size);
    if (!h.approved.empty() && h.fingerprint == h.approved) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(store);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, h.host.c_str()) != 1)
        X509_VERIFY_PARAM_set1_host(param, h.host.c_str(), 0);
    const bool vouched = X509_verify_cert(store) == 1;
    const int error = X509_STORE_CTX_get_error(store);
    // An authority vouches for it, but for another server: never a question, always a refusal.
    if (!vouched && (error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH)) {
        h.key = CurlFtpClient::Handle::Key::wrongName;
        return 0;
    }
    const auto trusted = h.trustFile.empty() ? std::map<std::string, std::string>() : readTrusted(h.trustFile);
    const auto known = trusted.find(h.hostPort);
    if (known != trusted.end() && known->second != h.fingerprint) {
        h.key = CurlFtpClient::Handle::Key::changed;
        h.oldFingerprint = known->second;
        return 0;
    }
    if (known == trusted.end() && !vouched) {
        if (h.options.acceptedKey != h.fingerprint) {
            h.key = CurlFtpClient::Handle::Key::unknown;
            h.keyWhy = certificateFault(error);
            return 0;
        }
        h.keepKey = h.options.acceptAlways && !h.trustFile.empty();
    }
    h.approved = h.fingerprint;
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

// The system's authorities, read once per program (again only when SSL_CERT_FILE names
// another file): reading them costs far more than a handshake, and every file of a
// transfer has a connection of its own. The caller gets a reference of its own.
X509_STORE* authorities()
{
    static std::mutex lock;
    static X509_STORE* store = nullptr;
    static std::string readFor;
    const std::lock_guard held(lock);
    const char* named = std::getenv("SSL_CERT_FILE");
    const std::string file = named ? named : "";
    if (!store || file != readFor) {
        X509_STORE* fresh = X509_STORE_new();
        if (!fresh)
            return nullptr;
        X509_STORE_set_default_paths(fresh);
        X509_STORE_free(store);
        store = fresh;
        readFor = file;
    }
    X509_STORE_up_ref(store);
    return store;
}

CURLcode setUpTls(CURL*, void* context, void* user)
{
    auto* ctx = static_cast<SSL_CTX*>(context);
    if (X509_STORE* known = authorities())
        SSL_CTX_set_cert_store(ctx, known); // owns its reference from here
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, &checkCertificate, user);
    return CURLE_OK;
}

// Decides on the server's host key before any login is sent, from known_hosts as OpenSSH keeps it:
// a key of a type known for this host and port must be that key; any other key must have just
// been accepted by the user.
int checkHostKey(void* user, int, const char* key, size_t length)
{
    auto& h = *static_cast<CurlFtpClient::Handle*>(user);
    try {
        const std::string blob(key, length), type = keyType(blob);
        h.fingerprint = sshFingerprint(blob);
        std::optional<KnownKey> other;
        for (KnownKey& known : h.trustFile.empty() ? std::vector<KnownKey>() : knownKeys(h.trustFile, h.knownAs)) {
            if (known.blob == blob)
                return CURLKHMATCH_OK;
            if (known.type == type && !other)
                other = std::move(known);
        }
        if (other) {
            h.key = CurlFtpClient::Handle::Key::changed;
            h.oldFingerprint = sshFingerprint(other->blob);
            h.knownLine = other->line;
            return CURLKHMATCH_MISMATCH;
        }
        if (h.fingerprint.empty() || h.options.acceptedKey != h.fingerprint) {
            h.key = CurlFtpClient::Handle::Key::unknown;
            return CURLKHMATCH_MISMATCH;
        }
        h.keepKey = h.options.acceptAlways && !h.trustFile.empty();
        h.keyLine = h.knownAs + " " + type + " " + toBase64(blob) + "\n";
        return CURLKHMATCH_OK;
    } catch (...) {
        h.thrown = std::current_exception();
        return CURLKHMATCH_MISMATCH;
    }
}

// Added as OpenSSH adds a line: at the end, the file the user's alone; a link is not followed.
bool appendKnownHost(const std::string& file, const std::string& line)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

std::string randomTag()
{
    std::random_device rd;
    std::uniform_int_distribution<int> hex(0, 15);
    std::string out;
    for (int i = 0; i < 8; ++i)
        out += "0123456789abcdef"[hex(rd)];
    return out;
}

// A path inside an SFTP command, which takes "..." with \" and \\.
std::string quoted(const std::string& path)
{
    std::string out = "\"";
    for (char c : path)
        out += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

constexpr const char* kPart = ".part-";

// Removes the half downloads of runs that have ended: ".STEM.part-PID-XXXXXX" whose PID
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
    if (sftp()) { // SFTP paths start at the root; "~" is the login folder
        std::string url = base_ + (absolute_ ? "/" : "/~/");
        for (const auto& part : path_)
            url += escaped(handle_->easy, part) + "/";
        return url;
    }
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
    (void)disconnect(); // an old session ends either way; only the new one's answer matters
    // A line end would end the command and start one of the server's choosing.
    for (auto [what, text] : {std::pair{"host name", &host}, {"user name", &user}, {"password", &password}})
        if (hasControlCharacter(*text))
            return fail(ftp_error::badName, std::string("The ") + what +
                                                " holds a line break or another control character; nothing was sent.");
    auto address = serverAddress(host);
    if (!address)
        return fail(ftp_error::badName, "\"" + host + "\" is not a host name (write it as name or name:port).");
    const ConnectOptions& o = options_;
    for (const std::string* text : {&o.keyFile, &o.trustFolder, &o.acceptedKey})
        if (hasControlCharacter(*text))
            return fail(ftp_error::badName, "A connection setting holds a control character; nothing was sent.");
    const bool secure = o.protocol == Protocol::ftps, ssh = o.protocol == Protocol::sftp;
    const long port = address->port ? address->port : o.port > 0 && o.port <= 65535 ? o.port : ssh ? 22 : 21;
    if (!globalInit())
        return fail(CURLE_FAILED_INIT, "The network library could not start.");
    auto h = std::make_unique<Handle>();
    if (!h->easy || !h->multi)
        return fail(CURLE_FAILED_INIT, "The network library could not start.");
    h->options = o;
    h->host = address->name.front() == '[' ? address->name.substr(1, address->name.size() - 2) : address->name;
    h->hostPort = address->name + ":" + std::to_string(port);
    // OpenSSH names a server on another port than 22 "[name]:port": it is another server.
    h->knownAs = port == 22 ? h->host : "[" + h->host + "]:" + std::to_string(port);
    std::error_code ec;
    if (!o.trustFolder.empty() && !std::filesystem::is_directory(o.trustFolder, ec)) {
        std::filesystem::create_directories(o.trustFolder, ec);
        std::filesystem::permissions(o.trustFolder, std::filesystem::perms::owner_all, ec);
    }
    if (!o.trustFolder.empty())
        h->trustFile = (std::filesystem::path(o.trustFolder) / (ssh ? "known_hosts" : "accepted_certificates")).string();
    // With no trust folder an SSH key is still checked, against nothing: every key is new.
    const std::string knownHosts = h->trustFile.empty() ? "/dev/null" : h->trustFile;
    std::string publicKey;
    if (!o.keyFile.empty() && std::filesystem::is_regular_file(o.keyFile + ".pub", ec))
        publicKey = o.keyFile + ".pub"; // else libssh2 derives it from the private key
    h->bodyListing = ssh;

    CURL* e = h->easy;
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(e, option, value);
    };
    set(CURLOPT_ERRORBUFFER, h->error);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, ssh ? "sftp" : "ftp");
    set(CURLOPT_MAXCONNECTS, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, wholeSeconds(timeouts_.answer));
    set(CURLOPT_LOW_SPEED_LIMIT, timeouts_.slowest);
    set(CURLOPT_LOW_SPEED_TIME, wholeSeconds(timeouts_.stalled));
    set(CURLOPT_TCP_KEEPALIVE, 1L);
    if (ssh) // libssh2 asks for as much of a file at once as libcurl's buffer holds: a page in one go
        set(CURLOPT_BUFFERSIZE, 256L * 1024);
    // One CWD per folder change, and none while the folder stays the same.
    set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    // Above a login folder of unknown name the path is "../..": libcurl would drop those.
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_XFERINFOFUNCTION, &progressCall);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(h.get()));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_WRITEDATA, static_cast<void*>(h.get()));
    set(CURLOPT_WRITEFUNCTION, &listWrite);
    set(CURLOPT_HEADERFUNCTION, &ignoreHeader);
    set(CURLOPT_READFUNCTION, &fileRead);
    set(CURLOPT_READDATA, static_cast<void*>(h.get()));
    set(CURLOPT_DEBUGFUNCTION, &listDebug);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(h.get()));
    set(CURLOPT_VERBOSE, ssh ? 0L : 1L); // SFTP's listings come as the body: its words would cost for nothing
    if (!user.empty()) {
        set(CURLOPT_USERNAME, user.c_str());
        set(CURLOPT_PASSWORD, password.c_str());
    }
    if (secure) {
        // The whole session in TLS, or none of it: never a plain login after a refused AUTH.
        set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        set(CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        // vsftpd, by default, takes a data connection only in the control connection's TLS
        // session, and libcurl does not always resume that one with TLS 1.3's tickets.
        set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
        // The certificate is checked in checkCertificate, which also knows the accepted ones.
        set(CURLOPT_SSL_VERIFYPEER, 0L);
        set(CURLOPT_SSL_VERIFYHOST, 0L);
        set(CURLOPT_SSL_CTX_FUNCTION, &setUpTls);
        set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(h.get()));
    }
    if (ssh) {
        set(CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_AGENT |
                                                      CURLSSH_AUTH_KEYBOARD));
        set(CURLOPT_SSH_KNOWNHOSTS, knownHosts.c_str());
        set(CURLOPT_SSH_HOSTKEYFUNCTION, &checkHostKey);
        set(CURLOPT_SSH_HOSTKEYDATA, static_cast<void*>(h.get()));
        if (!o.keyFile.empty()) {
            set(CURLOPT_SSH_PRIVATE_KEYFILE, o.keyFile.c_str());
            set(CURLOPT_SSH_PUBLIC_KEYFILE, publicKey.c_str());
            set(CURLOPT_KEYPASSWD, password.c_str());
        }
    }
    set(CURLOPT_NOBODY, 1L);
    if (rc != CURLE_OK)
        return fail(rc, plainWords(rc));

    handle_ = std::move(h);
    base_ = std::string(ssh ? "sftp" : "ftp") + "://" + address->name + ":" + std::to_string(port);
    absolute_ = false;
    path_.clear();
    login_.clear();
    FtpResult result = perform(base_ + (ssh ? "/~/" : "/"));
    if (handle_->keepKey && ssh) {
        if (!appendKnownHost(handle_->trustFile, handle_->keyLine) && result.ok)
            result.error = "The host key was accepted for now, but could not be kept in " + handle_->trustFile + ".";
    } else if (handle_->keepKey) {
        auto trusted = readTrusted(handle_->trustFile);
        trusted[handle_->hostPort] = handle_->fingerprint;
        if (!writeTrusted(handle_->trustFile, trusted) && result.ok)
            result.error = "The certificate was accepted for now, but could not be kept in " + handle_->trustFile + ".";
    }
    if (!result.ok) {
        handle_.reset();
        return result;
    }
    // Keep track of folders from the root when the server tells where login put us.
    char* entry = nullptr;
    if (curl_easy_getinfo(handle_->easy, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && entry[0] == '/') {
        absolute_ = true;
        path_ = login_ = splitPath(entry);
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
    h.readErrno = 0;
    h.thrown = nullptr;
    h.key = Handle::Key::fine;
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
    if (h.readErrno)
        return fail(ftp_error::localFile, std::string("The page could not be read: ") + std::strerror(h.readErrno) + ".");
    const bool ssh = sftp();
    const std::string what = ssh ? "host key" : "certificate";
    if (h.key == Handle::Key::unknown)
        return {false, ftp_error::unknownKey,
                (ssh ? "This computer has not met the server's host key before"
                     : "The server's certificate " + h.keyWhy) +
                    ". Its fingerprint is " + h.fingerprint +
                    ". Nothing was sent to the server. Accept it only if the server's owner confirms that fingerprint.",
                h.fingerprint};
    if (h.key == Handle::Key::wrongName)
        return fail(CURLE_PEER_FAILED_VERIFICATION,
                    "The server's certificate is signed by an authority, but made out to another host than " + h.host +
                        ". Someone may be posing as the server, so the connection was refused and nothing was sent.");
    if (h.key == Handle::Key::changed)
        return {false, ftp_error::changedKey,
                "Warning: the server's " + what + " has changed since it was accepted. It was " + h.oldFingerprint +
                    ", now it is " + h.fingerprint +
                    ". Someone may be listening in between, so the connection was refused and nothing was sent. "
                    "If the server really got a new " + what + ", " +
                    (ssh ? "remove line " + std::to_string(h.knownLine) + " of " + h.trustFile + " (the key for " + h.knownAs + ")"
                         : "remove the line for " + h.hostPort + " from " + h.trustFile) +
                    " and connect again.",
                h.fingerprint};
    // libssh2 words a key exchange with nothing in common as a start that failed.
    if (ssh && rc == CURLE_FAILED_INIT && std::strstr(h.error, "establishing ssh session"))
        return fail(rc, "The SSH server and this program have no type of host key in common, so nothing was sent. "
                        "An RSA host key is the usual cause: this program can check one only by SHA-1 signatures, "
                        "which the server no longer gives. (" + std::string(h.error) + ")");
    if (ssh && rc == CURLE_LOGIN_DENIED)
        return fail(rc, "The server refused the login: the user name, the password or the key.");
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
    return enter(std::move(folder), absolute_);
}

FtpResult CurlFtpClient::enter(std::vector<std::string> folder, bool absolute)
{
    // The server is asked for the folder before it becomes current: a failed change stays put.
    std::vector<std::string> old = std::exchange(path_, std::move(folder));
    const bool wasAbsolute = std::exchange(absolute_, absolute);
    // SFTP does nothing for a transfer without body: the folder is listed, unread.
    FtpResult result;
    if (curl_easy_setopt(handle_->easy, CURLOPT_NOBODY, sftp() ? 0L : 1L) != CURLE_OK)
        result = fail(CURLE_FAILED_INIT, plainWords(CURLE_FAILED_INIT));
    else
        result = perform(folderUrl());
    // A server that ended an idle session may leave the line looking open until the next
    // command goes unanswered: a new connection, logged in again, takes the folder instead.
    if (!result.ok && (result.number == CURLE_OPERATION_TIMEDOUT || result.number == CURLE_GOT_NOTHING ||
                       result.number == CURLE_SEND_ERROR || result.number == CURLE_RECV_ERROR)) {
        curl_easy_setopt(handle_->easy, CURLOPT_FRESH_CONNECT, 1L);
        result = perform(folderUrl());
        curl_easy_setopt(handle_->easy, CURLOPT_FRESH_CONNECT, 0L);
    }
    if (!result.ok) {
        path_ = std::move(old);
        absolute_ = wasAbsolute;
    }
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
    return enter(std::move(folder), absolute_);
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
        (folder / ("." + shortStem(target.filename().string()) + kPart + std::to_string(::getpid()) + "-XXXXXX")).string();
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
    // The actions after this one that read a body (SFTP's folder checks and stats) must not
    // find it still writing to this file.
    struct BackToListing {
        CURL* easy;
        ~BackToListing() { curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &listWrite); }
    } back{h.easy};
    FtpResult result;
    try {
        result = perform(folderUrl() + escaped(h.easy, remoteName));
    } catch (...) {
        (void)abandon({}); // the half-written copy goes; the exception says what happened
        throw;
    }
    h.fd = -1;
    if (!result.ok && (result.number == CURLE_REMOTE_FILE_NOT_FOUND || result.number == CURLE_FTP_COULDNT_RETR_FILE ||
                       result.number == CURLE_SSH) && isFolder(remoteName))
        result.error = "\"" + remoteName + "\" is now a folder on the server, not a file.";
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

FtpResult CurlFtpClient::stat(const std::string& remoteName, RemoteStamp& stamp)
{
    stamp = {};
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    if (!isSafeName(remoteName))
        return fail(ftp_error::badName, "\"" + remoteName + "\" is not a file name this program can use.");
    Handle& h = *handle_;
    // FTP asks SIZE and MDTM without fetching; SFTP stats the file for its time and opens
    // it for its size, and reads nothing: a transfer stopped short would cost the session.
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_FILETIME, 1L);
    if (rc != CURLE_OK)
        return fail(rc, plainWords(rc));
    FtpResult result = perform(folderUrl() + escaped(h.easy, remoteName));
    curl_easy_setopt(h.easy, CURLOPT_FILETIME, 0L);
    if (!result.ok)
        return result;
    curl_off_t size = -1, time = -1;
    curl_easy_getinfo(h.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    curl_easy_getinfo(h.easy, CURLINFO_FILETIME_T, &time);
    stamp.hasSize = size >= 0;
    stamp.size = stamp.hasSize ? static_cast<std::uint64_t>(size) : 0;
    stamp.hasTime = time >= 0;
    stamp.time = stamp.hasTime ? static_cast<std::int64_t>(time) : 0;
    return result;
}

std::string CurlFtpClient::remotePath(const std::string& name) const
{
    if (!sftp())
        return name; // FTP commands run in the folder itself
    std::string out = absolute_ ? "/" : "/~/";
    for (const auto& part : path_)
        out += part + "/";
    return out + name;
}

FtpResult CurlFtpClient::peek(const std::string& name)
{
    // The first byte alone, asked for as a range: a transfer stopped short would cost the session.
    Handle& h = *handle_;
    struct WholeAgain {
        CURL* easy;
        ~WholeAgain() { curl_easy_setopt(easy, CURLOPT_RANGE, nullptr); }
    } whole{h.easy};
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, 0L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_RANGE, "0-0");
    return rc == CURLE_OK ? perform(folderUrl() + escaped(h.easy, name)) : fail(rc, plainWords(rc));
}

// Commands to the server after the current folder became current on it; a command
// starting with "*" may fail. SFTP runs them before a transfer: of the file `after` names
// (there once they have run) where one does, else of the folder's listing.
FtpResult CurlFtpClient::command(const std::vector<std::string>& commands, const std::string& after)
{
    Handle& h = *handle_;
    curl_slist* list = nullptr;
    for (const auto& c : commands) {
        curl_slist* more = curl_slist_append(list, c.c_str());
        if (!more) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = more;
    }
    // SFTP does nothing for a transfer without body: the folder is listed, unread.
    const CURLoption when = sftp() ? CURLOPT_QUOTE : CURLOPT_POSTQUOTE;
    CURLcode rc = curl_easy_setopt(h.easy, when, list);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, sftp() ? 0L : 1L);
    FtpResult result = rc == CURLE_OK ? FtpResult() : fail(rc, plainWords(rc));
    try {
        if (rc == CURLE_OK)
            result = sftp() && !after.empty() ? peek(after) : perform(folderUrl());
    } catch (...) {
        curl_easy_setopt(h.easy, when, nullptr);
        curl_slist_free_all(list);
        throw;
    }
    curl_easy_setopt(h.easy, when, nullptr);
    curl_slist_free_all(list);
    return result;
}

FtpResult CurlFtpClient::rename(const std::string& from, const std::string& to)
{
    FtpResult r = sftp() ? command({"rename " + quoted(remotePath(from)) + " " + quoted(remotePath(to))}, to)
                         : command({"RNFR " + from, "RNTO " + to});
    if (r.number == CURLE_QUOTE_ERROR)
        r.error = "The server refused to rename \"" + from + "\" to \"" + to + "\".";
    return r;
}

bool CurlFtpClient::remove(const std::string& name)
{
    return command({sftp() ? "rm " + quoted(remotePath(name)) : "DELE " + name}).ok;
}

FtpResult CurlFtpClient::send(const std::string& localPath, const std::string& remoteName, const std::string& renameTo)
{
    Handle& h = *handle_;
    const int fd = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const std::string why = fd < 0 ? std::strerror(errno) : "it is not a file";
        if (fd >= 0)
            ::close(fd);
        return fail(ftp_error::localFile, "\"" + localPath + "\" cannot be read: " + why + ".");
    }
    // SFTP renames in the same action, once the file is whole and closed: libcurl runs the
    // command only after a transfer that succeeded, and a refusal alone says CURLE_QUOTE_ERROR.
    curl_slist* after = nullptr;
    const std::string renaming = "rename " + quoted(remotePath(remoteName)) + " " + quoted(remotePath(renameTo));
    if (!renameTo.empty() && !(after = curl_slist_append(nullptr, renaming.c_str()))) {
        ::close(fd);
        throw std::bad_alloc();
    }
    CURLcode rc = curl_easy_setopt(h.easy, CURLOPT_NOBODY, 0L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_UPLOAD, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(h.easy, CURLOPT_POSTQUOTE, after);
    h.readFd = fd;
    h.uploading = true;
    h.sentAll = false;
    auto done = [&] {
        curl_off_t sent = -1;
        curl_easy_getinfo(h.easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        h.sentAll = sent == static_cast<curl_off_t>(info.st_size);
        curl_easy_setopt(h.easy, CURLOPT_POSTQUOTE, nullptr);
        curl_slist_free_all(after);
        curl_easy_setopt(h.easy, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(h.easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
        h.readFd = -1;
        h.uploading = false;
        ::close(fd);
    };
    FtpResult result;
    try {
        result = rc == CURLE_OK ? perform(folderUrl() + escaped(h.easy, remoteName)) : fail(rc, plainWords(rc));
    } catch (...) {
        done();
        throw;
    }
    done();
    return result;
}

bool CurlFtpClient::isFolder(const std::string& name)
{
    curl_easy_setopt(handle_->easy, CURLOPT_WRITEFUNCTION, &listWrite); // SFTP reads the folder's listing
    std::vector<std::string> folder = path_, here = path_;
    folder.push_back(name);
    if (!enter(std::move(folder), absolute_).ok)
        return false;
    path_ = std::move(here);
    return true;
}

CurlFtpClient::Seen CurlFtpClient::look(const std::string& name)
{
    RemoteStamp ignored;
    // SFTP opens a folder as it opens a file: only reading its first byte tells them apart.
    const FtpResult r = sftp() ? peek(name) : stat(name, ignored);
    return r.ok ? Seen::there : r.number == CURLE_REMOTE_FILE_NOT_FOUND ? Seen::gone : Seen::unknown;
}

FtpResult CurlFtpClient::upload(const std::string& localPath, const std::string& remoteName, bool keepBackup)
{
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    if (!isSafeName(remoteName))
        return fail(ftp_error::badName, "\"" + remoteName + "\" is not a file name this program can use.");
    // The page goes up under a short name of its own, whatever the length of the page's:
    // until the rename, the old page stands whole.
    const std::string temp = ".bw-" + randomTag(), backup = remoteName + ".bak";
    const bool renameAtOnce = sftp() && !keepBackup;
    FtpResult result = send(localPath, temp, renameAtOnce ? remoteName : std::string());
    if (renameAtOnce && result.ok)
        return result;
    // Once the page is up, the renames run to their end: stopped half way, they would leave
    // the old page under another name.
    struct Quiet {
        Progress& progress;
        Progress kept;
        ~Quiet() { progress = std::move(kept); }
    } quiet{progress_, std::exchange(progress_, {})};
    // A refused rename, or one whose answer was lost, after every byte went up: the steps
    // below look at the server. Anything else stopped the upload itself.
    const bool renameFailed = renameAtOnce && (result.number == CURLE_QUOTE_ERROR || handle_->sentAll);
    if (!result.ok && !renameFailed) {
        if (connected_)
            remove(temp); // a dead server keeps it; it is hidden and named as ours
        return result;
    }
    if (result.number == CURLE_QUOTE_ERROR)
        result.error = "The server refused to rename \"" + temp + "\" to \"" + remoteName + "\".";
    const std::string q = "\"" + remoteName + "\"";
    auto asItWas = [&](FtpResult r) {
        remove(temp);
        r.error += " " + q + " on the server is as it was.";
        return r;
    };
    // Most servers rename onto the old page in one step. When that fails, what is on the
    // server decides: a lost answer may hide a rename that was done.
    if (!keepBackup) {
        if (!renameAtOnce && (result = rename(temp, remoteName)).ok)
            return result;
        const Seen sent = look(temp);
        if (sent == Seen::gone && look(remoteName) == Seen::there)
            return {true, 0, {}};
        if (sent == Seen::there && (result = rename(temp, remoteName)).ok)
            return result; // a passing failure
        if (sent != Seen::there)
            return fail(result.number, result.error + " The new page may be on the server as \"" + temp + "\"; " + q +
                                           " was not touched.");
    }
    const Seen old = look(remoteName);
    if (old == Seen::unknown)
        return asItWas(fail(result.ok ? CURLE_QUOTE_ERROR : result.number,
                            "The server would not tell whether " + q + " is there."));
    if (old == Seen::gone) {
        result = rename(temp, remoteName);
        return result.ok || look(temp) == Seen::gone ? FtpResult{true, 0, {}} : asItWas(result);
    }
    // The old page is moved aside first: to NAME.bak when it is kept and no NAME.bak is there
    // (one the user made is never replaced), else to a hidden name of our own.
    const bool toBackup = keepBackup && look(backup) == Seen::gone;
    const std::string parked = toBackup ? backup : ".bw-" + randomTag();
    FtpResult aside = rename(remoteName, parked);
    if (!aside.ok && !(look(remoteName) == Seen::gone && look(parked) == Seen::there))
        return asItWas(aside);
    result = rename(temp, remoteName);
    if (!result.ok && look(temp) != Seen::gone) {
        if (rename(parked, remoteName).ok || (look(remoteName) == Seen::there && look(parked) == Seen::gone))
            return asItWas(result);
        return fail(result.number, result.error + " The old page is on the server as \"" + parked + "\", the new one as \"" +
                                       temp + "\"; " + q + " is not there.");
    }
    if (toBackup)
        return {true, 0, {}};
    if (keepBackup)
        return {true, 0, backup + " was there already, so the old page is kept as \"" + parked + "\"."};
    if (!remove(parked))
        return {true, 0, "The old page stays on the server as \"" + parked + "\": the server would not delete it."};
    return {true, 0, {}};
}

FtpResult CurlFtpClient::goTo(const std::string& dir)
{
    if (!connected_)
        return fail(ftp_error::notConnected, "Not connected to a server.");
    if (hasControlCharacter(dir))
        return fail(ftp_error::badName, "\"" + dir + "\" is not a folder this program can use.");
    // A folder from the login folder is found from the root where the server named it.
    const bool fromRoot = !dir.empty() && dir.front() == '/';
    const bool absolute = fromRoot || absolute_;
    std::vector<std::string> folder = fromRoot ? std::vector<std::string>() : login_;
    for (const auto& part : splitPath(dir)) {
        if (part == ".")
            continue;
        if (part == ".." && !folder.empty() && folder.back() != "..")
            folder.pop_back();
        else if (part == ".." && !absolute)
            folder.push_back(part);
        else if (part != ".." && !isSafeName(part))
            return fail(ftp_error::badName, "\"" + dir + "\" is not a folder this program can use.");
        else if (part != "..")
            folder.push_back(part);
    }
    return enter(std::move(folder), absolute);
}

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
