// The chunks of a mission or gamesys that name files, each read from its
// bytes as TagFile::Read gives them. Layouts, all little-endian, as the
// engine's files hold them:
//   GAM_FILE     a NUL-padded name (256 bytes) of the gamesys
//   TXLIST       s32 size, s32 item count, s32 token count; tokens of 16
//                bytes; items of 4 token bytes (1-based, 0 ends them) and a
//                16-byte name: fam\<tokens>\<name>
//   ScrModules   names of 128 bytes to the chunk's end
//   P$<property> records of s32 object, u32 size and that many bytes
//   OBJ_MAP      records as P$, each a NUL-ended archetype name
// Every count and size is held against the chunk's bytes; one that does
// not fit throws TagFileError. Names come as the program's UTF-8 (bytes
// that are not UTF-8 read as Windows-1252, as the editor wrote them).
#pragma once

#include "core/missions/TagFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

struct PropertyRecord {
    int32_t object = 0; // negative: an archetype; positive: an object of the mission
    std::string_view data;
};

// chunk: named in messages ("P$ModelName").
std::vector<PropertyRecord> ReadPropertyRecords(std::string_view bytes, std::string_view chunk);

// The name in a NUL-padded field (up to its first NUL or its end).
std::string FieldText(std::string_view field);
// A u32 length, then that many bytes (the NUL at the end counted or not).
std::string LengthPrefixedText(std::string_view data, std::string_view chunk);

std::string ReadGamFile(std::string_view bytes);
// The textures, "fam\core\blubrik1", without the item "null" that stands
// first.
std::vector<std::string> ReadTextureList(std::string_view bytes);
std::vector<std::string> ReadScriptModules(std::string_view bytes);
// P$MeshTex: up to twelve pairs of a creature's texture and the one that
// replaces it (16 bytes each); the replacements.
std::vector<std::string> ReadMeshTextureReplacements(std::string_view data);
// Whether OBJ_MAP names this archetype (letter case ignored).
bool ObjectMapNames(std::string_view bytes, std::string_view archetype);

} // namespace lw
