#pragma once
// The round trip: the pages the FTP window downloaded, each with the original kept beside it,
// and the way back to the server folder it came from. Owned by the program, so that the
// main window can still upload once the FTP window is closed.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "batch/FtpBatchSource.h"
#include <memory>

#include "platform/Busy.h"
#include "platform/Ftp.h"
#include "platform/Platform.h"
#include "platform/Transfers.h"
#include "settings/Profiles.h"

namespace bw {

// A page as it was downloaded.
struct DownloadedPage {
    std::string host;     // as connected to, "name" or "name:port"
    HostProfile profile;  // the login and options of that session
    std::string folder;   // the server folder, as currentDir() gave it
    std::string name;     // on the server and in the temp path
    RemoteStamp stamp;    // the server's, just before the download; unknown when it would not say
    std::string localPath;
    std::string records;  // the temp path whose records file holds it
    bool mirrored = true; // below records in its host's, user's and server folder's place; else right in it
    bool recalled = false;        // taken back from an earlier run's record
    bool profilePending = false;  // the host's stored profile has yet to come
    bool noProfile = false;       // recalled for a host that has no stored profile: never sent
};

// The hidden copy of the page as downloaded, beside it: ".NAME.original", or ".STEM.original"
// (shortStem) where that would be too long a name.
std::string originalPath(const std::string& localPath);

// Where a server folder's pages wait below the temp path, ending in "/": "HOST/USER/a/b/", so
// that one name in two folders, hosts or logins never meets. Each part is one folder name of
// its own, whatever the server or the profile sends ("..", "/", line ends are written as %XX).
std::string mirrorFolder(const std::string& host, const std::string& user, const std::string& serverFolder);

class RoundTrip final : public RemotePages {
public:
    using Then = Transfers::Done;
    // transfers: the FTP component's actions, shared with the FTP window.
    RoundTrip(Platform platform, Transfers& transfers) : platform_(platform), transfers_(transfers) {}
    // Runs each action at once, showing it on busy: for tools and tests.
    RoundTrip(Platform platform, FtpClient& client, Busy& busy)
        : platform_(platform), inline_(std::make_unique<InlineTransfers>(client, busy)), transfers_(*inline_)
    {
    }
    RoundTrip(const RoundTrip&) = delete;
    RoundTrip& operator=(const RoundTrip&) = delete;

    Transfers& transfers() { return transfers_; }

    // Connects with the profile's login and options. An unknown key is shown and may be
    // accepted once or always; Cancel gives ftp_error::cancelled with no error text.
    void connect(const std::string& host, const HostProfile& profile, Then then);
    // One more at every connect that succeeded: tells a caller whether its session is still there.
    std::uint64_t session() const { return session_; }

    // Where a file of the current folder of this session goes below tempPath (ending in "/").
    std::string pagePath(const std::string& tempPath, const std::string& name) const;
    // Downloads a page of the current folder to its pagePath and keeps its original beside it;
    // a failed or cancelled download leaves both as they were.
    void fetchPage(const std::string& name, const std::string& tempPath, Then then);
    bool hasPages() const { return !pages_.empty(); }
    // Takes back the pages an earlier run downloaded into folder (ending in "/") whose page
    // and original are both still there, so that they can go up after a restart too. Each
    // folder is read once: what this object downloads later it knows already. How to reach
    // their host comes from its stored profile at the upload.
    void recall(const std::string& folder);

    // Uploads every page whose bytes differ from its original to the folder it came from,
    // asking first about a page changed on the server meanwhile, and tells how it went.
    // Reads the hosts' profiles first; `then` runs once it has told.
    void uploadChanged(std::function<void()> then);
    void uploadChanged() override { uploadChanged({}); }
    void showChanges() override;

private:
    enum class Outcome { Uploaded, Skipped, Failed, Cancelled };
    struct Uploads; // one run of uploadChanged, from page to page
    void connectWith(const std::string& host, const HostProfile& profile, ConnectOptions options, Then then);
    // Whether the server's copy differs from the one downloaded; `then` gets nothing but the
    // failure when it could not be told.
    void changedOnServer(const DownloadedPage& page, std::shared_ptr<const std::string> original,
                         std::function<void(const FtpResult&, bool changed)> then);
    bool sameSession(const DownloadedPage& page) const;
    // Writes down the pages whose records file is in the temp path, all but the passwords.
    void remember(const std::string& tempPath);
    void message(const std::string& text);
    void uploadNow(std::function<void()> then);
    // The steps of one page's upload, each after the action before it has answered.
    void uploadNext(const std::shared_ptr<Uploads>& run);
    void openPageFolder(const std::shared_ptr<Uploads>& run);
    void sendPage(const std::shared_ptr<Uploads>& run);
    void pageDone(const std::shared_ptr<Uploads>& run, Outcome outcome, const std::string& why);
    void pageFailed(const std::shared_ptr<Uploads>& run, const FtpResult& result, const std::string& what);
    void uploadsDone(const std::shared_ptr<Uploads>& run);
    // Reads the stored profile of every page's host: it decides protocol, port, key file and backup.
    void loadProfiles();
    // Runs `work` once no page waits for its host's profile.
    void whenProfilesKnown(std::function<void()> work);

    Platform platform_;
    std::unique_ptr<InlineTransfers> inline_;
    Transfers& transfers_;
    std::vector<DownloadedPage> pages_; // one per local path, in download order
    std::set<std::string> recalled_;    // the folders whose written-down pages were taken back
    std::set<std::string> unwritten_;   // the records files that could not be written, as told
    std::uint64_t session_ = 0;
    std::string host_;     // of the session connect() made
    HostProfile profile_;
    int profilesPending_ = 0; // hosts whose profile the keyring has yet to complete
    std::vector<std::function<void()>> waiting_;
    Lifetime lifetime_;
};

} // namespace bw
