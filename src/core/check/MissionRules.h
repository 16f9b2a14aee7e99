// The check's rules for the missions and their names: every listed mission
// in play and every mission in play listed, the flag file listed beside
// several missions (the one Thief 2x reads), mission files named as the
// game asks for them, and the names players see (the FM's, its short name,
// each mission's long name in each language it has titles in, string files
// the game can read from their first key).
#pragma once

#include "core/check/CheckContext.h"

namespace lw {

void CheckMissionChain(CheckContext& check);
void CheckNames(CheckContext& check);

} // namespace lw
