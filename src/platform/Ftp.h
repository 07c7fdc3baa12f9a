#pragma once
// The FTP component: one session with one server, each action one call that returns when
// it is done. Listing text and progress reach the caller from inside the action.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace bw {

// Failures the component finds itself; transfer failures carry the transfer library's
// own number (below 1000) instead.
namespace ftp_error {
inline constexpr int cancelled = 1001;    // the progress callback asked to stop
inline constexpr int notConnected = 1002; // an action other than connect without a session
inline constexpr int badName = 1003;      // a host, folder or file name that cannot be used
inline constexpr int localFile = 1004;    // the local file could not be written
inline constexpr int unknownKey = 1005;   // the server's certificate or host key is not known yet
inline constexpr int changedKey = 1006;   // it differs from the one accepted before: refused
} // namespace ftp_error

struct [[nodiscard]] FtpResult {
    FtpResult() = default;
    FtpResult(bool ok, int number, std::string error, std::string fingerprint = {})
        : ok(ok), number(number), error(std::move(error)), fingerprint(std::move(fingerprint))
    {
    }
    bool ok = false;
    int number = 0;    // 0 when ok
    std::string error; // what went wrong, in plain words
    // With unknownKey and changedKey: the key the server showed, "SHA256:" and its base64.
    std::string fingerprint;
};

enum class Protocol { ftp, ftps, sftp }; // ftps: explicit, AUTH TLS on the usual port

// How a session reaches its server, set before connect.
struct ConnectOptions {
    Protocol protocol = Protocol::ftp;
    int port = 0;            // 0: the protocol's usual port; a port in the host name wins
    std::string keyFile;     // SFTP: a private key file; empty: the SSH agent or the password
    // Where accepted keys are kept: known_hosts (SSH) and the accepted certificates. "":
    // none are kept, every unknown key is asked about.
    std::string trustFolder;
    // A fingerprint the user has just accepted for this host; the server must still show
    // that very key. acceptAlways also keeps it in the trust folder.
    std::string acceptedKey;
    bool acceptAlways = false;
    bool operator==(const ConnectOptions&) const = default;
};

// A server file's size and modification time, as far as the server tells them.
struct RemoteStamp {
    bool hasSize = false;
    std::uint64_t size = 0;
    bool hasTime = false;
    std::int64_t time = 0; // seconds since 1970, UTC
    bool operator==(const RemoteStamp&) const = default;
};

class FtpClient {
public:
    // A piece of a listing: one or more whole lines, each ended by CR LF.
    using Lines = std::function<void(std::string_view text)>;
    // Bytes moved so far and the total (0 while unknown); false cancels the action.
    using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

    virtual ~FtpClient() = default;

    // host is "name" or "name:port"; logs in (an empty user as anonymous) and makes the
    // login folder current. A session whose connection drops logs in again by itself at
    // the next action.
    virtual FtpResult connect(const std::string& host, const std::string& user, const std::string& password) = 0;
    // Lists the current folder in the long (ls -l) format; every line reaches received
    // before list returns.
    virtual FtpResult list(const Lines& received) = 0;
    // Enters a sub-folder of the current folder ("." stays, ".." goes up).
    virtual FtpResult changeDir(const std::string& name) = 0;
    virtual FtpResult parentDir() = 0;
    // Fetches a file of the current folder. localPath is replaced only by a complete
    // copy: a failed or cancelled transfer leaves whatever was there before.
    virtual FtpResult download(const std::string& remoteName, const std::string& localPath) = 0;
    // The size and time the server gives for a file of the current folder; what it will
    // not tell stays unknown. A file that is not there is a failure.
    virtual FtpResult stat(const std::string& remoteName, RemoteStamp& stamp) = 0;
    // Puts a local file into the current folder as remoteName: sent under a temporary name
    // first, then renamed into place. Where the server will not rename onto a file, the old
    // one becomes remoteName + ".bak" first, removed afterwards unless keepBackup. A failed
    // or cancelled upload leaves remoteName on the server as it was.
    virtual FtpResult upload(const std::string& localPath, const std::string& remoteName, bool keepBackup) = 0;
    // The folder the actions work in, "/" separated: from the root ("/a/b") when the server
    // told where login put us, else from the login folder ("a/b", "../x", "").
    virtual std::string currentDir() const = 0;
    // Makes a folder that currentDir gave current again, also in a new session.
    virtual FtpResult goTo(const std::string& dir) = 0;
    // Ends the session; harmless when there is none.
    virtual FtpResult disconnect() = 0;
    virtual bool connected() const = 0;
    // Takes effect at the next connect.
    virtual void setOptions(const ConnectOptions& options) = 0;
    // Called now and then during every action, also while waiting for the server.
    virtual void setProgress(Progress progress) = 0;
};

} // namespace bw
