#pragma once
// The "Ftp Setup" window: saves and deletes FTP host profiles.
#include <functional>
#include <string>
#include <vector>

#include "editor/Controls.h"
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
    Label Label1, Label2, Label3, Label4;
    TextBox Text1; // host name
    TextBox Text2; // user name
    TextBox Text3; // password, shown as "*"
    TextBox Text4; // temp path
    ListBox List1; // stored host names; a click offers to delete one
    Button Command1, Command2;

    // Set by the owner: closes the window.
    std::function<void()> Unload;

    void Form_Load();
    void Command1_Click(); // Save
    void List1_Click();    // delete the clicked host, after asking
    void Command2_Click(); // Back

private:
    void message(const std::string& text);

    Platform platform_;
    HostProfiles profiles_;
    FtpHostList* ftp_;
};

} // namespace bw
