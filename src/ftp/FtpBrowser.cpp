#include "ftp/FtpBrowser.h"

#include <algorithm>
#include <utility>


namespace bw {

FtpBrowser::FtpBrowser(Platform platform, BatchSession& batch, RoundTrip& trip, std::string defaultTempPath)
    : platform_(platform), batch_(batch), trip_(trip), profiles_(platform),
      defaultTempPath_(std::move(defaultTempPath))
{
    hostLabel.Caption = "Host Name";
    userLabel.Caption = "User Name";
    passwordLabel.Caption = "Password";
    tempPathLabel.Caption = "Temp path:";
    foldersLabel.Caption = "Directories";
    filesLabel.Caption = "Files";
    batchLabel.Caption = "Files downloaded to Batch";
    hostBox.Text = "Select Host";
    hostName.Visible = false;
    tempPathBox.setText(defaultTempPath_);
    connectButton.Caption = "Connect";
    disconnectButton.Caption = "Disconnect";
    parentButton.Caption = "<- Parent Dir";
    batchButton.Caption = "Start Batching";
    exitButton.Caption = "Exit ";
    uploadButton.Caption = "&Upload edited pages";
    changesButton.Caption = "S&how changes";
    for (TextBox* box : {&connectingOverFolders, &connectingOverBatch, &connectingOverFiles}) {
        box->setText("Connecting");
        box->Visible = false;
    }
    fileMenu.Caption = "&File";
    setupItem.Caption = "Setup";
    endItem.Caption = "End";
    folders.Click = [this] { openFolder(); };
    files.Click = [this] { downloadFile(); };
}

void FtpBrowser::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void FtpBrowser::load()
{
    disconnectButton.Enabled = false;
    connected = false;
    hostName.setText(platform_.settings.getSetting(store::kApp, store::kMain, store::kHostName, ""));
    userBox.setText(platform_.settings.getSetting(store::kApp, store::kMain, store::kUsername, ""));
    askPassword([this](const PasswordAnswer& answer) { profiles_.mainPassword("", answer); });
    hostBox.Clear();
    for (std::string& host : profiles_.list())
        hostBox.AddItem(std::move(host));
    trip_.recall(tempPath());
    showRoundTrip();
}

void FtpBrowser::showRoundTrip() { uploadButton.Enabled = changesButton.Enabled = trip_.hasPages(); }

void FtpBrowser::chooseHost()
{
    tempPathBox.setText(takeHost().path);
    trip_.recall(tempPath());
    showRoundTrip();
}

void FtpBrowser::hostTyped() { takeHost(); }

HostProfile FtpBrowser::takeHost()
{
    hostName.setText(hostBox.Text);
    HostProfile stored = profiles_.settingsOf(hostBox.Text);
    userBox.setText(stored.user);
    askPassword([this, host = hostBox.Text](const PasswordAnswer& answer) {
        profiles_.load(host, [answer](const HostProfile& profile, const std::string& problem) {
            answer(profile.password, problem);
        });
    });
    return stored;
}

void FtpBrowser::askPassword(const std::function<void(const PasswordAnswer&)>& ask)
{
    // Only the last question's answer fills the box: an earlier host's may come after it.
    const std::uint64_t asked = ++passwordAsked_;
    passwordBox.setText("");
    passwordPending_ = true;
    ask(lifetime_.guard([this, asked](const std::string& password, const std::string&) {
        if (asked != passwordAsked_)
            return;
        passwordPending_ = false;
        if (passwordBox.empty()) // what the user typed meanwhile stays
            passwordBox.setText(password);
        if (std::exchange(connectWhenAnswered_, false))
            connectToHost();
    }));
}

void FtpBrowser::refillHosts(const std::vector<std::string>& hosts)
{
    hostBox.Clear();
    for (const std::string& host : hosts)
        hostBox.AddItem(host);
}

std::string FtpBrowser::describe(int action) const
{
    switch (action) {
    case ftp_action::connect: return "Connecting to " + hostName.Text();
    case ftp_action::list: return "Reading the folder's list";
    case ftp_action::changeDir: return "Opening the folder " + dirName_;
    case ftp_action::parentDir: return "Going up to the parent folder";
    case ftp_action::download: return "Downloading " + remoteName_;
    case ftp_action::disconnect: return "Disconnecting";
    default: return "Working";
    }
}

void FtpBrowser::perform(int action, RoundTrip::Then then)
{
    RoundTrip::Then done = lifetime_.guard(std::move(then));
    if (action == ftp_action::connect) {
        // The stored profile gives the protocol and the rest; the boxes give the login.
        HostProfile profile = profiles_.settingsOf(hostName.Text());
        profile.user = userBox.Text();
        profile.password = passwordBox.Text();
        trip_.connect(hostName.Text(), profile, lifetime_.guard([this, done](const FtpResult& connected) {
            session_ = trip_.session();
            done(connected);
        }));
        return;
    }
    // A page keeps its original beside it, for Upload and Show changes.
    if (action == ftp_action::download && isPageFileName(remoteName_))
        return trip_.fetchPage(remoteName_, tempPath(), done);
    Transfers::Work work;
    switch (action) {
    case ftp_action::list: {
        // Read into a listing of the action's own: the window may go while it runs.
        auto read = std::make_shared<RawListing>();
        work = [read](FtpClient& client) { return client.list([read](std::string_view text) { read->append(text); }); };
        done = lifetime_.guard([this, read, done](const FtpResult& listed) {
            listing_ = std::move(*read);
            done(listed);
        });
        break;
    }
    case ftp_action::changeDir: work = [name = dirName_](FtpClient& client) { return client.changeDir(name); }; break;
    case ftp_action::parentDir: work = [](FtpClient& client) { return client.parentDir(); }; break;
    case ftp_action::download:
        work = [name = remoteName_, path = localPath_](FtpClient& client) { return client.download(name, path); };
        break;
    case ftp_action::disconnect: work = [](FtpClient& client) { return client.disconnect(); }; break;
    default: return done({false, ftp_error::badName, "The FTP component has no action " + std::to_string(action) + "."});
    }
    trip_.transfers().run(describe(action), std::move(work), std::move(done));
}

void FtpBrowser::execute(int action, std::function<void()> then)
{
    perform(action, [this, then = std::move(then)](const FtpResult& result) {
        if (!result.ok && !result.error.empty()) // empty: the user cancelled a question and knows
            message(result.error);
        if (then)
            then();
    });
}

void FtpBrowser::listParse(bool enableParent)
{
    const std::size_t n = listing_.count();
    for (std::size_t i = 0; i <= n; ++i) {
        const std::string_view line = listing_.line(i);
        if (isDirectoryLine(line)) {
            folders.AddItem(listingName(line));
            continue;
        }
        if (enableParent)
            parentButton.Enabled = true;
        if (line.empty())
            return;
        files.AddItem(listingName(line));
    }
}

void FtpBrowser::listFolder(bool enableParent, RoundTrip::Then then)
{
    listing_.clear();
    perform(ftp_action::list, [this, enableParent, then = std::move(then)](const FtpResult& listed) {
        listing_.finish();
        if (listed.ok) {
            folders.Clear();
            files.Clear();
            listParse(enableParent);
            if (const std::size_t cut = listing_.cut())
                message(cut == 1 ? "A line of the folder's listing was longer than 64 KB and was cut off."
                                 : std::to_string(cut) + " lines of the folder's listing were longer than 64 KB and were cut off.");
        }
        then(listed);
    });
}

void FtpBrowser::relist(bool enableParent)
{
    listFolder(enableParent, [this](const FtpResult& listed) {
        if (listed.ok)
            return;
        message(listed.error);
        // The lists stay as they are; Parent Dir stays at hand to try again.
        parentButton.Enabled = true;
    });
}

void FtpBrowser::connectToHost()
{
    if (hostName.empty())
        return;
    // The login waits for the keyring's password of the host chosen.
    if (passwordPending_) {
        connectWhenAnswered_ = true;
        return;
    }
    // Typed, pasted or stored: a line end would reach the server as a command of its own.
    for (auto [what, box] : {std::pair{"host name", &hostName}, {"user name", &userBox}, {"password", &passwordBox}})
        if (hasControlCharacter(box->Text())) {
            message(std::string("The ") + what + " holds a line break or another control character; nothing was sent.");
            return;
        }
    connectButton.Enabled = false;
    parentButton.Enabled = false;
    // The old folder's rows belong to a connection that is going.
    folders.Clear();
    files.Clear();
    for (TextBox* box : {&connectingOverFolders, &connectingOverBatch, &connectingOverFiles})
        box->Visible = true;
    connected = true;
    perform(ftp_action::connect, [this](const FtpResult& result) {
        if (!result.ok)
            return connectEnded(result);
        listFolder(false, [this](const FtpResult& listed) { connectEnded(listed); });
    });
}

void FtpBrowser::connectEnded(const FtpResult& result)
{
    for (TextBox* box : {&connectingOverFolders, &connectingOverBatch, &connectingOverFiles})
        box->Visible = false;
    if (!result.ok) {
        if (!result.error.empty()) // empty: the server's key was not accepted
            message(result.error);
        connectButton.Enabled = true;
        return;
    }
    disconnectButton.Enabled = true;
    parentButton.Enabled = true;
}

void FtpBrowser::changeFolder(int action)
{
    perform(action, [this](const FtpResult& moved) {
        if (moved.ok)
            return relist(true);
        // The server stays in the folder it was in: show that one again.
        message(moved.error);
        folders.Clear();
        files.Clear();
        // A failure here is not told: the user has just been told what went wrong with this server.
        listFolder(true, [this](const FtpResult&) { parentButton.Enabled = true; });
    });
}

void FtpBrowser::parentFolder()
{
    parentButton.Enabled = false;
    listing_.clear();
    if (!connected)
        return;
    files.Clear();
    folders.Clear();
    changeFolder(ftp_action::parentDir);
}

void FtpBrowser::openFolder()
{
    parentButton.Enabled = false;
    if (!connected)
        return;
    const std::string name = folders.List(folders.ListIndex());
    if (name.empty()) {
        relist(true);
        return;
    }
    folders.Clear();
    files.Clear();
    listing_.clear();
    dirName_ = name;
    changeFolder(ftp_action::changeDir);
}

void FtpBrowser::disconnect()
{
    execute(ftp_action::disconnect, [this] {
        connectButton.Enabled = true;
        connected = false;
        disconnectButton.Enabled = false;
        listing_.clear();
    });
}

std::string FtpBrowser::tempPath() const
{
    std::string path = tempPathBox.empty() ? defaultTempPath_ : tempPathBox.Text();
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

void FtpBrowser::downloadFile()
{
    if (!connected)
        return;
    const std::string name = files.List(files.ListIndex());
    if (!isSafeName(name)) {
        // Not listed either: the batch would open it from outside the temp path.
        message("The server's file name \"" + name +
                "\" cannot be used: its download would be written outside the temp path.");
        return;
    }
    remoteName_ = name;
    if (tempPathBox.empty())
        tempPathBox.setText(defaultTempPath_);
    const std::string folder = tempPath();
    // In the server folder's own place below the temp path: one name in two folders never meets.
    localPath_ = trip_.pagePath(folder, name);
    // Only pages go to the batch; pictures are fetched for the page's view.
    const std::string inBatch = localPath_.substr(folder.size());
    if (isPageFileName(name) && std::find(batchPaths_.begin(), batchPaths_.end(), inBatch) == batchPaths_.end()) {
        batchFiles.AddItem(name);
        batchPaths_.push_back(inBatch);
    }

    WriteResult made = platform_.files.makeFolders(folder);
    if (made.ok)
        made = platform_.files.makeFolders(folderOfPath(localPath_));
    if (!made.ok) {
        message("The temp path \"" + tempPathBox.Text() + "\" cannot be used: " + made.error + ".\n\"" + name +
                "\" was not downloaded.");
        return;
    }
    // A copy the user has worked on may not have been uploaded yet.
    if (platform_.files.exists(localPath_) &&
        platform_.dialogs.msgBox(name + " already exists in the temp path. Replace it?", Buttons::YesNo, kTitle, Answer::No) !=
            Answer::Yes)
        return;
    execute(ftp_action::download, [this] { showRoundTrip(); });
}

void FtpBrowser::startBatching()
{
    batch_.startFetched(*this, batchPaths_);
    if (closeWindow)
        closeWindow();
}

void FtpBrowser::uploadEdited()
{
    // What was typed for the image shown in the main window goes up with its page.
    if (!batch_.writeTyped())
        return;
    trip_.recall(tempPath());
    trip_.uploadChanged(lifetime_.guard([this] { afterUpload(); }));
}

void FtpBrowser::afterUpload()
{
    if (!connected)
        return;
    // Pages of another host needed a session of their own: this window's has ended.
    if (trip_.session() != session_ || !trip_.transfers().connected()) {
        connected = false;
        folders.Clear();
        files.Clear();
        listing_.clear();
        connectButton.Enabled = true;
        parentButton.Enabled = false;
        disconnectButton.Enabled = false;
    }
}

void FtpBrowser::showChanges()
{
    if (!batch_.writeTyped())
        return;
    trip_.recall(tempPath());
    trip_.showChanges();
}

void FtpBrowser::exit()
{
    if (closeWindow)
        closeWindow();
}

void FtpBrowser::end() { exit(); }

void FtpBrowser::openSetup()
{
    if (showSetupWindow)
        showSetupWindow();
}

void FtpBrowser::unload()
{
    if (!trip_.transfers().connected())
        return;
    // A failure is told while the window is there; a window that has gone has nowhere to tell it.
    execute(ftp_action::disconnect);
    connected = false;
}

} // namespace bw
