// The one place where a listed path (relative to the FM directory, with
// backslashes, as the game's case-insensitive world writes it) becomes a
// file on this file system. Each component is matched without regard to
// letter case against what exists; a path that does not exist yet keeps the
// directories that do (whatever their case) and the given names after them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

namespace platform {
struct FileInfo;
}

// What a listed path may hold. Longer paths (or more parts, "." and ".."
// counted) are refused with an Error: no FM needs them, and a list file
// full of "..\" must not cost more than reading it.
inline constexpr size_t MaxListedPathLength = 4096;
inline constexpr size_t MaxListedPathParts = 512;

// Folder listings that several indexes share, on any threads, so that a
// run that shares its work out among threads reads each folder once. Like
// an index, it lives no longer than the operation it serves.
class FolderCache {
public:
    FolderCache();
    ~FolderCache();
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

private:
    friend class PathIndex;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A case-folded listing of each directory it is asked about, kept for one
// operation (an Open, a zip run): resolving thousands of listed paths then
// reads each folder once instead of once per path that is spelled in
// another case than the disk. What changes on disk meanwhile is not seen,
// so an index lives no longer than the operation it serves.
class PathIndex {
public:
    // listWholeFolders false suits a single lookup: the exact spelling is
    // tried first and a folder is read only when it is missing.
    explicit PathIndex(bool listWholeFolders = true);
    // An index that reads whole folders through shared, for one thread of
    // several; each thread needs an index of its own.
    explicit PathIndex(FolderCache& shared);
    ~PathIndex();
    PathIndex(const PathIndex&) = delete;
    PathIndex& operator=(const PathIndex&) = delete;

    // As ResolvePath below; throws Error for a path over the limits.
    std::filesystem::path Resolve(const std::filesystem::path& base, std::string_view rel);
    // Resolve, and what the system says of the file found (info.exists is
    // false when there is none). Where names keep their case, a plain
    // relative path (no ".", "..", root or drive) that exists as spelled is
    // the answer the search would give, so it is looked at first and no
    // folder is listed for it (while most names are found so: once misses
    // outnumber hits, the folders read answer first, with one look at the
    // file found).
    std::filesystem::path Locate(const std::filesystem::path& base, std::string_view rel, platform::FileInfo& info);
    // The same, the path as UTF-8 text: a scan of thousands of files needs
    // no path object for each.
    std::string LocateUtf8(const std::filesystem::path& base, std::string_view rel, platform::FileInfo& info);
    bool FileExists(const std::filesystem::path& base, std::string_view rel);
    // The other files in the folder dir (UTF-8, as LocateUtf8 gives paths)
    // whose names equal name without regard to case, as listed; none where
    // the file system itself ignores case, since it holds one of them.
    std::vector<std::string> CaseTwinsUtf8(const std::string& dir, std::string_view name);
    bool DirExists(const std::filesystem::path& base, std::string_view rel);
    std::string FindNameNoCase(const std::filesystem::path& dir, std::string_view name);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// base is a native directory; rel uses "\" or "/" separators. "." parts are
// dropped and ".." goes up one level from base (a trailing "/" on base makes
// no difference); both are applied to the text before anything is matched.
// An absolute rel ignores base. Throws Error for a path over the limits.
std::filesystem::path ResolvePath(const std::filesystem::path& base, std::string_view rel);

bool FileExistsAt(const std::filesystem::path& base, std::string_view rel);
bool DirExistsAt(const std::filesystem::path& base, std::string_view rel);

// The name of an entry of dir that equals name without regard to case
// (an exact match first); empty when there is none.
std::string FindNameNoCase(const std::filesystem::path& dir, std::string_view name);

// The FM directory as the project holds it: absolute, ending with "/".
std::string AsDirPath(const std::filesystem::path& dir);

// The listed form of file relative to dir: "..\" for each level up,
// backslash separators. Absolute paths (not below a common root) stay
// absolute with backslashes replaced.
std::string RelativeEntry(const std::filesystem::path& dir, const std::filesystem::path& file);

// Why a file or folder name (one path component) cannot be created on
// Windows, so that an FM loader there could not unpack it; empty when it
// can. Reserved device names, the characters <>:"|?*\/ and control
// characters, and names that end in a dot or a space are refused.
std::string WindowsNameProblem(std::string_view name);

} // namespace lw
