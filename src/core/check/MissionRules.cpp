#include "core/check/MissionRules.h"

#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Project.h"
#include "platform/File.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr const char* kThief2xFlagFile = "t2x\\strings\\missflag.str";

// The first n bytes of a regular file (fewer when it is shorter); nothing
// of anything else, which may never end.
std::string firstBytes(const fs::path& path, size_t n)
{
    std::string out;
    platform::FileInfo info;
    platform::File f;
    if (platform::InfoOf(path, info) != 0 || !info.isRegular || f.OpenRead(path) != 0) return out;
    out.resize(n);
    size_t got = 0;
    if (f.Read(out.data(), n, got) != 0) got = 0;
    out.resize(got);
    return out;
}

bool isRootMissionEntry(const std::string& entry)
{
    return entry.find_first_of("\\/") == std::string::npos && ExtensionOf(entry) == ".mis" && MissNumber(entry) != 0;
}

} // namespace

void CheckMissionChain(CheckContext& check)
{
    const std::vector<int> chain = check.project.Chain();
    const std::set<int> inChain(chain.begin(), chain.end());
    std::map<int, int> listed; // mission number -> entry
    bool flagFileListed = false;
    for (size_t i = 0; i < check.project.Files.size(); ++i) {
        const std::string& entry = check.project.Files[i];
        if (!check.fm.MissFlagFile.empty() && EqualsNoCase(entry, check.fm.MissFlagFile)) flagFileListed = true;
        // Thief 2x reads its own flag file, which shadows the base game's:
        // the flags written to this one never reach the game.
        if (check.fm.Game == GameThief2x && EqualsNoCase(entry, check.fm.MissFlagFile) &&
            !EqualsNoCase(entry, kThief2xFlagFile))
            check.Add(Severity::Error, entry,
                      std::string("Thief 2x reads the mission flags from ") + kThief2xFlagFile +
                          ", never from this file",
                      int(i));
        if (!isRootMissionEntry(entry)) continue;
        const int n = MissNumber(entry);
        listed.emplace(n, int(i));
        // "miss01.mis" reads as mission 1, but the game asks for "miss1.mis".
        if (const std::string name = "miss" + std::to_string(n) + ".mis"; !EqualsNoCase(entry, name))
            check.Add(Severity::Error, entry,
                      "The game loads mission " + std::to_string(n) + " from " + name + ", not from this name", int(i));
        if (!inChain.count(n))
            check.Add(Severity::Error, entry, "Listed, but the mission flag file skips it: the game never plays it",
                      int(i));
    }
    if (listed.empty()) {
        check.Add(Severity::Error, "", "No mission file (miss1.mis, miss2.mis, ...) is listed");
        return;
    }
    for (int n : chain)
        if (!listed.count(n))
            check.Add(Severity::Error, "miss" + std::to_string(n) + ".mis",
                      "Mission " + std::to_string(n) + " is in play, but its file is not listed");
    if (listed.size() > 1 && !flagFileListed)
        check.Add(Severity::Error, check.fm.MissFlagFile.empty() ? "strings\\missflag.str" : check.fm.MissFlagFile,
                  Numbered(listed.size(), "mission is", "missions are") +
                      " listed, but not the mission flag file: the game plays only the first");
}

void CheckNames(CheckContext& check)
{
    // The game takes a byte-order mark for part of the first key (the
    // program reads past it, so the names it shows are no sign of it).
    bool marked = false;
    const fs::path fmDir = platform::PathFromUtf8(check.fm.FMDir);
    for (size_t i = 0; i < check.project.Files.size(); ++i) {
        const std::string& entry = check.project.Files[i];
        if (ExtensionOf(entry) != ".str") continue;
        std::string start;
        try {
            start = firstBytes(check.index.Resolve(fmDir, entry), 3);
        } catch (const std::exception&) {
            continue; // reported with the listed files
        }
        if (start != "\xEF\xBB\xBF") continue;
        marked = true;
        check.Add(Severity::Warning, entry,
                  "Starts with a byte-order mark, so the game cannot read its first key: save it without one", int(i));
    }
    if (!marked &&
        std::all_of(check.fm.Names.begin(), check.fm.Names.end(), [](const FileText& t) { return t.Text().empty(); }))
        check.Add(Severity::Warning, "", "The FM has no name in any language");
    const std::string shortName = check.fm.ShortName.Text();
    // A short name that loaders would change is the loader rules' (it names the archive).
    if (shortName.empty()) check.Add(Severity::Warning, "", "The FM has no short name (the archive's file name)");
    // A name its titles file's code page cannot hold would be written as
    // something else, or not at all: no string file is written then, so
    // nothing is packed either.
    for (const NameProblem& p : check.project.UnwritableNames())
        check.Add(Severity::Error, p.file, p.message, -1, true);
    const size_t own = size_t(std::clamp(check.fm.Language, 0, LangCount - 1));
    for (int k = 0; k < LangCount; ++k) {
        if (check.fm.TitleFiles[size_t(k)].empty()) continue;
        for (int n : check.project.Chain()) {
            const TMissInfo& m = check.project.Missions[size_t(n)];
            // Titles fall back to the project language when written.
            if (!m.LongNames[size_t(k)].Text().empty() || !m.LongNames[own].Text().empty()) continue;
            check.Add(Severity::Warning, "miss" + std::to_string(n) + ".mis",
                      "Mission " + std::to_string(n) + " has no long name in " + LangNames[size_t(k)] +
                          ": the game shows its number instead");
        }
    }
}

} // namespace lw
