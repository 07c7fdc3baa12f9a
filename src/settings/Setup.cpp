#include "settings/Setup.h"

#include <algorithm>

namespace bw {

namespace {
constexpr const char* kTitle = "BRINDLEWORK";
}

setup::setup(Platform platform, std::string tempPath, FtpHostList* ftp)
    : platform_(platform), profiles_(platform), ftp_(ftp)
{
    Label1.Caption = "Host Name";
    Label2.Caption = "User Name";
    Label3.Caption = "Password";
    Label4.Caption = "Save files temp path:";
    Label5.Caption = "Protocol";
    Label6.Caption = "Port";
    Label7.Caption = "Key file";
    Command3.Caption = "Browse...";
    Check1.Caption = "Keep a backup on the server";
    for (const char* name : {"FTP", "FTP with TLS", "SFTP"})
        Combo1.AddItem(name);
    Combo1.Click = [this] { Combo1_Click(); };
    Combo1.setListIndex(0);
    CommonDialog1.Filter = "All files (*.*)|*";
    Command1.Caption = "Save";
    Command2.Caption = "Back";
    Text4.setText(std::move(tempPath));
    List1.Click = [this] { List1_Click(); };
}

void setup::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void setup::tellKeyringProblem(const std::string& problem)
{
    if (!problem.empty())
        message(problem);
}

void setup::Form_Load()
{
    Label8.Caption = profiles_.keyring()
                         ? "Passwords are kept in the desktop keyring."
                         : "No desktop keyring is running: passwords are kept\nin the settings file, readable only by you.";
    List1.Clear();
    for (std::string& host : profiles_.list())
        List1.AddItem(std::move(host));
}

void setup::Command1_Click()
{
    const std::string host = Text1.Text();
    const std::optional<int> port = portFrom(Text5.Text());
    if (!port) {
        message("The port must be a number from 1 to 65535, or empty for the protocol's usual port (21 for FTP "
                "and FTP with TLS, 22 for SFTP).\nNothing was saved.");
        return;
    }
    HostProfile profile;
    profile.user = Text2.Text();
    profile.password = Text3.Text();
    profile.path = Text4.Text();
    profile.protocol = static_cast<Protocol>(std::max(Combo1.ListIndex(), 0));
    profile.port = *port;
    profile.keyFile = Text6.Text();
    profile.keepBackup = Check1.Value;
    profiles_.save(host, profile, lifetime_.guard([this, host](const WriteResult& saved, const std::string& problem) {
        if (!saved.ok) {
            // Not listed: the list shows only what the store holds.
            message(settingsNotSaved(saved));
            return;
        }
        tellKeyringProblem(problem);
        List1.AddItem(host);
        WriteResult marked = profiles_.writeMarker();
        if (!marked.ok)
            message("The host was saved, but " + marked.error +
                    ".\nUntil it can be written, the host lists start empty when their windows open.");
    }));
}

void setup::List1_Click()
{
    const int index = List1.ListIndex();
    if (index < 0)
        return;
    const std::string host = List1.List(index);
    profiles_.load(host, lifetime_.guard([this, host, index](const HostProfile& profile, const std::string& problem) {
        tellKeyringProblem(problem);
        Text1.setText(host);
        Text2.setText(profile.user);
        Text3.setText(profile.password);
        Text4.setText(profile.path);
        Combo1.setListIndex(static_cast<int>(profile.protocol));
        Text5.setText(profile.port ? std::to_string(profile.port) : "");
        Text6.setText(profile.keyFile);
        Check1.Value = profile.keepBackup;
        if (platform_.dialogs.msgBox("Do you want to delete this ftp ?", Buttons::YesNo, kTitle, Answer::No) != Answer::Yes)
            return;
        profiles_.remove(host, lifetime_.guard([this, host, index](const WriteResult& removed, const std::string& problem) {
            if (!removed.ok) {
                message(settingsNotSaved(removed));
                return;
            }
            tellKeyringProblem(problem);
            // The row clicked, unless the list changed meanwhile: then the host's first row.
            std::vector<std::string> rest = List1.items();
            auto row = index < static_cast<int>(rest.size()) && rest[static_cast<size_t>(index)] == host
                           ? rest.begin() + index
                           : std::find(rest.begin(), rest.end(), host);
            if (row != rest.end())
                rest.erase(row);
            List1.Clear();
            for (std::string& h : rest)
                List1.AddItem(std::move(h));
        }));
    }));
}

void setup::Combo1_Click() { Text6.Enabled = Command3.Enabled = Combo1.ListIndex() == static_cast<int>(Protocol::sftp); }

void setup::Command3_Click()
{
    CommonDialog1.FileName = Text6.Text();
    if (platform_.dialogs.showOpen(CommonDialog1))
        Text6.setText(CommonDialog1.FileName);
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
