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

class setup {
public:
    // tempPath: the temp path box's first text. ftp: the FTP window whose host list Back
    // refills; none when that window is not open (it reads the store when it opens).
    setup(Platform platform, std::string tempPath, FtpHostList* ftp = nullptr);
    setup(const setup&) = delete;
    setup& operator=(const setup&) = delete;

    std::string Caption = "Ftp Setup";
    Label Label1, Label2, Label3, Label4, Label5, Label6, Label7;
    Label Label8;  // where the passwords go
    TextBox Text1; // host name
    TextBox Text2; // user name
    TextBox Text3; // password, shown as "*"
    TextBox Text4; // temp path
    ListBox Combo1; // protocol: "FTP", "FTP with TLS", "SFTP", in the order of Protocol
    TextBox Text5;  // port; empty: the protocol's usual one
    TextBox Text6;  // SFTP private key file
    Button Command3; // Browse... for the key file
    CheckBox Check1; // keep a backup on the server
    ListBox List1; // stored host names; a click fills the boxes with one and offers to delete it
    Button Command1, Command2;
    FileDialog CommonDialog1; // the key file chooser

    // Set by the owner: closes the window.
    std::function<void()> Unload;

    void Form_Load();
    // Save; the host is listed, or the failure told, once the keyring has the password.
    void Command1_Click();
    // Fills the boxes with the clicked host once its password is read, then offers to delete it.
    void List1_Click();
    void Command2_Click(); // Back
    void Combo1_Click();   // the key file is for SFTP only
    void Command3_Click(); // choose the key file

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
