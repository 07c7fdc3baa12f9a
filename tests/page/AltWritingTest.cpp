// An ALT as the box shows it, and as a browser's parser reads it back once written.
#include <gtest/gtest.h>
#include <gumbo.h>

#include <functional>

#include "page/PageDocument.h"
#include "support/AttributeValues.h"
#include "support/Doubles.h"
#include "text/Encoding.h"

namespace bw {
namespace {

// The alt of the page's first <img> as libgumbo reads it.
std::optional<std::string> parsedAlt(const std::string& page)
{
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    std::optional<std::string> alt;
    std::function<bool(const GumboNode*)> walk = [&](const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT)
            return false;
        if (node->v.element.tag == GUMBO_TAG_IMG) {
            if (const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, "alt"))
                alt = a->value;
            return true;
        }
        for (unsigned i = 0; i < node->v.element.children.length; ++i)
            if (walk(static_cast<const GumboNode*>(node->v.element.children.data[i])))
                return true;
        return false;
    };
    walk(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return alt;
}

TEST(AltWriting, ShownDecodedKeptWhenUntouchedAndReadBackAsTyped)
{
    test::TempDir dir;
    RealFileSystem files;
    for (const test::AttributeValue& row : test::kAttributeValues) {
        SCOPED_TRACE(row.written);
        const std::string page = "<p><img src=a.png alt=\"" + row.written + "\"></p>";
        const std::string path = dir.write("p.html", page);
        PageDocument document(files);
        document.open(path, files.readFile(path));
        EXPECT_EQ(parsedAlt(page), row.inAttribute);
        EXPECT_EQ(document.altShown(0), row.inAttribute);
        EXPECT_EQ(document.writeAlt(0, row.inAttribute, EmptyBox::Remove).kind, PageDocument::Outcome::Unchanged);
        const std::string typed = row.inAttribute + " &copy team <b> \"q\" &#233;";
        ASSERT_EQ(document.writeAlt(0, typed, EmptyBox::Remove).kind, PageDocument::Outcome::Written);
        EXPECT_EQ(parsedAlt(document.text()), withoutControls(typed));
        EXPECT_EQ(document.altShown(0), withoutControls(typed));
    }
}

} // namespace
} // namespace bw
