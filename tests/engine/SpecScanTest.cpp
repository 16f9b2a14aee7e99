#include "SpecScan.h"

#include <gtest/gtest.h>

using zipeng::SafeEntryName;

TEST(SafeEntryName, NoEntryKeepsALeadingSeparatorOrLeavesTheRoot)
{
    // "//" is kept by the path as one root part; it must go like "/".
    EXPECT_EQ(SafeEntryName("//"), "");
    EXPECT_EQ(SafeEntryName("/"), "");
    EXPECT_EQ(SafeEntryName("//a"), "a");
    EXPECT_EQ(SafeEntryName("///a//b"), "a/b");
    EXPECT_EQ(SafeEntryName("/srv/fm/x.wav"), "srv/fm/x.wav");
    EXPECT_EQ(SafeEntryName("../../shared/x.wav"), "shared/x.wav");
    EXPECT_EQ(SafeEntryName("a/../../b"), "b");
}
