// The check's rules for what loaders show players beyond the titles: the
// values of fm.ini as loaders read them, the thumbnail, the folder a loader
// installs the archive into (where the players' saves live), and which
// file a loader opens as the info file.
#pragma once

#include "core/check/CheckContext.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Loaders install an archive into a folder named after it: its file name
// without the extension, each of + ; : . , < > ? * ~ | and each space made
// "_", cut to 30 characters.
std::string InstallFolderName(std::string_view archiveFileName);

// A warning when loaders would install the archive into a folder of
// another name than the archive's; none when the name stands.
std::optional<Finding> ArchiveNameFinding(const std::string& archivePath);

// The entry a loader opens as the info file: fminfo.* (or fminfo-en.*) in
// the root, else fminfo-<language>.* there, else another text file there;
// never one whose name holds loot, walkthrough, walkthru, secret, spoiler,
// tips, cheat or notes. Empty when it opens none.
std::string LoaderInfoFile(const std::vector<std::string>& entries);

void CheckLoaderView(CheckContext& check);

} // namespace lw
