#include <gtest/gtest.h>

#include "page/PageEncoding.h"
#include "text/Encoding.h"

namespace bw {
namespace {

TEST(Encoding, PageEncodingAsABrowserWouldReadIt)
{
    const struct {
        std::string page, expected;
    } cases[] = {
        {"\xEF\xBB\xBF<meta charset=iso-8859-1>caf\xc3\xa9", "UTF-8"}, // the mark wins
        {"<meta charset=\"ISO-8859-1\">caf\xc3\xa9", "iso-8859-1"},   // the declaration wins over the bytes
        {"<head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\"></head>", "windows-1252"},
        {"<meta http-equiv=content-type content='text/html;charset=koi8-r'>", "koi8-r"},
        {"<meta charset=utf-16>caf\xc3\xa9", "UTF-8"},
        {"<meta charset=no-such-thing>caf\xe9", "WINDOWS-1252"},
        {"<meta name=description content=\"charset=latin2\">caf\xc3\xa9", "UTF-8"},
        {"plain ascii", "UTF-8"},
        {"caf\xc3\xa9", "UTF-8"},
        {"caf\xe9", "WINDOWS-1252"},
        {"\xc0\xaf overlong", "WINDOWS-1252"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pageEncoding(c.page), c.expected) << c.page;
}

// Typed text as written into a page of that encoding, and as the box shows it back; bytes
// that do not decode are shown as Latin-1 rather than lost.
TEST(Encoding, TypedTextIsWrittenInThePagesEncodingAndShownBack)
{
    const struct {
        std::string encoding, typed, bytes, shownBack;
    } cases[] = {
        {"WINDOWS-1252", "\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d \xe4\xb8\xad", "\x80 \x93q\x94 &#20013;", "\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d &#20013;"},
        {"koi8-r", "\xd0\xbc\xd0\xb8\xd1\x80 \xc3\xa9", "\xcd\xc9\xd2 &#233;", "\xd0\xbc\xd0\xb8\xd1\x80 &#233;"},
        {"UTF-8", "", "a\xff" "b", "a\xc3\xbf" "b"},
        {"WINDOWS-1252", "", "\x81", "\xc2\x81"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoding + " " + c.bytes);
        if (!c.typed.empty()) {
            EXPECT_EQ(toPageEncoding(c.typed, c.encoding), c.bytes);
        }
        EXPECT_EQ(fromPageEncoding(c.bytes, c.encoding), c.shownBack);
    }
}

TEST(Encoding, ControlCharacters)
{
    EXPECT_EQ(withoutControls(std::string("a\0b\r\n\r\nc\td\x1b\x7f\xc2\x80\xc2\x85\xc2\xa0\xc3\xa9", 20)), "ab  c d \xc2\xa0\xc3\xa9");
}

} // namespace
} // namespace bw
