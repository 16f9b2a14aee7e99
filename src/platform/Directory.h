// Listing a folder: every name in it with its kind, in one pass over the
// folder and without a look at each file where the system says the kind
// while listing (POSIX d_type, Windows' find data). Names come as UTF-8
// text, the program's own, so a caller that resolves thousands of names
// makes no path object for each.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lw::platform {

enum class EntryKind : unsigned char {
    Unknown, // a link that leads nowhere, or a name that vanished meanwhile
    File,
    Directory,
    Other, // a device, a pipe, a socket
};

struct DirEntry {
    std::string name;                    // UTF-8, no separators
    EntryKind kind = EntryKind::Unknown; // what a link leads to, links followed
    bool link = false;                   // a symbolic link (POSIX) or reparse point (Windows)
    bool hidden = false;                 // a name that starts with "." (POSIX), hidden or system (Windows)
};

// The entries of dir, "." and ".." left out, in the order the system gives
// them (no order promised). Returns 0, or an errno value when dir cannot be
// read (ENOENT, ENOTDIR, EACCES, ...), with entries empty.
int ListDirectory(const std::filesystem::path& dir, std::vector<DirEntry>& entries);

} // namespace lw::platform
