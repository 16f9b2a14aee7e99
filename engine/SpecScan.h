// Turns the file specifications of a command record into the list of files
// to add: each spec resolved against its root directory without regard to
// letter case, wildcards expanded, entry names made safe and checked for
// clashes that a case-insensitive file system would not tell apart.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zipeng {

struct ScanItem {
    std::string path;  // the file on disk as UTF-8 text (empty for a directory entry)
    std::string entry; // entry name, "/" separators, never escaping the root
    uint64_t size = 0;
    time_t mtime = 0;
    time_t entryTime = 0; // the time the entry carries: mtime, unless its spec gives one
    int64_t mtimeNs = 0;  // with the size, what tells that the file changed since the scan
    bool dirOnly = false; // a directory entry ("name/")
    std::string password; // non-empty: encrypt with it
};

// The texts are the caller's (the command record's), which outlive the
// scan: a list of tens of thousands of files is not copied for it.
struct ScanSpec {
    std::string_view spec;
    std::string_view rootDir;
    bool recurse = false;
    bool literal = false; // one file name as it stands: no wildcards
    std::string password; // empty: not encrypted
    time_t entryTime = 0; // nonzero: the time its entries carry, not their files'
};

struct ScanOptions {
    bool junkDirs = false;
    bool hiddenFiles = false;
    bool dirEntries = false; // add an entry for each directory on the way
    bool fromDate = false;
    time_t since = 0;
    std::vector<std::string> excludes;
    // The archive itself (and the file it will replace) is never added to
    // itself, under whatever name or link it is listed.
    std::vector<std::filesystem::path> skipPaths;
};

struct ScanProblem {
    int code = 0; // engine error code; 0 is a warning
    std::string text;
};

// Fills items in spec order. Returns false on a fatal problem (reported in
// problems last); warnings are appended to problems as well.
bool ScanSpecs(const std::vector<ScanSpec>& specs, const ScanOptions& opts, std::vector<ScanItem>& items,
               std::vector<ScanProblem>& problems);

// Case-insensitive wildcard match ("*", "?"); "*.*" matches every name.
bool WildMatch(std::string_view pattern, std::string_view name);

// The entry name for a file that lies at rel (a lexically normal path
// relative to the root, possibly starting with ".." or absolute).
std::string SafeEntryName(const std::filesystem::path& rel);

// "mm dd yy" as a local midnight; 0 when it cannot be read.
time_t ParseFromDate(const char* text8);

} // namespace zipeng
