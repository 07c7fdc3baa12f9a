// The FTP window's logic against a scripted server, with real files in a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>

#include "ftp/FtpBrowser.h"
#include "support/Doubles.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

using Items = std::vector<std::string>;

// A long-format line as pyftpdlib writes it, the name at column 56.
std::string line(char type, const std::string& name)
{
    return std::string(1, type) + "rw-r--r--   1 owner    group        1234 Mar 07 12:00 " + name + "\r\n";
}

const std::string kPage = "<html><img SRC=\"a.gif\"></html>";
const Items kDirs = {"my folder", "locked"}, kFiles = {"index.html", "d.htm", "a.gif", "gone.html", ".."};

// The fixture is also the window's busy display.
struct Window : ::testing::Test, test::Desktop<RealFileSystem>, Busy {
    test::TempDir dir;
    EditorSession form{platform(), Version{1, 0, 6}};
    BatchSession batch{platform(), form};
    test::ScriptedFtp server;
    RoundTrip trip{platform(), server, *this};
    std::unique_ptr<FtpBrowser> w;
    int busy = 0;      // begun and not yet ended
    bool stop = false; // the user presses Cancel

    void begin(const std::string&) override { ++busy; }
    bool progress(std::uint64_t, std::uint64_t) override { return !stop; }
    void end() override { --busy; }

    Window()
    {
        form.load();
        // An earlier batch, whose pages are gone: none of it may count in the new one.
        batch.start({"/old/1.html", "/old/2.html", "/old/3.html"});
        dialogs.shown.clear();
        server.listings["/"] = {line('d', "my folder") + line('d', "locked") + line('-', "index.html"),
                                line('-', "d.htm") + line('-', "a.gif") + line('-', "gone.html") + line('-', "..")};
        server.listings["/my folder/"] = {line('-', "a.html") + line('-', "b.html")};
        server.remote = {{"/index.html", kPage}, {"/d.htm", "<html></html>"}, {"/a.gif", test::kGif}};
    }
    std::string temp(const std::string& name = "") const { return dir.path("dl/") + name; }
    // The boxes shown, each as "title: text", the program's own title left out.
    Items told() const
    {
        Items told;
        for (const auto& shown : dialogs.shown)
            told.push_back(shown.title == "BRINDLEWORK" ? shown.text : shown.title + ": " + shown.text);
        return told;
    }
    FtpBrowser& open()
    {
        w = std::make_unique<FtpBrowser>(platform(), batch, trip, temp());
        w->load();
        return *w;
    }
};

TEST_F(Window, EachActionShowsTheFolderFetchesTheFileOrSaysWhyNot)
{
    const std::string lost = "The connection to the server was lost.", replace = "index.html already exists in the temp path. Replace it?";
    const std::string control = " holds a line break or another control character; nothing was sent.";
    struct Row {
        const char* name;
        Items actions = {}; // after connecting: "dir NAME", "file NAME", "up", "disconnect", "connect", "batch"
        Items dirs = kDirs, files = kFiles, told = {}, batched = {}, batch = {"/old/1.html", "/old/2.html", "/old/3.html"}; // the main window's
        std::vector<std::string> listing = {}; // the start folder's, in the pieces sent; none: the usual
        std::string host = "site", user = "u", password = "p";
        Items failing = {};                 // the server's actions that fail in the last action
        const char* tempBox = nullptr;      // typed into the temp path box, below the test's folder
        std::optional<Answer> replace = {}; // an edited copy of index.html is there, and the answer
        bool cancel = false;
        std::string bytes = "";             // the fetched file's, in the temp path
        bool sends = true, connected = true, parent = true; // in the last action, and after it
        bool recordsBlocked = false;        // a folder stands where the records file goes
    } rows[] = {
        {.name = "the start folder"},
        {.name = "a capital D is a file", .dirs = {"a", "b c"}, .files = {"x", "y", "z"},
         .listing = {line('d', "a") + line('-', "x") + line('d', "b c"), line('l', "y") + line('D', "z")}},
        {.name = "an empty line ends the parse", .dirs = {}, .files = {"x"}, .listing = {line('-', "x") + "\r\n" + line('-', "after")}},
        {.name = "no known layout: from column 56; the last line without its end", .dirs = {}, .files = {"", "odd"}, .listing = {"total 3\r\n" + std::string(55, '.') + "odd"}},
        {.name = "a 100 KB name is cut and told", .dirs = {}, .files = {std::string(kMaxListingLine - 55, 'n'), "after"},
         .told = {"A line of the folder's listing was longer than 64 KB and was cut off."},
         .listing = {line('-', "n").insert(55, std::string(100000, 'n')) + line('-', "after")}},
        {.name = "connect fails", .dirs = {}, .files = {}, .told = {lost}, .failing = {"connect"}, .connected = false, .parent = false},
        {.name = "the first listing fails", .dirs = {}, .files = {}, .told = {lost}, .failing = {"list"}, .connected = false, .parent = false},
        {.name = "no host", .dirs = {}, .files = {}, .host = "", .sends = false, .connected = false},
        {.name = "password with a lone CR", .dirs = {}, .files = {}, .told = {"The password" + control}, .password = "p\rDELE x",
         .sends = false, .connected = false},
        {.name = "user name with a tab", .dirs = {}, .files = {}, .told = {"The user name" + control}, .user = "u\t", .sends = false, .connected = false},
        {.name = "host with a line end", .dirs = {}, .files = {}, .told = {"The host name" + control}, .host = "site\nDELE x", .sends = false, .connected = false},
        {.name = "into a folder and up", .actions = {"dir my folder", "up"}},
        {.name = "a refused folder shows the folder again", .actions = {"dir locked"}, .told = {"The server refused access to that folder or file."}},
        {.name = "an empty entry lists the folder again", .actions = {"dir "}},
        {.name = "disconnected, a folder sends nothing", .actions = {"disconnect", "dir my folder"}, .sends = false, .connected = false, .parent = false},
        {.name = "connected again, the new listing alone", .actions = {"disconnect", "connect"}},
        {.name = "the server gone: told once, Parent Dir kept", .actions = {"up"}, .dirs = {}, .files = {}, .told = {lost}, .failing = {"parentDir", "list"}},
        {.name = "a page", .actions = {"file index.html"}, .batched = {"index.html"}, .bytes = kPage},
        {.name = "an .htm page", .actions = {"file d.htm"}, .batched = {"d.htm"}, .bytes = "<html></html>"},
        {.name = "a picture is fetched, not batched", .actions = {"file a.gif"}, .bytes = test::kGif},
        {.name = "temp path without a slash", .actions = {"file index.html"}, .batched = {"index.html"}, .tempBox = "dl2", .bytes = kPage},
        {.name = "empty temp box: the default", .actions = {"file index.html"}, .batched = {"index.html"}, .tempBox = "", .bytes = kPage},
        {.name = "keep the edited copy", .actions = {"file index.html"}, .told = {replace}, .batched = {"index.html"}, .replace = Answer::No, .bytes = "edited",
         .sends = false},
        {.name = "replace it", .actions = {"file index.html"}, .told = {replace}, .batched = {"index.html"}, .replace = Answer::Yes, .bytes = kPage},
        {.name = "cancelled", .actions = {"file index.html"}, .told = {replace, "The action was cancelled."}, .batched = {"index.html"},
         .replace = Answer::Yes, .cancel = true, .bytes = "edited"},
        {.name = "records that cannot be written: told once, the page still there", .actions = {"file index.html", "file d.htm"},
         .told = {"The record of the downloaded pages, " + temp(".brindlework-downloads") + ", could not be written: Is a "
                  "directory. The pages go up from this run as usual, but after a restart they would not be known: "
                  "upload them before you close the program."}, .batched = {"index.html", "d.htm"}, .bytes = "<html></html>",
         .recordsBlocked = true},
        {.name = "not on the server", .actions = {"file gone.html"}, .told = {"The file is not on the server."}, .batched = {"gone.html"}},
        {.name = "unsafe name", .actions = {"file .."}, .told = {"The server's file name \"..\" cannot be used: its download would be written outside the temp path."},
         .sends = false},
        {.name = "temp path under a file", .actions = {"file index.html"}, .told = {"The temp path \"" + dir.path("plain.txt/dl") +
         "\" cannot be used: Not a directory.\n\"index.html\" was not downloaded."}, .batched = {"index.html"}, .tempBox = "plain.txt/dl", .sends = false},
        // Last, as it leaves the main window with a batch of its own.
        {.name = "Start Batching: pages only, from the temp path, as a fresh batch", .actions = {"file index.html", "file a.gif", "file d.htm", "batch"},
         .batched = {"index.html", "d.htm"}, .batch = {temp("site/u/index.html"), temp("site/u/d.htm")}, .sends = false},
    };
    dir.write("plain.txt", "x");
    const auto usual = server.listings["/"];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(temp());
        server.listings["/"] = row.listing.empty() ? usual : row.listing;
        if (row.replace) {
            dir.write("dl/site/u/index.html", "edited");
            dialogs.answers.push_back(*row.replace);
        }
        stop = row.cancel;
        if (row.recordsBlocked)
            std::filesystem::create_directories(temp(".brindlework-downloads"));
        dialogs.shown.clear();
        FtpBrowser& f = open();
        f.hostName.setText(row.host);
        f.userBox.setText(row.user);
        f.passwordBox.setText(row.password);
        if (row.tempBox)
            f.tempPathBox.setText(*row.tempBox ? dir.path(row.tempBox) : "");
        std::string name;
        for (std::size_t i = 0; i <= row.actions.size(); ++i) {
            const std::string action = i ? row.actions[i - 1] : "connect";
            if (i == row.actions.size()) {
                server.calls.clear();
                for (const auto& failing : row.failing)
                    server.failures[failing] = {false, 56, lost};
            }
            name = action.substr(action.find(' ') + 1);
            ListBox& list = action[0] == 'd' ? f.folders : f.files;
            if (action.rfind("dir ", 0) == 0 || action.rfind("file ", 0) == 0) {
                if (std::find(list.items().begin(), list.items().end(), name) == list.items().end())
                    list.AddItem(name); // an entry the listing does not have
                test::clickRow(list, name);
            } else
                action == "up" ? f.parentFolder() : action == "disconnect" ? f.disconnect() : action == "batch" ? f.startBatching() : f.connectToHost();
        }
        EXPECT_EQ(f.folders.items(), row.dirs);
        EXPECT_EQ(f.files.items(), row.files);
        EXPECT_EQ(f.batchFiles.items(), row.batched);
        EXPECT_EQ(told(), row.told);
        if (row.replace) {
            EXPECT_EQ(dialogs.shown.at(0).defaultAnswer, Answer::No) << "Return keeps the copy";
        }
        EXPECT_EQ(test::readAll((row.tempBox && *row.tempBox ? dir.path(row.tempBox) + "/" : temp()) + "site/u/" + name), row.bytes);
        EXPECT_EQ(server.calls.empty(), !row.sends);
        EXPECT_EQ(f.disconnectButton.Enabled, row.connected);
        EXPECT_EQ(f.parentButton.Enabled, row.parent);
        EXPECT_FALSE(f.connectingOverFolders.Visible || f.connectingOverBatch.Visible || f.connectingOverFiles.Visible);
        EXPECT_EQ(busy, 0);
        EXPECT_EQ(batch.pages(), row.batch);
        f.unload();
        EXPECT_FALSE(server.connected());
    }
}

// Downloaded pages going back: only changed ones, each to its folder, asking about a change
// made on the server meanwhile; the main window's batch reaches them once the window is gone.
TEST_F(Window, AfterARestartUploadsWaitForTheKeyringsPassword)
{
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "siteUsername", "anna").ok);
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad\\hosts", "1", "site").ok); // its profile
    FtpBrowser& f = open();
    f.hostName.setText("site");
    f.userBox.setText("anna");
    f.passwordBox.setText("pw");
    f.connectToHost();
    test::clickRow(f.files, "index.html");
    dir.write("dl/site/anna/index.html", "<img src=a.gif alt=cat>");
    test::HeldSecrets keyring;
    keyring.secrets["anna@site"] = "pw";
    Platform restarted{dialogs, files, shell, host, settings, keyring};
    RoundTrip later{restarted, server, *this};
    later.recall(temp());
    server.calls.clear();
    ASSERT_TRUE(server.disconnect().ok);
    later.uploadChanged();
    EXPECT_EQ(server.calls, Items{"disconnect"}) << "nothing goes before the password is known";
    keyring.release();
    ASSERT_GE(server.calls.size(), 2u);
    EXPECT_EQ(server.calls[1], "connect site anna pw");
    EXPECT_EQ(server.remote["/index.html"], "<img src=a.gif alt=cat>");
}

TEST_F(Window, EditedPagesGoBackToTheirFoldersAndNoChangeOnTheServerIsLost)
{
    const std::map<std::string, std::string> edits = {{"index.html", "<html><img SRC=\"a.gif\" ALT=\"cat\"></html>"},
                                                      {"my folder/a.html", "<p><img src=\"b.gif\" alt=\"dog\"></p>"},
                                                      {"my folder/index.html", "<p>inner</p>"}, {"a.gif", "GIF89a"}};
    const std::string none = "None of the downloaded pages has changed since its download: nothing was uploaded.";
    const std::string asked = "index.html changed on the server since you downloaded it. Overwrite it?";
    const std::string key = "site shows a key this program has not seen before:\nSHA256:abc\n\nAccept it only if it is the "
                            "key your host gave you. Accept Always keeps it for the next time.";
    auto done = [](const char* counts) { return std::string("Uploaded: ") + counts; };
    const ConnectOptions profile{Protocol::sftp, 2222, "/keys/id", settings.folder(), "", false};
    struct Row {
        const char* name;
        Items steps; // "edit PATH", "server PATH" (changed there), "fail ACTION", "key", "changed key", "cancel",
                     // "resume", "close", "refetch", "fetch NAME" (of the folder shown), "again" (edits the page once more),
        // "batch", "type" (an ALT in the main window), "upload", "main upload", "show"
        std::deque<int> choices = {}; // -1: Return
        Items told = {}, sent = {};   // the pages whose server copy must be the local one
        bool times = true;            // the server tells times
        std::optional<ConnectOptions> options = {};
    } rows[] = {
        {"nothing edited", {"upload", "show"}, {}, {none, "None of the downloaded pages has changed since its download."}},
        {"each to its own folder, once, pictures never", {"edit index.html", "edit my folder/a.html", "edit a.gif", "upload", "upload"},
         {}, {done("2 pages\nSkipped: 0\nFailed: 0"), none}, {"index.html", "my folder/a.html"}},
        {"edited again: no false warning", {"edit index.html", "upload", "again", "upload"}, {},
         {done("1 page\nSkipped: 0\nFailed: 0"), done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}},
        {"changed on the server: Skip is the default", {"edit index.html", "server index.html", "upload"}, {-1},
         {asked, done("0 pages\nSkipped: 1\nFailed: 0")}},
        {"changed on the server: Overwrite", {"edit index.html", "server index.html", "upload"}, {0},
         {asked, done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}},
        {"no times, same bytes", {"edit index.html", "upload"}, {}, {done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}, false},
        {"no times, other bytes", {"edit index.html", "server index.html", "upload"}, {-1},
         {asked, done("0 pages\nSkipped: 1\nFailed: 0")}, {}, false},
        {"fetched again: the server's change is the new original", {"server index.html", "refetch", "again", "upload"}, {},
         {"index.html already exists in the temp path. Replace it?", done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}},
        {"window closed: typed in the batch, sent over a session of the profile's",
         {"batch", "close", "type", "main upload"}, {}, {done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}, true, profile},
        {"typed in the batch, sent from the FTP window", {"batch", "type", "upload"}, {}, {done("1 page\nSkipped: 0\nFailed: 0")},
         {"index.html"}},
        {"a failure is told, the next page still goes", {"edit index.html", "edit my folder/a.html", "fail upload", "upload"}, {},
         {done("1 page\nSkipped: 0\nFailed: 1\n\nindex.html: The server refused to store the file.")}, {"my folder/a.html"}},
        {"Cancel stops the rest, and they go later", {"edit index.html", "edit my folder/a.html", "cancel", "upload", "resume", "upload"}, {},
         {done("0 pages\nSkipped: 0\nFailed: 0\nCancelled: 2 pages were not uploaded."), done("2 pages\nSkipped: 0\nFailed: 0")},
         {"index.html", "my folder/a.html"}},
        {"unknown key accepted once", {"edit index.html", "close", "key", "upload"}, {0},
         {key, done("1 page\nSkipped: 0\nFailed: 0")}, {"index.html"}, true, ConnectOptions{Protocol::ftp, 0, "", settings.folder(), "SHA256:abc", false}},
        {"unknown key accepted always", {"edit index.html", "close", "key", "upload"}, {1}, {key, done("1 page\nSkipped: 0\nFailed: 0")},
         {"index.html"}, true, ConnectOptions{Protocol::ftp, 0, "", settings.folder(), "SHA256:abc", true}},
        {"unknown key: Cancel is the default", {"edit index.html", "close", "key", "upload"}, {-1},
         {key, done("0 pages\nSkipped: 0\nFailed: 0\nCancelled: 1 page was not uploaded.")}},
        {"changed key: told, never offered", {"edit index.html", "close", "changed key", "upload"}, {},
         {done("0 pages\nSkipped: 0\nFailed: 1\n\nindex.html: Could not connect to site: The key changed.")}},
        {"Show changes: each changed tag before and after", {"edit index.html", "edit a.gif", "show"}, {},
         {"index.html (/ on site)\n  Before: <img SRC=\"a.gif\">\n  After:  <img SRC=\"a.gif\" ALT=\"cat\">\n\n"}},
        // Last: the trip keeps the page it adds for the rows after it.
        {"one name in two folders: no question, each to its own", {"edit index.html", "fetch index.html", "edit my folder/index.html", "upload"},
         {}, {done("2 pages\nSkipped: 0\nFailed: 0")}, {"index.html", "my folder/index.html"}},
    };
    server.remote["/my folder/a.html"] = "<p><img src=\"b.gif\"></p>";
    server.remote["/my folder/index.html"] = "<p>inner</p><!-- theirs -->";
    server.listings["/my folder/"] = {line('-', "a.html") + line('-', "b.html") + line('-', "index.html")};
    const test::ScriptedFtp fresh = server;
    auto local = [this](const std::string& path) { return temp("site/anonymous/" + path); }; // as the server's path
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(temp());
        server = fresh;
        stop = false;
        if (row.times)
            server.times = {{"/index.html", 100}, {"/my folder/a.html", 100}, {"/a.gif", 100}};
        HostProfiles(platform()).save("site", row.options == profile ? HostProfile{"", "", "", Protocol::sftp, 2222, "/keys/id", true}
                                                                     : HostProfile{}, {});
        FtpBrowser& f = open();
        f.hostName.setText("site");
        f.connectToHost();
        for (const char* file : {"index.html", "a.gif", "my folder", "a.html"})
            test::clickRow(*file == 'm' ? f.folders : f.files, file);
        std::map<std::string, std::string> theirs = server.remote, mine; // the server's copies as they are to stay
        std::string folder = "/my folder/";                                 // the one the window shows
        dialogs.shown.clear();
        dialogs.chosenButtons = row.choices;
        for (const std::string& step : row.steps) {
            const std::string name = step == "again" ? "index.html" : step.substr(step.find(' ') + 1);
            if (step.rfind("edit ", 0) == 0 || step == "again")
                dir.write("dl/site/anonymous/" + name, mine[name] = step == "again" ? test::readAll(local(name)) + "<!-- again -->" : edits.at(name));
            else if (step.rfind("server ", 0) == 0) {
                theirs["/" + name] = server.remote["/" + name] += "<!-- theirs -->";
                if (row.times)
                    server.times["/" + name] += 60;
            } else if (step.rfind("fetch ", 0) == 0)
                test::clickRow(f.files, name);
            else if (step.rfind("fail ", 0) == 0)
                server.failures[name] = {false, 553, "The server refused to store the file."};
            else if (step == "key" || step == "changed key")
                server.failures["connect"] = {false, step == "key" ? ftp_error::unknownKey : ftp_error::changedKey, "The key changed.", "SHA256:abc"};
            else if (step == "cancel" || step == "resume")
                stop = step == "cancel";
            else if (step == "close") {
                f.unload();
                server.options = {};
            } else if (step == "refetch") {
                dialogs.answers.push_back(Answer::Yes);
                f.parentFolder();
                test::clickRow(f.files, "index.html");
                folder = "/";
            } else if (step == "batch")
                f.startBatching();
            else if (step == "type")
                form.typeAlt("cow");
            else
                step == "upload" ? f.uploadEdited() : step == "show" ? f.showChanges() : batch.uploadEdited();
        }
        EXPECT_EQ(told(), row.told);
        for (const auto& shown : dialogs.shown)
            if (!shown.choices.empty()) {
                EXPECT_EQ(shown.choices, shown.text == key ? Items({"Accept Once", "Accept Always", "Cancel"}) : Items({"Overwrite", "Skip"}));
            }
        for (const auto& [file, bytes] : theirs) {
            const bool sent = std::count(row.sent.begin(), row.sent.end(), file.substr(1)) > 0;
            EXPECT_EQ(server.remote[file], sent ? test::readAll(local(file.substr(1))) : bytes) << file;
        }
        for (const auto& [name, bytes] : mine)
            EXPECT_EQ(test::readAll(local(name)), bytes) << "the edit is kept";
        if (f.connected) {
            EXPECT_EQ(server.currentDir(), folder) << "the window's next click must go there";
        }
        if (row.options) {
            EXPECT_EQ(server.options, *row.options);
        }
        if (row.options == profile) {
            EXPECT_EQ(std::count(server.calls.begin(), server.calls.end(), "upload " + local("index.html") + " index.html keep"), 1);
        }
        EXPECT_EQ(busy, 0);
        f.unload();
    }
}

// Whatever a host, a login or a server calls a folder, the pages stay below the temp path,
// each server folder in a place of its own.
TEST(MirrorFolder, EveryPartIsOneFolderNameBelowTheTempPath)
{
    const struct Row {
        std::string host, user, folder, mirrored;
    } rows[] = {
        {"site", "anna", "/a/b c", "site/anna/a/b c/"},
        {"127.0.0.1:2121", "", "/", "127.0.0.1:2121/anonymous/"},
        {"..", "..", "/../.", "%2E%2E/%2E%2E/%2E%2E/%2E/"},
        {"a/b", "u/../..", "/x\r\ny/%41//", "a%2Fb/u%2F..%2F../x%0D%0Ay/%2541/"},
        {"site", "a\\b", "../up", "site/a%5Cb/%login/%2E%2E/up/"},
        {"", "%login", "", "%/%25login/%login/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mirrored);
        const std::string mirrored = mirrorFolder(row.host, row.user, row.folder);
        EXPECT_EQ(mirrored, row.mirrored);
        EXPECT_EQ(std::filesystem::path("/t/" + mirrored).lexically_normal().string().rfind("/t/", 0), 0u);
    }
}

} // namespace
} // namespace bw
