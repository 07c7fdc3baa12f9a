// Character references read as a browser reads them.
#include <gtest/gtest.h>

#include "support/AttributeValues.h"
#include "text/CharacterReferences.h"

namespace bw {
namespace {

TEST(CharacterReferences, DecodedAsABrowserDecodesThem)
{
    for (const test::AttributeValue& row : test::kAttributeValues) {
        EXPECT_EQ(decodeAttribute(row.written), row.inAttribute) << row.written;
        EXPECT_EQ(decodeText(row.written), row.inText) << row.written;
    }
}

} // namespace
} // namespace bw
