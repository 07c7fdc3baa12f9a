// The real settings store, on files in a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/Folders.h"
#include "platform/IniSettings.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

int sectionHeaders(const std::string& text)
{
    int headers = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (text[at] == '[')
            ++headers;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return headers;
}

// Names a user may type as a host: every character the file's syntax could trip over, alone,
// at either end and in the middle, plus random bytes of every value.
std::vector<std::string> generatedNames()
{
    const std::vector<std::string> pieces = {"",   " ",  "=",  ";",  "#",  "[",  "]",  "/",   "\\",  "%",
                                             "%2", "%41", "\"", "'",  "\t", "\r", "\n", "\r\n", "åäö", "名前",
                                             "\xff\xfe", std::string(1, '\0'), "  ", "[x]", "a=b", "HostName"};
    std::vector<std::string> names;
    for (const std::string& p : pieces) {
        names.push_back(p);
        names.push_back(p + "host");
        names.push_back("host" + p);
        names.push_back("ftp" + p + ".example");
    }
    std::mt19937 random(2024);
    for (int i = 0; i < 80; ++i) {
        std::string name(random() % 24, ' ');
        for (char& c : name)
            c = static_cast<char>(random() % 256);
        names.push_back(name);
    }
    return names;
}

void expectOnlyTheStoreIn(const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "bw.ini" || name == "bw.ini.lock") << name << ": no temporary file left behind";
    }
}

struct Store : ::testing::Test {
    test::TempDir dir;
    std::string folder = dir.path("config/brindlework/");
    IniSettingsStore store{folder};
    std::string file() const { return store.fileFor("bw"); }
};

TEST_F(Store, GeneratedHostNamesRoundTripWithoutNestingOrClashing)
{
    // What the store must hold is what the reference double holds after the same saves.
    test::MemorySettings expected;
    for (const std::string& name : generatedNames()) {
        for (auto [section, key, value] : {std::tuple{"brindlepad\\hosts", name + "HostName", name},
                                           std::tuple{"brindlepad", name + "Username", "user " + name},
                                           std::tuple{"brindlepad", name + "Password", name + "=;#[ "},
                                           std::tuple{"brindlepad", name + "path", "/tmp/" + name + "/"}}) {
            ASSERT_TRUE(store.saveSetting("bw", section, key, value).ok);
            expected.saveSetting("bw", section, key, value);
        }
    }
    IniSettingsStore nextRun(folder);
    for (const char* section : {"brindlepad", "brindlepad\\hosts"})
        EXPECT_EQ(nextRun.getAllSettings("bw", section), expected.getAllSettings("bw", section)) << section;
    EXPECT_EQ(sectionHeaders(test::readAll(file())), 2) << "no name may open a section of its own";
}

TEST_F(Store, KeysAndSectionsMatchWithoutRegardToCase)
{
    struct Row {
        const char *writtenSection, *written, *readSection, *read;
    };
    const Row rows[] = {
        {"brindlepad", "UserName", "brindlepad", "Username"},
        {"brindlepad", "Password", "brindlepad", "PASSWORD"},
        {"brindlepad\\hosts", "ftp.aHostName", "Brindlepad\\Hosts", "FTP.AHOSTNAME"},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(store.saveSetting("bw", r.writtenSection, r.written, r.written).ok);
        EXPECT_EQ(store.getSetting("bw", r.readSection, r.read, "absent"), r.written) << r.read;
        // A second save under the other spelling replaces the value, it adds no key.
        const std::string again = std::string("again ") + r.read;
        size_t keys = store.getAllSettings("bw", r.writtenSection).size();
        ASSERT_TRUE(store.saveSetting("bw", r.readSection, r.read, again).ok);
        EXPECT_EQ(store.getAllSettings("bw", r.writtenSection).size(), keys);
        EXPECT_EQ(store.getSetting("bw", r.writtenSection, r.written), again);
    }
}

TEST_F(Store, MissingThingsGiveTheDefaultAndDeleteRemovesOnlyItsKey)
{
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "Url", "none yet"), "none yet") << "no file";
    EXPECT_TRUE(store.deleteSetting("bw", "brindlepad", "Url").ok) << "nothing to delete is no failure";
    EXPECT_FALSE(fs::exists(file())) << "reading and empty deletes create nothing";
    store.saveSetting("bw", "brindlepad\\hosts", "aHostName", "a");
    store.saveSetting("bw", "brindlepad\\hosts", "bHostName", "b");
    store.saveSetting("bw", "brindlepad", "aHostName", "same key, other section");
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "Password", "d"), "d") << "no key";
    EXPECT_EQ(store.getSetting("bw", "elsewhere", "Url", "d"), "d") << "no section";
    ASSERT_TRUE(store.deleteSetting("bw", "brindlepad\\hosts", "AHOSTNAME").ok);
    EXPECT_EQ(store.getAllSettings("bw", "brindlepad\\hosts"), (SettingPairs{{"bHostName", "b"}}));
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "aHostName"), "same key, other section");
}

TEST_F(Store, FileIsPrivateAfterCreateAndEveryRewrite)
{
    ::umask(022);
    ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "Password", "secret").ok);
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(modeOf(folder), 0700u) << "the folder it made";
    for (mode_t widened : {0644, 0666, 0604}) {
        ::chmod(file().c_str(), widened);
        ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "Password", "other").ok);
        EXPECT_EQ(modeOf(file()), 0600u) << std::oct << widened;
        ::chmod(file().c_str(), widened);
        ASSERT_TRUE(store.deleteSetting("bw", "brindlepad", "Password").ok);
        EXPECT_EQ(modeOf(file()), 0600u) << std::oct << widened;
    }
    expectOnlyTheStoreIn(folder);
}

TEST_F(Store, DamagedFileIsReadAsFarAsItCanBe)
{
    struct Row {
        const char* what;
        std::string text;
        SettingPairs readable;
    };
    const std::string binary("\x00\x01\xff\x89PNG\r\n\x1a\n\x00\x00", 12);
    const Row rows[] = {
        {"not an INI file", binary + "\n" + binary, {}},
        {"junk around good lines", "junk\n[brindlepad]\nUserName=u\nno equals here\r\n" + binary + "\nPassword = p \n",
         {{"UserName", "u"}, {"Password", "p"}}},
        {"entries before any section", "UserName=lost\n[brindlepad]\nUrl=kept\n", {{"Url", "kept"}}},
        {"a header cut short", "[brindlepad]\nUrl=a\n[brindlepad\\ho", {{"Url", "a"}}},
        {"bad escapes", "[brindlepad]\nUrl=100%\nPassword=%zz%4\n", {{"Url", "100%"}, {"Password", "%zz%4"}}},
        {"a section twice", "[brindlepad]\nUrl=a\n[other]\nx=1\n[BRINDLEPAD]\nUrl=b\nPassword=p\n",
         {{"Url", "b"}, {"Password", "p"}}},
        {"a byte-order mark", "\xEF\xBB\xBF[brindlepad]\r\nUrl=a\r\n", {{"Url", "a"}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        fs::create_directories(folder);
        dir.write("config/brindlework/bw.ini", r.text);
        EXPECT_EQ(store.getAllSettings("bw", "brindlepad"), r.readable);
        ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "HostName", "h").ok);
        SettingPairs after = r.readable;
        after.emplace_back("HostName", "h");
        EXPECT_EQ(IniSettingsStore(folder).getAllSettings("bw", "brindlepad"), after);
        fs::remove_all(folder);
    }
    // What a rewrite drops is kept beside it, each damaged version under a name of its own.
    std::vector<std::string> versions = {"garbage\n[brindlepad]\nUrl=a\n", "more garbage\n"};
    for (const std::string& damaged : versions) {
        fs::create_directories(folder);
        dir.write("config/brindlework/bw.ini", damaged);
        ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "Url", "b").ok);
    }
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("bw.ini.damaged-", 0) != 0)
            continue;
        EXPECT_EQ(name.size(), std::string("bw.ini.damaged-20240307-123456-1").size()) << name;
        EXPECT_EQ(modeOf(entry.path().string()), 0600u);
        kept.push_back(test::readAll(entry.path().string()));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, versions);
}

TEST_F(Store, AStoreThatCannotBeWrittenFailsAndLosesNothing)
{
    ASSERT_TRUE(store.saveSetting("bw", "brindlepad\\hosts", "aHostName", "a").ok);
    const std::string before = test::readAll(file());

    WriteResult full;
    {
        test::DiskFull disk;
        full = store.saveSetting("bw", "brindlepad", "Password", std::string(4096, 'x'));
    }
    EXPECT_FALSE(full.ok);
    EXPECT_NE(full.error.find("cannot be written"), std::string::npos) << full.error;
    EXPECT_EQ(test::readAll(file()), before);

    // The file is a folder, and the folder lies under a plain file.
    fs::remove(file());
    fs::create_directories(file());
    WriteResult folderInTheWay = store.saveSetting("bw", "brindlepad", "Url", "x");
    EXPECT_FALSE(folderInTheWay.ok);
    EXPECT_FALSE(folderInTheWay.error.empty());
    dir.write("plain", "a file");
    IniSettingsStore underAFile(dir.path("plain/brindlework/"));
    WriteResult notAFolder = underAFile.saveSetting("bw", "brindlepad", "Url", "x");
    EXPECT_FALSE(notAFolder.ok);
    EXPECT_EQ(underAFile.getSetting("bw", "brindlepad", "Url", "default"), "default");

    expectOnlyTheStoreIn(folder);
}

TEST_F(Store, TwoProgramsSavingAtOnceKeepEverySetting)
{
    ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "Url", "first").ok);
    auto saveMany = [this](const std::string& prefix) {
        IniSettingsStore own(folder); // as another running program would have
        for (int i = 0; i < 40; ++i)
            own.saveSetting("bw", "brindlepad\\hosts", prefix + std::to_string(i) + "HostName", prefix);
    };
    std::thread a(saveMany, "a"), b(saveMany, "b");
    a.join();
    b.join();
    EXPECT_EQ(store.getAllSettings("bw", "brindlepad\\hosts").size(), 80u);
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "Url"), "first");
}

TEST(Folders, FollowTheUsersBaseFolders)
{
    test::TempDir dir;
    struct Row {
        const char *config, *cache, *home;
        std::string wantConfig, wantTemp;
    };
    const Row rows[] = {
        {"$/cfg", "$/cache", "$/home", dir.path("cfg/brindlework/"), dir.path("cache/brindlework/ftp/")},
        {"", "", "$/home", dir.path("home/.config/brindlework/"), dir.path("home/.cache/brindlework/ftp/")},
        {"relative", "relative", "$/home", dir.path("home/.config/brindlework/"), dir.path("home/.cache/brindlework/ftp/")},
    };
    auto expand = [&](const char* v) { return v[0] == '$' ? dir.path(v + 2) : std::string(v); };
    const char* names[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* n : names)
        saved.push_back(std::getenv(n) ? std::optional<std::string>(std::getenv(n)) : std::nullopt);
    for (const Row& r : rows) {
        ::setenv("XDG_CONFIG_HOME", expand(r.config).c_str(), 1);
        ::setenv("XDG_CACHE_HOME", expand(r.cache).c_str(), 1);
        ::setenv("HOME", expand(r.home).c_str(), 1);
        EXPECT_EQ(userConfigFolder(), r.wantConfig);
        std::string temp = userFtpTempFolder();
        EXPECT_EQ(temp, r.wantTemp);
        EXPECT_TRUE(fs::is_directory(temp)) << "made on first use";
        EXPECT_EQ(modeOf(temp), 0700u);
    }
    // A cache folder that cannot be made: a private folder under the temp folder stands in.
    dir.write("blocked", "a file");
    ::setenv("XDG_CACHE_HOME", dir.path("blocked").c_str(), 1);
    std::string fallback = userFtpTempFolder();
    EXPECT_TRUE(fs::is_directory(fallback)) << fallback;
    EXPECT_EQ(fallback.back(), '/');
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            ::setenv(names[i], saved[i]->c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

} // namespace
} // namespace bw
