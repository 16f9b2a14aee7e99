// fm.ini: its values as loaders read them, and the project's file kept
// byte for byte but for what the author changed.
#include "core/fm/FMIni.h"
#include "base/Errors.h"
#include "base/FileIO.h"
#include "core/fm/Project.h"
#include "core/fm/Release.h"
#include "support/ScriptedQuestions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace lw;
using lw::test::ScriptedQuestions;
using lw::test::TempDir;

TEST(FMIni, UnchangedFilesKeepTheirBytesAndChangesKeepTheRest)
{
    // A hand-written file: a byte-order mark, LF line ends, a comment, a
    // key we do not know, blanks around "=", a key in another case.
    const std::string hand =
        "\xEF\xBB\xBFnicename = Bell\n; made by hand\nLoaderSpecific=1\ntags=genre:horror\nDescr=x";
    const FMIniFile f = FMIniFile::Parse(hand);
    EXPECT_TRUE(f.HasBom());
    EXPECT_EQ(f.Value("NiceName"), "Bell");
    EXPECT_EQ(f.Value("Tags"), "genre:horror");
    EXPECT_EQ(f.Value("ReleaseDate"), std::nullopt);
    EXPECT_EQ(f.With({}), hand);
    EXPECT_EQ(
        f.With({{"NiceName", "The Bell"}, {"Descr", std::nullopt}, {"ReleaseDate", "664746C0"}}),
        "nicename=The Bell\r\n; made by hand\r\nLoaderSpecific=1\r\ntags=genre:horror\r\nReleaseDate=664746C0\r\n");
    EXPECT_EQ(FMIniFile().With({{"NiceName", "Bell"}}), "NiceName=Bell\r\n");

    // Saved as UTF-16 by an editor: read as its text, and any change
    // writes every line again as loaders read them.
    std::string wide = "\xFF\xFE";
    for (char c : std::string("NiceName=Bell\r\n; by hand\r\nTags=genre:horror\r\n")) wide += std::string{c, '\0'};
    const FMIniFile w = FMIniFile::Parse(wide);
    EXPECT_TRUE(w.IsUtf16());
    EXPECT_EQ(w.Value("NiceName"), "Bell");
    EXPECT_EQ(w.Value("Tags"), "genre:horror");
    EXPECT_EQ(w.With({}), wide);
    EXPECT_EQ(w.With({{"ReleaseDate", "664746C0"}}),
              "NiceName=Bell\r\n; by hand\r\nTags=genre:horror\r\nReleaseDate=664746C0\r\n");
}

TEST(FMIni, ReleaseDatesAreHexadecimalUnixTimesAtNoonUtc)
{
    EXPECT_EQ(ReleaseTimeOfDay(2024, 5, 17), 0x664746C0);
    EXPECT_EQ(HexTime(0x664746C0), "664746C0");
    EXPECT_EQ(ReleaseTimeOfDay(1970, 1, 1), 12 * 3600);
    struct Case {
        const char* text;
        std::optional<int64_t> time;
    };
    for (const Case& c : std::initializer_list<Case>{{"664746C0", 0x664746C0},
                                                     {"664746c0", 0x664746C0},
                                                     {"0", 0},
                                                     {"20240517", 0x20240517}, // a decimal date reads as 1987
                                                     {"", std::nullopt},
                                                     {"0x664746C0", std::nullopt},
                                                     {"2024-05-17", std::nullopt},
                                                     {"12345678901234567", std::nullopt}})
        EXPECT_EQ(ParseHexTime(c.text), c.time) << c.text;
    for (const int64_t t : {int64_t(0x664746C0), int64_t(0x664746C0) - 12 * 3600, int64_t(0x664746C0) + 11 * 3600,
                            ReleaseTimeOfDay(2000, 2, 29), ReleaseTimeOfDay(2100, 12, 31)}) {
        int y = 0, m = 0, d = 0;
        DayOfReleaseTime(t, y, m, d);
        EXPECT_EQ(ReleaseTimeOfDay(y, m, d), t - (t % 86400) + 12 * 3600) << t;
        EXPECT_EQ(ParseHexTime(HexTime(t)), t);
    }
}

TEST(FMIni, DescriptionsAreOneLineWithEscapes)
{
    struct Case {
        const char* text;
        const char* line;
    };
    for (const Case& c : std::initializer_list<Case>{{"plain", "plain"},
                                                     {"two\nlines", "two\\nlines"},
                                                     {"a\ttab", "a\\ttab"},
                                                     {"say \"hi\"", "say \\\"hi\\\""},
                                                     {"C:\\thief", "C:\\\\thief"},
                                                     {"end\\", "end\\\\"}}) {
        EXPECT_EQ(EscapeDescr(c.text), c.line) << c.text;
        EXPECT_EQ(UnescapeDescr(c.line), c.text) << c.line;
    }
    // What others write: CR LF and CR, escaped or not, and quotes around the value.
    EXPECT_EQ(EscapeDescr("a\r\nb\rc"), "a\\nb\\nc");
    EXPECT_EQ(UnescapeDescr("a\\r\\nb\\rc"), "a\nb\nc");
    EXPECT_EQ(UnescapeDescr("\"quoted \\\"bell\\\"\""), "quoted \"bell\"");
    EXPECT_EQ(UnescapeDescr("\"ends in an escaped quote\\\""), "\"ends in an escaped quote\"");
    EXPECT_EQ(UnescapeDescr("\\q stays"), "\\q stays");
    // The limit counts the characters of the line as written.
    std::string accents;
    for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
    EXPECT_TRUE(DescrFits(accents));
    EXPECT_FALSE(DescrFits(accents + "x"));
    EXPECT_TRUE(DescrFits(std::string(1498, 'x') + "\n"));
    EXPECT_FALSE(DescrFits(std::string(1499, 'x') + "\n"));
}

TEST(FMIni, TagsSortIntoTheDialogAndBack)
{
    EXPECT_EQ(SplitTags(" genre:horror, ,language:English;campaign "),
              (std::vector<std::string>{"genre:horror", "language:English", "campaign"}));
    EXPECT_TRUE(SameTags({"Genre:Horror", "campaign"}, {"campaign", "genre:horror"}));
    EXPECT_FALSE(SameTags({"genre:horror"}, {"genre:horror", "campaign"}));
    for (const char* known : {"author:Someone", "Genre:sci-fi", "series:Bell", "other protagonist", "Short"})
        EXPECT_TRUE(IsKnownTag(known)) << known;
    for (const char* odd : {"misc:campaign", "mood:gloomy", "bells"}) EXPECT_FALSE(IsKnownTag(odd)) << odd;

    const std::vector<std::string> tags = {"author:A. Smith", "genre:HORROR", "language:English", "author:B",
                                           "campaign",        "genre:sci-fi", "mood:gloomy"};
    const TagSheet sheet = SortTags(tags);
    EXPECT_EQ(sheet.checked, (std::vector<std::string>{"genre:horror", "language:English", "campaign"}));
    EXPECT_EQ(sheet.freeText, (std::vector<std::pair<std::string, std::string>>{
                                  {"author", "A. Smith, B"}, {"contest", ""}, {"series", ""}}));
    EXPECT_EQ(sheet.other, "genre:sci-fi, mood:gloomy");
    const auto back = TagsOf(sheet);
    ASSERT_TRUE(back);
    EXPECT_TRUE(SameTags(*back, tags));

    // What a tag may not hold is refused, naming where it was typed.
    for (const auto& [field, text] : std::vector<std::pair<std::string, std::string>>{
             {"author", "A; B"}, {"series", "Bell: Part 1"}, {"other", "a:b:c"}, {"other", "x/y"}, {"other", "x:"}}) {
        TagSheet s = SortTags({});
        (field == "other" ? s.other : (field == "author" ? s.freeText[0].second : s.freeText[2].second)) = text;
        std::string bad;
        EXPECT_FALSE(TagsOf(s, &bad)) << text;
        EXPECT_EQ(bad, field) << text;
    }
}

namespace {

// A Thief 2 FM with an info file, a titles file and the given fm.ini.
void layFM(const TempDir& t, const std::string& ini)
{
    t.write("thief2.exe");
    t.write("miss1.mis", "m");
    t.write("fminfo.txt", "Title: Bell\r\nAuthor: A. Smith, B\r\n");
    t.write("strings/english/titles.str", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\n");
    t.write("bell.lst", "fminfo.txt\r\nmiss1.mis\r\nstrings\\english\\titles.str\r\n");
    if (!ini.empty()) t.write("fm.ini", ini);
}

Project opened(const TempDir& t)
{
    Project p;
    ScriptedQuestions q;
    EXPECT_TRUE(p.Open(t / "bell.lst", q));
    return p;
}

} // namespace

TEST(FMIni, TheProjectReadsAndWritesItsFile)
{
    const std::string ini =
        "NiceName=Bell\r\n; kept\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\nTags=genre:horror\r\nDescr=A "
        "\\\"bell\\\"\\nrings\r\nOther=1\r\n";
    {
        // Read: the name that equals the FM name follows it; nothing
        // changed, nothing written, not even by a Zip.
        TempDir t;
        layFM(t, ini);
        Project p = opened(t);
        EXPECT_TRUE(p.Release.exists);
        EXPECT_EQ(p.Release.values.niceName, "");
        EXPECT_EQ(p.Release.values.releaseDate, 0x664746C0);
        EXPECT_EQ(p.Release.values.descr, "A \"bell\"\nrings");
        EXPECT_EQ(p.Release.values.tags, std::vector<std::string>{"genre:horror"});
        const FileStamp before = StampOf(t.path() / "fm.ini");
        WriteRelease(p, true);
        EXPECT_EQ(StampOf(t.path() / "fm.ini"), before);
        EXPECT_EQ(p.Files.back(), "fm.ini"); // listed now
        EXPECT_EQ(ReleaseTime(p), 0x664746C0);

        // Edited: each value written as loaders read it, the rest kept.
        p.FMInfo.Names[0] = FileText::FromUser("The Bell"); // NiceName follows
        p.Release.values.releaseDate = ReleaseTimeOfDay(2024, 6, 1);
        p.Release.values.tags = {"genre:horror", "language:English"};
        p.Release.values.descr = "tab\there";
        p.WriteStringFiles();
        WriteRelease(p, false);
        EXPECT_EQ(t.read("fm.ini"), "NiceName=The Bell\r\n; kept\r\nReleaseDate=665B0D40\r\nInfoFile=fminfo.txt\r\n"
                                    "Tags=genre:horror,language:English\r\nDescr=tab\\there\r\nOther=1\r\n");
        // Reopened, the same values.
        Project again = opened(t);
        EXPECT_EQ(again.Release.values, p.Release.values);
    }
    {
        // Another program changed the file since it was read: its change
        // stays beside the author's.
        TempDir t;
        layFM(t, ini);
        Project p = opened(t);
        t.replace("fm.ini", ini + "Added=by another\r\n");
        p.Release.values.descr = "";
        EXPECT_TRUE(WriteRelease(p, false));
        EXPECT_EQ(t.read("fm.ini"), "NiceName=Bell\r\n; kept\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\n"
                                    "Tags=genre:horror\r\nOther=1\r\nAdded=by another\r\n");
        // A value both changed: asked, and kept unless the author says so.
        const std::string theirs = "NiceName=Bell\r\nTags=genre:crime\r\n";
        t.replace("fm.ini", theirs);
        p.Release.values.tags = {"genre:mystery"};
        EXPECT_THROW(WriteRelease(p, false), Error);
        int asked = 0;
        EXPECT_FALSE(WriteRelease(p, false, [&](const std::string&) { return ++asked, false; }));
        EXPECT_EQ(t.read("fm.ini"), theirs);
        EXPECT_TRUE(WriteRelease(p, false, [&](const std::string&) { return ++asked, true; }));
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(t.read("fm.ini"), "NiceName=Bell\r\nTags=genre:mystery\r\n");
    }
    {
        // None on disk: Save makes one only when the author set the
        // release, with the FM's name and info file; the first Zip dates it.
        TempDir t;
        layFM(t, "");
        Project p = opened(t);
        WriteRelease(p, true);
        EXPECT_FALSE(t.exists("fm.ini"));
        // A release with nothing to say is saved by writing nothing.
        Project none = opened(t);
        none.FMInfo.Names[0] = FileText::FromUser("");
        none.FMInfo.InfoFile.clear();
        none.Release.wanted = none.Release.unsaved = true;
        EXPECT_TRUE(WriteRelease(none, false));
        EXPECT_FALSE(t.exists("fm.ini"));
        EXPECT_FALSE(none.HasUnsavedChanges());
        p.Release.wanted = true;
        WriteRelease(p, false);
        EXPECT_EQ(t.read("fm.ini"), "NiceName=Bell\r\nInfoFile=fminfo.txt\r\n");
        WriteRelease(p, true);
        EXPECT_EQ(t.read("fm.ini"),
                  "NiceName=Bell\r\nInfoFile=fminfo.txt\r\nReleaseDate=" + HexTime(TodaysReleaseTime()) + "\r\n");
        EXPECT_EQ(ProposedTags(p), (std::vector<std::string>{"author:A. Smith", "author:B", "language:English"}));
    }
    {
        // An InfoFile that names no listed file, or not as stored, follows
        // the info file; one that names a listed file is the author's choice.
        TempDir t;
        layFM(t, "InfoFile=readme.txt\r\nReleaseDate=2024-05-17\r\n");
        Project p = opened(t);
        WriteRelease(p, true);
        EXPECT_EQ(t.read("fm.ini"), "InfoFile=fminfo.txt\r\nReleaseDate=2024-05-17\r\nNiceName=Bell\r\n");
        t.write("readme.txt", "Title: Bell\r\n");
        t.write("bell.lst", "readme.txt\r\nfminfo.txt\r\nmiss1.mis\r\nstrings\\english\\titles.str\r\nfm.ini\r\n");
        t.write("fm.ini", "InfoFile=readme.txt\r\n");
        Project q = opened(t);
        WriteRelease(q, false);
        EXPECT_EQ(t.read("fm.ini"), "InfoFile=readme.txt\r\nNiceName=Bell\r\n");
    }
}
