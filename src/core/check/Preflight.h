// The check before a package ships: reads the project (the file list, the
// mission chain, the names, the info file and the FM directory) and finds
// what breaks released fan missions in the wild: a forgotten texture, a
// mission the game never reaches, a title missing in one language, a readme
// a loader cannot read, a name Windows cannot unpack. It only reads: no
// finding ever changes a file.
#pragma once

#include <string>
#include <vector>

namespace lw {

class FolderCache;
class Project;

enum class Severity {
    Error,   // the package will not install or play as meant
    Warning, // likely a mistake
    Note,    // worth knowing
};

struct Finding {
    Severity severity = Severity::Note;
    std::string file; // the file or mission it names; empty for the FM as a whole
    std::string message;
    int entry = -1; // the file list entry it applies to, or -1
    // Zip cannot pack the file as listed (missing, no file, a name Windows
    // cannot unpack ...), whatever the author answers.
    bool stopsPacking = false;
    // A file the missions use that the list lacks, as a list entry: what
    // "Add What the Missions Use" adds. Empty for every other finding.
    std::string add = {};

    bool operator==(const Finding&) const = default;
};

// Folders a FM keeps its own resources in, below the FM directory (below
// "t2x\" for Thief 2x): files in them that the list lacks were likely
// forgotten. The missions name what they use of fam, obj and mesh, file by
// file: those folders are looked at so only while a mission cannot be read.
extern const std::vector<std::string> ResourceFolders;
extern const std::vector<std::string> FoldersTheMissionsName;

// Above these a package needs zip64, which some older tools cannot open.
inline constexpr unsigned long long MaxPlainZipEntries = 65535;
inline constexpr unsigned long long MaxPlainZipSize = 0xFFFFFFFFull;

// folders: what the same run has read of the folders already (an Open
// just before), which the check then need not read again.
std::vector<Finding> CheckProject(const Project& project, FolderCache* folders = nullptr);

int CountOf(const std::vector<Finding>& findings, Severity severity);
// "the check found nothing", "the check found 1 error, 2 warnings and no notes"
std::string FindingsSummary(const std::vector<Finding>& findings);
const char* SeverityName(Severity severity); // "error", "warning", "note"

// "error: miss3.mis: listed, but not found"
std::string FindingLine(const Finding& finding);
// {"severity":"error","file":"miss3.mis","entry":2,"message":"..."}
std::string FindingJson(const Finding& finding);

// The question Zip asks when the check found errors: their count and the
// first few, then "Zip anyway?".
std::string ZipAnywayText(const std::vector<Finding>& findings);

} // namespace lw
