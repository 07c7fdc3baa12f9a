// The real settings store, on files in a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/IniSettings.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& path) { return static_cast<unsigned>(fs::status(path).permissions()); }

struct Store : ::testing::Test {
    test::TempDir dir;
    std::string folder = dir.path("config/brindlework/");
    IniSettingsStore store{folder};
    std::string file() const { return store.fileFor("bw"); }
};

// Hosts named with every character the file's syntax could trip over, saved, read and deleted in any letter case: the store holds what the reference double holds,
// and so does the next run; no name opens a section of its own, and the file stays private.
TEST_F(Store, RandomUseReadsBackAsTheReferenceDoubleAndStaysPrivate)
{
    EXPECT_TRUE(store.deleteSetting("bw", "brindlepad", "Url").ok) << "nothing to delete is no failure";
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "Url", "none yet"), "none yet");
    EXPECT_FALSE(fs::exists(file())) << "reading and empty deletes create nothing";
    const std::string pieces[] = {"", " ", "=", ";", "#", "[", "]", "/", "\\", "%", "%2", "%41", "\"", "\t", "\r", "\n",
                                  "\r\n", "åäö", "\xff\xfe\x01\x7f", std::string(1, '\0'), "[x]", "a=b", "HostName"};
    std::mt19937 random(2024);
    std::vector<std::string> names;
    for (const std::string& p : pieces)
        names.insert(names.end(), {p, p + "host", "host" + p, "ftp" + p + ".example"});
    auto anyCase = [&](std::string text) {
        for (char& c : text)
            c = std::isalpha(static_cast<unsigned char>(c)) && random() % 2 ? c ^ 0x20 : c;
        return text;
    };
    ::umask(022);
    test::MemorySettings expected;
    for (int i = 0; i < 600; ++i) {
        const std::string section = anyCase(i % 2 ? "brindlepad" : "brindlepad\\hosts");
        const std::string key = anyCase(names[random() % names.size()]) + (i % 2 ? "Password" : "HostName");
        const std::string value = names[random() % names.size()] + "=;#[ ";
        if (const int what = random() % 4; what < 2) {
            ASSERT_TRUE(store.saveSetting("bw", section, key, value).ok);
            ASSERT_TRUE(expected.saveSetting("bw", section, key, value).ok);
            EXPECT_EQ(modeOf(file()), 0600u);
            ::chmod(file().c_str(), 0644); // widened by the user: the next rewrite makes it private again
        } else if (what == 2) {
            ASSERT_TRUE(store.deleteSetting("bw", section, key).ok);
            ASSERT_TRUE(expected.deleteSetting("bw", section, key).ok);
        } else {
            EXPECT_EQ(store.getSetting("bw", section, key, "absent"), expected.getSetting("bw", section, key, "absent"));
        }
    }
    IniSettingsStore nextRun(folder);
    for (const char* section : {"brindlepad", "brindlepad\\hosts", "elsewhere"})
        EXPECT_EQ(nextRun.getAllSettings("bw", section), expected.getAllSettings("bw", section)) << section;
    const std::string text = test::readAll(file());
    EXPECT_EQ(std::count(text.begin(), text.end(), '['), 2);
    EXPECT_EQ(modeOf(folder), 0700u) << "the folder it made";
}

// What stands in the file's place before a save: what reads, whether the save goes through, and
// whether a line the rewrite drops is kept beside it.
TEST_F(Store, DamagedFilesAreReadAsFarAsTheyCanBeAndWhatCannotBeReadIsLeftAlone)
{
    const std::string binary("\x00\x01\xff\x89PNG\r\n\x1a\n\x00\x00", 12);
    const std::tuple<std::string, SettingPairs, bool> rows[] = { // the file, what reads, whether a line is lost
        {"junk\n[brindlepad]\nUserName=u\nno equals\r\n" + binary + "\nPassword = p \n", {{"UserName", "u"}, {"Password", "p"}}, true},
        {"UserName=before any section\n[brindlepad]\nUrl=kept\n", {{"Url", "kept"}}, true},
        {"[brindlepad]\nUrl=a\n[brindlepad\\ho", {{"Url", "a"}}, true},
        {"[brindlepad]\nUrl=100%\nPassword=%zz%4\n", {{"Url", "100%"}, {"Password", "%zz%4"}}, false},
        {"[brindlepad]\nUrl=a\n[other]\nx=1\n[BRINDLEPAD]\nURL=b\nPassword=p\n", {{"Url", "b"}, {"Password", "p"}}, false},
        {"\xEF\xBB\xBF[brindlepad]\r\nUrl=a\r\n", {{"Url", "a"}}, false},
        {"", {}, false}, // in its place a link that loops, and so cannot be read
    };
    std::vector<std::string> damaged;
    for (const auto& row : rows) {
        auto [text, readable, lost] = row;
        const bool saves = !text.empty();
        SCOPED_TRACE(&row - rows);
        fs::remove_all(file());
        if (saves)
            dir.write("config/brindlework/bw.ini", text);
        else
            fs::create_symlink("bw.ini", file());
        EXPECT_EQ(store.getAllSettings("bw", "brindlepad"), readable);
        const WriteResult saved = store.saveSetting("bw", "brindlepad", "HostName", "h");
        EXPECT_EQ(saved.ok, saves) << saved.error;
        if (saves)
            readable.emplace_back("HostName", "h");
        EXPECT_EQ(IniSettingsStore(folder).getAllSettings("bw", "brindlepad"), readable);
        EXPECT_EQ(fs::symlink_status(file()).type(), saves ? fs::file_type::regular : fs::file_type::symlink);
        if (lost)
            damaged.push_back(text);
    }
    // Each beside the store under a name of its own ("bw.ini.damaged-20240307-123456-1"), as
    // private; no temporary file is left behind.
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "bw.ini" || name == "bw.ini.lock")
            continue;
        EXPECT_EQ(modeOf(entry.path()), 0600u);
        kept.push_back(test::readAll(entry.path()));
    }
    std::sort(kept.begin(), kept.end());
    std::sort(damaged.begin(), damaged.end());
    EXPECT_EQ(kept, damaged);
}

// Two running programs saving at once: the file lock keeps every setting of both.
TEST_F(Store, TwoProgramsSavingAtOnceKeepEverySetting)
{
    ASSERT_TRUE(store.saveSetting("bw", "brindlepad", "Url", "first").ok);
    auto saveMany = [this](const std::string& prefix) {
        IniSettingsStore own(folder);
        for (int i = 0; i < 40; ++i)
            EXPECT_TRUE(own.saveSetting("bw", "brindlepad\\hosts", prefix + std::to_string(i) + "HostName", prefix).ok);
    };
    std::thread a(saveMany, "a"), b(saveMany, "b");
    a.join();
    b.join();
    EXPECT_EQ(store.getAllSettings("bw", "brindlepad\\hosts").size(), 80u);
    EXPECT_EQ(store.getSetting("bw", "brindlepad", "Url"), "first");
}

} // namespace
} // namespace bw
