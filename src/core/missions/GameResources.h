// The game a FM is made in, as the disk holds it: the game's folder, the
// folders its stock resources lie in, and the .crf archives there. Each
// archive is a zip named after the resource folder it stands for (fam.crf
// holds what fam\ would, obj.crf what obj\ would); the folders are those
// that install.cfg's resname_base names (joined by "+", relative to the
// game folder), else the game folder and its RES\. An archive's names are
// read once, from its central directory, the first time one is asked for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace lw {

// Whether dir holds install.cfg, cam.cfg or a game program (thief.exe,
// thief2.exe, dromed.exe), letter case ignored.
bool IsGameFolder(const std::filesystem::path& dir);

// The game folder of a FM: the FM folder itself or one of the two folders
// above it (a FM below the game's FMs\), whichever is one first; empty
// when none is.
std::filesystem::path FindGameFolder(const std::filesystem::path& fmDir);

// The folders the game's stock resources lie in, as said above; only those
// that exist.
std::vector<std::filesystem::path> GameResourceFolders(const std::filesystem::path& gameDir);

enum class Held { Yes, No, Unknown };

class GameResources {
public:
    GameResources() = default; // no game folder
    explicit GameResources(std::filesystem::path gameDir);

    const std::filesystem::path& Folder() const { return gameDir_; }
    // A game folder whose resource folders hold at least one .crf: only
    // then does a name it lacks say that the game lacks it.
    bool Known() const { return !archives_.empty(); }

    // Whether the archive of folder ("fam") holds inner ("core\blubrik1",
    // letter case ignored) with one of exts, or as it stands when exts is
    // empty. Unknown when that archive cannot be read.
    Held Holds(std::string_view folder, std::string_view inner, const std::vector<const char*>& exts = {});
    // Whether it holds anything below the folder inner ("parch").
    Held HoldsBelow(std::string_view folder, std::string_view inner);
    // A loose file of the game (a gamesys, a script module) in its folder
    // or its resource folders.
    bool HoldsFile(std::string_view name) const;

    // The archives that could not be read ("fam.crf: not a zip archive"),
    // each once.
    std::vector<std::string> Problems() const;

private:
    struct Archive {
        std::filesystem::path path;
        bool read = false;
        std::string problem; // why it could not be read
        // Hashes of the names without case, "/" between the parts and the
        // folder's own name taken off the front, and of every folder they
        // lie in: 8 bytes a name, however long the archive's names are.
        std::unordered_set<uint64_t> names, dirs;
    };
    Archive* archive(std::string_view folder);

    std::filesystem::path gameDir_;
    std::vector<std::filesystem::path> folders_;
    std::map<std::string, Archive, std::less<>> archives_; // by folder name without case
};

} // namespace lw
