#include "components/FileIO.h"
#include "components/PathResolver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace lw;
using lw::test::TempDir;

TEST(PathResolver, MatchesEveryComponentWithoutRegardToCase)
{
    TempDir tmp;
    tmp.write("Strings/English/TITLES.STR", "t");
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\english\\titles.str"), tmp.path() / "Strings/English/TITLES.STR");
    EXPECT_TRUE(FileExistsAt(tmp.dir(), "STRINGS/english/Titles.str"));
    EXPECT_FALSE(FileExistsAt(tmp.dir(), "strings\\english"));
    EXPECT_TRUE(DirExistsAt(tmp.dir(), "strings\\english"));
    // A new file goes into the existing directories, whatever their case.
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\french\\titles.str"), tmp.path() / "Strings/french/titles.str");
    // An exact match wins over another spelling.
    tmp.write("strings/english/titles.str", "exact");
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\english\\titles.str"),
              tmp.path() / "strings/english/titles.str");
}

TEST(PathResolver, RelativeEntries)
{
    TempDir tmp;
    tmp.write("fm/sub/a.txt");
    tmp.write("other/b.txt");
    EXPECT_EQ(RelativeEntry(tmp / "fm", tmp / "fm/sub/a.txt"), "sub\\a.txt");
    EXPECT_EQ(RelativeEntry(tmp.dir() + "fm/", tmp / "other/b.txt"), "..\\other\\b.txt");
    EXPECT_EQ(AsDirPath(tmp / "fm/sub/.."), tmp.dir() + "fm/");
}
