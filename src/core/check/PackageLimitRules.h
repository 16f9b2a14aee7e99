// The check's rules for what the package can hold: more entries or larger
// files than a plain zip archive holds, and archives inside the package.
#pragma once

#include "core/check/ListedFileRules.h"

#include <vector>

namespace lw {

// packed: the entries CheckListedFiles found to be files of their own.
void CheckPackageLimits(CheckContext& check, const std::vector<LookedFile>& looked, const std::vector<int>& packed);

} // namespace lw
