// What a mission or gamesys names that the game loads from files: the
// gamesys itself, the textures of its surfaces, the models and object
// textures of its objects, its script modules, books and book art. A
// mission uses what it names and what its gamesys names; a model it uses
// names textures of its own (ModelFile.h). The names come from the file as
// it stands; where the game finds each one is the check's business.
#pragma once

#include "core/missions/TagFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

enum class UseKind : unsigned char {
    Gamesys,       // "fc.gam", in the FM's root
    Texture,       // "fam\core\blubrik1", with one of the texture extensions
    Model,         // "compass3": obj\compass3.bin, mesh\ for a creature, or a bitmap\ sprite
    ObjectTexture, // "obj\txt16\button0", with or without an extension
    MeshTexture,   // "soldc01x.png", below mesh\txt16\ or mesh\txt\ (a creature's texture put in another's place)
    ScriptModule,  // "gen.osm", in the FM's root
    Book,          // "m16b66": books\<language>\m16b66.str or books\m16b66.str
    BookArt,       // "parch": the folder books\parch\ and what it holds
};

struct UsedName {
    UseKind kind = UseKind::Texture;
    std::string name;      // backslashes between parts, letter case as written
    bool creature = false; // a model creatures wear: looked for in mesh before obj
};

struct MissionUses {
    std::string gamesys;         // what GAM_FILE names; empty in a gamesys
    std::vector<UsedName> names; // in file order, each once (letter case ignored)
    bool thief2 = false;         // OBJ_MAP names RopeyArrow, an archetype only Thief 2 has
};

// Throws TagFileError for a chunk that does not hold together. Names that
// are no plain relative path (a drive, a root, "..", control characters)
// are left out: no file of the FM answers them.
MissionUses ReadMissionUses(const TagFile& file);

// The texture extensions in the order the engine tries them.
extern const std::vector<const char*> TextureExtensions;

// A name made of plain parts, "\" between them: no root, drive, "." or
// "..", no control character, no longer than a path the game reads.
bool IsPlainRelativeName(std::string_view name);

// The game the missions in play were made for: Thief 2 when any one's
// OBJ_MAP names RopeyArrow, Thief 1 (or Gold) when those that could be
// read name it nowhere and none is damaged; -1 when none could be read or
// one is damaged and no other names it. fmDir holds the
// mission files (miss<n>.mis, letter case ignored).
int GameOfMissions(const std::filesystem::path& fmDir, const std::vector<int>& missions);

} // namespace lw
