#include <gtest/gtest.h>

#include "editor/Tag.h"

namespace bw {
namespace {

std::string altOf(std::string_view page, std::string_view entry)
{
    size_t at = page.find(entry);
    TagSpan tag = tagOfEntry(page, at, entry.size());
    const TagAttribute* alt = tag.find(page, "ALT");
    if (!alt)
        return "<none>";
    return std::string(page.substr(alt->valueStart, alt->valueEnd - alt->valueStart));
}

TEST(Tag, FindsTheTagThatHoldsTheEntrysEnd)
{
    // An entry that runs over an earlier tag (a PNG image before a GIF) belongs to the last one.
    EXPECT_EQ(altOf("<img SRC=\"a.png\" ALT=\"png\"><img SRC=\"b.gif\" ALT=\"gif\">",
                    "<img SRC=\"a.png\" ALT=\"png\"><img SRC=\"b.gif\""),
              "gif");
    // A background entry starts inside its tag.
    EXPECT_EQ(altOf("<body ALT=\"bg\" background=\"x.gif\">", "ckground=\"x.gif\""), "bg");
    // An unquoted name whose entry takes the closing ">".
    EXPECT_EQ(altOf("<img ALT=first SRC=a.gif><img ALT=second>", "<img ALT=first SRC=a.gif>"), "first");
    EXPECT_EQ(altOf("<img SRC=\"a.gif\"", "<img SRC=\"a.gif\""), "<none>");
}

TEST(Tag, QuotesHideTagEndsAndUnclosedQuotesRunToTheEnd)
{
    std::string page = "<img SRC=\"a.gif\" title=\"1 > 0\" ALT=\"x\">";
    EXPECT_EQ(altOf(page, "<img SRC=\"a.gif\""), "x");
    page = "<img SRC=\"a.gif\" ALT=\"never closed";
    TagSpan tag = lexTag(page, 0);
    EXPECT_EQ(tag.end, page.size());
    EXPECT_EQ(altOf(page, "<img SRC=\"a.gif\""), "never closed");
}

} // namespace
} // namespace bw
