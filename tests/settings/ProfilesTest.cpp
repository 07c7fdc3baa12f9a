// Host profiles, the "Ftp Setup" window and the main window's FTP > Setup prompts.
#include <gtest/gtest.h>

#include "editor/Form1.h"
#include "platform/IniSettings.h"
#include "settings/Setup.h"
#include "support/Doubles.h"

namespace bw {
namespace {

class RecordingFtp : public FtpHostList {
public:
    std::vector<std::vector<std::string>> refills;
    void refillHosts(const std::vector<std::string>& hosts) override { refills.push_back(hosts); }
};

template <class Files, class Store> struct SetupWith : ::testing::Test {
    test::ScriptedDialogs dialogs;
    Files files;
    test::RecordingShell shell;
    test::FakeHost host;
    Store settings;
    RecordingFtp ftp;
    Platform platform{dialogs, files, shell, host, settings};
    HostProfiles profiles{settings, files};
    int unloads = 0;

    template <class... Args> SetupWith(Args&&... args) : settings(std::forward<Args>(args)...) {}

    std::unique_ptr<setup> open()
    {
        auto w = std::make_unique<setup>(platform, "/home/u/.cache/brindlework/ftp/", &ftp);
        w->Unload = [this] { ++unloads; };
        w->Form_Load();
        return w;
    }
    void save(setup& w, const std::string& h, const std::string& u, const std::string& p, const std::string& t)
    {
        w.Text1.setText(h);
        w.Text2.setText(u);
        w.Text3.setText(p);
        w.Text4.setText(t);
        w.Command1_Click();
    }
    SettingPairs hosts() { return settings.getAllSettings("bw", "brindlepad\\hosts"); }
    SettingPairs main() { return settings.getAllSettings("bw", "brindlepad"); }
};

using FtpSetup = SetupWith<test::MemoryFileSystem, test::MemorySettings>;

TEST_F(FtpSetup, SaveWritesTheFourKeysInOrderThenTheMarker)
{
    auto w = open();
    save(*w, "ftp.a.example", "anna", "p=w;d#", "/tmp/dl/");
    EXPECT_EQ(hosts(), (SettingPairs{{"ftp.a.exampleHostName", "ftp.a.example"}}));
    EXPECT_EQ(main(), (SettingPairs{{"ftp.a.exampleUsername", "anna"},
                                    {"ftp.a.examplePassword", "p=w;d#"},
                                    {"ftp.a.examplepath", "/tmp/dl/"}}));
    EXPECT_EQ(files.files.at("/config/brindlework/brindle.dll"), "ok\r\n");
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"ftp.a.example"}));
    EXPECT_EQ(w->Text1.Text(), "ftp.a.example") << "the boxes keep their texts";
    EXPECT_TRUE(dialogs.shown.empty()) << "no message on success";
    EXPECT_EQ(profiles.load("ftp.a.example"), (HostProfile{"anna", "p=w;d#", "/tmp/dl/"}));
}

TEST_F(FtpSetup, SavingTwiceListsTwiceButStoresOnce)
{
    auto w = open();
    save(*w, "h", "u1", "p1", "t1");
    save(*w, "h", "u2", "p2", "t2");
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"h", "h"}));
    EXPECT_EQ(hosts().size(), 1u);
    EXPECT_EQ(main().size(), 3u);
    EXPECT_EQ(profiles.load("h"), (HostProfile{"u2", "p2", "t2"}));
    EXPECT_EQ(open()->List1.items(), (std::vector<std::string>{"h"})) << "once when reopened";
}

TEST_F(FtpSetup, ClickingAHostAsksAndDeletesOnlyOnYes)
{
    struct Row {
        Answer answer;
        int clicked;
        std::vector<std::string> listed;
        SettingPairs stored;
    };
    const Row rows[] = {
        {Answer::No, 1, {"a", "b", "c"}, {{"aHostName", "a"}, {"bHostName", "b"}, {"cHostName", "c"}}},
        {Answer::Yes, 1, {"a", "c"}, {{"aHostName", "a"}, {"cHostName", "c"}}},
        {Answer::Yes, 0, {"b", "c"}, {{"bHostName", "b"}, {"cHostName", "c"}}},
        {Answer::Yes, 2, {"a", "b"}, {{"aHostName", "a"}, {"bHostName", "b"}}},
    };
    for (const Row& r : rows) {
        settings = {};
        files.files.clear();
        auto w = open();
        for (const char* h : {"a", "b", "c"})
            save(*w, h, std::string("user ") + h, "pw", "/t/");
        dialogs.shown.clear();
        dialogs.answers = {r.answer};
        w->List1.setListIndex(r.clicked);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, "Do you want to delete this ftp ?");
        EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
        EXPECT_EQ(dialogs.shown[0].buttons, Buttons::YesNo);
        EXPECT_EQ(dialogs.shown[0].defaultAnswer, Answer::No); // Return deletes nothing
        EXPECT_EQ(w->List1.items(), r.listed);
        EXPECT_EQ(hosts(), r.stored);
        // A deleted host's values go too: typing its name again finds nothing.
        const std::string clicked(1, static_cast<char>('a' + r.clicked));
        const bool deleted = r.answer == Answer::Yes;
        EXPECT_EQ(profiles.load(clicked), (deleted ? HostProfile{} : HostProfile{"user " + clicked, "pw", "/t/"}));
        EXPECT_EQ(main().size(), deleted ? 6u : 9u);
    }
}

TEST_F(FtpSetup, MarkerDecidesWhetherTheListIsReadButBackIgnoresIt)
{
    settings.saveSetting("bw", "brindlepad\\hosts", "xHostName", "x");
    auto w = open();
    EXPECT_EQ(w->List1.ListCount(), 0) << "no marker: the store is not read";
    w->Command2_Click();
    EXPECT_EQ(ftp.refills.back(), (std::vector<std::string>{"x"}));
    EXPECT_EQ(unloads, 1);

    files.files["/config/brindlework/brindle.dll"] = "ok\r\n";
    auto again = open();
    EXPECT_EQ(again->List1.items(), (std::vector<std::string>{"x"}));

    // After the last deletion the lists open empty, and the marker stays.
    dialogs.answers = {Answer::Yes};
    again->List1.setListIndex(0);
    EXPECT_TRUE(profiles.markerExists());
    EXPECT_EQ(open()->List1.ListCount(), 0);
}

TEST_F(FtpSetup, BackRefillsTheFtpHostListAndClosesOnlyWhenHostsAreStored)
{
    struct Row {
        std::vector<std::string> stored;
        int closes;
    };
    const Row rows[] = {{{}, 0}, {{"one"}, 1}, {{"b", "a", ""}, 1}};
    for (const Row& r : rows) {
        settings = {};
        ftp.refills.clear();
        unloads = 0;
        for (const std::string& h : r.stored)
            settings.saveSetting("bw", "brindlepad\\hosts", h + "HostName", h);
        auto w = open();
        w->Command2_Click();
        ASSERT_EQ(ftp.refills.size(), 1u);
        EXPECT_EQ(ftp.refills[0], r.stored) << "emptied, then refilled in store order";
        EXPECT_EQ(unloads, r.closes);
    }
    // Without an FTP window Back still closes when there is something to show.
    settings.saveSetting("bw", "brindlepad\\hosts", "hHostName", "h");
    setup alone(platform, "/t/");
    int closed = 0;
    alone.Unload = [&] { ++closed; };
    alone.Command2_Click();
    EXPECT_EQ(closed, 1);
}

TEST_F(FtpSetup, AnEmptyHostNameWritesThePlainKeys)
{
    settings.saveSetting("bw", "brindlepad", "UserName", "from the prompt");
    auto w = open();
    save(*w, "", "profile user", "profile pw", "/t/");
    EXPECT_EQ(settings.getSetting("bw", "brindlepad", "Username"), "profile user");
    EXPECT_EQ(settings.getSetting("bw", "brindlepad", "Password"), "profile pw");
    EXPECT_EQ(hosts(), (SettingPairs{{"HostName", ""}}));
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{""}));
}

TEST_F(FtpSetup, AStoreThatFailsIsToldAndChangesNothingShown)
{
    auto w = open();
    save(*w, "kept", "u", "p", "t");
    settings.failure = "the disk is full";
    dialogs.shown.clear();
    save(*w, "new", "u", "p", "t");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_NE(dialogs.shown[0].text.find("the disk is full"), std::string::npos);
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"kept"})) << "a host not stored is not listed";

    dialogs.answers = {Answer::Yes};
    w->List1.setListIndex(0);
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"kept"})) << "a host not deleted stays listed";
    EXPECT_EQ(dialogs.shown.size(), 3u);

    settings.failure.reset();
    save(*w, "new", "u", "p", "t");
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"kept", "new"})) << "usable again";
}

using SetupOnDisk = SetupWith<RealFileSystem, IniSettingsStore>;

struct OwnFolder {
    test::TempDir dir;
};

// The folder comes first so that the store can be made in it.
struct DiskSetup : OwnFolder, SetupOnDisk {
    DiskSetup() : SetupOnDisk(dir.path("config/brindlework/")) {}
};

TEST_F(DiskSetup, ProfilesOutliveTheProgramAndAFullDiskLosesNone)
{
    {
        auto w = open();
        save(*w, "ftp.a.example", "anna", "secret", "/tmp/a/");
        save(*w, "ftp.b.example", "bo", "hemligt", "/tmp/b/");
    }
    EXPECT_EQ(test::readAll(dir.path("config/brindlework/brindle.dll")), "ok\r\n");
    {
        auto w = open();
        test::DiskFull disk;
        save(*w, "ftp.c.example", "cy", std::string(4096, 'c'), "/tmp/c/");
    }
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");

    IniSettingsStore nextRun(dir.path("config/brindlework/"));
    HostProfiles again(nextRun, files);
    EXPECT_EQ(again.list(), (std::vector<std::string>{"ftp.a.example", "ftp.b.example"}));
    EXPECT_EQ(again.load("ftp.b.example"), (HostProfile{"bo", "hemligt", "/tmp/b/"}));
}

TEST_F(DiskSetup, AMarkerThatCannotBeWrittenIsToldButTheProfileIsKept)
{
    auto w = open();
    std::filesystem::create_directories(profiles.markerPath()); // something else holds its name
    save(*w, "h", "u", "p", "t");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("brindle.dll"), std::string::npos) << dialogs.shown[0].text;
    EXPECT_EQ(profiles.stored(), (std::vector<std::string>{"h"}));
    EXPECT_EQ(w->List1.items(), (std::vector<std::string>{"h"}));
}

struct Prompts : ::testing::Test {
    test::ScriptedDialogs dialogs;
    test::MemoryFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    Form1 form{Platform{dialogs, files, shell, host, settings}, Version{1, 0, 6}};
};

TEST_F(Prompts, EachPromptOpensWithTheStoredValueAndCancelKeepsIt)
{
    struct Row {
        void (Form1::*handler)();
        const char *prompt, *title, *key, *readAs;
        const char* before; // nullptr: nothing stored yet
        const char* shown;
        std::optional<std::string> typed;
        std::string stored;
        bool masked;
    };
    const Row rows[] = {
        {&Form1::url_Click, "where is the site", "Url", "Url", "URL", nullptr, "ftp.brindlework.example", "ftp.x.example", "ftp.x.example", false},
        {&Form1::na_Click, "What is the username ?", "UserNamne", "UserName", "Username", "anna", "anna", " anna ", " anna ", false},
        {&Form1::pass_Click, "What is the password ?", "Password", "Password", "password", "old", "old", "p=;#[x]%", "p=;#[x]%", true},
        {&Form1::na_Click, "What is the username ?", "UserNamne", "UserName", "Username", "anna", "anna", std::nullopt, "anna", false},
        {&Form1::pass_Click, "What is the password ?", "Password", "Password", "Password", "secret", "secret", std::nullopt, "secret", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.key);
        settings.deleteSetting("bw", "brindlepad", r.key);
        if (r.before)
            settings.saveSetting("bw", "brindlepad", r.key, r.before);
        dialogs.typed = {r.typed};
        dialogs.prompts.clear();
        (form.*r.handler)();
        ASSERT_EQ(dialogs.prompts.size(), 1u);
        EXPECT_EQ(dialogs.prompts[0].prompt, r.prompt);
        EXPECT_EQ(dialogs.prompts[0].title, r.title);
        EXPECT_EQ(dialogs.prompts[0].defaultAnswer, r.shown);
        EXPECT_EQ(dialogs.prompts[0].masked, r.masked);
        EXPECT_EQ(settings.getSetting("bw", "brindlepad", r.readAs, "absent"), r.stored);
        EXPECT_TRUE(dialogs.shown.empty());
    }
    EXPECT_EQ(settings.getAllSettings("bw", "brindlepad").size(), 3u);
}

TEST_F(Prompts, AStoreThatFailsIsToldAndTheProgramGoesOn)
{
    settings.saveSetting("bw", "brindlepad", "Url", "kept");
    settings.failure = "the folder is read-only";
    dialogs.typed = {"lost"};
    form.url_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_NE(dialogs.shown[0].text.find("the folder is read-only"), std::string::npos);
    EXPECT_EQ(settings.getSetting("bw", "brindlepad", "Url"), "kept");
    settings.failure.reset();
    dialogs.typed = {"now"};
    form.url_Click();
    EXPECT_EQ(settings.getSetting("bw", "brindlepad", "Url"), "now");
}

} // namespace
} // namespace bw
