#include "core/text/CfgFiles.h"
#include "base/Errors.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lw;
using lw::test::TempDir;

namespace {

struct CfgFileTest : ::testing::Test {
    TempDir tmp;
    std::string path = tmp / "titles.str";
    // The path of UTF-8 text, as the program makes it.
    static std::filesystem::path native(const std::string& utf8) { return platform::PathFromUtf8(utf8); }
};

} // namespace

TEST_F(CfgFileTest, SyntaxReadAndWrittenBack)
{
    tmp.write("titles.str", "// made by hand\r\n"
                            "   ; indented comment   \r\n"
                            "\r\n"
                            "title_1:  \"The \\\"Bell\\\" Tower\"  \r\n"
                            "miss_2:\"no_loadout,end\"\r\n"
                            "bare\r\n"
                            "two: a:b\r\n"
                            ":\"keyless\"\r\n"
                            "open: \"unterminated\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("TITLE_1", "?"), "The \"Bell\" Tower");
    EXPECT_EQ(f.ReadString("miss_2", "?"), "no_loadout,end");
    EXPECT_EQ(f.ReadString("bare", "?"), "");
    EXPECT_EQ(f.ReadString("two", "?"), "a:b");
    EXPECT_EQ(f.ReadString("open", "?"), "unterminated");
    EXPECT_EQ(f.ReadString("missing", "dflt"), "dflt");

    f.WriteString("title_1", "The \"Bell\" Tower"); // same value: the line comes back as it was
    EXPECT_EQ(tmp.read("titles.str"), "// made by hand\r\n"
                                      "; indented comment\r\n"
                                      "\r\n"
                                      "title_1:\"The \\\"Bell\\\" Tower\"\r\n"
                                      "miss_2:\"no_loadout,end\"\r\n"
                                      "bare:\"\"\r\n"
                                      "two:\"a:b\"\r\n"
                                      ":\"keyless\"\r\n"
                                      "open:\"unterminated\"\r\n"
                                      "\r\n");
}

TEST_F(CfgFileTest, NewKeysGoToTheEndAndDuplicatesKeepTheFirst)
{
    tmp.write("titles.str", "title_1:\"a\"\r\ntitle_1:\"b\"\r\n; last comment\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("title_1", ""), "a");
    f.WriteString("Title_1", "c");
    f.WriteString("short_1", "s");
    EXPECT_EQ(tmp.read("titles.str"), "title_1:\"c\"\r\ntitle_1:\"b\"\r\n; last comment\r\nshort_1:\"s\"\r\n\r\n");
    // A later run adds after the blank line that ends the file.
    TCfgFile g = TCfgFile::StringFile(path);
    g.WriteString("short_2", "t");
    EXPECT_EQ(tmp.read("titles.str"),
              "title_1:\"c\"\r\ntitle_1:\"b\"\r\n; last comment\r\nshort_1:\"s\"\r\n\r\nshort_2:\"t\"\r\n\r\n");
}

TEST_F(CfgFileTest, MissingFileReadsEmptyAndIsCreatedByTheFirstWrite)
{
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("title_0", "dflt"), "dflt");
    EXPECT_FALSE(tmp.exists("titles.str"));
    f.DeleteKey("title_0");
    EXPECT_FALSE(tmp.exists("titles.str"));
    f.WriteString("title_0", "x");
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"x\"\r\n\r\n");
}

TEST_F(CfgFileTest, DeferredWritingWritesOnce)
{
    TCfgFile f = TCfgFile::StringFile(path);
    f.SetDeferred(true);
    f.WriteString("a", "1");
    f.WriteString("b", "2");
    f.WriteString("c", "3");
    EXPECT_FALSE(tmp.exists("titles.str"));
    f.SetDeferred(false);
    EXPECT_EQ(tmp.read("titles.str"), "a:\"1\"\r\nb:\"2\"\r\nc:\"3\"\r\n\r\n");
    tmp.write("titles.str", "changed by hand\r\n");
    f.SetDeferred(false); // no change: nothing written
    EXPECT_EQ(tmp.read("titles.str"), "changed by hand\r\n");
    // A missing key is not deleted, so nothing is rewritten either.
    f.DeleteKey("nothing");
    EXPECT_EQ(tmp.read("titles.str"), "changed by hand\r\n");
}

TEST_F(CfgFileTest, AFileChangedOnDiskIsReadAgain)
{
    tmp.write("titles.str", "title_0:\"one\"\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("title_0", ""), "one");
    // Same size, same second: the nanosecond stamp and inode still tell.
    tmp.replace("titles.str", "title_0:\"two\"\r\n");
    EXPECT_EQ(f.ReadString("title_0", ""), "two");
    std::filesystem::remove(native(path));
    EXPECT_EQ(f.ReadString("title_0", "gone"), "gone");
    tmp.write("titles.str", "title_0:\"back\"\r\n");
    EXPECT_EQ(f.ReadString("title_0", ""), "back");
    // Our own rewrites, several within one second, are not taken as changes.
    f.WriteString("title_1", "a");
    f.WriteString("title_2", "b");
    EXPECT_EQ(f.ReadString("title_1", ""), "a");
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"back\"\r\ntitle_1:\"a\"\r\ntitle_2:\"b\"\r\n\r\n");
}

TEST_F(CfgFileTest, LineEndsOfEveryKindAndCtrlZ)
{
    // LF-only files (version control, other editors) keep every key.
    tmp.write("titles.str", "title_0:\"a\"\ntitle_1:\"b\"\rtitle_2:\"c\"\r\n\x1Atitle_3:\"lost\"\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("title_0", ""), "a");
    EXPECT_EQ(f.ReadString("title_1", ""), "b");
    EXPECT_EQ(f.ReadString("title_2", ""), "c");
    EXPECT_EQ(f.ReadString("title_3", "none"), "none");
    f.WriteString("title_0", "a");
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"a\"\r\ntitle_1:\"b\"\r\ntitle_2:\"c\"\r\n\r\n");
}

TEST_F(CfgFileTest, ACtrlZThatEndsTheFileIsNoLine)
{
    // DOS editors ended files with Ctrl-Z; a key written later must not
    // get a blank line before it.
    tmp.write("titles.str", "title_0:\"a\"\r\n\x1A");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.Lines().size(), 1u);
    f.WriteString("title_1", "b");
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"a\"\r\ntitle_1:\"b\"\r\n\r\n");
    // Ctrl-Z right after text still ends the file after that text.
    tmp.replace("titles.str", "title_0:\"a\"\x1Atitle_1:\"gone\"");
    EXPECT_EQ(f.ReadString("title_0", ""), "a");
    EXPECT_EQ(f.ReadString("title_1", "none"), "none");
    EXPECT_EQ(f.Lines().size(), 1u);
}

TEST_F(CfgFileTest, AKeylessLineGoesBackByteForByte)
{
    // Its unquoted value would hold a line break and a new key.
    const std::string keyless = "  :\"x\\ntitle_1:\\\"Injected\\\"\"";
    tmp.write("titles.str", keyless + "\r\ntitle_0:\"a\"\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("title_1", "none"), "none");
    f.WriteString("title_0", "b");
    EXPECT_EQ(tmp.read("titles.str"), keyless + "\r\ntitle_0:\"b\"\r\n\r\n");
    TCfgFile g = TCfgFile::StringFile(path);
    EXPECT_EQ(g.ReadString("title_1", "none"), "none");
    g.WriteString("title_0", "c");
    EXPECT_EQ(tmp.read("titles.str"), keyless + "\r\ntitle_0:\"c\"\r\n\r\n");
}

TEST_F(CfgFileTest, SavingThroughASymbolicLinkWritesTheFileItPointsTo)
{
    if (!tmp.SymlinksWork()) GTEST_SKIP() << lw::test::TempDir::NoSymlinks;
    std::filesystem::create_directories(native(tmp / "shared"));
    tmp.write("shared/titles.str", "title_0:\"a\"\r\n");
    std::filesystem::remove(native(path));
    // A chain of two links, the first relative.
    std::filesystem::create_symlink(native(tmp / "shared/titles.str"), native(tmp / "abs.str"));
    std::filesystem::create_symlink("abs.str", native(path));
    TCfgFile f = TCfgFile::StringFile(path);
    f.WriteString("title_1", "b");
    EXPECT_TRUE(std::filesystem::is_symlink(native(path)));
    EXPECT_TRUE(std::filesystem::is_symlink(native(tmp / "abs.str")));
    EXPECT_EQ(tmp.read("shared/titles.str"), "title_0:\"a\"\r\ntitle_1:\"b\"\r\n\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), std::filesystem::directory_iterator()), 3);
    // A link to a file not made yet makes it.
    std::filesystem::create_symlink("shared/missflag.str", native(tmp / "missflag.str"));
    TCfgFile m = TCfgFile::StringFile(tmp / "missflag.str");
    m.WriteString("miss_1", "skip");
    EXPECT_TRUE(std::filesystem::is_symlink(native(tmp / "missflag.str")));
    EXPECT_EQ(tmp.read("shared/missflag.str"), "miss_1:\"skip\"\r\n\r\n");
}

TEST_F(CfgFileTest, BadInputReadsSoundlyOrFailsWithTheFileName)
{
    // NUL bytes, binary garbage and a 10 MB line read without harm.
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        if (const char c = char((i * 131 + 7) & 0xFF); c != '\x1A') garbage += c; // Ctrl-Z would end the file
    tmp.write("titles.str", std::string("title_0:\"a\0b\"\r\n", 15) + garbage + "\r\n" + std::string(10 << 20, 'x') +
                                "\r\nshort_0:\"ok\"\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.ReadString("short_0", ""), "ok");

    std::filesystem::create_directory(native(tmp / "dir.str"));
    try {
        TCfgFile d = TCfgFile::StringFile(tmp / "dir.str");
        FAIL() << "a directory read as a string file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("dir.str"), std::string::npos);
    }
}

TEST_F(CfgFileTest, AFailedSaveLeavesTheEarlierFile)
{
    tmp.write("titles.str", "title_0:\"old\"\r\n");
    TCfgFile f = TCfgFile::StringFile(path);
    {
        lw::test::FileSizeLimit limit(1000);
        if (!limit.Active()) GTEST_SKIP() << limit.WhyNot();
        EXPECT_THROW(f.WriteString("title_0", std::string(5000, 'x')), Error);
    }
    EXPECT_TRUE(f.Modified());
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"old\"\r\n");
    // Nothing but the file itself is left in the directory.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), std::filesystem::directory_iterator()), 1);
}
