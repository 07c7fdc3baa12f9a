// The real file system: names found ignoring case, stamps, and whole-file replacement.
#include <gtest/gtest.h>

#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, ResolvesNamesIgnoringCaseButTakesEveryOtherPathExactly)
{
    test::TempDir dir;
    RealFileSystem files;
    const std::string real = dir.write("Site/Images/Logo.GIF", "x"), lower = dir.write("copy.html", "lower");
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        {real, real},
        {dir.path("site/images/logo.gif"), real},
        {dir.path("site\\IMAGES\\logo.gif"), real},
        {dir.path("site/images/../Images/LOGO.gif"), dir.path("Site/Images/../Images/Logo.GIF")},
        {dir.path("site/images/none.gif"), std::nullopt},
    };
    for (const auto& [asked, found] : rows)
        EXPECT_EQ(files.resolve(asked), found) << asked;
    EXPECT_FALSE(files.isFile(dir.path("SITE/images/logo.gif")) || files.exists(dir.path("site/images")) ||
                 files.readFile(dir.path("COPY.html")).ok);
    ASSERT_TRUE(files.writeFile(dir.path("Copy.html"), "upper").ok);
    EXPECT_EQ(test::readAll(lower), "lower") << "another letter case is another file";
    EXPECT_TRUE(files.sameFile(lower, dir.path("./copy.html")) && !files.sameFile(lower, dir.path("Copy.html")));
}

// A read gives the file to its end whatever size the file claimed when opened: /proc claims
// nothing and holds text, /sys claims a page and holds a line, as a file does that grows or
// shrinks while it is read. A reused buffer leaves nothing of its own.
TEST(FileSystem, ReadsEveryFileToItsEndWhateverSizeItClaimed)
{
    test::TempDir dir;
    RealFileSystem files;
    const std::string large(200'000, 'x'), leftover(300'000, '!');
    const std::pair<std::string, std::string> rows[] = { // the path, a buffer to reuse
        {dir.write("empty.html", ""), leftover},
        {dir.write("small.html", std::string("a\0b", 3)), leftover},
        {dir.write("large.html", large + "end"), ""},
        {"/proc/version", ""},
        {"/proc/self/cmdline", leftover},
        {"/sys/kernel/mm/transparent_hugepage/enabled", leftover},
    };
    for (const auto& [path, buffer] : rows) {
        if (!fs::exists(path))
            continue; // no /sys here
        const ReadResult read = files.readFile(path, buffer);
        EXPECT_TRUE(read.ok && read.bytes == test::readAll(path)) << path << " gave " << read.bytes.size() << " bytes";
    }
    // A pipe named like a page or a picture is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(dir.path("pipe.gif").c_str(), 0600), 0);
    EXPECT_EQ(files.readFile(dir.path("pipe.gif")).error, "it is a pipe or a device, not a file");
    // A picture is read to the cap and no further: a larger file (here sparse) is not loaded.
    fs::resize_file(dir.write("huge.png", ""), kMostPictureBytes + 1);
    const ReadResult huge = files.readPicture(dir.path("huge.png"), leftover);
    EXPECT_TRUE(!huge.ok && huge.tooLarge && huge.bytes == leftover);
    const ReadResult small = files.readPicture(dir.path("large.html"));
    EXPECT_TRUE(small.ok && !small.tooLarge && small.bytes == large + "end");
}

// Folders for downloaded pages: made for the user alone, refused where others could change them.
TEST(FileSystem, MakesFoldersForItsUserAloneAndRefusesOnesOthersCanChange)
{
    struct Row {
        const char* folder;
        int mode;   // of a folder there before, -1: none
        uid_t owner;
        std::string error;
    } rows[] = {
        {"new/er", -1, 0, ""},
        {"mine", 0700, 0, ""},
        {"open", 0777, 0, "other users may write in it"},
        {"group", 0770, 0, "other users may write in it"},
        {"theirs", 0700, 65534, "it belongs to another user"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        test::TempDir dir;
        RealFileSystem files;
        const std::string folder = dir.path(row.folder);
        if (row.mode >= 0) {
            ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
            ::chmod(folder.c_str(), static_cast<mode_t>(row.mode));
            if (row.owner != ::geteuid() && ::lchown(folder.c_str(), ::geteuid() + row.owner, 0) != 0)
                GTEST_SKIP() << "only root can give a folder away";
        }
        const WriteResult made = files.makeFolders(folder);
        EXPECT_EQ(made.error, row.error);
        EXPECT_EQ(made.ok, row.error.empty());
        if (row.mode < 0) {
            EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        }
    }
}

TEST(FileSystem, WriteReplacesThroughALinkKeepingModeTellsWhatChangedAndLeavesNoCopy)
{
    test::TempDir dir;
    RealFileSystem files;
    const std::string bytes("new\0bytes\r\n\xff\xfe", 13), path = dir.write("p.html", "old");
    ::chmod(path.c_str(), 0640);
    fs::create_symlink(path, dir.path("link.html"));
    const auto before = files.readFile(path);
    const auto written = files.writeFile(dir.path("link.html"), bytes);
    const auto read = files.readFile(path);
    EXPECT_TRUE(fs::is_symlink(dir.path("link.html")));
    EXPECT_EQ(read.bytes, bytes);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2) << "a temporary file stayed";
    EXPECT_TRUE(written.stamp.sameLook(read.stamp) && read.stamp.size == 13 && read.stamp.racy);
    EXPECT_FALSE(written.stamp.sameLook(before.stamp));
    // Long unchanged, a file's look is enough.
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), hourAgo, 0), 0);
    EXPECT_FALSE(files.stamp(path).racy);

    // A failure says why and leaves what was there.
    fs::create_directories(dir.path("folder.html"));
    for (const char* bad : {"no/such/folder/p.html", "folder.html"}) {
        const auto failed = files.writeFile(dir.path(bad), "x");
        const auto unread = files.readFile(dir.path(bad));
        EXPECT_FALSE(failed.ok || failed.error.empty() || unread.ok || unread.error.empty()) << bad;
    }
    EXPECT_TRUE(fs::is_directory(dir.path("folder.html")));

    // The copies of runs that ended before replacing the file go, the others stay.
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = dir.write(RealFileSystem::copyPrefix("p.html", ended) + "a1B2c3", "half");
    const std::string kept[] = {dir.write(RealFileSystem::copyPrefix("p.html", ::getpid()) + "x", "in use"),
                                dir.write(RealFileSystem::copyPrefix("q.html", ended) + "y", "another page's"),
                                dir.write(".p.html.brindlework-notes", "the user's")};
    files.removeStaleCopies(path);
    EXPECT_FALSE(fs::exists(dead));
    for (const auto& left : kept)
        EXPECT_TRUE(fs::exists(left)) << left;
}

} // namespace
} // namespace bw
