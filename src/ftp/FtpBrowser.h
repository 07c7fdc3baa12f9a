#pragma once
// The FTP window: pick a host, connect, walk the server's folders, download pages into
// the temp path and hand them to the main window as a batch. All state is here; the Qt
// view only draws it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/FtpBatchSource.h"
#include "platform/Controls.h"
#include "batch/BatchSession.h"
#include "platform/Listing.h"
#include "ftp/Upload.h"
#include "platform/Ftp.h"
#include "platform/Platform.h"
#include "settings/Profiles.h"
#include "settings/HostSetup.h"

namespace bw {

// An editable drop-down list: what is typed or chosen is its Text.
struct ComboBox {
    std::string Text;
    bool Enabled = true;
    void AddItem(std::string item) { items_.push_back(std::move(item)); }
    void Clear() { items_.clear(); }
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
};

// The component's operations, by the codes the window performs them with.
namespace ftp_action {
inline constexpr int changeDir = 4;
inline constexpr int connect = 5;
inline constexpr int disconnect = 9;
inline constexpr int list = 11;
inline constexpr int download = 12;
inline constexpr int parentDir = 14;
} // namespace ftp_action

class FtpBrowser final : public FtpHostList, public FtpBatchSource {
public:
    // defaultTempPath: the temp path box's first text, and what an emptied box falls back to.
    // trip: the downloaded pages and the FTP component with its busy display, kept by the program.
    FtpBrowser(Platform platform, BatchSession& batch, RoundTrip& trip, std::string defaultTempPath);
    FtpBrowser(const FtpBrowser&) = delete;
    FtpBrowser& operator=(const FtpBrowser&) = delete;

    std::string title = "BRINDLEWORK FTP";
    Label hostLabel, userLabel, passwordLabel, tempPathLabel, foldersLabel, filesLabel, batchLabel; // captions of the boxes and lists
    ComboBox hostBox;   // host list
    TextBox hostName;     // host name used for connecting (hidden)
    TextBox userBox;     // user name
    TextBox passwordBox;     // password, shown as "*"
    TextBox tempPathBox;     // temp path
    Button connectButton;   // Connect
    Button disconnectButton;   // Disconnect
    Button parentButton;   // <- Parent Dir
    Button batchButton;   // Start Batching
    Button exitButton;   // Exit
    Button uploadButton;   // Upload edited pages
    Button changesButton;  // Show changes
    ListBox folders;     // directories of the current server folder
    ListBox files;     // files of the current server folder; a click downloads one
    ListBox batchFiles;     // files downloaded to the batch, in click order
    TextBox connectingOverFolders, connectingOverBatch, connectingOverFiles; // "Connecting", over the three lists
    MenuItem fileMenu, setupItem, endItem;          // File, Setup, End
    bool connected = false;

    // Set by the owner: closes the window, and opens the "Ftp Setup" window.
    std::function<void()> closeWindow;
    std::function<void()> showSetupWindow;

    void load();
    void chooseHost();  // a host chosen from the list
    void hostTyped(); // the host typed
    void connectToHost(); // Connect
    void parentFolder(); // Parent Dir
    void disconnect(); // Disconnect
    void startBatching(); // Start Batching
    void exit(); // Exit
    void uploadEdited(); // Upload edited pages
    void showChanges(); // Show changes
    void openFolder();    // a directory
    void downloadFile();    // a file: download it
    void openSetup();        // File > Setup
    void end();      // File > End
    // The window is closing: a connection still open is ended.
    void unload();
    // An action of the FTP component is under way or still to answer.
    bool transferring() const { return trip_.transfers().running(); }

    void refillHosts(const std::vector<std::string>& hosts) override;
    // The temp path as a folder: the box's text, ending in "/".
    std::string tempPath() const override;
    RemotePages* roundTrip() const override { return &trip_; }

    // What the component is given before an action.
    std::string remoteName() const { return remoteName_; }
    std::string localPath() const { return localPath_; }

private:
    // The host list's text becomes the host, with its stored user name; its password fills
    // the box once the keyring gives it. Gives the host's stored settings, without the password.
    HostProfile takeHost();
    using PasswordAnswer = HostProfiles::PasswordRead;
    // Empties the password box and fills it with the answer `ask` gets.
    void askPassword(const std::function<void(const PasswordAnswer&)>& ask);
    // Upload's end: the window's session may have gone with it.
    void afterUpload();
    // Starts an action; `then` gets its result once it has returned, while this window is there.
    void perform(int action, RoundTrip::Then then);
    // As perform; a failure is shown in a message.
    void execute(int action, std::function<void()> then = {});
    void message(const std::string& text);
    // Appends the raw listing's directories and files to the two lists, up to its first
    // empty line; enableParent: Parent Dir comes back at the first line that is no directory.
    void listParse(bool enableParent);
    // Lists the current folder into the two lists, emptied first; a failure leaves them
    // as they were and is not told here.
    void listFolder(bool enableParent, RoundTrip::Then then);
    // Lists the current folder into the two lists; a failure is told.
    void relist(bool enableParent);
    void changeFolder(int action);
    // Connect's end, after its first listing.
    void connectEnded(const FtpResult& result);
    // Upload and Show changes are there once a page was downloaded.
    void showRoundTrip();
    std::string describe(int action) const;

    Platform platform_;
    BatchSession& batch_;
    RoundTrip& trip_;
    HostProfiles profiles_;
    std::string defaultTempPath_;
    std::string dirName_, remoteName_, localPath_;
    std::vector<std::string> batchPaths_; // the batch list's pages, below the temp path
    RawListing listing_; // the lines of the last listing
    std::uint64_t session_ = 0; // the trip's session this window connected
    std::uint64_t passwordAsked_ = 0;
    bool passwordPending_ = false;    // the password box waits for the keyring
    bool connectWhenAnswered_ = false; // Connect was pressed meanwhile
    Lifetime lifetime_; // the keyring's and the transfers' answers reach this window only while it is there
};

} // namespace bw
