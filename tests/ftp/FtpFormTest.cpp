// The FTP window's logic against a scripted server, with real files in a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ftp/FtpForm.h"
#include "support/Doubles.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

using test::readAll;
using Items = std::vector<std::string>;

// A long-format line with the name at column 56 (wide = false) or 57 (as vsftpd writes it).
std::string line(char type, const std::string& name, bool wide = false)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, wide ? "%crw-r--r-- %4d %-8s %-8s %8d %s %s\r\n" : "%crw-r--r-- %3d %-8s %-8s %8d %s %s\r\n",
                  type, 1, "owner", "group", 1234, "Mar 07 12:00", name.c_str());
    return buf;
}

struct Busy : bw::Busy {
    std::vector<std::string> begun;
    int ends = 0;
    bool stop = false; // the user presses Cancel
    void begin(const std::string& what) override { begun.push_back(what); }
    bool progress(std::uint64_t, std::uint64_t) override { return !stop; }
    void end() override { ++ends; }
};

struct Settings : test::MemorySettings {
    std::string at;
    std::string folder() const override { return at; }
};

struct Window : ::testing::Test {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    Settings settings;
    test::TempDir dir;
    Platform platform{dialogs, files, shell, host, settings};
    Form1 form{platform, Version{1, 0, 6}};
    test::ScriptedFtp server;
    Busy busy;
    std::unique_ptr<ftp> w;
    int unloads = 0;

    Window()
    {
        settings.at = dir.path("config/");
        std::filesystem::create_directories(settings.at);
        form.Form_Load();
        server.listings["/"] = {line('d', "pages"), line('d', "my folder"), line('-', "index.html")};
        server.listings["/my folder/"] = {line('-', "a.html"), line('-', "b.html")};
        server.listings["/pages/"] = {};
        server.remote["/my folder/a.html"] = "<html><img SRC=\"a.gif\"></html>";
        server.remote["/my folder/b.html"] = "<html><img SRC=\"b.gif\"></html>";
        server.remote["/my folder/C.XHTML"] = server.remote["/my folder/d.htm"] = "<html></html>";
        server.remote["/my folder/a.gif"] = test::kGif;
    }
    std::string temp(const std::string& name = "") const { return dir.path("dl/") + name; }
    ftp& open()
    {
        w = std::make_unique<ftp>(platform, form, server, busy, temp());
        w->Unload = [this] { ++unloads; };
        w->Form_Load();
        return *w;
    }
    ftp& connected()
    {
        open();
        w->Combo1.Text = "site";
        w->Combo1_Change();
        w->Command1_Click();
        return *w;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& s : dialogs.shown)
            out.push_back(s.title + ": " + s.text);
        return out;
    }
};

TEST_F(Window, OpensWithStoredValuesAndHostsOnlyWhenTheMarkerExists)
{
    struct Row {
        const char* name;
        bool plainValues, marker;
        Items hosts;
    } rows[] = {
        {"nothing stored", false, false, {}},
        {"plain values, no marker", true, false, {}},
        {"hosts with the marker", true, true, {"one", "two:2121"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings = Settings{};
        settings.at = dir.path("config/");
        std::filesystem::remove(settings.at + "brindle.dll");
        if (row.plainValues)
            for (auto [key, value] : {std::pair{"HostName", "h"}, {"Username", "u"}, {"Password", "p"}})
                settings.saveSetting("bw", "brindlepad", key, value);
        settings.saveSetting("bw", "brindlepad\\hosts", "oneHostName", "one");
        settings.saveSetting("bw", "brindlepad\\hosts", "two:2121HostName", "two:2121");
        if (row.marker)
            std::ofstream(settings.at + "brindle.dll") << "ok\r\n";
        ftp& f = open();
        EXPECT_EQ(f.Caption, "BRINDLEWORK FTP");
        EXPECT_EQ(f.Combo1.Text, "Select Host");
        EXPECT_EQ(f.Combo1.items(), row.hosts);
        EXPECT_EQ(f.Text1.Text(), row.plainValues ? "h" : "");
        EXPECT_EQ(f.Text2.Text(), row.plainValues ? "u" : "");
        EXPECT_EQ(f.Text3.Text(), row.plainValues ? "p" : "");
        EXPECT_EQ(f.Text8.Text(), temp());
        EXPECT_FALSE(f.Command6.Enabled);
        EXPECT_FALSE(f.connect);
    }
}

TEST_F(Window, ChoosingAHostLoadsItsProfileTypingLeavesTheTempPath)
{
    HostProfiles(settings, files).save("ftp.example", {"ann", "pw", "/srv/dl/"});
    HostProfiles(settings, files).save("nopath", {"bob", "pw2", ""});
    struct Row {
        const char* host;
        bool typed;
        const char *user, *password, *path;
    } rows[] = {
        {"ftp.example", false, "ann", "pw", "/srv/dl/"},
        {"ftp.example", true, "ann", "pw", "unchanged"},
        {"nopath", false, "bob", "pw2", ""},
        {"unknown", true, "", "", "unchanged"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.host) + (row.typed ? " typed" : " chosen"));
        ftp& f = open();
        f.Text8.setText("unchanged");
        f.Combo1.Text = row.host;
        row.typed ? f.Combo1_Change() : f.Combo1_Click();
        EXPECT_EQ(f.Text1.Text(), row.host);
        EXPECT_EQ(f.Text2.Text(), row.user);
        EXPECT_EQ(f.Text3.Text(), row.password);
        EXPECT_EQ(f.Text8.Text(), row.path);
    }
}

TEST_F(Window, ConnectListsTheStartFolderOrSaysWhyNot)
{
    struct Row {
        const char* name;
        const char* host;
        const char* failing; // action that fails, or none
        Items calls, dirs, files, messages;
        bool connectEnabled, disconnectEnabled, parentEnabled;
        std::string user = "u", password = "p";
    } rows[] = {
        {"empty host", "", nullptr, {}, {"stale"}, {"stale.html"}, {}, true, false, true},
        {"success", "site:2121", nullptr, {"connect site:2121 u p", "list /"}, {"pages", "my folder"}, {"index.html"}, {}, false, true, true},
        {"refused", "site", "connect", {"connect site u p"}, {}, {}, {"BRINDLEWORK: The server refused the user name or password."}, true, false, false},
        {"listing lost", "site", "list", {"connect site u p", "list /"}, {}, {}, {"BRINDLEWORK: The server refused the user name or password."}, true, false, false},
        {"pasted password with a command", "site", nullptr, {}, {"stale"}, {"stale.html"},
         {"BRINDLEWORK: The password holds a line break or another control character; nothing was sent."}, true, false, true, "u", "wonder\r\nDELE index.html"},
        {"password with a lone CR", "site", nullptr, {}, {"stale"}, {"stale.html"},
         {"BRINDLEWORK: The password holds a line break or another control character; nothing was sent."}, true, false, true, "u", "p\rDELE x"},
        {"user name with a tab", "site", nullptr, {}, {"stale"}, {"stale.html"},
         {"BRINDLEWORK: The user name holds a line break or another control character; nothing was sent."}, true, false, true, "u\t"},
        {"host with a line end", "site\nDELE x", nullptr, {}, {"stale"}, {"stale.html"},
         {"BRINDLEWORK: The host name holds a line break or another control character; nothing was sent."}, true, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.calls.clear();
        dialogs.shown.clear();
        if (row.failing)
            server.failures[row.failing] = {{false, 67, "The server refused the user name or password."}};
        ftp& f = open();
        f.List2.AddItem("stale"); // a listing from before
        f.List3.AddItem("stale.html");
        bool shownWhileConnecting = false;
        f.Repaint = [&] { shownWhileConnecting = f.Text5.Visible && f.Text6.Visible && f.Text7.Visible && f.List2.ListCount() == 0; };
        f.Text1.setText(row.host);
        f.Text2.setText(row.user);
        f.Text3.setText(row.password);
        f.Command1_Click();
        EXPECT_EQ(server.calls, row.calls);
        EXPECT_EQ(f.List2.items(), row.dirs);
        EXPECT_EQ(f.List3.items(), row.files);
        EXPECT_EQ(texts(), row.messages);
        EXPECT_EQ(f.Command1.Enabled, row.connectEnabled);
        EXPECT_EQ(f.Command6.Enabled, row.disconnectEnabled);
        EXPECT_EQ(f.Command5.Enabled, row.parentEnabled);
        EXPECT_FALSE(f.Text5.Visible || f.Text6.Visible || f.Text7.Visible);
        EXPECT_EQ(shownWhileConnecting, !row.calls.empty()) << "drawn before the connect blocks, on emptied lists";
        EXPECT_EQ(f.connect, !row.calls.empty());
        EXPECT_EQ(busy.begun.size(), static_cast<size_t>(busy.ends));
    }
}

TEST_F(Window, ListParseTakesNamesAfterTheDateAndKeepsEveryLine)
{
    std::string many;
    Items manyNames;
    for (int i = 0; i < 150; ++i) {
        manyNames.push_back("p" + std::to_string(i) + ".html");
        many += line('-', manyNames.back());
    }
    const std::string split = line('-', "split name.html");
    struct Row {
        const char* name;
        std::vector<std::string> pieces;
        Items dirs, files;
        Items messages = {};
    } rows[] = {
        {"a 100 KB name is cut and told",
         {line('-', "n").insert(55, std::string(100000, 'n')) + line('-', "after")}, {}, {std::string(kMaxListingLine - 55, 'n'), "after"},
         {"BRINDLEWORK: A line of the folder's listing was longer than 64 KB and was cut off."}},
        {"two dirs, three files, upper-case D is a file",
         {line('d', "a") + line('-', "x") + line('d', "b c"), line('l', "y") + line('D', "z")}, {"a", "b c"}, {"x", "y", "z"}},
        {"vsftpd's column 57", {line('d', "sub", true) + line('-', "page one.html", true)}, {"sub"}, {"page one.html"}},
        {"an empty line ends the parse", {line('-', "x") + "\r\n" + line('-', "after")}, {}, {"x"}},
        {"a line cut between pieces", {line('-', "x") + split.substr(0, 20), split.substr(20)}, {}, {"x", "split name.html"}},
        {"no known layout: from column 56", {"total 3\r\n" + std::string(55, '.') + "odd\r\n"}, {}, {"", "odd"}},
        {"150 files, one line per piece", {many}, {}, manyNames},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.listings["/"] = row.pieces;
        dialogs.shown.clear();
        ftp& f = connected();
        EXPECT_EQ(f.List2.items(), row.dirs);
        EXPECT_EQ(f.List3.items(), row.files);
        EXPECT_EQ(texts(), row.messages);
        EXPECT_TRUE(f.Command6.Enabled);
    }
}

TEST_F(Window, WalksFoldersAndStaysUsableWhenTheServerRefuses)
{
    ftp& f = connected();
    test::clickRow(f.List2, "my folder");
    EXPECT_EQ(server.cwd, "/my folder/");
    EXPECT_EQ(f.List3.items(), (Items{"a.html", "b.html"}));
    EXPECT_TRUE(f.Command5.Enabled);

    f.Command5_Click();
    EXPECT_EQ(server.cwd, "/");
    EXPECT_EQ(f.List2.items(), (Items{"pages", "my folder"}));

    // A folder the server refuses: told, and the folder we are in is shown again.
    server.listings["/"].push_back(line('d', "locked"));
    f.Command5_Click();
    test::clickRow(f.List2, "locked");
    EXPECT_EQ(texts(), (Items{"BRINDLEWORK: The server refused access to that folder or file."}));
    EXPECT_EQ(f.List2.items(), (Items{"pages", "my folder", "locked"}));
    EXPECT_TRUE(f.Command5.Enabled);

    // An empty entry lists the folder again, in place of the rows shown.
    f.List2.AddItem("");
    test::clickRow(f.List2, "");
    EXPECT_EQ(f.List3.items(), (Items{"index.html"}));

    // A server gone in mid-session: told once, Parent Dir still there to try again.
    server.failures["parentDir"] = {{false, 56, "The connection to the server was lost."}};
    server.failures["list"] = {{false, 56, "The connection to the server was lost."}};
    f.Command5_Click();
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown.back().text, "The connection to the server was lost.");
    EXPECT_TRUE(f.Command5.Enabled);
}

TEST_F(Window, DisconnectKeepsTheListsAndClicksThenDoNothing)
{
    ftp& f = connected();
    test::clickRow(f.List3, "index.html"); // not on the server: told, still listed
    f.Command6_Click();
    EXPECT_EQ(server.calls.back(), "disconnect");
    EXPECT_TRUE(f.Command1.Enabled);
    EXPECT_FALSE(f.Command6.Enabled);
    EXPECT_FALSE(f.connect);
    server.calls.clear();
    test::clickRow(f.List2, "my folder");
    test::clickRow(f.List3, "index.html");
    f.Command5_Click();
    EXPECT_TRUE(server.calls.empty());
    EXPECT_EQ(f.List2.items(), (Items{"pages", "my folder"}));
    EXPECT_EQ(f.List1.items(), (Items{"index.html"}));
    EXPECT_FALSE(f.Command5.Enabled);

    // Connecting again shows the new listing alone.
    f.Command1_Click();
    EXPECT_EQ(f.List2.items(), (Items{"pages", "my folder"}));
    EXPECT_EQ(f.List3.items(), (Items{"index.html"}));
}

TEST_F(Window, DownloadsIntoTheTempPathAskingBeforeReplacingACopy)
{
    const std::string a = server.remote["/my folder/a.html"];
    struct Row {
        const char* name;
        std::string tempBox, file;
        std::optional<Answer> replace; // a copy is already there, and the answer
        const char* failing;           // download result scripted
        bool cancel;
        Items listed;
        std::string local, bytes; // what the file holds afterwards ("" = absent)
        Items messages;
    } rows[] = {
        {"plain", temp(), "a.html", {}, nullptr, false, {"a.html"}, temp("a.html"), a, {}},
        {"temp path without a slash", dir.path("dl2"), "a.html", {}, nullptr, false, {"a.html"}, dir.path("dl2/a.html"), a, {}},
        {"empty temp box takes the default", "", "a.html", {}, nullptr, false, {"a.html"}, temp("a.html"), a, {}},
        {"keep the edited copy", temp(), "a.html", Answer::No, nullptr, false, {"a.html"}, temp("a.html"), "edited",
         {"BRINDLEWORK: a.html already exists in the temp path. Replace it?"}},
        {"replace it", temp(), "a.html", Answer::Yes, nullptr, false, {"a.html"}, temp("a.html"), a,
         {"BRINDLEWORK: a.html already exists in the temp path. Replace it?"}},
        {"server error", temp(), "a.html", {}, "download", false, {"a.html"}, temp("a.html"), "",
         {"BRINDLEWORK: The file is not on the server."}},
        {"cancelled", temp(), "a.html", Answer::Yes, nullptr, true, {"a.html"}, temp("a.html"), "edited",
         {"BRINDLEWORK: a.html already exists in the temp path. Replace it?", "BRINDLEWORK: The action was cancelled."}},
        {"a page in capitals", temp(), "C.XHTML", {}, nullptr, false, {"C.XHTML"}, temp("C.XHTML"), "<html></html>", {}},
        {"an .htm page", temp(), "d.htm", {}, nullptr, false, {"d.htm"}, temp("d.htm"), "<html></html>", {}},
        {"a picture is fetched but not batched", temp(), "a.gif", {}, nullptr, false, {}, temp("a.gif"), test::kGif, {}},
        {"unsafe name", temp(), "..", {}, nullptr, false, {}, "", "",
         {"BRINDLEWORK: The server's file name \"..\" cannot be used: its download would be written outside the temp path."}},
        {"temp path under a file", dir.path("plain.txt/dl/"), "a.html", {}, nullptr, false, {"a.html"}, "", "",
         {"BRINDLEWORK: The temp path \"" + dir.path("plain.txt/dl/") + "\" cannot be used: Not a directory.\n\"a.html\" was not downloaded."}},
    };
    dir.write("plain.txt", "x");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(temp());
        std::filesystem::remove_all(dir.path("dl2"));
        if (row.replace) {
            dir.write("dl/a.html", "edited");
            dialogs.answers.push_back(*row.replace);
        }
        dialogs.shown.clear();
        server.failures["download"].clear();
        if (row.failing)
            server.failures["download"] = {{false, 78, "The file is not on the server."}};
        busy.stop = row.cancel;
        server.steps = {{100, 200}, {200, 200}};
        ftp& f = connected();
        test::clickRow(f.List2, "my folder");
        for (const char* extra : {"..", "C.XHTML", "d.htm", "a.gif"})
            f.List3.AddItem(extra);
        f.Text8.setText(row.tempBox);
        test::clickRow(f.List3, row.file);
        EXPECT_EQ(f.List1.items(), row.listed);
        EXPECT_EQ(texts(), row.messages);
        if (row.replace) {
            EXPECT_EQ(dialogs.shown.at(0).defaultAnswer, Answer::No); // Return keeps the copy
        }
        if (!row.local.empty()) {
            EXPECT_EQ(readAll(row.local), row.bytes);
        }
        EXPECT_TRUE(f.Command5.Enabled);
        EXPECT_FALSE(server.hasProgress()); // handed back after each action
    }
}

TEST_F(Window, StartBatchingHandsTheDownloadsToTheMainWindowAsAFreshBatch)
{
    // An earlier batch stood at its third page.
    form.List3.AddItem("/old/1.html");
    form.List4.AddItem("1.html");
    form.nästa = 3;
    dir.write("dl/a.gif", test::kGif);
    ftp& f = connected();
    test::clickRow(f.List2, "my folder");
    f.List3.AddItem("a.gif");
    test::clickRow(f.List3, "a.html");
    dialogs.answers = {Answer::No, Answer::No};
    test::clickRow(f.List3, "a.html"); // kept as it is: listed once all the same
    test::clickRow(f.List3, "a.gif");  // for the view, not the batch (already there)
    test::clickRow(f.List3, "b.html");
    f.Command7_Click();
    EXPECT_EQ(unloads, 1);
    EXPECT_EQ(form.List3.items(), (Items{temp("a.html"), temp("b.html")}));
    EXPECT_EQ(form.List4.items(), (Items{"a.html", "b.html"}));
    EXPECT_EQ(form.Label3.Caption, "1 / 2");
    EXPECT_TRUE(form.Label3.Visible && form.Command7.Visible);
    EXPECT_EQ(form.Text6.Text(), temp("a.html"));
    EXPECT_EQ(form.List2.items(), (Items{"a.gif"}));

    f.Form_Unload();
    EXPECT_FALSE(server.connected());
    EXPECT_EQ(server.calls.back(), "disconnect");

    form.Command7_Click();
    EXPECT_EQ(form.Text6.Text(), temp("b.html"));
    EXPECT_EQ(form.Label3.Caption, "2 / 2");
}

TEST_F(Window, StartBatchingWithNothingDownloadedAndClosingUnconnected)
{
    ftp& f = open();
    f.Command7_Click();
    EXPECT_EQ(form.Label3.Caption, "1 / 0");
    EXPECT_TRUE(form.List3.items().empty());
    EXPECT_EQ(form.Text6.Text(), "");
    f.Form_Unload();
    EXPECT_TRUE(server.calls.empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
} // namespace bw
