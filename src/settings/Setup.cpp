#include "settings/Setup.h"

namespace bw {

namespace {
constexpr const char* kTitle = "BRINDLEWORK";
}

setup::setup(Platform platform, std::string tempPath, FtpHostList* ftp)
    : platform_(platform), profiles_(platform.settings, platform.files), ftp_(ftp)
{
    Label1.Caption = "Host Name";
    Label2.Caption = "User Name";
    Label3.Caption = "Password";
    Label4.Caption = "Save files temp path:";
    Command1.Caption = "Save";
    Command2.Caption = "Back";
    Text4.setText(std::move(tempPath));
    List1.Click = [this] { List1_Click(); };
}

void setup::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void setup::Form_Load()
{
    List1.Clear();
    for (std::string& host : profiles_.list())
        List1.AddItem(std::move(host));
}

void setup::Command1_Click()
{
    const std::string host = Text1.Text();
    WriteResult saved = profiles_.save(host, {Text2.Text(), Text3.Text(), Text4.Text()});
    if (!saved.ok) {
        // Not listed: the list shows only what the store holds.
        message(settingsNotSaved(saved));
        return;
    }
    List1.AddItem(host);
    WriteResult marked = profiles_.writeMarker();
    if (!marked.ok)
        message("The host was saved, but " + marked.error +
                ".\nUntil it can be written, the host lists start empty when their windows open.");
}

void setup::List1_Click()
{
    const int index = List1.ListIndex();
    if (index < 0)
        return;
    const std::string host = List1.List(index);
    if (platform_.dialogs.msgBox("Do you want to delete this ftp ?", Buttons::YesNo, kTitle, Answer::No) != Answer::Yes)
        return;
    WriteResult removed = profiles_.remove(host);
    if (!removed.ok) {
        message(settingsNotSaved(removed));
        return;
    }
    std::vector<std::string> rest = List1.items();
    rest.erase(rest.begin() + index);
    List1.Clear();
    for (std::string& h : rest)
        List1.AddItem(std::move(h));
}

void setup::Command2_Click()
{
    std::vector<std::string> hosts = profiles_.stored();
    if (ftp_)
        ftp_->refillHosts(hosts);
    if (!hosts.empty() && Unload)
        Unload();
}

} // namespace bw
