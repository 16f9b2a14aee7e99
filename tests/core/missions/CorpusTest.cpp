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
#include <map>
#include <set>
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

// A corpus folder as a FM below t: missN.mis keep their numbers, other
// missions take free ones. Returns every file as a list entry.
std::vector<std::string> layFM(const fs::path& from, const TempDir& t, std::vector<std::string>& missions)
{
    std::vector<std::string> files;
    std::vector<fs::path> others;
    std::set<int> taken;
    for (const auto& e : fs::recursive_directory_iterator(from)) {
        if (!e.is_regular_file()) continue;
        const fs::path rel = e.path().lexically_relative(from);
        if (rel.extension() == ".mis" && !rel.has_parent_path() && MissNumber(platform::Utf8Of(rel)) == 0) {
            others.push_back(rel);
            continue;
        }
        if (const int n = MissNumber(platform::Utf8Of(rel)); n && !rel.has_parent_path()) taken.insert(n);
        fs::create_directories((t.path() / rel).parent_path());
        fs::copy_file(e.path(), t.path() / rel);
        std::string entry = platform::Utf8Of(rel);
        std::replace(entry.begin(), entry.end(), '/', '\\');
        files.push_back(entry);
    }
    std::sort(others.begin(), others.end());
    int n = 1;
    for (const fs::path& rel : others) {
        while (taken.count(n)) ++n;
        taken.insert(n);
        fs::copy_file(from / rel, t.path() / ("miss" + std::to_string(n) + ".mis"));
        files.push_back("miss" + std::to_string(n) + ".mis");
    }
    for (const std::string& f : files)
        if (MissNumber(f)) missions.push_back(f);
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

std::string describe(const std::vector<Finding>& findings)
{
    std::string s;
    for (const Finding& f : findings) s += FindingLine(f) + "\n";
    return s;
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
        const std::vector<Finding> full = checked(t);
        EXPECT_EQ(std::count_if(full.begin(), full.end(), ofTheMissionsKinds), 0) << describe(full);

        writeList(t, missions);
        const std::vector<std::string> used = FilesTheListLacks(checked(t));
        for (const std::string& known : kKnownUses.count(name) ? kKnownUses.at(name) : std::vector<std::string>{})
            EXPECT_TRUE(std::any_of(used.begin(), used.end(), [&](const std::string& u) { return u == known; }))
                << known << " is not among what the missions use";

        for (const std::string& u : used) {
            std::vector<std::string> entries = all;
            std::erase_if(entries, [&](const std::string& e) { return e == u; });
            writeList(t, entries);
            const std::vector<Finding> findings = checked(t);
            EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                                    [&](const Finding& f) {
                                        return f.severity == Severity::Error && f.file == u &&
                                               f.message.find(u + ", which the list lacks") != std::string::npos;
                                    }))
                << u << "\n"
                << describe(findings);
        }

        // A used file gone from the disk, with a game folder whose archives
        // lack it too, is missing for every player.
        const auto gone = std::find_if(used.begin(), used.end(), [](const std::string& u) {
            const fs::path p = platform::PathFromUtf8(u);
            const std::string ext = AsciiLower(platform::Utf8Of(p.extension()));
            const std::string stem = platform::Utf8Of(p.stem());
            const size_t digits = stem.find_last_not_of("0123456789");
            const bool frame = digits != std::string::npos && digits + 1 < stem.size() && stem[digits] == '_';
            return ext != ".mtl" && ext != ".cal" && !frame; // the file named, no companion of it
        });
        if (gone != used.end()) {
            TempDir g;
            std::vector<std::string> ignored;
            std::vector<std::string> entries = layFM(d.path(), g, ignored);
            std::string shown = *gone;
            std::replace(shown.begin(), shown.end(), '\\', '/');
            fs::remove(g.path() / platform::PathFromUtf8(shown));
            std::erase(entries, *gone);
            writeList(g, entries);
            g.write("cam.cfg", "");
            g.write("RES/fam.crf", CrfBytes({"other/x.pcx"}));
            const std::vector<Finding> findings = checked(g);
            const std::string stem = AsciiLower(platform::Utf8Of(platform::PathFromUtf8(shown).stem()));
            EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                                    [&](const Finding& f) {
                                        return f.severity == Severity::Error &&
                                               f.message.find("which is in neither") != std::string::npos &&
                                               AsciiLower(f.file).find(stem) != std::string::npos;
                                    }))
                << *gone << "\n"
                << describe(findings);
        }

        // The command line checks and packs the FM as kept, without a game
        // program, and finds no error that would stop the package.
        writeList(t, all);
        std::ostringstream out, err;
        EXPECT_EQ(RunCheck(t / "fm.lst", false, out, err), 0) << out.str() << err.str();
        EXPECT_EQ(RunPack(t / "fm.lst", t / "fm.zip", out, err, false), 0) << err.str();
    }
    EXPECT_GE(folders, 10);
}
