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
using test::readAll;

TEST(FileSystem, ResolvesNamesIgnoringCaseButTakesEveryOtherPathExactly)
{
    test::TempDir dir;
    RealFileSystem files;
    std::string real = dir.write("Site/Images/Logo.GIF", "x");
    EXPECT_EQ(files.resolve(real), real);
    EXPECT_EQ(files.resolve(dir.path("site/images/logo.gif")), real);
    EXPECT_EQ(files.resolve(dir.path("site\\IMAGES\\logo.gif")), real);
    EXPECT_EQ(files.resolve(dir.path("site/images/../Images/LOGO.gif")).value_or(""), dir.path("Site/Images/../Images/Logo.GIF"));
    EXPECT_FALSE(files.resolve(dir.path("site/images/none.gif")));
    EXPECT_FALSE(files.resolve(""));
    EXPECT_TRUE(files.isFile(real));
    EXPECT_FALSE(files.isFile(dir.path("SITE/images/logo.gif")));
    EXPECT_FALSE(files.isFile(dir.path("Site/Images")));
    EXPECT_TRUE(files.exists(dir.path("Site/Images")));
    EXPECT_FALSE(files.exists(dir.path("site/images")));

    // A write goes to the file named: another letter case is another file.
    const std::string lower = dir.write("copy.html", "lower");
    ASSERT_TRUE(files.writeFile(dir.path("Copy.html"), "upper").ok);
    EXPECT_EQ(readAll(lower), "lower");
    EXPECT_FALSE(files.sameFile(lower, dir.path("Copy.html")));
    EXPECT_TRUE(files.sameFile(lower, dir.path("./copy.html")));
    EXPECT_FALSE(files.readFile(dir.path("COPY.html")).ok);
}

TEST(FileSystem, StampsShowWhatChangedAndWhenOnlyTheBytesCanTell)
{
    test::TempDir dir;
    RealFileSystem files;
    const std::string path = dir.write("p.html", "one");
    const auto read = files.readFile(path);
    EXPECT_TRUE(read.stamp.exists && read.stamp.size == 3 && read.stamp.racy);
    EXPECT_TRUE(read.stamp.sameLook(files.stamp(path)));
    const auto written = files.writeFile(path, "two");
    EXPECT_TRUE(written.stamp.sameLook(files.stamp(path))) << "the stamp of the write is the file's";
    EXPECT_FALSE(written.stamp.sameLook(read.stamp));
    EXPECT_FALSE(files.stamp(dir.path("none.html")).exists);
    // Long unchanged, a file's look is enough.
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), hourAgo, 0), 0);
    EXPECT_FALSE(files.stamp(path).racy);
}

TEST(FileSystem, RemovesTheCopiesOfRunsNoLongerAlive)
{
    test::TempDir dir;
    RealFileSystem files;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = dir.write(RealFileSystem::copyPrefix("p.html", child) + "a1B2c3", "half");
    const std::string mine = dir.write(RealFileSystem::copyPrefix("p.html", ::getpid()) + "x", "in use");
    const std::string other = dir.write(RealFileSystem::copyPrefix("q.html", child) + "y", "another page's");
    const std::string user = dir.write(".p.html.brindlework-notes", "the user's");
    files.removeStaleCopies(dir.path("p.html"));
    EXPECT_FALSE(fs::exists(dead));
    for (const auto& kept : {mine, other, user})
        EXPECT_TRUE(fs::exists(kept)) << kept;
}

TEST(FileSystem, ReadsBytesExactlyAndExplainsFailures)
{
    test::TempDir dir;
    RealFileSystem files;
    std::string bytes("a\r\nb\0c\xff\xfe\r", 9);
    auto read = files.readFile(dir.write("p.html", bytes));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, bytes);

    fs::create_directories(dir.path("folder.html"));
    read = files.readFile(dir.path("folder.html"));
    EXPECT_FALSE(read.ok);
    EXPECT_FALSE(read.error.empty());
    EXPECT_FALSE(files.readFile(dir.path("gone.html")).ok);
}

TEST(FileSystem, WriteReplacesAtomicallyAndKeepsPermissions)
{
    test::TempDir dir;
    RealFileSystem files;
    std::string path = dir.write("p.html", "old");
    ::chmod(path.c_str(), 0640);
    auto written = files.writeFile(path, std::string("new\0bytes\r\n", 11));
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(readAll(path), std::string("new\0bytes\r\n", 11));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";

    // A link is followed: the file it names is replaced, the link stays.
    fs::create_symlink(path, dir.path("link.html"));
    ASSERT_TRUE(files.writeFile(dir.path("link.html"), "via link").ok);
    EXPECT_TRUE(fs::is_symlink(dir.path("link.html")));
    EXPECT_EQ(readAll(path), "via link");
}

TEST(FileSystem, FailedWriteLeavesNothingBehind)
{
    test::TempDir dir;
    RealFileSystem files;
    EXPECT_FALSE(files.writeFile(dir.path("no/such/folder/p.html"), "x").ok);
    fs::create_directories(dir.path("folder.html"));
    auto written = files.writeFile(dir.path("folder.html"), "x");
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.error.empty());
    EXPECT_TRUE(fs::is_directory(dir.path("folder.html")));
}

} // namespace
} // namespace bw
