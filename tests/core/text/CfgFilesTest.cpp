#include "core/text/CfgFiles.h"
#include "base/Errors.h"
#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/text/TextCodec.h"
#include "support/FileSizeLimit.h"
#include "support/ImmutableDir.h"
#include "support/ScriptedQuestions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lw;
using lw::test::ImmutableDir;
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

    // Only a changed value is written, in its own line; every other byte
    // (blanks, the bare key, the keyless line) stays as it was.
    const std::string before = tmp.read("titles.str");
    const FileStamp stamp = f.Stamp();
    for (const auto& [key, value] :
         {std::pair<const char*, const char*>{"title_1", "The \"Bell\" Tower"}, {"BARE", ""}, {"two", "a:b"}})
        f.WriteString(key, value);
    EXPECT_EQ(tmp.read("titles.str"), before);
    EXPECT_EQ(StampOf(native(path)), stamp);
    f.WriteString("title_1", "Bell");
    f.WriteString("bare", "x");
    std::string after = before;
    after.replace(after.find("\"The"), std::string("\"The \\\"Bell\\\" Tower\"").size(), "\"Bell\"");
    after.replace(after.find("bare\r\n"), 4, "bare:\"x\"");
    EXPECT_EQ(tmp.read("titles.str"), after);
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
    // Each line keeps its own end, and what follows Ctrl-Z stays; a key
    // the file gains ends with the file's own line end, then a blank line.
    f.WriteString("title_0", "z");
    f.WriteString("short_0", "s");
    EXPECT_EQ(tmp.read("titles.str"),
              "title_0:\"z\"\ntitle_1:\"b\"\rtitle_2:\"c\"\r\nshort_0:\"s\"\n\n\x1Atitle_3:\"lost\"\r\n");
}

TEST_F(CfgFileTest, ACtrlZThatEndsTheFileIsNoLine)
{
    // DOS editors ended files with Ctrl-Z; a key written later must not
    // get a blank line before it.
    tmp.write("titles.str", "title_0:\"a\"\r\n\x1A");
    TCfgFile f = TCfgFile::StringFile(path);
    EXPECT_EQ(f.Lines().size(), 1u);
    f.WriteString("title_1", "b");
    EXPECT_EQ(tmp.read("titles.str"), "title_0:\"a\"\r\ntitle_1:\"b\"\r\n\r\n\x1A");
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
    EXPECT_EQ(tmp.read("titles.str"), keyless + "\r\ntitle_0:\"b\"\r\n");
    TCfgFile g = TCfgFile::StringFile(path);
    EXPECT_EQ(g.ReadString("title_1", "none"), "none");
    g.WriteString("title_0", "c");
    EXPECT_EQ(tmp.read("titles.str"), keyless + "\r\ntitle_0:\"c\"\r\n");
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

// The string files as the project writes them: Save and Zip change a file
// only where a value changed, in the code page the file is in, and never
// over what another program wrote meanwhile.
namespace {

// A Thief 2 FM as authors' own tools leave it: LF line ends, blanks after
// the colon, no blank line at the end, a mission without a name.
struct StringFilesTest : ::testing::Test {
    TempDir tmp;
    Project p;
    void lay(const std::string& flags, const std::string& titles)
    {
        tmp.write("thief2.exe");
        for (const char* m : {"miss1.mis", "miss2.mis", "miss3.mis"}) tmp.write(m);
        tmp.write("strings/missflag.str", flags);
        tmp.write("strings/english/titles.str", titles);
    }
    void create() { p.New(CreateEntries{tmp.dir(), GameThief2, 0, "", "bell"}); }
    std::string titles() const { return tmp.read("strings/english/titles.str"); }
    std::string flags() const { return tmp.read("strings/missflag.str"); }
};

} // namespace

TEST_F(StringFilesTest, NothingEditedNothingWritten)
{
    const std::string flagText = "// order\nmiss_1: \"\"\nmiss_2: \"end, no_briefing\"\n";
    const std::string titleText = "title_0: \"Bell\"\ntitle_1: \"Tower\"";
    lay(flagText, titleText);
    // Opened from a list: its name is the short name, which the titles
    // file does not hold and is not given.
    tmp.write("bell.lst", "strings\\missflag.str\nmiss1.mis\nmiss2.mis\nstrings\\english\\titles.str\n");
    lw::test::ScriptedQuestions q;
    ASSERT_TRUE(p.Open(tmp / "bell.lst", q));
    {
        // Nothing to write, so a folder that refuses writes is no error.
        ImmutableDir strings(tmp.path() / "strings"), english(tmp.path() / "strings" / "english");
        p.WriteStringFiles();
    }
    EXPECT_EQ(flags(), flagText);
    EXPECT_EQ(titles(), titleText);
    // An edit rewrites its own line and adds nothing for the nameless
    // mission; a line end goes before the line the file gains.
    p.ViewLang = 0;
    p.CurMiss = 1;
    p.SetMissName(true, "T");
    p.WriteStringFiles();
    EXPECT_EQ(titles(), titleText + "\nshort_1:\"T\"\n\n");
    EXPECT_EQ(flags(), flagText);
}

TEST_F(StringFilesTest, TheFlagFileSaysExactlyTheChain)
{
    // Links of an earlier chain: a middle one, the last one's, and one that
    // still holds and is kept as it stands.
    struct Case {
        const char* listed; // the missions the project holds
        std::string before, after;
    } const cases[] = {
        {"123", "miss_1:\"\"\r\nmiss_2:\"\"\r\nmiss_2_next:\"7\"\r\nmiss_3:\"end\"\r\n",
         "miss_1:\"\"\r\nmiss_2:\"\"\r\nmiss_3:\"end\"\r\n"},
        {"12", "miss_1:\"\"\r\nmiss_2:\"\"\r\nmiss_2_next:\"3\"\r\nmiss_3:\"end\"\r\n",
         "miss_1:\"\"\r\nmiss_2:\"end\"\r\nmiss_3:\"end\"\r\n"},
        {"13", "miss_1:\"\"\r\nmiss_1_next:\"3\"\r\nmiss_2:\"skip\"\r\nmiss_3:\"end\"\r\n",
         "miss_1:\"\"\r\nmiss_1_next:\"3\"\r\nmiss_2:\"skip\"\r\nmiss_3:\"end\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listed);
        lay(c.before, "");
        std::string list = "strings\\missflag.str\r\n";
        for (const char* m = c.listed; *m; ++m) list += std::string("miss") + *m + ".mis\r\n";
        tmp.write("bell.lst", list);
        lw::test::ScriptedQuestions q;
        ASSERT_TRUE(p.Open(tmp / "bell.lst", q));
        p.WriteStringFiles();
        EXPECT_EQ(flags(), c.after);
        // New reads back the chain the list holds.
        Project again;
        again.New(CreateEntries{tmp.dir(), GameThief2, 0, "", "bell"});
        std::vector<int> listed;
        for (const char* m = c.listed; *m; ++m) listed.push_back(*m - '0');
        EXPECT_EQ(again.Chain(), listed);
    }
}

TEST_F(StringFilesTest, NamesGoInTheirFilesCodePageOrNotAtAll)
{
    // The folder, or a byte-order mark, says the code page; what it cannot
    // hold is refused (bytes empty), never replaced.
    struct Case {
        const char* file;
        bool mark;
        const char* text;
        std::string bytes;
    } const cases[] = {
        {"strings/english/titles.str", false, "Déjà vu", "D\x82j\x85 vu"},
        {"strings/titles.str", false, "Ça",
         "\x80"
         "a"},
        {"strings/english/titles.str", false, "Wierność", ""},
        {"strings/polish/titles.str", false, "Wierność Służącego",
         "Wierno\x9c\xe6 S\xb3u\xbf\xb9"
         "cego"},
        {"strings/Czech/titles.str", false, "Kůň", "K\xf9\xf2"},
        {"strings/russian/titles.str", false, "Привет", "\xcf\xf0\xe8\xe2\xe5\xf2"},
        {"strings/english/titles.str", true, "Wierność", "Wierno\xc5\x9b\xc4\x87"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        tmp.write(c.file, std::string(c.mark ? "\xEF\xBB\xBF" : "") + "title_0:\"x\"\r\n");
        const int cp = StringFileCodePageOf(tmp / c.file);
        EXPECT_EQ(cp, StringFileCodePage(c.file, c.mark));
        std::string out;
        char32_t refused = 0;
        const bool fits = FileText::FromUser(c.text).BytesFor(cp, out, &refused);
        EXPECT_EQ(fits, !c.bytes.empty());
        if (fits) {
            EXPECT_EQ(out, c.bytes);
            EXPECT_EQ(FileText::FromFile(c.bytes, cp).Text(), c.text);
        } else {
            EXPECT_EQ(refused, U'ś');
        }
    }

    // A Polish name typed for an English titles file: refused as typed,
    // reported by the check, and stopping a write before any file changes.
    lay("miss_1:\"end\"\r\n", "title_0:\"Bell\"\r\n");
    create();
    p.ViewLang = 0;
    p.CurMiss = 1;
    EXPECT_NE(p.NameRefusal("Wierność", 0).find("U+015B"), std::string::npos);
    EXPECT_TRUE(p.NameRefusal("Déjà vu", 0).empty());
    p.SetMissName(false, "Wierność");
    p.SetShortName("new");
    const std::vector<Finding> findings = CheckProject(p);
    EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::Error && f.message.find("U+015B") != std::string::npos;
    }));
    try {
        p.WriteStringFiles();
        FAIL() << "a name its file cannot hold was written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("ś"), std::string::npos) << e.what();
    }
    EXPECT_EQ(titles(), "title_0:\"Bell\"\r\n");
}

TEST_F(StringFilesTest, AnotherProgramsChangesAreNotWrittenOverUnasked)
{
    lay("miss_1:\"end\"\r\n", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Old\"\r\n");
    create();
    const std::string theirs = "title_0:\"Their Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Newer\"\r\n";
    tmp.replace("strings/english/titles.str", theirs);
    p.ViewLang = 0;
    p.SetFMName("Our Bell");
    // The command line has no one to ask: it stops, naming the file.
    try {
        p.WriteStringFiles();
        FAIL() << "written over another program's change";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("strings\\english\\titles.str"), std::string::npos) << e.what();
    }
    EXPECT_EQ(titles(), theirs);
    std::vector<std::string> asked;
    for (const bool yes : {false, true}) {
        p.WriteStringFiles([&](const std::string& file) {
            asked.push_back(file);
            return yes;
        });
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"strings\\english\\titles.str", "strings\\english\\titles.str"}));
    EXPECT_EQ(titles(), "title_0:\"Our Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Old\"\r\n");
    // Once written, the file is ours again: the next save asks nothing.
    p.SetFMName("Bell");
    p.WriteStringFiles();
    EXPECT_EQ(titles(), "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Old\"\r\n");
}

TEST_F(StringFilesTest, AShortNameTheAuthorDidNotTypeChangesNoFile)
{
    // "Bell Tower" names the archive as BellTower.zip, and an empty one the
    // list's name does: the file keeps what it holds.
    for (const char* held : {"Bell Tower", ""}) {
        const std::string titleText = "title_0:\"Bell\"\r\nshort_0: \"" + std::string(held) + "\"\r\n";
        lay("miss_1:\"end\"\r\n", titleText);
        tmp.write("bell.lst", "strings\\missflag.str\r\nmiss1.mis\r\nstrings\\english\\titles.str\r\n");
        lw::test::ScriptedQuestions q;
        ASSERT_TRUE(p.Open(tmp / "bell.lst", q));
        EXPECT_EQ(p.FMInfo.ShortName.Text(), *held ? "BellTower" : "bell");
        p.WriteStringFiles();
        EXPECT_EQ(titles(), titleText);
    }
}

TEST_F(StringFilesTest, ATitlesFileTheProjectDidNotListKeepsItsNames)
{
    // New lists the first language's titles file only; the German one is
    // read however it joins: FM name typed, mission name typed, Add Files.
    const std::string german = "title_0:\"Glocke\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Turm\"\r\ntitle_2:\"Kapelle\"\r\n";
    const std::string after[] = {"title_0:\"Die Glocke\"" + german.substr(german.find("\r\n")),
                                 german + "short_2:\"K\"\r\n\r\n", german};
    for (int how = 0; how < 3; ++how) {
        lay("miss_1:\"\"\r\nmiss_2:\"end\"\r\n", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\n");
        tmp.write("strings/german/titles.str", german);
        create();
        p.ViewLang = 2;
        p.CurMiss = 2;
        if (how == 0) p.SetFMName("Die Glocke");
        if (how == 1) p.SetMissName(true, "K");
        if (how == 2) p.AddFiles({tmp / "strings/german/titles.str"});
        EXPECT_EQ(p.Missions[2].LongNames[2].Text(), "Kapelle") << how;
        p.WriteStringFiles();
        EXPECT_EQ(tmp.read("strings/german/titles.str"), after[how]);
    }
}

TEST_F(StringFilesTest, ANameBorrowedFromTheProjectLanguageFitsOrStaysOut)
{
    // The German file (code page 850) borrows the UTF-8 English names it
    // lacks: "Bell" goes in, the ’ it cannot hold stops no Save.
    lay("miss_1:\"\"\r\nmiss_2:\"end\"\r\n",
        "\xEF\xBB\xBFtitle_1:\"Thief\xE2\x80\x99s Return\"\r\ntitle_2:\"Bell\"\r\n");
    tmp.write("strings/german/titles.str", "title_0:\"Glocke\"\r\n");
    tmp.write("bell.lst", "miss1.mis\r\nmiss2.mis\r\nstrings\\german\\titles.str\r\nstrings\\english\\titles.str\r\n");
    lw::test::ScriptedQuestions q;
    ASSERT_TRUE(p.Open(tmp / "bell.lst", q));
    EXPECT_TRUE(p.UnwritableNames().empty());
    p.WriteStringFiles();
    EXPECT_EQ(tmp.read("strings/german/titles.str"), "title_0:\"Glocke\"\r\ntitle_2:\"Bell\"\r\n\r\n");
}
