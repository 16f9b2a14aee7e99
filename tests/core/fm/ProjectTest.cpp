#include "core/fm/Project.h"
#include "base/Errors.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/fm/ListFile.h"
#include "core/text/TextCodec.h"
#include "support/ScriptedQuestions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lw;
using lw::test::ScriptedQuestions;
using lw::test::TempDir;

namespace {

CreateEntries entries(const TempDir& dir, int game, int lang, const std::string& name, const std::string& shortName)
{
    CreateEntries e{dir.dir(), game, lang, name, shortName};
    return e;
}

// A Thief 2 FM directory with three missions, one of them not in play.
void layThief2(const TempDir& t)
{
    t.write("thief2.exe");
    t.write("fminfo.txt", "info");
    t.write("miss1.mis");
    t.write("miss2.mis");
    t.write("miss3.mis");
    t.write("strings/missflag.str", "miss_1:\"no_briefing\"\r\nmiss_2:\"skip\"\r\nmiss_3:\"end\"\r\n");
    t.write("strings/english/titles.str",
            "title_0:\"The Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"First\"\r\nshort_1:\"1st\"\r\n"
            "title_3:\"Third\"\r\nshort_3:\"3rd\"\r\n");
}

} // namespace

TEST(ProjectNew, ReadsTheMissionsAndNamesOfAThief2Directory)
{
    TempDir t;
    layThief2(t);
    Project p;
    p.New(entries(t, GameThief2, 1, "Nom", "typed"));
    EXPECT_EQ(p.FMInfo.MissFlagFile, "strings\\missflag.str");
    EXPECT_EQ(p.FMInfo.InfoFile, "fminfo.txt");
    EXPECT_EQ(p.Files, (std::vector<std::string>{"fminfo.txt", "strings\\missflag.str", "miss1.mis", "miss3.mis",
                                                 "strings\\english\\titles.str"}));
    EXPECT_EQ(p.FMInfo.TitleFiles[0], "strings\\english\\titles.str");
    EXPECT_EQ(p.FMInfo.Names[0].Text(), "The Bell");
    EXPECT_EQ(p.FMInfo.Names[1].Text(), "Nom");
    EXPECT_EQ(p.FMInfo.ShortName.Text(), "bell"); // the file's short name wins
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 3}));
    EXPECT_EQ(p.Missions[3].LongNames[0].Text(), "Third");
    EXPECT_EQ(p.Missions[1].Flags, mfNoBriefing);
    EXPECT_EQ(p.ViewLang, 1);
}

TEST(ProjectNew, Thief2xAndPlainStringsDirectory)
{
    TempDir t;
    t.write("strings/english/titles.str"); // the base game's, not the expansion's
    t.write("t2x/strings/titles.str", "title_0:\"X\"\r\n");
    Project p;
    p.New(entries(t, GameThief2x, 2, "", ""));
    EXPECT_EQ(p.FMInfo.MissFlagFile, "t2x\\strings\\missflag.str");
    // A titles file directly in the strings directory is the project language's.
    EXPECT_EQ(p.FMInfo.TitleFiles[2], "t2x\\strings\\titles.str");
    EXPECT_EQ(p.FMInfo.TitleFiles[0], "");
    EXPECT_EQ(p.FMInfo.Names[2].Text(), "X");
    EXPECT_EQ(p.Files, (std::vector<std::string>{"t2x\\strings\\missflag.str", "t2x\\strings\\titles.str"}));

    // A second project keeps the display language of the first.
    TempDir u;
    Project& q = p;
    q.New(entries(u, GameThief1, 4, "", ""));
    EXPECT_EQ(q.ViewLang, 2);
    EXPECT_EQ(q.FMInfo.TitleFiles[2], "");
    EXPECT_EQ(q.Files, (std::vector<std::string>{"strings\\missflag.str"}));
}

TEST(ProjectOpen, CleansEntriesAndRecognisesStringFiles)
{
    TempDir t;
    t.write("miss1.mis");
    t.write("miss2.mis");
    t.write("miss5.mis");
    t.write("t2x/strings/english/titles.str", "title_0:\"Tower\"\r\n");
    t.write("t2x/strings/german/titles.str");
    t.write("t2x/strings/missflag.str", "miss_2:\"skip\"\r\nmiss_5:\"no_loadout\"\r\n");
    t.write("bell.lst", "  miss5.mis \r\n\r\nmiss2.mis\nmiss1.mis\rt2x/strings/german/titles.str\r\n"
                        "t2x\\strings\\english\\titles.str\r\nt2x\\strings\\missflag.str\r\n");
    Project p;
    ScriptedQuestions q;
    ASSERT_TRUE(p.Open(t / "bell.lst", q));
    EXPECT_EQ(q.folderRequests.size(), 0u);
    EXPECT_EQ(q.gameQuestions, 0);
    EXPECT_EQ(p.FMInfo.Game, GameThief2x);
    EXPECT_EQ(p.FMInfo.Language, 0); // the titles file nearest the end
    EXPECT_EQ(p.FMInfo.Names[0].Text(), "Tower");
    EXPECT_EQ(p.FMInfo.ShortName.Text(), "bell");
    EXPECT_EQ(p.Files,
              (std::vector<std::string>{"miss5.mis", "miss2.mis", "miss1.mis", "t2x\\strings\\german\\titles.str",
                                        "t2x\\strings\\english\\titles.str", "t2x\\strings\\missflag.str"}));
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(p.Missions[2].Next, 5);
    EXPECT_EQ(p.Missions[2].Flags, 0); // "skip" in the flag file is ignored
    EXPECT_EQ(p.Missions[5].Flags, mfNoLoadout | mfEnd);

    p.SaveListFile(t / "saved.lst");
    EXPECT_EQ(t.read("saved.lst"), "miss5.mis\r\nmiss2.mis\r\nmiss1.mis\r\nt2x\\strings\\german\\titles.str\r\n"
                                   "t2x\\strings\\english\\titles.str\r\nt2x\\strings\\missflag.str\r\n");
}

TEST(ProjectOpen, AListCopiedElsewhereAsksOnceForTheMission)
{
    TempDir fm, elsewhere;
    fm.write("thief.exe");
    fm.write("miss1.mis");
    fm.write("readme.txt");
    elsewhere.write("copy.lst", "miss1.mis\r\nreadme.txt\r\n");
    Project p;
    ScriptedQuestions q;
    q.folders.push_back(lw::platform::Utf8Of(fm.path()));
    ASSERT_TRUE(p.Open(elsewhere / "copy.lst", q));
    ASSERT_EQ(q.folderRequests.size(), 1u);
    EXPECT_EQ(q.folderRequests[0].title, "Where Is This Mission?");
    EXPECT_EQ(q.folderRequests[0].startDir, elsewhere.dir());
    EXPECT_EQ(p.FMInfo.FMDir, fm.dir());
    EXPECT_EQ(p.FMInfo.Game, GameThief1);
    // The flag file was not listed: it joins at the end.
    EXPECT_EQ(p.Files, (std::vector<std::string>{"miss1.mis", "readme.txt", "strings\\missflag.str"}));

    // Still missing after the folder was picked: one message, an empty list.
    TempDir wrong;
    ScriptedQuestions q2;
    q2.folders.push_back(lw::platform::Utf8Of(wrong.path()));
    EXPECT_FALSE(p.Open(elsewhere / "copy.lst", q2));
    EXPECT_EQ(q2.messages, (std::vector<std::string>{"The files in this mission list can't be found"}));
    EXPECT_TRUE(p.Files.empty());
}

TEST(ProjectOpen, UnknownGameIsAskedAndMayBeRefused)
{
    TempDir t;
    t.write("miss1.mis");
    t.write("a.lst", "miss1.mis\r\nmiss1.mis\r\n"); // one mission twice
    Project p;
    ScriptedQuestions cancel;
    EXPECT_FALSE(p.Open(t / "a.lst", cancel));
    EXPECT_EQ(cancel.gameQuestions, 1);
    EXPECT_TRUE(cancel.messages.empty());
    ScriptedQuestions answer;
    answer.games.push_back(GameThief2);
    ASSERT_TRUE(p.Open(t / "a.lst", answer));
    EXPECT_EQ(p.FMInfo.Game, GameThief2);
    EXPECT_EQ(p.Files.size(), 3u);
    EXPECT_EQ(p.Chain(), (std::vector<int>{1}));
    EXPECT_EQ(p.Missions[1].Next, 0);
}

TEST(ProjectOpen, BadListFiles)
{
    TempDir t;
    t.write("thief2.exe");
    std::string garbage(200000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919) & 0xFF);
    t.write("garbage.lst", garbage);
    t.write("long.lst", std::string(10 << 20, 'a') + "\r\n");
    t.write("escape.lst", "..\\..\\..\\etc\\passwd\r\nC:\\thief2\\miss1.mis\r\n");
    {
        // Bytes no text holds: no list file, and said so in a line.
        Project p;
        ScriptedQuestions q;
        try {
            p.Open(t / "garbage.lst", q);
            ADD_FAILURE() << "garbage opened";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("garbage.lst\" is not a list file"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(q.folderRequests.empty());
    }
    for (const char* list : {"long.lst", "escape.lst"}) {
        Project p;
        ScriptedQuestions q;
        EXPECT_FALSE(p.Open(t / list, q)) << list;
        EXPECT_EQ(q.messages.size(), 1u) << list;
        if (list == std::string("long.lst"))
            EXPECT_NE(q.messages.back().find("is too long"), std::string::npos) << q.messages.back();
        else
            EXPECT_EQ(q.messages.back(), FilesNotFoundMessage) << list;
        EXPECT_TRUE(p.Files.empty());
    }
    Project p;
    ScriptedQuestions q;
    EXPECT_THROW(p.Open(t / "missing.lst", q), std::exception);
}

TEST(ProjectOpen, AThousandsLongListIsLookedUpAsOne)
{
    // Long enough that its files are looked up on several threads.
    TempDir fm, elsewhere;
    fm.write("thief2.exe");
    fm.write("miss1.mis");
    std::string list = "miss1.mis\r\n";
    std::vector<std::string> expected = {"miss1.mis"};
    for (int i = 0; i < 1500; ++i) {
        const std::string folder = "Fam/Set" + std::to_string(i % 30);
        const std::string name = "Tex" + std::to_string(i) + ".pcx";
        fm.write(folder + "/" + name, "t");
        std::string entry = "Fam\\Set" + std::to_string(i % 30) + "\\" + name;
        expected.push_back(entry);
        // As lists written on Windows have them: names in another case, and blanks.
        if (i % 3 == 0)
            for (char& c : entry) c = AsciiUpper(c);
        if (i % 5 == 0) entry = "  " + entry + " ";
        list += entry + "\r\n";
    }
    fm.write("big.lst", list);
    {
        Project p;
        ScriptedQuestions q;
        ASSERT_TRUE(p.Open(fm / "big.lst", q));
        EXPECT_TRUE(q.folderRequests.empty());
        EXPECT_TRUE(q.messages.empty());
        ASSERT_EQ(p.Files.size(), expected.size() + 1); // the flag file joins at the end
        for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(EqualsNoCase(p.Files[i], expected[i])) << i;
        EXPECT_EQ(p.Chain(), (std::vector<int>{1}));
    }
    // Copied elsewhere: one question, however many files are missing.
    elsewhere.write("big.lst", list);
    {
        Project p;
        ScriptedQuestions q;
        q.folders.push_back(fm.dir());
        ASSERT_TRUE(p.Open(elsewhere / "big.lst", q));
        EXPECT_EQ(q.folderRequests.size(), 1u);
        EXPECT_EQ(p.FMInfo.FMDir, fm.dir());
        EXPECT_EQ(p.Files.size(), expected.size() + 1);
    }
    // One path over the limits, deep in the list: one message, an empty list.
    std::string withLong = list;
    withLong.insert(withLong.find("\r\n", withLong.size() / 3) + 2, std::string(MaxListedPathLength + 1, 'a') + "\r\n");
    fm.write("long.lst", withLong);
    {
        Project p;
        ScriptedQuestions q;
        EXPECT_FALSE(p.Open(fm / "long.lst", q));
        ASSERT_EQ(q.messages.size(), 1u);
        EXPECT_NE(q.messages[0].find("is too long"), std::string::npos) << q.messages[0];
        EXPECT_TRUE(q.folderRequests.empty());
        EXPECT_TRUE(p.Files.empty());
    }
}

TEST(ProjectOpen, APathWithANulIsRefusedWithAMessage)
{
    TempDir t;
    t.write("thief2.exe");
    t.write("fminfo.txt", "info");
    t.write("miss1.mis");
    t.write("strings/missflag.str", "");
    t.write("bell.lst", std::string("fminfo.txt") + '\0' + "/anything\r\nmiss1.mis\r\nstrings\\missflag.str\r\n");
    Project p;
    ScriptedQuestions q;
    ASSERT_TRUE(p.Open(t / "bell.lst", q));
    EXPECT_EQ(p.Files, (std::vector<std::string>{"miss1.mis", "strings\\missflag.str"}));
    EXPECT_TRUE(p.FMInfo.InfoFile.empty());
    ASSERT_EQ(q.messages.size(), 1u);
    EXPECT_EQ(q.messages[0], std::string(NulEntryMessage) + "\nfminfo.txt\\0\\anything");

    EXPECT_THROW(p.AddFiles({t / "miss1.mis", std::string("/x\0y", 4)}), Error);
    EXPECT_EQ(p.Files.size(), 2u);
}

TEST(ListFile, SavedListsReopenAsSavedEvenThroughALink)
{
    TempDir t;
    if (!t.SymlinksWork()) GTEST_SKIP() << TempDir::NoSymlinks;
    // Windows-1252 bytes of these names would read back as UTF-8 or as a mark.
    const std::vector<std::string> names{"\xC3\x83\xC2\xA9.txt", "\xC3\xAF\xC2\xBB\xC2\xBFx.wav"};
    std::filesystem::create_directories(t.path() / "lists");
    std::filesystem::create_symlink("lists/bell.lst", t.path() / "bell.lst");
    WriteListFile(t / "bell.lst", names);
    EXPECT_TRUE(std::filesystem::is_symlink(t.path() / "bell.lst"));
    EXPECT_EQ(t.read("lists/bell.lst").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadListFile(t / "bell.lst"), names);
}

TEST(ProjectFiles, AddRemoveAndSelect)
{
    TempDir t;
    layThief2(t);
    t.write("miss4.mis");
    t.write("sub/miss6.mis");
    t.write("strings/french/titles.str", "title_4:\"Quatre\"\r\n");
    Project p;
    p.New(entries(t, GameThief2, 0, "", "bell"));
    p.AddFiles({t / "MISS4.MIS", t / "miss4.mis", t / "sub/miss6.mis", t / "strings/french/titles.str"});
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(p.FMInfo.TitleFiles[1], "strings\\french\\titles.str");
    EXPECT_EQ(p.Missions[4].LongNames[1].Text(), "Quatre");
    EXPECT_EQ(p.Files.back(), "strings\\french\\titles.str");
    EXPECT_EQ(p.Files[p.Files.size() - 2], "sub\\miss6.mis");

    // Selecting a mission shows its box; a text file shows Edit File.
    SelectionView v = p.Select({3}); // miss3.mis
    EXPECT_TRUE(v.showMissBox);
    EXPECT_EQ(p.CurMiss, 3);
    v = p.Select({0}); // fminfo.txt
    EXPECT_TRUE(v.showInfoButton);
    EXPECT_EQ(p.CurMiss, 0);
    v = p.Select({0, 1});
    EXPECT_FALSE(v.showMissBox || v.showInfoButton);
    EXPECT_TRUE(v.removeEnabled);
    EXPECT_FALSE(p.Select({}).removeEnabled);

    // Removing the info file and the last mission.
    const std::vector<std::string> before = p.Files;
    p.RemoveFiles({0, 5}); // fminfo.txt and MISS4.MIS
    EXPECT_EQ(p.FMInfo.InfoFile, "");
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 3}));
    EXPECT_EQ(p.Missions[3].Flags, mfEnd);
    EXPECT_EQ(p.Files.size(), before.size() - 2);
    p.InfoFileSaved(t / "fminfo.txt");
    EXPECT_EQ(p.FMInfo.InfoFile, "fminfo.txt");
    EXPECT_EQ(p.Files.back(), "fminfo.txt");
}

TEST(ProjectFiles, EditsAndTitlesFiles)
{
    TempDir t;
    layThief2(t);
    Project p;
    p.New(entries(t, GameThief2, 0, "", ""));
    p.ViewLang = 3;
    EXPECT_TRUE(p.SetFMName("La Campana"));
    EXPECT_EQ(p.Files.back(), "strings\\italian\\titles.str");
    EXPECT_FALSE(p.SetFMName("La Campana!"));
    p.Select({3});
    EXPECT_FALSE(p.SetMissName(true, "Terzo"));
    p.SetMissFlag(3, true);
    p.SetMissFlag(1, true);
    p.SetMissFlag(9, true);
    EXPECT_EQ(p.Missions[3].Flags, mfEnd | mfCutscene | mfNoBriefing);
    p.SetMissFlag(1, false);
    std::string name = "my bell:2";
    EXPECT_TRUE(CleanShortName(name));
    EXPECT_EQ(name, "mybell2");
    p.SetShortName(name);
    p.WriteStringFiles();
    EXPECT_EQ(t.read("strings/missflag.str"),
              "miss_1:\"no_briefing\"\r\nmiss_2:\"skip\"\r\nmiss_3:\"cutscene,end\"\r\n");
    EXPECT_EQ(t.read("strings/italian/titles.str"),
              "title_0:\"La Campana!\"\r\nshort_0:\"mybell2\"\r\ntitle_1:\"First\"\r\nshort_1:\"1st\"\r\n"
              "title_3:\"Third\"\r\nshort_3:\"Terzo\"\r\n\r\n");
}

TEST(ProjectFiles, UneditedNamesKeepTheirBytes)
{
    // Polish authors write Windows-1250; no conversion may touch those bytes.
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    const std::string titles = "// Polskie nazwy\r\ntitle_0:\"Dzwon \xA3\xF3\x64\xBF\"\r\nshort_0:\"dzwon\"\r\n"
                               "title_1:\"Wie\xBF\x61\"\r\nshort_1:\"\x8C\x77\"\r\n\r\n";
    t.write("strings/english/titles.str", titles);
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n\r\n");
    t.write("dzwon.lst", "miss1.mis\r\nstrings\\english\\titles.str\r\nstrings\\missflag.str\r\n");
    Project p;
    ScriptedQuestions q;
    ASSERT_TRUE(p.Open(t / "dzwon.lst", q));
    p.WriteStringFiles();
    EXPECT_EQ(t.read("strings/english/titles.str"), titles);
    p.SaveListFile(t / "dzwon.lst");

    Project again;
    ASSERT_TRUE(again.Open(t / "dzwon.lst", q));
    EXPECT_EQ(again.Files, p.Files);
    EXPECT_EQ(again.Chain(), p.Chain());
    EXPECT_EQ(again.FMInfo.Names, p.FMInfo.Names);
    EXPECT_EQ(again.FMInfo.ShortName, p.FMInfo.ShortName);
    EXPECT_EQ(again.FMInfo.Game, p.FMInfo.Game);
    EXPECT_EQ(again.Missions[1].LongNames, p.Missions[1].LongNames);
}

TEST(ProjectInfo, MissionTextsOfTheChain)
{
    TempDir t;
    Project p;
    p.FMInfo.FMDir = t.dir();
    p.FMInfo.MissFlagFile = "strings\\missflag.str";
    EXPECT_EQ(p.InfoMissionTexts(), std::make_pair(std::string(), std::string()));
    p.AddMission(2);
    p.Missions[2].LongNames[0] = FileText::FromUser("Long Two");
    EXPECT_EQ(p.InfoMissionTexts(), std::make_pair(std::string("Long Two"), std::string("miss2.mis")));
    p.AddMission(1);
    p.AddMission(5);
    p.Missions[1].ShortNames[0] = FileText::FromUser("One");
    p.Missions[5].ShortNames[0] = FileText::FromUser("Five");
    // A mission without a short name adds no name, wherever it stands.
    EXPECT_EQ(p.InfoMissionTexts(),
              std::make_pair(std::string("One, Five"), std::string("miss1.mis, miss2.mis, miss5.mis")));
    p.Missions[1].ShortNames[0] = FileText::FromUser("");
    EXPECT_EQ(p.InfoMissionTexts(),
              std::make_pair(std::string("Five"), std::string("miss1.mis, miss2.mis, miss5.mis")));
}
