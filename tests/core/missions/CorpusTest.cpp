// The check on the real missions of the shared corpus, each folder made a
// FM: with every file listed it finds nothing of the missions' own kinds;
// with only the missions listed it names the files they use; and each of
// those taken off the full list is named by an error. Skipped when the
// corpus is not there.
#include "base/StrUtils.h"
#include "core/check/MissionUseRules.h"
#include "core/check/Preflight.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Packaging.h"
#include "core/fm/Project.h"
#include "platform/File.h"
#include "support/ScriptedQuestions.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

using namespace lw;
using namespace lw::test;
namespace fs = std::filesystem;

namespace {

fs::path corpus()
{
    std::vector<fs::path> candidates;
    if (const char* env = std::getenv("LW_MIS_CORPUS")) candidates.push_back(platform::PathFromUtf8(env));
    // Beside the repository, or beside the folder of its worktrees.
    candidates.push_back(platform::PathFromUtf8(LW_SOURCE_DIR) / ".." / "shared" / "mis-corpus");
    candidates.push_back(platform::PathFromUtf8(LW_SOURCE_DIR) / ".." / ".." / "shared" / "mis-corpus");
    for (const fs::path& c : candidates)
        if (fs::is_directory(c)) return c;
    return {};
}

// A corpus folder as a FM below t, its missions named missN.mis (those so
// named keep their numbers). Returns every file as a list entry.
std::vector<std::string> layFM(const fs::path& from, const TempDir& t, std::vector<std::string>& missions)
{
    fs::copy(from, t.path(), fs::copy_options::recursive);
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(t.path())) {
        // The corpus is read-only; on Windows a read-only copy cannot be
        // removed, which the test does to a used file.
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
        std::string entry = platform::Utf8Of(e.path().lexically_relative(t.path()));
        std::replace(entry.begin(), entry.end(), '/', '\\');
        if (e.is_regular_file()) files.push_back(entry);
    }
    std::sort(files.begin(), files.end()); // test_headless.mis before test_paganmask.mis
    int n = 0;
    for (std::string& f : files) {
        if (f.find('\\') != std::string::npos || !f.ends_with(".mis")) continue;
        if (!MissNumber(f)) {
            while (t.exists("miss" + std::to_string(++n) + ".mis")) {}
            fs::rename(t.path() / platform::PathFromUtf8(f),
                       platform::PathFromUtf8(t / ("miss" + std::to_string(n) + ".mis")));
            f = "miss" + std::to_string(n) + ".mis";
        }
        missions.push_back(f);
    }
    return files;
}

void writeList(const TempDir& t, const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& e : entries) text += e + "\r\n";
    t.write("fm.lst", text);
}

std::vector<Finding> checked(const TempDir& t)
{
    Project p;
    ScriptedQuestions q;
    EXPECT_TRUE(p.Open(t / "fm.lst", q));
    EXPECT_EQ(q.gameQuestions, 0) << "the missions tell the game";
    return CheckProject(p);
}

bool ofTheMissionsKinds(const Finding& f)
{
    const std::string line = FindingLine(f);
    return f.severity == Severity::Error &&
           (line.find("which the list lacks") != std::string::npos ||
            line.find("which is in neither") != std::string::npos || line.find("damaged") != std::string::npos);
}

// Whether a finding is as wanted; the findings when none is.
::testing::AssertionResult holds(const std::vector<Finding>& findings,
                                 const std::function<bool(const Finding&)>& wanted)
{
    std::string all;
    for (const Finding& f : findings) {
        if (wanted(f)) return ::testing::AssertionSuccess();
        all += FindingLine(f) + "\n";
    }
    return ::testing::AssertionFailure() << all;
}

// Files each corpus folder's missions are known to use, as its README says.
const std::map<std::string, std::vector<std::string>> kKnownUses = {
    {"test_caustics", {"fam\\core_1\\brikcaus2.pcx", "fam\\core_1\\brikcaust.mtl"}},
    {"test_compass3", {"obj\\compass3.bin", "obj\\txt\\ceye.png", "obj\\txt\\cstar2.png"}},
    {"test_crossfade", {"test_crossfade.gam"}},
    {"test_headless",
     {"mesh\\mecconx1.bin", "mesh\\mecconx1.cal", "mesh\\txt16\\soldx_.png", "mesh\\txt16\\soldx_1.png",
      "mesh\\txt16\\soldC01x.png"}},
    {"test_illusions", {"fam\\waterhw\\stin.png", "bitmap\\bigbl2.pcx"}},
    {"test_impostor", {"impostor.gam", "fam\\artdeco\\mecban.png", "obj\\plinth.bin", "obj\\txt\\plinth.png"}},
    {"test_osm", {"periapt.osm"}},
    {"test_playermode", {"obj\\handposs.bin", "obj\\txt16\\handposs.png"}},
    {"test_shrinkroom", {"obj\\blatlas.bin", "obj\\txt16\\blatlas.png"}},
    {"test_syncmtl", {"obj\\txt\\craygran.gif", "obj\\txt\\craygran.mtl"}},
    {"test_voidwater", {"test_voidwater.gam", "fam\\core_1\\tile.mtl"}},
    {"test_waves", {"bluewave.gam", "fam\\sand\\sandwave.png", "fam\\waterhw\\bwin.mtl", "fam\\waterhw\\bwin_13.pcx"}},
};

} // namespace

TEST(Corpus, FullListsHaveNoErrorOfTheMissionsKindsAndEachUsedFileOffTheListIsOne)
{
    const fs::path root = corpus();
    if (root.empty())
        GTEST_SKIP() << "no mission corpus beside the repository (../shared/mis-corpus) or in LW_MIS_CORPUS";
    int folders = 0;
    for (const auto& d : fs::directory_iterator(root)) {
        if (!d.is_directory()) continue;
        const std::string name = platform::Utf8Of(d.path().filename());
        SCOPED_TRACE(name);
        ++folders;
        TempDir t;
        std::vector<std::string> missions;
        const std::vector<std::string> all = layFM(d.path(), t, missions);
        ASSERT_FALSE(missions.empty());

        writeList(t, all);
        EXPECT_FALSE(holds(checked(t), ofTheMissionsKinds));
        // The command line checks and packs the FM as kept, without a game
        // program, and finds no error that would stop the package.
        std::ostringstream out, err;
        EXPECT_EQ(RunCheck(t / "fm.lst", false, out, err), 0) << out.str() << err.str();
        EXPECT_EQ(RunPack(t / "fm.lst", t / "fm.zip", out, err, false), 0) << err.str();

        writeList(t, missions);
        const std::vector<std::string> used = FilesTheListLacks(checked(t));
        for (const std::string& known : kKnownUses.count(name) ? kKnownUses.at(name) : std::vector<std::string>{})
            EXPECT_NE(std::find(used.begin(), used.end(), known), used.end()) << known << " is not used";
        for (const std::string& u : used) {
            std::vector<std::string> entries = all;
            std::erase(entries, u);
            writeList(t, entries);
            EXPECT_TRUE(holds(checked(t), [&](const Finding& f) {
                return f.severity == Severity::Error && f.file == u &&
                       f.message.ends_with(u + ", which the list lacks");
            })) << u;
        }

        // A used file gone from the disk, with a game folder whose archives
        // lack it too, is missing for every player.
        const auto gone = std::find_if(used.begin(), used.end(), [](const std::string& u) {
            return !u.ends_with(".mtl") && !u.ends_with(".cal"); // a file named itself, before its companions
        });
        if (gone == used.end()) continue;
        std::vector<std::string> entries = all;
        std::erase(entries, *gone);
        writeList(t, entries);
        std::string shown = *gone;
        std::replace(shown.begin(), shown.end(), '\\', '/');
        fs::remove(t.path() / platform::PathFromUtf8(shown));
        t.write("cam.cfg", "");
        t.write("RES/fam.crf", CrfBytes({"other/x.pcx"}));
        const std::string stem = AsciiLower(platform::Utf8Of(platform::PathFromUtf8(shown).stem()));
        EXPECT_TRUE(holds(checked(t), [&](const Finding& f) {
            return f.severity == Severity::Error && f.message.ends_with("which is in neither the FM nor the game") &&
                   AsciiLower(f.file).find(stem) != std::string::npos;
        })) << *gone;
    }
    EXPECT_GE(folders, 10);
}
