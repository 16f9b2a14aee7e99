#include "CreateFMRules.h"

#include "FMUtils.h"
#include "components/FileIO.h"
#include "components/PathResolver.h"
#include "components/StrUtils.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace lw {

namespace {

std::string parentOf(const std::string& dir)
{
    const size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos) return dir;
    if (slash == 0) return "/";
    return dir.substr(0, slash);
}

} // namespace

FolderPick PickFMFolder(const std::string& chosen)
{
    FolderPick pick;
    pick.dirText = chosen;
    struct stat st {};
    if (::stat(chosen.c_str(), &st) != 0) return pick;
    if (FileExistsAt(chosen, "t2x.gam")) {
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
    if (dir.empty() || !IsDirectory(dir)) return CreateFault::Dir;
    e.dir = AsDirPath(dir);
    const std::string name = TrimControl(e.shortName);
    if (CharsPos(name, ForbiddenNameChars) != 0) return CreateFault::ShortName;
    e.shortName = name;
    return CreateFault::None;
}

} // namespace lw
