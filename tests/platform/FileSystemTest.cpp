#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using test::readAll;

TEST(FileSystem, ResolvesNamesIgnoringCaseAndBackslashes)
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
    EXPECT_TRUE(files.isFile(dir.path("SITE/images/logo.gif")));
    EXPECT_FALSE(files.isFile(dir.path("site/images")));
    EXPECT_TRUE(files.exists(dir.path("site/images")));
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
