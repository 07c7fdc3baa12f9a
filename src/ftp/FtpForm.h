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
#include "platform/Busy.h"
#include "platform/Ftp.h"
#include "platform/Platform.h"
#include "settings/Profiles.h"
#include "settings/Setup.h"

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

class ftp final : public FtpHostList, public FtpBatchSource {
public:
    // defaultTempPath: the temp path box's first text, and what an emptied box falls back to.
    // trip: the downloaded pages and the FTP component with its busy display, kept by the program.
    ftp(Platform platform, BatchSession& batch, RoundTrip& trip, std::string defaultTempPath);
    ftp(const ftp&) = delete;
    ftp& operator=(const ftp&) = delete;

    std::string Caption = "BRINDLEWORK FTP";
    Label Label1, Label2, Label3, Label4, Label5, Label6, Label7; // captions of the boxes and lists
    ComboBox Combo1;   // host list
    TextBox Text1;     // host name used for connecting (hidden)
    TextBox Text2;     // user name
    TextBox Text3;     // password, shown as "*"
    TextBox Text8;     // temp path
    Button Command1;   // Connect
    Button Command6;   // Disconnect
    Button Command5;   // <- Parent Dir
    Button Command7;   // Start Batching
    Button Command8;   // Exit
    Button Command9;   // Upload edited pages
    Button Command10;  // Show changes
    ListBox List2;     // directories of the current server folder
    ListBox List3;     // files of the current server folder; a click downloads one
    ListBox List1;     // files downloaded to the batch, in click order
    TextBox Text5, Text6, Text7; // "Connecting", over List2, List1 and List3
    RawListing listDir;          // the lines of the last listing
    MenuItem f, s, end;          // File, Setup, End
    bool connect = false;

    // Set by the owner: closes the window, opens the "Ftp Setup" window, and draws the
    // window at once (before an action that blocks).
    std::function<void()> Unload;
    std::function<void()> ShowSetup;
    std::function<void()> Repaint;

    void Form_Load();
    void Combo1_Click();  // a host chosen from the list
    void Combo1_Change(); // the host typed
    void Command1_Click(); // Connect
    void Command5_Click(); // Parent Dir
    void Command6_Click(); // Disconnect
    void Command7_Click(); // Start Batching
    void Command8_Click(); // Exit
    void Command9_Click(); // Upload edited pages
    void Command10_Click(); // Show changes
    void List2_Click();    // a directory
    void List3_Click();    // a file: download it
    void s_Click();        // File > Setup
    void end_Click();      // File > End
    // The window is closing: a connection still open is ended.
    void Form_Unload();

    // Performs an action; a failure is shown in a message and its number returned (0: done).
    int ExecuteCommand(int action);
    void AppendLines(RawListing& list, std::string_view text);
    void ClearListing() { listDir.clear(); }

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
    FtpResult perform(int action);
    void message(const std::string& text);
    // Appends the raw listing's directories and files to the two lists, up to its first
    // empty line; enableParent: Parent Dir comes back at the first line that is no directory.
    void listParse(bool enableParent);
    // Lists the current folder into the two lists, emptied first; a failure leaves them
    // as they were and is not told here.
    FtpResult listFolder(bool enableParent);
    // Lists the current folder into the two lists; false when it failed (and was told).
    bool relist(bool enableParent);
    void changeFolder(int action);
    // Upload and Show changes are there once a page was downloaded.
    void showRoundTrip();
    std::string describe(int action) const;

    Platform platform_;
    BatchSession& batch_;
    RoundTrip& trip_;
    FtpClient& client_;
    Busy& busy_;
    HostProfiles profiles_;
    std::string defaultTempPath_;
    std::string dirName_, remoteName_, localPath_;
    std::uint64_t session_ = 0; // the trip's session this window connected
    std::uint64_t passwordAsked_ = 0;
    bool passwordPending_ = false;    // the password box waits for the keyring
    bool connectWhenAnswered_ = false; // Connect was pressed meanwhile
    Lifetime lifetime_; // the keyring's and the uploads' answers reach this window only while it is there
};

} // namespace bw
