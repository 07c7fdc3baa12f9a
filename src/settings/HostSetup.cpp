#include "settings/HostSetup.h"

#include <algorithm>

namespace bw {

namespace {
constexpr const char* kTitle = "BRINDLEWORK";
}

HostSetup::HostSetup(Platform platform, std::string tempPath, FtpHostList* ftp)
    : platform_(platform), profiles_(platform), ftp_(ftp)
{
    hostLabel.Caption = "Host Name";
    userLabel.Caption = "User Name";
    passwordLabel.Caption = "Password";
    tempPathLabel.Caption = "Save files temp path:";
    protocolLabel.Caption = "Protocol";
    portLabel.Caption = "Port";
    keyFileLabel.Caption = "Key file";
    browseButton.Caption = "Browse...";
    keepBackupBox.Caption = "Keep a backup on the server";
    for (const char* name : {"FTP", "FTP with TLS", "SFTP"})
        protocols.AddItem(name);
    protocols.Click = [this] { chooseProtocol(); };
    protocols.setListIndex(0);
    keyFileDialog.Filter = "All files (*.*)|*";
    saveButton.Caption = "Save";
    backButton.Caption = "Back";
    tempPathBox.setText(std::move(tempPath));
    hosts.Click = [this] { chooseHost(); };
}

void HostSetup::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void HostSetup::tellKeyringProblem(const std::string& problem)
{
    if (!problem.empty())
        message(problem);
}

void HostSetup::load()
{
    keyringNote.Caption = profiles_.keyring()
                         ? "Passwords are kept in the desktop keyring."
                         : "No desktop keyring is running: passwords are kept\nin the settings file, readable only by you.";
    hosts.Clear();
    for (std::string& host : profiles_.list())
        hosts.AddItem(std::move(host));
}

void HostSetup::save()
{
    const std::string host = hostBox.Text();
    const std::optional<int> port = portFrom(portBox.Text());
    if (!port) {
        message("The port must be a number from 1 to 65535, or empty for the protocol's usual port (21 for FTP "
                "and FTP with TLS, 22 for SFTP).\nNothing was saved.");
        return;
    }
    HostProfile profile;
    profile.user = userBox.Text();
    profile.password = passwordBox.Text();
    profile.path = tempPathBox.Text();
    profile.protocol = static_cast<Protocol>(std::max(protocols.ListIndex(), 0));
    profile.port = *port;
    profile.keyFile = keyFileBox.Text();
    profile.keepBackup = keepBackupBox.Value;
    profiles_.save(host, profile, lifetime_.guard([this, host](const WriteResult& saved, const std::string& problem) {
        if (!saved.ok) {
            // Not listed: the list shows only what the store holds.
            message(settingsNotSaved(saved));
            return;
        }
        tellKeyringProblem(problem);
        hosts.AddItem(host);
        WriteResult marked = profiles_.writeMarker();
        if (!marked.ok)
            message("The host was saved, but " + marked.error +
                    ".\nUntil it can be written, the host lists start empty when their windows open.");
    }));
}

void HostSetup::chooseHost()
{
    const int index = hosts.ListIndex();
    if (index < 0)
        return;
    const std::string host = hosts.List(index);
    profiles_.load(host, lifetime_.guard([this, host, index](const HostProfile& profile, const std::string& problem) {
        tellKeyringProblem(problem);
        hostBox.setText(host);
        userBox.setText(profile.user);
        passwordBox.setText(profile.password);
        tempPathBox.setText(profile.path);
        protocols.setListIndex(static_cast<int>(profile.protocol));
        portBox.setText(profile.port ? std::to_string(profile.port) : "");
        keyFileBox.setText(profile.keyFile);
        keepBackupBox.Value = profile.keepBackup;
        if (platform_.dialogs.msgBox("Do you want to delete this ftp ?", Buttons::YesNo, kTitle, Answer::No) != Answer::Yes)
            return;
        profiles_.remove(host, lifetime_.guard([this, host, index](const WriteResult& removed, const std::string& problem) {
            if (!removed.ok) {
                message(settingsNotSaved(removed));
                return;
            }
            tellKeyringProblem(problem);
            // The row clicked, unless the list changed meanwhile: then the host's first row.
            std::vector<std::string> rest = hosts.items();
            auto row = index < static_cast<int>(rest.size()) && rest[static_cast<size_t>(index)] == host
                           ? rest.begin() + index
                           : std::find(rest.begin(), rest.end(), host);
            if (row != rest.end())
                rest.erase(row);
            hosts.Clear();
            for (std::string& h : rest)
                hosts.AddItem(std::move(h));
        }));
    }));
}

void HostSetup::chooseProtocol() { keyFileBox.Enabled = browseButton.Enabled = protocols.ListIndex() == static_cast<int>(Protocol::sftp); }

void HostSetup::browseKeyFile()
{
    keyFileDialog.FileName = keyFileBox.Text();
    if (platform_.dialogs.showOpen(keyFileDialog))
        keyFileBox.setText(keyFileDialog.FileName);
}

void HostSetup::back()
{
    std::vector<std::string> hosts = profiles_.stored();
    if (ftp_)
        ftp_->refillHosts(hosts);
    if (!hosts.empty() && closeWindow)
        closeWindow();
}

} // namespace bw
