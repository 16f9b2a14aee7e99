#include "core/fm/FMUtils.h"
#include "core/fm/CreateFMRules.h"
#include "core/fm/UserLang.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

using namespace lw;
using lw::test::TempDir;

TEST(FMUtils, InfoFileRankExamples)
{
    SetUserLangTag("en");
    EXPECT_EQ(InfoFileRank("fminfo.rtf", "mymission"), 33376);
    EXPECT_EQ(InfoFileRank("fminfo-en.txt", "mymission"), 34832);
    EXPECT_EQ(InfoFileRank("fminfo-de.rtf", "mymission"), 32864);
    EXPECT_EQ(InfoFileRank("MyMission.txt", "mymission"), 8720);
    EXPECT_EQ(InfoFileRank("readme-en.txt", "mymission"), 2064);
    EXPECT_EQ(InfoFileRank("readme.txt", "mymission"), 16);
    EXPECT_EQ(InfoFileRank("notes.doc", "mymission"), 0);
    EXPECT_EQ(InfoFileRank("fminfo-en.doc", "mymission"), 0);
    EXPECT_EQ(InfoFileRank("FMINFO.WRI", ""), 64 + 32768 + 512);
    // Loaders read only the top folder, and only these names there.
    for (const char* other :
         {"schema\\changelog.txt", "fminfo\\notes.txt", "mymission/readme.txt", "changelog.txt", "notes-en.txt"})
        EXPECT_EQ(InfoFileRank(other, "mymission"), 0) << other;
    EXPECT_EQ(InfoFileRank("changelog.txt", ""), 0);
    SetUserLangTag("");
    EXPECT_EQ(InfoFileRank("fminfo-en.txt", "x"), 16 + 32768);
}

TEST(FMUtils, MissionNumbers)
{
    EXPECT_EQ(MissNumber("MISS5.MIS"), 5);
    EXPECT_EQ(MissNumber("miss12.mis"), 12);
    for (const char* name : {"miss.mis", "missA.mis", "miss0.mis", "miss-3.mis", "miss5.mis.bak", "sub\\miss3.mis",
                             "mis5.mis", "miss99999999.mis", "miss1000.mis"})
        EXPECT_EQ(MissNumber(name), 0) << name;
    EXPECT_EQ(MissNumber("miss999.mis"), MaxMissionNumber);
}

TEST(FMUtils, FlagTextBothWays)
{
    EXPECT_EQ(ParseMissFlags("NO_BRIEFING,End"), mfNoBriefing | mfEnd);
    EXPECT_EQ(ParseMissFlags("cutscene,skip,end"), mfSkip);
    EXPECT_EQ(ParseMissFlags("end, cutscene"), mfEnd);
    EXPECT_EQ(ParseMissFlags("NO_LOADOUT"), mfNoLoadout);
    EXPECT_EQ(ParseMissFlags(""), 0);
    EXPECT_EQ(ParseMissFlags(",,bogus,"), 0);
    EXPECT_EQ(FormatMissFlags(mfSkip | mfEnd), "skip");
    EXPECT_EQ(FormatMissFlags(mfEnd | mfNoLoadout), "no_loadout,end");
    EXPECT_EQ(FormatMissFlags(mfCutscene | mfNoBriefing), "no_briefing,cutscene");
    EXPECT_EQ(FormatMissFlags(0), "");
    for (int f = 0; f < 32; f += 2) EXPECT_EQ(ParseMissFlags(FormatMissFlags(TMissFlags(f))), f);
}

TEST(FMUtils, GameDetectionByMarkerFiles)
{
    TempDir t1, t2, t2x, both, gamOnly, none;
    t1.write("THIEF.EXE");
    t2.write("Thief2.exe");
    t2x.write("thief2.exe");
    t2x.write("T2X/t2x.GAM");
    both.write("thief.exe");
    both.write("thief2.exe");
    gamOnly.write("t2x/t2x.gam");
    std::filesystem::create_directory(none.path() / "thief2.exe"); // a directory is no marker
    EXPECT_EQ(DetectGame(t1.dir()), GameThief1);
    EXPECT_EQ(DetectGame(t2.dir()), GameThief2);
    EXPECT_EQ(DetectGame(t2x.dir()), GameThief2x);
    EXPECT_EQ(DetectGame(both.dir()), GameThief2);
    EXPECT_EQ(DetectGame(gamOnly.dir()), -1);
    EXPECT_EQ(DetectGame(none.dir()), -1);
}

TEST(FMUtils, StringFilesFoundAndClassified)
{
    TempDir tmp;
    tmp.write("strings/German/titles.str");
    tmp.write("Strings/english/Titles.STR");
    std::string rel;
    int lang = 7;
    FindStringFile(tmp.dir(), "strings\\", "titles.str", rel, lang);
    EXPECT_EQ(rel, "strings\\english\\titles.str");
    EXPECT_EQ(lang, 0);
    tmp.write("STRINGS/titles.str");
    FindStringFile(tmp.dir(), "strings\\", "titles.str", rel, lang);
    EXPECT_EQ(rel, "strings\\titles.str");
    EXPECT_EQ(lang, -1);
    lang = 3;
    FindStringFile(tmp.dir(), "t2x\\strings\\", "titles.str", rel, lang);
    EXPECT_EQ(rel, "");
    EXPECT_EQ(lang, 3);

    EXPECT_TRUE(IsStringFilePath("strings\\", "strings\\titles.str", lang));
    EXPECT_EQ(lang, -1);
    EXPECT_TRUE(IsStringFilePath("t2x\\strings\\", "T2X\\Strings\\GERMAN\\titles.str", lang));
    EXPECT_EQ(lang, 2);
    EXPECT_FALSE(IsStringFilePath("strings\\", "strings\\polish\\titles.str", lang));
    EXPECT_FALSE(IsStringFilePath("strings\\", "strings\\english\\sub\\titles.str", lang));
    EXPECT_FALSE(IsStringFilePath("strings\\", "t2x\\strings\\english\\titles.str", lang));
    EXPECT_FALSE(IsStringFilePath("strings\\", "titles.str", lang));
}

TEST(FMUtils, InfoFileSearchOrder)
{
    TempDir tmp;
    tmp.write("fminfo.txt");
    tmp.write("FMINFO-fr.rtf");
    tmp.write("fminfo-en.doc");
    std::filesystem::create_directory(tmp.path() / "fminfo-de.txt");
    EXPECT_EQ(FindInfoFile(tmp.dir(), "bell"), "FMINFO-fr.rtf");
    TempDir other;
    other.write("Bell-de.doc");
    other.write("bell.wri");
    other.write(".fminfo.txt");
    EXPECT_EQ(FindInfoFile(other.dir(), "bell"), "bell.wri");
    EXPECT_EQ(FindInfoFile(other.dir(), ""), "");
    EXPECT_TRUE(WildcardMatch("fminfo-??.*", "FMINFO-EN.TXT"));
    EXPECT_FALSE(WildcardMatch("fminfo-??.*", "fminfo-eng.txt"));
}

TEST(UserLang, TagsFromLocaleAndLanguageIds)
{
    EXPECT_EQ(LangTagFromLocaleName("de_DE.UTF-8"), "de");
    EXPECT_EQ(LangTagFromLocaleName("fr"), "fr");
    EXPECT_EQ(LangTagFromLocaleName("C"), "");
    EXPECT_EQ(LangTagFromLocaleName("POSIX"), "");
    EXPECT_EQ(LangTagFromLocaleName("C.UTF-8"), "");
    EXPECT_EQ(LangTagFromLocaleName("ast_ES"), "");
    EXPECT_EQ(LangTagFromLangId("0409"), "en");
    EXPECT_EQ(LangTagFromLangId("0407"), "de");
    EXPECT_EQ(LangTagFromLangId("041A"), "sr");
    EXPECT_EQ(LangTagFromLangId("0465"), "dv");
    EXPECT_EQ(LangTagFromLangId("0417"), ""); // 23: no code
    EXPECT_EQ(LangTagFromLangId("0466"), ""); // 102: beyond the table
    EXPECT_EQ(LangTagFromLangId("zz"), "");
    std::map<std::string, const char*> env = {{"LC_MESSAGES", "it_IT.UTF-8"}, {"LANG", "de_DE.UTF-8"}};
    auto get = [&](const char* v) -> const char* {
        auto it = env.find(v);
        return it == env.end() ? nullptr : it->second;
    };
    EXPECT_EQ(LangTagFromEnvironment(get), "it");
    env["LC_ALL"] = "C";
    EXPECT_EQ(LangTagFromEnvironment(get), "");
}

TEST(CreateFMRules, FolderButtonAndValidation)
{
    TempDir tmp;
    tmp.write("thief2.exe");
    tmp.write("t2x/T2X.GAM");
    FolderPick pick = PickFMFolder(lw::platform::Utf8Of(tmp.path()));
    EXPECT_EQ(pick.game, GameThief2x);
    EXPECT_FALSE(pick.t2xWarning);
    pick = PickFMFolder(lw::platform::Utf8Of(tmp.path() / "t2x"));
    EXPECT_TRUE(pick.t2xWarning);
    EXPECT_EQ(pick.dirText, lw::platform::Utf8Of(tmp.path()));
    EXPECT_EQ(pick.game, GameThief2x);
    EXPECT_EQ(PickFMFolder(lw::platform::Utf8Of(tmp.path() / "nowhere")).game, -1);

    CreateEntries e{"  " + lw::platform::Utf8Of(tmp.path()) + "  ", 1, 0, "", "  bell  "};
    EXPECT_EQ(ValidateCreateEntries(e), CreateFault::None);
    EXPECT_EQ(e.dir, tmp.dir());
    EXPECT_EQ(e.shortName, "bell");

    CreateEntries bad{lw::platform::Utf8Of(tmp.path()), 1, 0, "Name", "my bell"};
    EXPECT_EQ(ValidateCreateEntries(bad), CreateFault::ShortName);
    EXPECT_EQ(bad.dir, tmp.dir()); // the normalised directory stays
    CreateEntries noGame{lw::platform::Utf8Of(tmp.path()), -1, 0, "", ""};
    EXPECT_EQ(ValidateCreateEntries(noGame), CreateFault::Game);
    CreateEntries noDir{"", -1, 0, "", ""};
    EXPECT_EQ(ValidateCreateEntries(noDir), CreateFault::Dir);
    CreateEntries missing{lw::platform::Utf8Of(tmp.path() / "nowhere"), 0, 0, "", ""};
    EXPECT_EQ(ValidateCreateEntries(missing), CreateFault::Dir);
}
