// Listing lines as FTP servers write them: the name in each, and whether it can be fetched.
#include <gtest/gtest.h>

#include "platform/Listing.h"

namespace bw {
namespace {

TEST(Listing, NameFollowsTheDateAndOnlyNamesThatStayInTheFolderAreSafe)
{
    const std::string py = "-rw-r--r--   1 root     root            6 Dec 06 21:38 "; // the name at column 56
    struct Row {
        const char* what;
        std::string line, name;
        bool safe;
    } rows[] = {
        {"pyftpdlib", py + "a.html", "a.html", true},
        {"pyftpdlib symlink", "lrwxrwxrwx   1 root     root            6 Dec 06 21:38 link.html -> a.html", "link.html", true},
        {"vsftpd", "-rw-r--r--    1 1000     1000         1234 Jan 01 12:34 index.html", "index.html", true},
        {"vsftpd year, two blanks inside", "-rw-r--r--    1 1000     1000          512 Dec 06  2019 old  page.htm", "old  page.htm", true},
        {"name that looks like a date", "-rw-r--r--   1 ftp      ftp          1234 Jan 01 12:34 Feb 02 10:00 f", "Feb 02 10:00 f", true},
        {"long-iso time style", "-rw-r--r-- 1 user group 1234 2024-03-07 12:34 notes.html", "notes.html", true},
        {"no layout: from column 56", std::string(55, 'x') + "tail of it", "tail of it", true},
        {"no layout, short", "total 12", "", false},
        {"dot dot", py + "..", "..", false},
        {"climbing out", py + "../etc/passwd", "../etc/passwd", false},
        {"backslashes", py + "..\\win.ini", "..\\win.ini", false},
        {"a CR in it", py + "a\rb", "a\rb", false},
        {"a NUL in it", py + std::string("nul\0byte", 8), std::string("nul\0byte", 8), false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(listingName(row.line), row.name) << row.what;
        EXPECT_EQ(isSafeName(row.name), row.safe) << row.what;
    }
}

TEST(Listing, RawListingKeepsEveryLineAndHoldsAnUnfinishedOne)
{
    struct Row {
        const char* what;
        std::vector<std::string> pieces, before, after; // lines before and after the listing ends
    } rows[] = {
        {"unfinished last line", {"a\r\nb"}, {"a"}, {"a", "b"}},
        {"line cut between pieces", {"ab", "c\r\nd\r\n"}, {"abc", "d"}, {"abc", "d"}},
        {"cut inside the line end", {"a\r", "\nb\r\n"}, {"a", "b"}, {"a", "b"}},
        {"bare line feeds; an empty line is a line", {"a\n\nb\n"}, {"a", "", "b"}, {"a", "", "b"}},
    };
    for (const Row& row : rows) {
        RawListing list;
        for (const auto& p : row.pieces)
            list.append(p);
        EXPECT_EQ(list.lines(), row.before) << row.what;
        list.finish();
        EXPECT_EQ(list.lines(), row.after) << row.what;
        EXPECT_EQ(list.line(list.count()), "") << row.what;
    }
}

} // namespace
} // namespace bw
