// The check's rules for the info file: there is one, an RTF one is RTF,
// it holds the "Title:" and "Author:" lines loaders read, and a plain-text
// one reads as loaders will read it.
#pragma once

#include "core/check/CheckContext.h"

namespace lw {

void CheckInfoFile(CheckContext& check);

} // namespace lw
