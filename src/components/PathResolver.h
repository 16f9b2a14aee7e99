// The one place where a listed path (relative to the FM directory, with
// backslashes, as the game's case-insensitive world writes it) becomes a
// file on this file system. Each component is matched without regard to
// letter case against what exists; a path that does not exist yet keeps the
// directories that do (whatever their case) and the given names after them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lw {

// base is a native directory; rel uses "\" or "/" separators. "." parts are
// dropped, ".." goes up. An absolute rel ignores base.
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

} // namespace lw
