// The check's rules for the listed files as the disk holds them: each one
// found, readable and a regular file; no name Windows cannot unpack; no
// entry outside the FM directory unsaid; no file listed twice or stored
// under another's name, and none whose name the disk holds in two letter
// cases; and the files in the resource folders that the list leaves out.
#pragma once

#include "core/check/CheckContext.h"
#include "platform/File.h"

#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace lw {

// A listed file as found on the disk.
struct LookedFile {
    platform::FileInfo info;
    bool readable = false;
    std::string error;          // the listed path is over the resolver's limits
    std::string windowsProblem; // why Windows cannot unpack one of its parts
    bool outside = false;       // stored where the package unpacks it, not where it lies
    // In the texts of the LookedFiles that holds it:
    std::string_view stored;    // the name the package stores, "/" between the parts
    std::string_view storedKey; // ... without case
    std::string_view pathText;  // the file found (when readable), as the resolver gives it
    std::string_view pathKey;   // ... as the check compares paths: without case, "/" between parts
    // Other files beside the one found whose names differ from its name
    // only in letter case (on a disk that keeps both), as paths.
    std::vector<std::string> caseTwins;
};

// The texts of tens of thousands of files are kept in one block for each
// thread that made them, and let go of as a few.
struct LookedFiles {
    std::vector<LookedFile> files;
    std::deque<std::string> texts;
};

// Finds and looks at every listed file, shared out among the cores.
LookedFiles LookAtListedFiles(const CheckContext& check);

// The findings on each listed file; returns the entries that are files of
// their own (found, readable, not listed twice), which the package holds.
// looked is read only: another thread reads it too.
std::vector<int> CheckListedFiles(CheckContext& check, const std::vector<LookedFile>& looked);

// The files in the resource folders that the list leaves out: a finding for
// each folder that has some. Files in passBy (path keys) are not counted:
// another finding names them, or a mission uses them. fam, obj and mesh
// are looked at only when not every mission could be read. Adds no finding
// to check itself (it reads its folder index), so it may run beside
// CheckListedFiles.
std::vector<Finding> ForgottenFiles(CheckContext& check, const std::vector<LookedFile>& looked,
                                    const std::unordered_set<std::string>& passBy = {}, bool missionsRead = false);

// A found file's path as the check compares paths: without case, "/"
// between the parts, however the resolver joined them.
std::string PathKeyOf(std::string path);

} // namespace lw
