#include "core/fm/Project.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace lw;
using lw::test::TempDir;

namespace {

struct MissionTableTest : ::testing::Test {
    TempDir tmp;
    Project p;
    MissionTableTest()
    {
        p.FMInfo.FMDir = tmp.dir();
        p.FMInfo.Game = GameThief2;
        p.FMInfo.MissFlagFile = "strings\\missflag.str";
        p.ClearMissions();
    }
    std::string flagFile() { return tmp.read("strings/missflag.str"); }
};

} // namespace

TEST_F(MissionTableTest, TableSizesInFours)
{
    EXPECT_EQ(p.MissCount, 20);
    EXPECT_EQ(p.Missions[0].Flags, mfEnd);
    p.SetMissCount(21);
    EXPECT_EQ(p.MissCount, 24);
    EXPECT_EQ(p.Missions.size(), 25u);
    EXPECT_EQ(p.Missions[24].Flags, mfSkip);
    p.SetMissCount(5);
    EXPECT_EQ(p.MissCount, 8);
}

TEST_F(MissionTableTest, ChainOfOneTwoFive)
{
    p.AddMission(1);
    p.AddMission(2);
    p.AddMission(5);
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(p.Missions[2].Next, 5);
    EXPECT_EQ(p.Missions[1].Next, 0);
    EXPECT_EQ(p.Missions[5].Flags, mfEnd);
    EXPECT_EQ(p.Missions[2].Flags, 0);
    EXPECT_EQ(p.FMInfo.FirstMiss, 1);
    EXPECT_EQ(p.FMInfo.LastMiss, 5);
    // The game goes on to the following number, so 3 and 4 are skipped;
    // New reads the same chain back.
    p.WriteMissFlags(tmp / "strings/missflag.str");
    EXPECT_EQ(flagFile(), "miss_1:\"\"\r\nmiss_2:\"\"\r\nmiss_3:\"skip\"\r\nmiss_4:\"skip\"\r\nmiss_5:\"end\"\r\n\r\n");
    for (int n : {1, 2, 5}) tmp.write("miss" + std::to_string(n) + ".mis");
    p.Files.clear();
    p.ReadMissFlags();
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 2, 5}));
}

TEST_F(MissionTableTest, RemovingAMiddleMissionSkipsIt)
{
    for (int n : {1, 2, 3}) {
        tmp.write("miss" + std::to_string(n) + ".mis");
        p.AddMission(n);
    }
    p.WriteMissFlags(tmp / "strings/missflag.str");
    p.RemoveMission(2);
    p.WriteMissFlags(tmp / "strings/missflag.str");
    EXPECT_EQ(flagFile(), "miss_1:\"\"\r\nmiss_2:\"skip\"\r\nmiss_3:\"end\"\r\n\r\n");
    p.Files.clear();
    p.ReadMissFlags();
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 3}));
    EXPECT_EQ(p.Files, (std::vector<std::string>{"miss1.mis", "miss3.mis"}));
}

TEST_F(MissionTableTest, InsertingBetweenAndBefore)
{
    p.AddMission(1);
    p.AddMission(3);
    EXPECT_EQ(p.Missions[1].Next, 3);
    p.AddMission(2);
    EXPECT_EQ(p.Missions[1].Next, 0);
    EXPECT_EQ(p.Missions[2].Next, 0);
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 2, 3}));

    Project q;
    q.FMInfo.FMDir = tmp.dir();
    q.FMInfo.MissFlagFile = "strings\\missflag.str";
    q.ClearMissions();
    q.AddMission(3);
    EXPECT_EQ(q.FMInfo.FirstMiss, 3);
    EXPECT_EQ(q.Missions[1].Next, 3);
    q.AddMission(4);
    q.AddMission(1);
    EXPECT_EQ(q.FMInfo.FirstMiss, 1);
    EXPECT_EQ(q.Missions[1].Next, 3);
    EXPECT_EQ(q.Chain(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(q.Missions[4].Flags, mfEnd);
    EXPECT_EQ(q.Missions[3].Flags, 0);
}

TEST_F(MissionTableTest, RemovingMovesTheEndsOfTheChain)
{
    for (int n : {1, 2, 5}) p.AddMission(n);
    p.RemoveMission(5);
    EXPECT_EQ(p.Missions[2].Flags, mfEnd);
    EXPECT_EQ(p.Missions[2].Next, 0);
    EXPECT_EQ(p.FMInfo.LastMiss, 2);
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 2}));
    p.RemoveMission(1);
    EXPECT_EQ(p.FMInfo.FirstMiss, 2);
    EXPECT_EQ(p.Chain(), (std::vector<int>{2}));
    p.WriteMissFlags(tmp / "strings/missflag.str");
    EXPECT_EQ(flagFile(), "miss_1:\"skip\"\r\nmiss_2:\"end\"\r\n\r\n");
    p.RemoveMission(2);
    EXPECT_EQ(p.FMInfo.FirstMiss, 0);
    EXPECT_EQ(p.FMInfo.LastMiss, 0);
    EXPECT_TRUE(p.Chain().empty());
}

TEST_F(MissionTableTest, NoMissionsWritesOnlySkip)
{
    p.WriteMissFlags(tmp / "strings/missflag.str");
    EXPECT_EQ(flagFile(), "miss_1:\"skip\"\r\n\r\n");
}

TEST_F(MissionTableTest, FlagsFromTheFileWithoutSkipAndEnd)
{
    tmp.write("strings/missflag.str", "miss_1_next:\"9\"\r\nmiss_3:\"no_briefing,end\"\r\nmiss_4:\"skip\"\r\n");
    p.AddMission(3);
    p.AddMission(4);
    EXPECT_EQ(p.Missions[3].Flags, mfNoBriefing);
    EXPECT_EQ(p.Missions[4].Flags, mfEnd);
    // Earlier missions up to the first get skip, their stale links go.
    p.WriteMissFlags(tmp / "strings/missflag.str");
    EXPECT_EQ(flagFile(), "miss_3:\"no_briefing\"\r\nmiss_4:\"end\"\r\nmiss_1:\"skip\"\r\nmiss_2:\"skip\"\r\n\r\n");
}

TEST_F(MissionTableTest, ReadingTheFlagFileFollowsItsLinksSafely)
{
    for (int n : {1, 2, 3, 4, 7, 8}) tmp.write("miss" + std::to_string(n) + ".mis");
    tmp.write("strings/missflag.str",
              "miss_1:\"no_loadout\"\r\nmiss_1_next:\"3\"\r\n" // jumps over 2
              "miss_3:\"\"\r\nmiss_3_next:\"1\"\r\n"           // backwards: ignored
              "miss_4:\"\"\r\nmiss_4_next:\"99999999999\"\r\n" // beyond the bound: ignored
              "miss_5:\"cutscene,end\"\r\n"                    // no file: out of play, no stop
              "miss_6:\"skip\"\r\n"
              "miss_7:\"end\"\r\nmiss_8:\"\"\r\n");
    p.ReadMissFlags();
    EXPECT_EQ(p.Files, (std::vector<std::string>{"miss1.mis", "miss3.mis", "miss4.mis", "miss7.mis"}));
    EXPECT_EQ(p.FMInfo.FirstMiss, 1);
    EXPECT_EQ(p.FMInfo.LastMiss, 7);
    EXPECT_EQ(p.Missions[1].Next, 3);
    EXPECT_EQ(p.Missions[1].Flags, mfNoLoadout);
    EXPECT_EQ(p.Missions[3].Next, 0);
    EXPECT_TRUE(p.Missions[5].Flags & mfSkip);
    EXPECT_EQ(p.Chain(), (std::vector<int>{1, 3, 4, 7}));
}

TEST_F(MissionTableTest, TitlesFallBackToTheProjectLanguage)
{
    p.FMInfo.Language = 0;
    p.FMInfo.Names[0] = FileText::FromUser("The Bell");
    p.FMInfo.ShortName = FileText::FromUser("bell");
    p.AddMission(1);
    p.AddMission(2);
    p.Missions[1].LongNames[0] = FileText::FromUser("Caf\xC3\xA9 Run");
    p.Missions[1].ShortNames[0] = FileText::FromUser("Caf\xC3\xA9");
    p.Missions[1].LongNames[1] = FileText::FromUser("La Course");
    p.WriteTitles(tmp / "strings/french/titles.str", 1);
    // French keeps its own name; the rest comes from English, in code page
    // 850; mission 2 has no name to write.
    EXPECT_EQ(tmp.read("strings/french/titles.str"),
              "title_0:\"The Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"La Course\"\r\nshort_1:\"Caf\x82\"\r\n\r\n");
}
