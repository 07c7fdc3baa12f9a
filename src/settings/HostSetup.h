#pragma once
// The "Ftp Setup" window: saves and deletes FTP host profiles.
#include <functional>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Platform.h"
#include "settings/Profiles.h"

namespace bw {

// The FTP window's host list, as the "Ftp Setup" window refills it on Back.
class FtpHostList {
public:
    virtual ~FtpHostList() = default;
    // Empties the host list, then adds hosts in their order.
    virtual void refillHosts(const std::vector<std::string>& hosts) = 0;
};

class HostSetup {
public:
    // tempPath: the temp path box's first text. ftp: the FTP window whose host list Back
    // refills; none when that window is not open (it reads the store when it opens).
    HostSetup(Platform platform, std::string tempPath, FtpHostList* ftp = nullptr);
    HostSetup(const HostSetup&) = delete;
    HostSetup& operator=(const HostSetup&) = delete;

    std::string title = "Ftp Setup";
    Label hostLabel, userLabel, passwordLabel, tempPathLabel, protocolLabel, portLabel, keyFileLabel;
    Label keyringNote;  // where the passwords go
    TextBox hostBox; // host name
    TextBox userBox; // user name
    TextBox passwordBox; // password, shown as "*"
    TextBox tempPathBox; // temp path
    ListBox protocols; // protocol: "FTP", "FTP with TLS", "SFTP", in the order of Protocol
    TextBox portBox;  // port; empty: the protocol's usual one
    TextBox keyFileBox;  // SFTP private key file
    Button browseButton; // Browse... for the key file
    CheckBox keepBackupBox; // keep a backup on the server
    ListBox hosts; // stored host names; a click fills the boxes with one and offers to delete it
    Button saveButton, backButton;
    FileDialog keyFileDialog; // the key file chooser

    // Set by the owner: closes the window.
    std::function<void()> closeWindow;

    void load();
    // Save; the host is listed, or the failure told, once the keyring has the password.
    void save();
    // Fills the boxes with the clicked host once its password is read, then offers to delete it.
    void chooseHost();
    void back(); // Back
    void chooseProtocol();   // the key file is for SFTP only
    void browseKeyFile(); // choose the key file

private:
    void message(const std::string& text);
    // What a profile action found wrong with the keyring, if anything.
    void tellKeyringProblem(const std::string& problem);

    Platform platform_;
    HostProfiles profiles_;
    FtpHostList* ftp_;
    Lifetime lifetime_; // the keyring's answers come to this window only while it is there
};

} // namespace bw
