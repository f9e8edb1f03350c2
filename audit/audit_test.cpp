// Extension matching: case-insensitive prefixes against the profile's table.
#include "audit/audit.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtensionMatches, PrefixEitherWayIgnoringCase) {
  EXPECT_TRUE(ExtensionMatches(".d64", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".D6", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".D64X", ".D64"));
  EXPECT_TRUE(ExtensionMatches(".", ".ZIP"));
  EXPECT_FALSE(ExtensionMatches(".T64", ".D64"));
  EXPECT_FALSE(ExtensionMatches("", ".D64"));
  EXPECT_FALSE(ExtensionMatches(".D64", ""));
}

TEST(FindImageType, FirstMatchingEntryInTableOrder) {
  EXPECT_EQ(1, FindImageType(kC64Profile, ".d64"));
  EXPECT_EQ(1, FindImageType(kC64Profile, ".d6"));
  EXPECT_EQ(6, FindImageType(kC64Profile, ".G64"));
  EXPECT_EQ(8, FindImageType(kC64Profile, ".zipped"));
  EXPECT_EQ(9, FindImageType(kC64Profile, ".d7"));
  EXPECT_EQ(10, FindImageType(kC64Profile, ".D81"));
  EXPECT_EQ(1, FindImageType(kC64Profile, ".D")) << "the rows after .ZIP move no name";
  EXPECT_EQ(1, FindImageType(kC64Profile, ".")) << "a lone dot matches the first entry";
  EXPECT_EQ(0, FindImageType(kC64Profile, ".txt"));
  EXPECT_EQ(0, FindImageType(kC64Profile, ".????"))
      << "the placeholder entry is never compared";
  EXPECT_EQ(2, FindImageType(kAmigaProfile, ".adz"));
  EXPECT_EQ(3, FindImageType(kAmigaProfile, ".Zip"));
  EXPECT_EQ(0, FindImageType(kAmigaProfile, ".d64"));
}

}  // namespace
