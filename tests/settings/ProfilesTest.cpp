// Host profiles, the "Ftp Setup" window and the main window's FTP > Setup prompts, on a real
// settings store in a temp folder.
#include <gtest/gtest.h>

#include <sstream>

#include "editor/EditorSession.h"
#include "platform/IniSettings.h"
#include "settings/HostSetup.h"
#include "support/Doubles.h"

namespace bw {
namespace {

using Hosts = std::vector<std::string>;

// Host h is saved with its own user name, password, temp path, protocol, port, key file and
// backup choice.
HostProfile profileOf(const std::string& h)
{
    const int c = h.empty() ? 0 : h[0];
    return {"user " + h, "p=;# " + h, "/t/" + h + "/", Protocol(c % 3), c % 2 ? 0 : 65535 - c, "/k/" + h, c % 2 == 0};
}

struct FtpSetup : ::testing::Test, FtpHostList {
    test::TempDir dir;
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    IniSettingsStore settings{dir.path("config/brindlework/")};
    test::MemorySecrets secrets;
    Platform platform{dialogs, files, shell, host, settings, secrets};
    HostProfiles profiles{platform};
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
    for (const auto& r : rows)
        for (bool keyring : {false, true}) {
            SCOPED_TRACE(r.script + std::string(keyring ? " with a keyring" : ""));
            secrets.running = keyring;
            secrets.secrets.clear();
            std::filesystem::remove_all(dir.path("config"));
            dialogs.shown.clear();
            refills.clear();
            int closes = 0, backs = 0;
            std::optional<test::DiskFull> full;
            std::unique_ptr<HostSetup> w;
            std::istringstream words(std::string("open ") + r.script);
            for (std::string word; words >> word;) {
                const std::string verb = word.substr(0, word.find(':')), h = word.substr(word.find(':') + 1);
                if (verb == "open") {
                    w = std::make_unique<HostSetup>(platform, "/t/", this);
                    w->closeWindow = [&] { ++closes; };
                    w->load();
                } else if (verb == "save") {
                    const HostProfile p = profileOf(h);
                    for (auto [box, text] : {std::pair{&w->hostBox, h}, {&w->userBox, p.user}, {&w->passwordBox, p.password},
                                             {&w->tempPathBox, p.path}, {&w->keyFileBox, p.keyFile},
                                             {&w->portBox, p.port ? " " + std::to_string(p.port) : ""}})
                        box->setText(text);
                    w->protocols.setListIndex(int(p.protocol));
                    w->keepBackupBox.Value = p.keepBackup;
                    w->save();
                } else if (verb == "store") {
                    ASSERT_TRUE(test::saved(profiles, h, profileOf(h)).result.ok);
                } else if (verb == "yes" || verb == "no") {
                    dialogs.answers = {verb == "yes" ? Answer::Yes : Answer::No};
                    test::clickRow(w->hosts, h);
                } else if (verb == "back") {
                    ++backs;
                    w->back();
                } else if (verb == "full") {
                    full.emplace();
                } else if (verb == "blocked") {
                    std::filesystem::create_directories(profiles.markerPath()); // something else holds its name
                } else {
                    ADD_FAILURE() << "no such step: " << word;
                }
            }
            full.reset();
            EXPECT_EQ(w->hosts.items(), r.listed);
            EXPECT_EQ(profiles.stored(), r.stored);
            for (const std::string& h : r.stored)
                EXPECT_EQ(test::loaded(profiles, h).result, profileOf(h)) << h;
            EXPECT_EQ(settings.getAllSettings("bw", "brindlepad").size(), (keyring ? 6 : 7) * r.stored.size())
                << "deleted hosts' values go; with a keyring, passwords are not here";
            EXPECT_EQ(secrets.secrets.size(), keyring ? r.stored.size() : 0);
            EXPECT_NE(w->keyringNote.Caption.find(keyring ? "in the desktop keyring" : "readable only by you"), std::string::npos);
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
    EditorSession form{platform, Version{1, 0, 6}};
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "UserName", "anna").ok);
    ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "Password", "old").ok);
    const struct {
        void (EditorSession::*handler)();
        const char *readAs, *shown;       // the key, read back in another spelling; what the prompt opens with
        std::optional<std::string> typed; // nullopt: Cancel
        std::string stored;
        bool masked;
    } rows[] = {
        {&EditorSession::askSiteAddress, "URL", "ftp.brindlework.example", "ftp.x.example", "ftp.x.example", false}, // none stored
        {&EditorSession::askUserName, "Username", "anna", std::nullopt, "anna", false},
        {&EditorSession::askPassword, "password", "old", " p=;#[x]% ", "absent", true}, // moved to the keyring
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
    EXPECT_EQ(settings.getAllSettings("bw", "brindlepad").size(), 2u);
    EXPECT_EQ(secrets.secrets, (std::map<std::string, std::string>{{"Password", " p=;#[x]% "}}));
}

TEST_F(FtpSetup, PasswordsGoToTheKeyringWhileOneRunsAndOldOnesMoveThereAtSave)
{
    const struct {
        bool running;
        const char *refusal, *before; // why the keyring refuses ("": it does not); kept the old way (null: none)
        bool save;                    // "new" is saved, else the password is only read
        const char *read, *inStore, *inKeyring; // null: none
    } rows[] = {
        {true, "", "old", false, "old", "old", nullptr},     {true, "", "old", true, "new", nullptr, "new"},
        {false, "", "old", true, "new", "new", nullptr},     {true, "locked", "old", true, "new", "new", nullptr},
        {true, "locked", nullptr, false, "", nullptr, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        std::filesystem::remove_all(dir.path("config"));
        secrets.secrets.clear();
        std::tie(secrets.running, secrets.refusal) = std::pair(r.running, std::string(r.refusal));
        ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "hUsername", "u").ok); // an old profile, without the newer keys
        if (r.before) {
            ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "hPassword", r.before).ok);
        }
        auto [typed, problems, answered] = test::loaded(profiles, "h");
        EXPECT_EQ(std::tuple(typed.protocol, typed.port, typed.keepBackup), std::tuple(Protocol::ftp, 0, false));
        typed.password = "new";
        if (r.save) {
            const auto saved = test::saved(profiles, "h", typed);
            EXPECT_TRUE(saved.result.ok);
            problems = saved.problem;
        }
        const auto read = test::loaded(profiles, "h");
        EXPECT_EQ(read.result.password, r.read);
        problems += read.problem;
        EXPECT_EQ(settings.getSetting("bw", "brindlepad", "hPassword", "none"), r.inStore ? r.inStore : "none");
        EXPECT_EQ(secrets.secrets.count("u@h") ? secrets.secrets["u@h"] : "none", r.inKeyring ? r.inKeyring : "none");
        EXPECT_EQ(problems.find("keyring") != std::string::npos, *r.refusal != 0) << problems;
    }
    // A host never saved is not looked up: a name being typed asks the keyring nothing.
    secrets.refusal = "locked";
    const auto typed = test::loaded(profiles, "typed.example");
    EXPECT_EQ(std::pair(typed.result.password, typed.problem), std::pair(std::string(), std::string()));
}

TEST_F(FtpSetup, AWindowClosedWhileTheKeyringWritesLosesNoPassword)
{
    test::HeldSecrets held;
    Platform slow{dialogs, files, shell, host, settings, held};
    for (const char* refusal : {"", "locked"}) {
        SCOPED_TRACE(refusal);
        std::filesystem::remove_all(dir.path("config"));
        held.refusal = refusal;
        held.secrets.clear();
        dialogs.shown.clear();
        auto w = std::make_unique<HostSetup>(slow, "/t/", this);
        w->hostBox.setText("h");
        w->passwordBox.setText("pw");
        w->save();
        EXPECT_EQ(w->hosts.items(), Hosts{}) << "listed once the keyring has it";
        w.reset();
        held.release();
        EXPECT_EQ(settings.getSetting("bw", "brindlepad", "hPassword", "none"), *refusal ? "pw" : "none");
        EXPECT_EQ(held.secrets.count("@h") ? held.secrets["@h"] : "none", *refusal ? "none" : "pw");
        EXPECT_TRUE(dialogs.shown.empty()) << "nothing is told for a window that has gone";
    }
}

TEST_F(FtpSetup, PortsAreEmptyOrFrom1To65535)
{
    HostSetup w(platform, "/t/", this);
    w.hostBox.setText("h");
    const std::pair<const char*, int> rows[] = { // as typed; as stored, -1: refused and nothing saved
        {"", 0}, {"  ", 0}, {"1", 1}, {" 2121\t", 2121}, {"65535", 65535}, {"021", 21}, {"0", -1}, {"65536", -1},
        {"-21", -1}, {"+21", -1}, {"21a", -1}, {"2 1", -1}, {"99999999999999999999", -1}};
    for (auto [typed, port] : rows) {
        SCOPED_TRACE(typed);
        std::filesystem::remove_all(dir.path("config"));
        dialogs.shown.clear();
        w.portBox.setText(typed);
        w.save();
        EXPECT_EQ(profiles.stored(), port < 0 ? Hosts{} : Hosts{"h"});
        EXPECT_EQ(test::loaded(profiles, "h").result.port, std::max(port, 0));
        EXPECT_EQ(dialogs.shown.size() == 1 && dialogs.shown[0].title == "BRINDLEWORK", port < 0);
    }
}

} // namespace
} // namespace bw
