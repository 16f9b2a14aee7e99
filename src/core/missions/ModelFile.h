// The textures a model names. An object's model (obj\<name>.bin, "LGMD",
// versions 3 and 4) and a creature's (mesh\<name>.bin, "LGMM", versions 1
// and 2) each keep a table of materials whose names are the texture files
// the engine looks for below the model's folder (txt16\ first, then txt\).
// Only the table is read, and only as far as the file holds it.
#pragma once

#include "base/Errors.h"

#include <string>
#include <string_view>
#include <vector>

namespace lw {

// The texture names of the model's materials ("handposs.png"), each once;
// nothing for a file of another kind or version. Throws Error when the
// header places the table outside the file.
std::vector<std::string> ReadModelTextures(std::string_view bytes);

// Names the engine puts other textures in the place of, per object
// ("REPLACE0.GIF" .. "REPLACE3"): none is a file of its own.
bool IsReplaceableTexture(std::string_view name);

} // namespace lw
