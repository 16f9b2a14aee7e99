// The decisions of the new fan mission dialog, apart from its widgets: what
// the folder button makes of a chosen directory, and which entry is at fault
// when OK is pressed.
#pragma once

#include <string>

namespace lw {

inline constexpr const char* T2xDirWarning = "Use the base game directory for T2X fan missions, not the T2X directory.";

struct FolderPick {
    std::string dirText; // what the directory box shows afterwards
    int game = -1;       // game to select; -1 selects none
    bool t2xWarning = false;
};
// chosen: a directory from the folder chooser, without trailing separator.
FolderPick PickFMFolder(const std::string& chosen);

struct CreateEntries {
    std::string dir;
    int game = 0;     // -1: none selected
    int language = 0; // -1: none selected
    std::string name;
    std::string shortName;
};
enum class CreateFault { None, Dir, Game, ShortName };

// Checks in the dialog's order. On the way it rewrites dir as an absolute
// path ending with "/" (kept even when a later check fails) and, when all
// passes, shortName trimmed.
CreateFault ValidateCreateEntries(CreateEntries& e);

} // namespace lw
