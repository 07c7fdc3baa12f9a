#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/Listing.h"

namespace bw {
namespace {

TEST(Listing, NameFollowsTheDateOnEveryServersLayout)
{
    struct Row {
        const char* server;
        std::string line, name;
        bool classicColumns; // the name stands at character 56
    };
    const std::vector<Row> rows = {
        {"pyftpdlib", "-rw-r--r--   1 root     root            6 Dec 06 21:38 a.html", "a.html", true},
        {"pyftpdlib dir with space", "drwxr-xr-x   3 root     root         4096 Dec 06 21:38 my dir", "my dir", true},
        {"pyftpdlib year", "-rw-r--r--   1 root     root            0 May 01  2019 old.html", "old.html", true},
        {"pyftpdlib symlink", "lrwxrwxrwx   1 root     root            6 Dec 06 21:38 link.html -> a.html", "link.html", false},
        {"pyftpdlib leading blank", "-rw-r--r--   1 root     root            6 Dec 06 21:38  lead.html", " lead.html", true},
        {"vsftpd", "-rw-r--r--    1 1000     1000         1234 Jan 01 12:34 index.html", "index.html", false},
        {"vsftpd dir", "drwxr-xr-x    2 0        0            4096 Mar 03 12:14 pub", "pub", false},
        {"vsftpd two blanks inside", "-rw-r--r--    1 1000     1000          512 Dec 06 21:38 two  spaces.html", "two  spaces.html", false},
        {"vsftpd year", "-rw-r--r--    1 1000     1000          512 Dec 06  2019 old page.htm", "old page.htm", false},
        {"vsftpd symlink", "lrwxrwxrwx    1 0        0               7 Feb 11 09:05 latest -> v2/page", "latest", false},
        {"proftpd", "-rw-r--r--   1 ftp      ftp          1234 Mar  3 12:14 index.html", "index.html", true},
        {"proftpd year", "drwxr-xr-x   2 ftp      ftp          4096 Oct 17  2003 Old Stuff", "Old Stuff", true},
        {"old server, no group", "-rw-r--r--  1 webmaster   20480 Jun 30  1998 home.htm", "home.htm", false},
        {"big file", "-rw-r--r--   1 ftp      ftp      123456789012 Jan  1 00:00 big.iso", "big.iso", false},
        {"device numbers", "crw-rw-rw-   1 root     root       1,   3 Jan  1 00:00 null", "null", false},
        {"owner and group named like months", "-rw-r--r--   1 may      jun          1234 Jan 01 12:34 x.html", "x.html", true},
        {"name that looks like a date", "-rw-r--r--   1 ftp      ftp          1234 Jan 01 12:34 Feb 02 10:00 f", "Feb 02 10:00 f", true},
        {"name that is a year", "-rw-r--r--   1 ftp      ftp            10 Jan 01  2020 2021", "2021", true},
        {"long-iso time style", "-rw-r--r-- 1 user group 1234 2024-03-07 12:34 notes.html", "notes.html", false},
        {"time with seconds", "-rw-r--r-- 1 user group 1234 Mar  7 12:34:56 notes.html", "notes.html", false},
        // No known layout: whatever stands from character 56 on.
        {"no layout, long", std::string(55, 'x') + "tail of it", "tail of it", true},
        {"no layout, short", "total 12", "", true},
        {"dos layout", "12-06-23  09:38PM       <DIR>          pages with a long folder name", "g folder name", true},
        {"empty", "", "", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(listingName(row.line), row.name) << row.server;
        if (row.classicColumns) {
            EXPECT_EQ(listingName(row.line), row.line.size() >= 56 ? row.line.substr(55) : "") << row.server;
        }
    }
}

TEST(Listing, RefusesNamesThatWouldLeaveTheFolder)
{
    const std::vector<std::pair<std::string, bool>> rows = {
        {"index.html", true},
        {"my page.html", true},
        {" lead.html", true},
        {"..hidden", true},
        {"sida-\xc3\xa5\xc3\xa4\xc3\xb6.html", true},
        {"", false},
        {".", false},
        {"..", false},
        {"../etc/passwd", false},
        {"sub/page.html", false},
        {"/abs.html", false},
        {"..\\win.ini", false},
        {"a\\b", false},
        {"line\r\nbreak", false},
        {std::string("nul\0byte", 8), false},
    };
    for (const auto& [name, safe] : rows)
        EXPECT_EQ(isSafeName(name), safe) << name;
}

TEST(Listing, RawListingKeepsEveryLineAndHoldsAnUnfinishedOne)
{
    struct Row {
        const char* what;
        std::vector<std::string> pieces;
        std::vector<std::string> before, after; // lines before and after the listing ends
    };
    const std::vector<Row> rows = {
        {"whole lines", {"a\r\nb\r\n"}, {"a", "b"}, {"a", "b"}},
        {"unfinished last line", {"a\r\nb"}, {"a"}, {"a", "b"}},
        {"line cut between pieces", {"ab", "c\r\nd\r\n"}, {"abc", "d"}, {"abc", "d"}},
        {"cut inside the line end", {"a\r", "\nb\r\n"}, {"a", "b"}, {"a", "b"}},
        {"bare line feeds", {"a\nb\n"}, {"a", "b"}, {"a", "b"}},
        {"an empty line is a line", {"a\r\n\r\nb\r\n"}, {"a", "", "b"}, {"a", "", "b"}},
        {"piece without any line end", {"abc"}, {}, {"abc"}},
        {"nothing", {}, {}, {}},
    };
    for (const auto& row : rows) {
        RawListing list;
        for (const auto& p : row.pieces)
            list.append(p);
        EXPECT_EQ(list.lines(), row.before) << row.what;
        list.finish();
        EXPECT_EQ(list.lines(), row.after) << row.what;
        EXPECT_EQ(list.line(list.count()), "") << row.what;
    }

    // One line per piece, far past a hundred: none of them is dropped.
    RawListing big;
    for (int i = 0; i < 250; ++i)
        big.append("line " + std::to_string(i) + "\r\n");
    ASSERT_EQ(big.count(), 250u);
    EXPECT_EQ(big.line(0), "line 0");
    EXPECT_EQ(big.line(249), "line 249");

    // Clearing also forgets a held part.
    big.append("half");
    big.clear();
    big.append("new\r\n");
    EXPECT_EQ(big.lines(), std::vector<std::string>{"new"});
}

} // namespace
} // namespace bw
