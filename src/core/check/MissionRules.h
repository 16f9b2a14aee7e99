// The check's rules for the missions and their names: every listed mission
// in play and every mission in play listed, the flag file listed beside
// several missions, and the names players see (the FM's, its short name,
// each mission's long name in each language it has titles in).
#pragma once

#include "core/check/CheckContext.h"

namespace lw {

void CheckMissionChain(CheckContext& check);
void CheckNames(CheckContext& check);

} // namespace lw
