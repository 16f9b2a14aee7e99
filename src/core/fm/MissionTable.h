// TMissInfo: one slot of the mission table, its names and flags and the
// mission that follows it in play.
#pragma once

#include "core/fm/FMUtils.h"
#include "core/fm/FileText.h"

namespace lw {

struct TMissInfo {
    LocalText LongNames;
    LocalText ShortNames;
    TMissFlags Flags = mfSkip;
    int Next = 0;
};

} // namespace lw
