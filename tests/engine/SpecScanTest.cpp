#include "SpecScan.h"

#include <gtest/gtest.h>

using zipeng::SafeEntryName;

TEST(SafeEntryName, NoEntryKeepsALeadingSeparatorOrLeavesTheRoot)
{
#if defined(_WIN32)
    // A drive or a network share is a root too.
    EXPECT_EQ(SafeEntryName("C:\\"), "");
    EXPECT_EQ(SafeEntryName("C:\\srv\\fm\\x.wav"), "srv/fm/x.wav");
    EXPECT_EQ(SafeEntryName("\\srv/fm/x.wav"), "srv/fm/x.wav");
#else
    // "//" is kept by the path as one root part; it must go like "/".
    EXPECT_EQ(SafeEntryName("//"), "");
    EXPECT_EQ(SafeEntryName("/"), "");
    EXPECT_EQ(SafeEntryName("//a"), "a");
    EXPECT_EQ(SafeEntryName("///a//b"), "a/b");
    EXPECT_EQ(SafeEntryName("/srv/fm/x.wav"), "srv/fm/x.wav");
#endif
    EXPECT_EQ(SafeEntryName("../../shared/x.wav"), "shared/x.wav");
    EXPECT_EQ(SafeEntryName("a/../../b"), "b");
}
