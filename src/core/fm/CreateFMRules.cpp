#include "core/fm/CreateFMRules.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "platform/File.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace lw {

namespace {

// The folder dir is in, by the system's separators; a root or a bare
// name is its own.
std::string parentOf(const std::string& dir)
{
    const fs::path p = platform::PathFromUtf8(dir);
    if (!p.has_relative_path()) return dir;
    const fs::path parent = p.parent_path();
    return parent.empty() ? dir : platform::Utf8Of(parent);
}

} // namespace

FolderPick PickFMFolder(const std::string& chosen)
{
    FolderPick pick;
    pick.dirText = chosen;
    const fs::path dir = platform::PathFromUtf8(chosen);
    if (!platform::InfoOf(dir).exists) return pick;
    if (FileExistsAt(dir, "t2x.gam")) {
        pick.t2xWarning = true;
        pick.dirText = parentOf(chosen);
        pick.game = GameThief2x;
        return pick;
    }
    pick.game = DetectGame(chosen + "/");
    return pick;
}

CreateFault ValidateCreateEntries(CreateEntries& e)
{
    if (e.dir.empty()) return CreateFault::Dir;
    if (e.game < 0 || e.game >= GameCount) return CreateFault::Game;
    std::string dir = TrimControl(e.dir);
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty() || !IsDirectory(platform::PathFromUtf8(dir))) return CreateFault::Dir;
    e.dir = AsDirPath(platform::PathFromUtf8(dir));
    const std::string name = TrimControl(e.shortName);
    if (CharsPos(name, ForbiddenNameChars) != 0) return CreateFault::ShortName;
    e.shortName = name;
    return CreateFault::None;
}

} // namespace lw
