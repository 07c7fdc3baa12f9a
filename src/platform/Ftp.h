#pragma once
// The FTP component: one session with one server, each action one call that returns when
// it is done. Listing text and progress reach the caller from inside the action.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bw {

// Failures the component finds itself; transfer failures carry the transfer library's
// own number (below 1000) instead.
namespace ftp_error {
inline constexpr int cancelled = 1001;    // the progress callback asked to stop
inline constexpr int notConnected = 1002; // an action other than connect without a session
inline constexpr int badName = 1003;      // a host, folder or file name that cannot be used
inline constexpr int localFile = 1004;    // the local file could not be written
} // namespace ftp_error

struct FtpResult {
    bool ok = false;
    int number = 0;    // 0 when ok
    std::string error; // what went wrong, in plain words
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
    // Ends the session; harmless when there is none.
    virtual FtpResult disconnect() = 0;
    virtual bool connected() const = 0;
    // Called now and then during every action, also while waiting for the server.
    virtual void setProgress(Progress progress) = 0;
};

} // namespace bw
