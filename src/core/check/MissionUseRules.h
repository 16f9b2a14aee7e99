// The check's rules for what the missions use. Every texture, model,
// object texture, script module, book, book art folder and gamesys that a
// mission in play names (itself, through its gamesys, or through a model it
// uses) is looked for as the engine looks: in the FM folder, letter case
// ignored, then in the game's own resources. What the FM folder holds must
// be listed, or no player has it; what neither holds no player has either;
// a listed texture or model that no mission uses is worth a note. Beside
// these, each mission's goals file in each language the FM has titles in.
#pragma once

#include "core/check/ListedFileRules.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace lw {

struct MissionUseFindings {
    std::vector<Finding> findings;
    // The files of the FM folder these findings speak of, and every file a
    // mission uses, as path keys (PathKeyOf): the folder rule passes them by.
    std::unordered_set<std::string> named;
    // Every mission in play could be read: what lies in fam, obj and mesh
    // is then known file by file.
    bool missionsRead = false;
};

// Adds no finding to check itself (its findings come back), so it may run
// beside CheckListedFiles; it reads check's folder index.
MissionUseFindings CheckMissionUses(CheckContext& check, const std::vector<LookedFile>& looked);

// The files the missions use that the list lacks, as list entries, each
// once: what "Add What the Missions Use" adds.
std::vector<std::string> FilesTheListLacks(const std::vector<Finding>& findings);

// The game folder whose archives the check reads: the one the project
// names (named is then set), else the one found at the FM folder or up to
// two folders above it; empty when there is none.
std::string GameFolderOf(const Project& project, bool* named = nullptr);

} // namespace lw
