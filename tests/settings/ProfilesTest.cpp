// Host profiles, the "Ftp Setup" window and the main window's FTP > Setup prompts, on a real
// settings store in a temp folder.
#include <gtest/gtest.h>

#include <sstream>

#include "editor/Form1.h"
#include "platform/IniSettings.h"
#include "settings/Setup.h"
#include "support/Doubles.h"

namespace bw {
namespace {

using Hosts = std::vector<std::string>;

// Host h is saved with its own user name, password and temp path.
HostProfile profileOf(const std::string& h) { return {"user " + h, "p=;# " + h, "/t/" + h + "/"}; }

struct FtpSetup : ::testing::Test, FtpHostList {
    test::TempDir dir;
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    IniSettingsStore settings{dir.path("config/brindlework/")};
    Platform platform{dialogs, files, shell, host, settings};
    HostProfiles profiles{settings, files};
    std::vector<Hosts> refills; // as the FTP window's host list gets them from Back
    void refillHosts(const Hosts& hosts) override { refills.push_back(hosts); }
};

TEST_F(FtpSetup, SessionsSaveListDeleteAndGoBack)
{
    const struct {
        const char* script; // save:h in the window, store:h behind its back (no marker), yes:h and no:h
                            // to the question a click on h asks, open again, back, full disk from then
                            // on, blocked marker
        Hosts listed, stored;
        size_t told; // messages, questions aside
        int closes;
    } rows[] = {
        {"save:h save:h", {"h", "h"}, {"h"}, 0, 0},
        {"save:h save:h open", {"h"}, {"h"}, 0, 0},
        {"save:", {""}, {""}, 0, 0},
        {"save:a save:b save:c no:b", {"a", "b", "c"}, {"a", "b", "c"}, 0, 0},
        {"save:a save:b save:c yes:b", {"a", "c"}, {"a", "c"}, 0, 0},
        {"save:a yes:a open", {}, {}, 0, 0},
        {"store:x open", {}, {"x"}, 0, 0},
        {"back", {}, {}, 0, 0},
        {"store:b store:a back", {}, {"b", "a"}, 0, 1},
        {"save:a full save:b yes:a", {"a"}, {"a"}, 2, 0},
        {"blocked save:a", {"a"}, {"a"}, 1, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.script);
        std::filesystem::remove_all(dir.path("config"));
        dialogs.shown.clear();
        refills.clear();
        int closes = 0, backs = 0;
        std::optional<test::DiskFull> full;
        std::unique_ptr<setup> w;
        std::istringstream words(std::string("open ") + r.script);
        for (std::string word; words >> word;) {
            const std::string verb = word.substr(0, word.find(':')), h = word.substr(word.find(':') + 1);
            if (verb == "open") {
                w = std::make_unique<setup>(platform, "/t/", this);
                w->Unload = [&] { ++closes; };
                w->Form_Load();
            } else if (verb == "save") {
                for (auto [box, text] : {std::pair{&w->Text1, h}, {&w->Text2, profileOf(h).user},
                                         {&w->Text3, profileOf(h).password}, {&w->Text4, profileOf(h).path}})
                    box->setText(text);
                w->Command1_Click();
            } else if (verb == "store") {
                ASSERT_TRUE(profiles.save(h, profileOf(h)).ok);
            } else if (verb == "yes" || verb == "no") {
                dialogs.answers = {verb == "yes" ? Answer::Yes : Answer::No};
                test::clickRow(w->List1, h);
            } else if (verb == "back") {
                ++backs;
                w->Command2_Click();
            } else if (verb == "full") {
                full.emplace();
            } else if (verb == "blocked") {
                std::filesystem::create_directories(profiles.markerPath()); // something else holds its name
            } else {
                ADD_FAILURE() << "no such step: " << word;
            }
        }
        full.reset();
        EXPECT_EQ(w->List1.items(), r.listed);
        EXPECT_EQ(profiles.stored(), r.stored);
        for (const std::string& h : r.stored)
            EXPECT_EQ(profiles.load(h), profileOf(h)) << h;
        EXPECT_EQ(settings.getAllSettings("bw", "brindlepad").size(), 3 * r.stored.size()) << "deleted hosts' values go";
        EXPECT_EQ(closes, r.closes);
        EXPECT_EQ(refills, std::vector<Hosts>(backs, r.stored)) << "emptied, then refilled in store order";
        EXPECT_TRUE(dialogs.answers.empty()) << "each click asked";
        size_t told = 0;
        for (const test::Shown& shown : dialogs.shown) {
            told += shown.buttons != Buttons::YesNo;
            EXPECT_EQ(shown.buttons == Buttons::YesNo ? shown.defaultAnswer : Answer::No, Answer::No) << "Return deletes nothing";
        }
        EXPECT_EQ(told, r.told);
    }
}

TEST_F(FtpSetup, MainWindowPromptsOpenWithTheStoredValueAndCancelKeepsIt)
{
    Form1 form{platform, Version{1, 0, 6}};
    settings.saveSetting("bw", "brindlepad", "UserName", "anna");
    settings.saveSetting("bw", "brindlepad", "Password", "old");
    const struct {
        void (Form1::*handler)();
        const char *readAs, *shown;       // the key, read back in another spelling; what the prompt opens with
        std::optional<std::string> typed; // nullopt: Cancel
        std::string stored;
        bool masked;
    } rows[] = {
        {&Form1::url_Click, "URL", "ftp.brindlework.example", "ftp.x.example", "ftp.x.example", false}, // none stored
        {&Form1::na_Click, "Username", "anna", std::nullopt, "anna", false},
        {&Form1::pass_Click, "password", "old", " p=;#[x]% ", " p=;#[x]% ", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.readAs);
        dialogs.typed = {r.typed};
        dialogs.prompts.clear();
        (form.*r.handler)();
        ASSERT_EQ(dialogs.prompts.size(), 1u);
        EXPECT_EQ(dialogs.prompts[0].defaultAnswer, r.shown);
        EXPECT_EQ(dialogs.prompts[0].masked, r.masked);
        EXPECT_EQ(settings.getSetting("bw", "brindlepad", r.readAs, "absent"), r.stored);
    }
    EXPECT_EQ(settings.getAllSettings("bw", "brindlepad").size(), 3u);
}

} // namespace
} // namespace bw
