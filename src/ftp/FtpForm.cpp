#include "ftp/FtpForm.h"

#include <algorithm>
#include <utility>


namespace bw {

ftp::ftp(Platform platform, BatchSession& batch, RoundTrip& trip, std::string defaultTempPath)
    : platform_(platform), batch_(batch), trip_(trip), client_(trip.client()), busy_(trip.busy()), profiles_(platform),
      defaultTempPath_(std::move(defaultTempPath))
{
    Label1.Caption = "Host Name";
    Label2.Caption = "User Name";
    Label3.Caption = "Password";
    Label4.Caption = "Temp path:";
    Label5.Caption = "Directories";
    Label6.Caption = "Files";
    Label7.Caption = "Files downloaded to Batch";
    Combo1.Text = "Select Host";
    Text1.Visible = false;
    Text8.setText(defaultTempPath_);
    Command1.Caption = "Connect";
    Command6.Caption = "Disconnect";
    Command5.Caption = "<- Parent Dir";
    Command7.Caption = "Start Batching";
    Command8.Caption = "Exit ";
    Command9.Caption = "&Upload edited pages";
    Command10.Caption = "S&how changes";
    for (TextBox* box : {&Text5, &Text6, &Text7}) {
        box->setText("Connecting");
        box->Visible = false;
    }
    f.Caption = "&File";
    s.Caption = "Setup";
    end.Caption = "End";
    List2.Click = [this] { List2_Click(); };
    List3.Click = [this] { List3_Click(); };
}

void ftp::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void ftp::Form_Load()
{
    Command6.Enabled = false;
    connect = false;
    Text1.setText(platform_.settings.getSetting(store::kApp, store::kMain, store::kHostName, ""));
    Text2.setText(platform_.settings.getSetting(store::kApp, store::kMain, store::kUsername, ""));
    askPassword([this](const PasswordAnswer& answer) { profiles_.mainPassword("", answer); });
    Combo1.Clear();
    for (std::string& host : profiles_.list())
        Combo1.AddItem(std::move(host));
    trip_.recall(tempPath());
    showRoundTrip();
}

void ftp::showRoundTrip() { Command9.Enabled = Command10.Enabled = trip_.hasPages(); }

void ftp::Combo1_Click()
{
    Text8.setText(takeHost().path);
    trip_.recall(tempPath());
    showRoundTrip();
}

void ftp::Combo1_Change() { takeHost(); }

HostProfile ftp::takeHost()
{
    Text1.setText(Combo1.Text);
    HostProfile stored = profiles_.settingsOf(Combo1.Text);
    Text2.setText(stored.user);
    askPassword([this, host = Combo1.Text](const PasswordAnswer& answer) {
        profiles_.load(host, [answer](const HostProfile& profile, const std::string& problem) {
            answer(profile.password, problem);
        });
    });
    return stored;
}

void ftp::askPassword(const std::function<void(const PasswordAnswer&)>& ask)
{
    // Only the last question's answer fills the box: an earlier host's may come after it.
    const std::uint64_t asked = ++passwordAsked_;
    Text3.setText("");
    passwordPending_ = true;
    ask(lifetime_.guard([this, asked](const std::string& password, const std::string&) {
        if (asked != passwordAsked_)
            return;
        passwordPending_ = false;
        if (Text3.empty()) // what the user typed meanwhile stays
            Text3.setText(password);
        if (std::exchange(connectWhenAnswered_, false))
            Command1_Click();
    }));
}

void ftp::refillHosts(const std::vector<std::string>& hosts)
{
    Combo1.Clear();
    for (const std::string& host : hosts)
        Combo1.AddItem(host);
}

std::string ftp::describe(int action) const
{
    switch (action) {
    case ftp_action::connect: return "Connecting to " + Text1.Text();
    case ftp_action::list: return "Reading the folder's list";
    case ftp_action::changeDir: return "Opening the folder " + dirName_;
    case ftp_action::parentDir: return "Going up to the parent folder";
    case ftp_action::download: return "Downloading " + remoteName_;
    case ftp_action::disconnect: return "Disconnecting";
    default: return "Working";
    }
}

FtpResult ftp::perform(int action)
{
    if (action == ftp_action::connect) {
        // The stored profile gives the protocol and the rest; the boxes give the login.
        HostProfile profile = profiles_.settingsOf(Text1.Text());
        profile.user = Text2.Text();
        profile.password = Text3.Text();
        FtpResult connected = trip_.connect(Text1.Text(), profile);
        session_ = trip_.session();
        return connected;
    }
    // A page keeps its original beside it, for Upload and Show changes.
    if (action == ftp_action::download && isPageFileName(remoteName_))
        return trip_.fetchPage(remoteName_, localPath_);
    // The user sees what runs and may stop it; the action is still one call.
    Showing showing(busy_, client_, describe(action));

    switch (action) {
    case ftp_action::list:
        return client_.list([this](std::string_view text) { AppendLines(listDir, text); });
    case ftp_action::changeDir: return client_.changeDir(dirName_);
    case ftp_action::parentDir: return client_.parentDir();
    case ftp_action::download: return client_.download(remoteName_, localPath_);
    case ftp_action::disconnect: return client_.disconnect();
    default: return {false, ftp_error::badName, "The FTP component has no action " + std::to_string(action) + "."};
    }
}

int ftp::ExecuteCommand(int action)
{
    FtpResult result = perform(action);
    if (result.ok)
        return 0;
    if (!result.error.empty()) // empty: the user cancelled a question and knows
        message(result.error);
    return result.number ? result.number : -1;
}

void ftp::AppendLines(RawListing& list, std::string_view text) { list.append(text); }

void ftp::listParse(bool enableParent)
{
    const std::size_t n = listDir.count();
    for (std::size_t i = 0; i <= n; ++i) {
        const std::string_view line = listDir.line(i);
        if (isDirectoryLine(line)) {
            List2.AddItem(listingName(line));
            continue;
        }
        if (enableParent)
            Command5.Enabled = true;
        if (line.empty())
            return;
        List3.AddItem(listingName(line));
    }
}

FtpResult ftp::listFolder(bool enableParent)
{
    ClearListing();
    FtpResult listed = perform(ftp_action::list);
    listDir.finish();
    if (!listed.ok)
        return listed;
    List2.Clear();
    List3.Clear();
    listParse(enableParent);
    if (const std::size_t cut = listDir.cut())
        message(cut == 1 ? "A line of the folder's listing was longer than 64 KB and was cut off."
                         : std::to_string(cut) + " lines of the folder's listing were longer than 64 KB and were cut off.");
    return listed;
}

bool ftp::relist(bool enableParent)
{
    FtpResult listed = listFolder(enableParent);
    if (!listed.ok) {
        message(listed.error);
        // The lists stay as they are; Parent Dir stays at hand to try again.
        Command5.Enabled = true;
        return false;
    }
    return true;
}

void ftp::Command1_Click()
{
    if (Text1.empty())
        return;
    // The login waits for the keyring's password of the host chosen.
    if (passwordPending_) {
        connectWhenAnswered_ = true;
        return;
    }
    // Typed, pasted or stored: a line end would reach the server as a command of its own.
    for (auto [what, box] : {std::pair{"host name", &Text1}, {"user name", &Text2}, {"password", &Text3}})
        if (hasControlCharacter(box->Text())) {
            message(std::string("The ") + what + " holds a line break or another control character; nothing was sent.");
            return;
        }
    Command1.Enabled = false;
    Command5.Enabled = false;
    // The old folder's rows belong to a connection that is going.
    List2.Clear();
    List3.Clear();
    for (TextBox* box : {&Text5, &Text6, &Text7})
        box->Visible = true;
    connect = true;
    if (Repaint)
        Repaint();

    FtpResult result = perform(ftp_action::connect);
    if (result.ok)
        result = listFolder(false);
    for (TextBox* box : {&Text5, &Text6, &Text7})
        box->Visible = false;
    if (!result.ok) {
        if (!result.error.empty()) // empty: the server's key was not accepted
            message(result.error);
        Command1.Enabled = true;
        return;
    }
    Command6.Enabled = true;
    Command5.Enabled = true;
}

void ftp::changeFolder(int action)
{
    const FtpResult moved = perform(action);
    if (!moved.ok) {
        // The server stays in the folder it was in: show that one again.
        message(moved.error);
        List2.Clear();
        List3.Clear();
        (void)listFolder(true); // the user has just been told what went wrong with this server
        Command5.Enabled = true;
        return;
    }
    relist(true);
}

void ftp::Command5_Click()
{
    Command5.Enabled = false;
    ClearListing();
    if (!connect)
        return;
    List3.Clear();
    List2.Clear();
    changeFolder(ftp_action::parentDir);
}

void ftp::List2_Click()
{
    Command5.Enabled = false;
    if (!connect)
        return;
    const std::string name = List2.List(List2.ListIndex());
    if (name.empty()) {
        relist(true);
        return;
    }
    List2.Clear();
    List3.Clear();
    ClearListing();
    dirName_ = name;
    changeFolder(ftp_action::changeDir);
}

void ftp::Command6_Click()
{
    ExecuteCommand(ftp_action::disconnect);
    Command1.Enabled = true;
    connect = false;
    Command6.Enabled = false;
    ClearListing();
}

std::string ftp::tempPath() const
{
    std::string path = Text8.empty() ? defaultTempPath_ : Text8.Text();
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

void ftp::List3_Click()
{
    if (!connect)
        return;
    const std::string name = List3.List(List3.ListIndex());
    if (!isSafeName(name)) {
        // Not listed either: the batch would open it from outside the temp path.
        message("The server's file name \"" + name +
                "\" cannot be used: its download would be written outside the temp path.");
        return;
    }
    remoteName_ = name;
    if (Text8.empty())
        Text8.setText(defaultTempPath_);
    const std::string folder = tempPath();
    localPath_ = folder + name;
    // Only pages go to the batch; pictures are fetched for the page's view.
    if (isPageFileName(name) && std::find(List1.items().begin(), List1.items().end(), name) == List1.items().end())
        List1.AddItem(name);

    WriteResult made = platform_.files.makeFolders(folder);
    if (!made.ok) {
        message("The temp path \"" + Text8.Text() + "\" cannot be used: " + made.error + ".\n\"" + name +
                "\" was not downloaded.");
        return;
    }
    // A copy the user has worked on may not have been uploaded yet.
    if (platform_.files.exists(localPath_) &&
        platform_.dialogs.msgBox(name + " already exists in the temp path. Replace it?", Buttons::YesNo, kTitle, Answer::No) !=
            Answer::Yes)
        return;
    ExecuteCommand(ftp_action::download);
    showRoundTrip();
}

void ftp::Command7_Click()
{
    batch_.startFetched(*this, List1.items());
    if (Unload)
        Unload();
}

void ftp::Command9_Click()
{
    // What was typed for the image shown in the main window goes up with its page.
    if (!batch_.writeTyped())
        return;
    trip_.recall(tempPath());
    trip_.uploadChanged(lifetime_.guard([this] { afterUpload(); }));
}

void ftp::afterUpload()
{
    if (!connect)
        return;
    // Pages of another host needed a session of their own: this window's has ended.
    if (trip_.session() != session_ || !client_.connected()) {
        connect = false;
        List2.Clear();
        List3.Clear();
        ClearListing();
        Command1.Enabled = true;
        Command5.Enabled = false;
        Command6.Enabled = false;
    }
}

void ftp::Command10_Click()
{
    if (!batch_.writeTyped())
        return;
    trip_.recall(tempPath());
    trip_.showChanges();
}

void ftp::Command8_Click()
{
    if (Unload)
        Unload();
}

void ftp::end_Click() { Command8_Click(); }

void ftp::s_Click()
{
    if (ShowSetup)
        ShowSetup();
}

void ftp::Form_Unload()
{
    if (!client_.connected())
        return;
    ExecuteCommand(ftp_action::disconnect);
    connect = false;
}

} // namespace bw
