// What the check's groups of rules share while they run: the project, the
// findings so far, one folder index for the whole check, and the few
// helpers their messages use. Each group is a unit of its own that reads
// the context and adds findings to it.
#pragma once

#include "base/PathResolver.h"
#include "core/check/Preflight.h"

#include <string>
#include <vector>

namespace lw {

struct TFMInfo;

struct CheckContext {
    CheckContext(const Project& p, FolderCache* folders);

    const Project& project;
    const TFMInfo& fm;
    std::vector<Finding> findings;
    PathIndex index;                      // each folder listed once for the whole check
    FolderCache* sharedFolders = nullptr; // what the run read before the check

    void Add(Severity s, std::string file, std::string message, int entry = -1, bool stopsPacking = false);
    // The mission flag file or a titles file: made by the next Save or Zip.
    bool IsStringFile(const std::string& entry) const;
};

// "\"name\""
std::string InQuotes(const std::string& s);
// "1 file", "3 files"
std::string Numbered(size_t n, const char* one, const char* many);
// ".mis" for "miss1.MIS"; empty when the last part has none.
std::string ExtensionOf(const std::string& entry);

} // namespace lw
