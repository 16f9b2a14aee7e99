// The check of what the missions use, on a made-up Thief 2 FM whose mission
// names a texture, models, an object texture, script modules, a book, book
// art and its own gamesys, which names a model of its own.
#include "core/check/MissionUseRules.h"
#include "core/check/Preflight.h"
#include "core/fm/Packaging.h"
#include "core/fm/Project.h"
#include "support/ScriptedQuestions.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace lw;
using namespace lw::test;
namespace fs = std::filesystem;

namespace {

// Every file of the FM the mission uses, as the list names them.
const std::vector<std::string> kUsed = {
    "fc.gam",
    "fam\\doors\\DOOR13.GIF",
    "fam\\doors\\door13.mtl",
    "fam\\doors\\door13_1.gif",
    "obj\\lamp.bin",
    "obj\\txt16\\lamp.png",
    "mesh\\guard.bin",
    "mesh\\guard.cal",
    "obj\\txt\\sscat.pcx",
    "periapt.osm",
    "books\\english\\note.str",
    "books\\parch\\book.pcx",
    "books\\parch\\sub\\bookr.bin",
    "obj\\gamemodel.bin",
};

struct FM {
    TempDir t;
    std::string dir; // the FM folder below t, "" or ending in "/"
    std::vector<std::string> entries;
    int told = -1; // the game the author names, for missions that cannot tell it

    explicit FM(std::string below = "") : dir(std::move(below))
    {
        MissionSpec m{.gamesys = "fc.gam",
                      .textures = {"fam\\doors\\door13", "fam\\stock\\blubrik1"},
                      .models = {{2, "lamp"}, {3, "guard"}},
                      .creatures = {3},
                      .objectTextures = {"obj/txt/sscat"},
                      .scripts = {"gen", "periapt"},
                      .books = {"note"},
                      .bookArt = {"parch"},
                      .archetypes = {"Object", "RopeyArrow"}};
        write("miss1.mis", MissionBytes(m));
        write("fc.gam", MissionBytes({.gamesys = "", .models = {{-7, "gamemodel"}}}));
        for (const std::string& f : kUsed)
            if (f != "fc.gam") write(f, "x");
        write("obj\\lamp.bin", ObjectModelBytes({"lamp.png", "REPLACE0.GIF"}));
        write("obj\\gamemodel.bin", ObjectModelBytes({}));
        write("strings\\english\\titles.str", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Tower\"\r\n");
        write("intrface\\miss1\\english\\goals.str", "goal_0:\"Ring\"\r\n");
        write("fminfo.txt", "Title: Bell\r\nAuthor: Someone\r\n");
        list(All());
    }
    std::string path(std::string rel) const
    {
        std::replace(rel.begin(), rel.end(), '\\', '/');
        return t / (dir + rel);
    }
    void write(const std::string& rel, const std::string& bytes) const
    {
        t.write(path(rel).substr(t.dir().size()), bytes);
    }
    static std::vector<std::string> All()
    {
        std::vector<std::string> all = {"miss1.mis", "strings\\english\\titles.str",
                                        "intrface\\miss1\\english\\goals.str", "fminfo.txt"};
        all.insert(all.end(), kUsed.begin(), kUsed.end());
        return all;
    }
    void list(const std::vector<std::string>& listed)
    {
        entries = listed;
        std::string text;
        for (const std::string& e : entries) text += e + "\r\n";
        write("bell.lst", text);
    }
    void remove(const std::string& rel) // off the disk and the list
    {
        fs::remove(platform::PathFromUtf8(path(rel)));
        std::erase(entries, rel);
        list(entries);
    }
    std::vector<Finding> check(Project* keep = nullptr, const std::string& gameDir = "") const
    {
        Project p;
        p.GameDir = gameDir;
        p.ToldGame = told;
        ScriptedQuestions q;
        EXPECT_TRUE(p.Open(path("bell.lst"), q)) << (q.messages.empty() ? "" : q.messages.back());
        EXPECT_EQ(q.gameQuestions, 0);
        std::vector<Finding> out = CheckProject(p);
        if (keep) *keep = std::move(p);
        return out;
    }
};

// Whether a finding's line holds text; the findings when not.
::testing::AssertionResult has(const std::vector<Finding>& findings, const std::string& text)
{
    std::string all;
    for (const Finding& f : findings) {
        if (FindingLine(f).find(text) != std::string::npos) return ::testing::AssertionSuccess() << FindingLine(f);
        all += FindingLine(f) + "\n";
    }
    return ::testing::AssertionFailure() << "no \"" << text << "\" in\n" << all;
}

} // namespace

TEST(MissionUseCheck, EachUsedFileOffTheListIsAnErrorAndAddedInOneStep)
{
    FM fm;
    Project p;
    std::vector<Finding> findings = fm.check(&p);
    EXPECT_EQ(p.FMInfo.Game, GameThief2); // from the mission: no game program in the folder
    // The stock texture and module: without the game, nothing says they are there.
    ASSERT_EQ(findings.size(), 1u) << has(findings, "").message();
    EXPECT_EQ(FindingLine(findings[0]),
              "note: 2 names the missions use are not in the FM folder; name the game folder to check them");
    for (const std::string& used : kUsed) {
        std::vector<std::string> entries = FM::All();
        std::erase(entries, used);
        fm.list(entries);
        findings = fm.check();
        EXPECT_TRUE(has(findings, "error: " + used + ": miss1.mis uses " + used + ", which the list lacks"));
        EXPECT_EQ(FilesTheListLacks(findings), std::vector<std::string>{used});
        EXPECT_EQ(CountOf(findings, Severity::Error), 1) << has(findings, "").message();
    }
    fm.list({"miss1.mis"});
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(fm.path("bell.lst"), false, out, err), 1) << err.str();
    EXPECT_NE(out.str().find("error: fc.gam: miss1.mis uses fc.gam, which the list lacks"), std::string::npos);
    findings = fm.check(&p);
    std::vector<std::string> paths;
    for (const std::string& f : FilesTheListLacks(findings)) paths.push_back(fm.path(f));
    EXPECT_EQ(paths.size(), kUsed.size());
    p.AddFiles(paths);
    EXPECT_TRUE(FilesTheListLacks(CheckProject(p)).empty());
}

TEST(MissionUseCheck, WithTheGameFolderAFileNeitherHoldsIsAnError)
{
    FM fm("Thief2/FMs/bell/");
    fm.t.write("Thief2/install.cfg", "resname_base .\\RES\r\n");
    fm.t.write("Thief2/RES/fam.crf", CrfBytes({"stock/BLUBRIK1.PCX"}));
    fm.t.write("Thief2/gen.osm", "module");
    EXPECT_FALSE(has(fm.check(), "note:"));
    for (const char* gone :
         {"fam\\doors\\DOOR13.GIF", "fam\\doors\\door13_1.gif", "fam\\doors\\door13.mtl", "obj\\txt16\\lamp.png"})
        fm.remove(gone);
    const std::vector<Finding> findings = fm.check();
    EXPECT_TRUE(has(findings, "error: fam\\doors\\door13: miss1.mis uses fam\\doors\\door13, which is in neither "
                              "the FM nor the game"));
    EXPECT_TRUE(has(findings, "uses obj\\txt\\lamp.png, which is in neither"));
    // A game folder named outright is the one looked in.
    TempDir other;
    other.write("RES/fam.crf", CrfBytes({"doors/door13.gif"}));
    other.write("cam.cfg");
    EXPECT_FALSE(has(fm.check(nullptr, other.dir()), "door13, which is in neither"));
    // One without archives is said to be so, not asked for.
    TempDir bare;
    const std::vector<Finding> unanswered = fm.check(nullptr, bare.dir());
    EXPECT_TRUE(has(unanswered, "holds no .crf archives to check them against"));
    EXPECT_FALSE(has(unanswered, "name the game folder"));
}

TEST(MissionUseCheck, NotesAndWarningsBesideTheErrors)
{
    const std::pair<std::function<void(FM&)>, const char*> cases[] = {
        // a change, the line expected
        {[](FM& fm) {
             fm.write("fam\\doors\\door12.gif", "x");
             fm.entries.push_back("fam\\doors\\door12.gif");
             fm.list(fm.entries);
         },
         "note: fam\\doors\\door12.gif: fam\\doors\\door12.gif is listed but no mission uses it"},
        {[](FM& fm) { fm.remove("intrface\\miss1\\english\\goals.str"); },
         "warning: intrface\\miss1\\english\\goals.str: Mission 1 has no goals file in English: its objectives "
         "screen is empty"},
        {[](FM& fm) { // the plain one stands for every language
             fm.remove("intrface\\miss1\\english\\goals.str");
             fm.write("intrface\\miss1\\GOALS.STR", "x");
         },
         "warning: intrface\\miss1\\GOALS.STR: Is not listed: the objectives screen of mission 1 is empty in "
         "English"},
        {[](FM& fm) {
             fm.write("miss1.mis", PlainMission().substr(0, 400));
             fm.told = GameThief2;
         },
         "error: miss1.mis: damaged mission file: the chunk directory lies outside the file"},
        {[](FM& fm) { fm.write("fc.gam", "x"); }, "error: fc.gam: damaged gamesys file: too short for a tag file"},
        {[](FM& fm) { fm.write("obj\\lamp.bin", ObjectModelBytes({"a"}).substr(0, 100)); },
         "warning: obj\\lamp.bin: damaged model file: its materials lie outside the file"},
    };
    for (const auto& [change, line] : cases) {
        FM fm;
        change(fm);
        const std::vector<Finding> findings = fm.check();
        EXPECT_TRUE(has(findings, line));
        EXPECT_FALSE(has(findings, "not listed: intrface")); // the folder rule does not repeat a file these name
    }
}

TEST(MissionUseCheck, TheFolderRuleLooksInFamOnlyWhileAMissionCannotBeRead)
{
    FM fm;
    fm.write("fam\\junk\\source.psd", "x");
    fm.write("snd\\forgotten.wav", "x");
    EXPECT_TRUE(has(fm.check(), "warning: snd: 1 file in this folder is not listed"));
    EXPECT_FALSE(has(fm.check(), "fam:"));
    fm.write("miss1.mis", "damaged");
    fm.told = GameThief2;
    EXPECT_TRUE(has(fm.check(), "warning: fam: 1 file in this folder is not listed: fam\\junk\\source.psd"));
}

TEST(MissionUseCheck, AFMFolderThatIsTheGameFolderKeepsTheGamesOwnFiles)
{
    FM fm;
    fm.write("thief2.exe", "x");
    fm.write("gen.osm", "module");
    fm.write("miss1.mis", MissionBytes({.scripts = {"gen"}})); // and the stock dark.gam
    fm.write("dark.gam", PlainMission());
    fm.list({"miss1.mis"});
    EXPECT_TRUE(FilesTheListLacks(fm.check()).empty());
}
