#include "core/check/MissionRules.h"

#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Project.h"

#include <algorithm>
#include <map>
#include <set>

namespace lw {

namespace {

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
        if (!isRootMissionEntry(entry)) continue;
        const int n = MissNumber(entry);
        listed.emplace(n, int(i));
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
    if (std::all_of(check.fm.Names.begin(), check.fm.Names.end(), [](const FileText& t) { return t.Text().empty(); }))
        check.Add(Severity::Warning, "", "The FM has no name in any language");
    const std::string shortName = check.fm.ShortName.Text();
    // A short name that loaders would change is the loader rules' (it names the archive).
    if (shortName.empty()) check.Add(Severity::Warning, "", "The FM has no short name (the archive's file name)");
    // A name its titles file's code page cannot hold would be written as
    // something else, or not at all.
    for (const NameProblem& p : check.project.UnwritableNames()) check.Add(Severity::Error, p.file, p.message);
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
