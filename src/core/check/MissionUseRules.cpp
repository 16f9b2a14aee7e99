#include "core/check/MissionUseRules.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Project.h"
#include "core/missions/GameResources.h"
#include "core/missions/MissionUses.h"
#include "core/missions/ModelFile.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>

namespace fs = std::filesystem;

namespace lw {

namespace {

// Whether two paths name one folder: by their spelling once made whole, or
// by the identity the system gives (a link, another case). fs::equivalent
// alone did not take a folder for itself under Wine.
bool sameFolder(const fs::path& a, const fs::path& b)
{
    auto whole = [](const fs::path& p) {
        std::error_code ec;
        fs::path w = fs::absolute(p, ec).lexically_normal();
        return w.has_filename() ? w : w.parent_path();
    };
    if (whole(a) == whole(b)) return true;
    const platform::FileInfo ia = platform::InfoOf(a), ib = platform::InfoOf(b);
    if (ia.exists && ib.exists && ia.index != 0) return ia.volume == ib.volume && ia.index == ib.index;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

constexpr uint64_t kMaxModel = uint64_t(64) << 20; // models are kilobytes; a larger .bin is read no further
constexpr int kMaxArtDepth = 8;                    // folders below a book art folder

// What the game ships loose in its folder: such a file in a FM folder that
// is the game folder is the game's own unless the list names it.
const char* const kStockLooseFiles[] = {"dark.gam", "gen.osm", "convict.osm", "squirrel.osm"};

// "core\blubrik1" of "fam\core\blubrik1": what follows the first part.
std::string_view afterFirst(std::string_view path)
{
    const size_t cut = path.find('\\');
    return cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
}

std::string_view firstPart(std::string_view path)
{
    return path.substr(0, path.find('\\'));
}

std::string_view dirPart(std::string_view path)
{
    const size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

std::string_view lastPart(std::string_view path)
{
    const size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string joined(std::string_view a, std::string_view b)
{
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    return std::string(a) + "\\" + std::string(b);
}

// The name without a texture extension it may carry ("word.png").
std::string_view withoutTextureExt(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('\\', dot) != std::string_view::npos) return name;
    const std::string_view ext = name.substr(dot);
    for (const char* e : TextureExtensions)
        if (EqualsNoCase(ext, e)) return name.substr(0, dot);
    return name;
}

bool hasTextureExt(std::string_view name)
{
    return withoutTextureExt(name).size() != name.size();
}

// "english" of "english\\".
std::string langFolder(int lang)
{
    const std::string_view dir = LangDirs[size_t(lang)];
    return std::string(dir.substr(0, dir.size() - 1));
}

// A folder of the FM as listed once: its files and folders without case.
struct Listing {
    bool exists = false;
    std::string path; // as the resolver gives it
    // Lower case -> as on disk, in order, so findings come in the same
    // order on every system.
    std::map<std::string, std::string> files, dirs;
    // Animation frames: "bwin_3.pcx" under "bwin_", "soldx_1.png" under
    // "soldx_" (the stem before the trailing digits).
    std::map<std::string, std::vector<std::string>> frames;
};

class UseCheck {
public:
    UseCheck(CheckContext& check, const std::vector<LookedFile>& looked, MissionUseFindings& out)
        : check_(check), looked_(looked), out_(out), fm_(check.fm)
    {
        fmDir_ = platform::PathFromUtf8(fm_.FMDir);
        if (fm_.Game == GameThief2x) bases_ = {"t2x", ""};
        for (size_t i = 0; i < looked.size(); ++i) {
            const LookedFile& l = looked[i];
            if (l.pathKey.empty()) continue;
            listedKeys_.emplace(std::string(l.pathKey), int(i));
            if (l.info.index != 0) listedIds_.emplace(std::make_pair(l.info.volume, l.info.index), int(i));
        }
        const fs::path gameDir = platform::PathFromUtf8(GameFolderOf(check.project));
        game_ = GameResources(gameDir);
        gameIsFM_ = !gameDir.empty() && sameFolder(gameDir, fmDir_);
    }

    void Run()
    {
        bool missionsRead = true, gamesysRead = true;
        std::set<std::string> gamesysDone;
        for (int n : check_.project.Chain()) {
            const std::string mission = "miss" + std::to_string(n) + ".mis";
            const std::optional<MissionUses> uses = readTagFile(mission, "damaged mission file: ");
            if (!uses) {
                // A missing one is the chain rule's to report, and uses nothing.
                missionsRead = missionsRead && !missionThere(mission);
                continue;
            }
            for (const UsedName& u : uses->names) resolve(u, mission);
            if (!uses->gamesys.empty() && gamesysDone.insert(AsciiLower(uses->gamesys)).second)
                gamesysRead = gamesys(uses->gamesys, mission) && gamesysRead;
        }
        out_.missionsRead = missionsRead;
        checkGoals();
        // A game folder without archives cannot answer either; naming
        // another is then the way on, not naming one.
        if (unknown_ > 0)
            add(Severity::Note, "",
                Numbered(unknown_, "name", "names") + " the missions use " + (unknown_ == 1 ? "is" : "are") +
                    " not in the FM folder; " +
                    (game_.Folder().empty() ? std::string("name the game folder to check them")
                                            : "the game folder " + platform::Utf8Of(game_.Folder()) +
                                                  " holds no .crf archives to check them against"));
        for (const std::string& problem : game_.Problems())
            add(Severity::Warning, "", "The game's " + problem + "; the names it holds were not checked");
        // A gamesys of the game names models and object textures nobody
        // reads here; the surfaces' textures are the missions' alone.
        if (missionsRead && !check_.project.Chain().empty()) unusedNotes(gamesysRead && modelsRead_);
        out_.named.insert(usedKeys_.begin(), usedKeys_.end());
    }

private:
    void add(Severity s, std::string file, std::string message, int entry = -1, std::string addable = {})
    {
        out_.findings.push_back({s, std::move(file), std::move(message), entry, false, std::move(addable)});
    }

    int entryOf(const std::string& name) const
    {
        for (size_t i = 0; i < check_.project.Files.size(); ++i)
            if (EqualsNoCase(check_.project.Files[i], name)) return int(i);
        return -1;
    }

    // The folder rel of the FM (backslashes, letter case ignored), listed once.
    const Listing& folder(const std::string& rel)
    {
        const std::string key = AsciiLower(rel);
        auto [at, fresh] = listings_.try_emplace(key);
        if (!fresh) return *at->second;
        at->second = std::make_unique<Listing>();
        Listing& l = *at->second;
        try {
            l.path =
                platform::Utf8Of(rel.empty() ? check_.index.Resolve(fmDir_, ".") : check_.index.Resolve(fmDir_, rel));
        } catch (const std::exception&) { // over the resolver's limits: no folder
            return l;
        }
        std::vector<platform::DirEntry> entries;
        if (platform::ListDirectory(platform::PathFromUtf8(l.path), entries) != 0) return l;
        l.exists = true;
        for (platform::DirEntry& e : entries) {
            const std::string lower = AsciiLower(e.name);
            if (e.kind == platform::EntryKind::Directory) {
                l.dirs.emplace(lower, e.name);
                continue;
            }
            if (e.kind != platform::EntryKind::File) continue;
            const size_t dot = lower.rfind('.');
            const std::string stem = lower.substr(0, dot);
            size_t digits = stem.size();
            while (digits > 0 && stem[digits - 1] >= '0' && stem[digits - 1] <= '9') --digits;
            if (digits < stem.size() && digits > 0) l.frames[stem.substr(0, digits)].push_back(e.name);
            l.files.emplace(lower, std::move(e.name));
        }
        for (auto& [stem, names] : l.frames) std::sort(names.begin(), names.end());
        return l;
    }

    std::string pathIn(const Listing& l, const std::string& name) const
    {
        std::string p = l.path;
        if (!p.empty() && p.back() != '/' && p.back() != fs::path::preferred_separator) p += '/';
        return p + name;
    }

    // The file name+ext in l for the first of exts there (or name itself
    // when exts is empty); empty when none is.
    std::string findIn(const Listing& l, std::string_view name, const std::vector<const char*>& exts) const
    {
        if (!l.exists) return {};
        const std::string lower = AsciiLower(name);
        if (exts.empty()) {
            const auto at = l.files.find(lower);
            return at == l.files.end() ? std::string() : at->second;
        }
        for (const char* ext : exts) {
            const auto at = l.files.find(lower + ext);
            if (at != l.files.end()) return at->second;
        }
        return {};
    }

    // A file the missions use, found in the FM folder.
    void used(const std::string& path, const std::string& user)
    {
        const std::string key = PathKeyOf(path);
        if (!usedKeys_.insert(key).second) return; // one finding for each file
        if (listedKeys_.count(key)) return;
        platform::FileInfo info;
        if (platform::InfoOfUtf8(path, info) == 0 && info.index != 0 &&
            listedIds_.count(std::make_pair(info.volume, info.index)))
            return; // listed under another spelling of its path
        const std::string rel = RelativeEntry(fmDir_, platform::PathFromUtf8(path));
        add(Severity::Error, rel, user + " uses " + rel + ", which the list lacks", -1, rel);
    }

    // A texture found in l: with its material and its animation frames.
    void usedTexture(const Listing& l, const std::string& file, std::string_view base, const std::string& user)
    {
        used(pathIn(l, file), user);
        const std::string lower = AsciiLower(base);
        if (const std::string mtl = findIn(l, base, {".mtl"}); !mtl.empty()) used(pathIn(l, mtl), user);
        for (const std::string& stem : {lower + "_", lower.size() && lower.back() == '_' ? lower : std::string()}) {
            if (stem.empty()) continue;
            const auto at = l.frames.find(stem);
            if (at == l.frames.end()) continue;
            for (const std::string& frame : at->second)
                if (hasTextureExt(frame)) used(pathIn(l, frame), user);
        }
    }

    // Nowhere in the FM folder: in the game, or missing for every player.
    void elsewhere(Held held, std::string shown, const std::string& user)
    {
        if (held != Held::No) return; // the game has it, or its archive cannot say
        if (!missing_.insert(AsciiLower(shown)).second) return;
        if (!game_.Known()) {
            ++unknown_;
            return;
        }
        add(Severity::Error, shown, user + " uses " + shown + ", which is in neither the FM nor the game");
    }

    // A texture-like name, "fam\core\blubrik1", with any texture extension.
    // A material of the FM's own may dress a texture of the game's: it is
    // used though the texture is not in the FM folder.
    bool textureInFM(std::string_view path, const std::string& user)
    {
        const std::string base(lastPart(path));
        for (const std::string& root : bases_) {
            const Listing& l = folder(joined(root, dirPart(path)));
            if (const std::string file = findIn(l, base, TextureExtensions); !file.empty()) {
                usedTexture(l, file, base, user);
                return true;
            }
            if (const std::string mtl = findIn(l, base, {".mtl"}); !mtl.empty()) used(pathIn(l, mtl), user);
        }
        return false;
    }

    void texture(const std::string& name, const std::string& user)
    {
        const std::string path(withoutTextureExt(name));
        if (textureInFM(path, user)) return;
        elsewhere(game_.Holds(firstPart(path), afterFirst(path), TextureExtensions), name, user);
    }

    // A model's texture ("handposs.png") below folder\txt16\ or folder\txt\.
    void modelTexture(const std::string& folderName, const std::string& name, const std::string& user)
    {
        if (IsReplaceableTexture(name)) return;
        const std::string base(withoutTextureExt(name));
        for (const char* sub : {"txt16", "txt"})
            if (textureInFM(folderName + "\\" + sub + "\\" + base, user)) return;
        Held held = Held::No;
        for (const char* sub : {"txt16\\", "txt\\"}) {
            const Held h = game_.Holds(folderName, sub + base, TextureExtensions);
            if (h != Held::No) held = h;
        }
        elsewhere(held, folderName + "\\txt\\" + name, user);
    }

    void model(const UsedName& u, const std::string& user)
    {
        const std::vector<std::string> order =
            u.creature ? std::vector<std::string>{"mesh", "obj"} : std::vector<std::string>{"obj", "mesh"};
        for (const std::string& root : bases_) {
            for (const std::string& f : order) {
                const Listing& l = folder(joined(root, f));
                const std::string file = findIn(l, u.name, {".bin"});
                if (file.empty()) continue;
                used(pathIn(l, file), user);
                if (f == "mesh")
                    if (const std::string cal = findIn(l, u.name, {".cal"}); !cal.empty()) used(pathIn(l, cal), user);
                modelTextures(pathIn(l, file), f, user);
                return;
            }
            // Bitmap sprites are models by name too.
            const Listing& l = folder(joined(root, "bitmap"));
            if (const std::string file = findIn(l, u.name, TextureExtensions); !file.empty()) {
                usedTexture(l, file, u.name, user);
                return;
            }
        }
        Held held = Held::No;
        for (const std::string& f : order)
            if (held == Held::No) held = game_.Holds(f, u.name, {".bin"});
        if (held == Held::No) held = game_.Holds("bitmap", u.name, TextureExtensions);
        elsewhere(held, order.front() + "\\" + u.name + ".bin", user);
    }

    void modelTextures(const std::string& path, const std::string& folderName, const std::string& user)
    {
        if (!modelsSeen_.insert(PathKeyOf(path)).second) return;
        std::vector<std::string> textures;
        try {
            textures = ReadModelTextures(ReadWholeFile(platform::PathFromUtf8(path), kMaxModel));
        } catch (const std::exception& e) {
            modelsRead_ = false; // what it names is not known
            add(Severity::Warning, RelativeEntry(fmDir_, platform::PathFromUtf8(path)),
                std::string("damaged model file: ") + e.what());
            return;
        }
        for (const std::string& t : textures) modelTexture(folderName, t, user);
    }

    // A file in the FM's root (a script module, a gamesys): its path there,
    // or empty. A stock file of a FM folder that is the game folder is the
    // game's own unless the list names it.
    std::string rootFile(const std::string& name, bool& gameOwn)
    {
        gameOwn = false;
        for (const std::string& root : bases_) {
            const Listing& l = folder(joined(root, dirPart(name)));
            const std::string file = findIn(l, lastPart(name), {});
            if (file.empty()) continue;
            const std::string path = pathIn(l, file);
            if (gameIsFM_ && !listedKeys_.count(PathKeyOf(path)) &&
                std::any_of(std::begin(kStockLooseFiles), std::end(kStockLooseFiles),
                            [&](const char* stock) { return EqualsNoCase(name, stock); }))
                gameOwn = true;
            return path;
        }
        return {};
    }

    void scriptModule(const std::string& name, const std::string& user)
    {
        bool gameOwn = false;
        const std::string path = rootFile(name, gameOwn);
        if (!path.empty()) {
            if (!gameOwn) used(path, user);
            return;
        }
        elsewhere(game_.HoldsFile(name) ? Held::Yes : Held::No, name, user);
    }

    void book(const std::string& name, const std::string& user)
    {
        bool found = false;
        // Each language's copy is read by the players of that language.
        for (const std::string& root : bases_) {
            for (int k = -1; k < LangCount; ++k) {
                std::string dir = joined(root, "books");
                if (k >= 0) dir = joined(dir, langFolder(k));
                const Listing& l = folder(joined(dir, dirPart(name)));
                if (const std::string file = findIn(l, std::string(lastPart(name)) + ".str", {}); !file.empty()) {
                    used(pathIn(l, file), user);
                    found = true;
                }
            }
        }
        if (found) return;
        Held held = game_.Holds("books", name, {".str"});
        for (int k = 0; k < LangCount && held == Held::No; ++k)
            held = game_.Holds("books", std::string(LangDirs[size_t(k)]) + name, {".str"});
        elsewhere(held, "books\\" + name + ".str", user);
    }

    void usedBelow(const Listing& l, const std::string& rel, int depth, const std::string& user)
    {
        for (const auto& [lower, name] : l.files) used(pathIn(l, name), user);
        if (depth >= kMaxArtDepth) return;
        for (const auto& [lower, name] : l.dirs)
            usedBelow(folder(joined(rel, name)), joined(rel, name), depth + 1, user);
    }

    void bookArt(const std::string& name, const std::string& user)
    {
        for (const std::string& root : bases_) {
            const std::string rel = joined(joined(root, "books"), name);
            const Listing& l = folder(rel);
            if (l.exists) {
                usedBelow(l, rel, 0, user);
                return;
            }
        }
        elsewhere(game_.HoldsBelow("books", name), "books\\" + name + "\\", user);
    }

    void resolve(const UsedName& u, const std::string& user)
    {
        switch (u.kind) {
        case UseKind::Gamesys: break; // after the mission's own names, once for all that name it
        case UseKind::Texture:
        case UseKind::ObjectTexture: texture(u.name, user); break;
        case UseKind::Model: model(u, user); break;
        case UseKind::MeshTexture: modelTexture("mesh", u.name, user); break;
        case UseKind::ScriptModule: scriptModule(u.name, user); break;
        case UseKind::Book: book(u.name, user); break;
        case UseKind::BookArt: bookArt(u.name, user); break;
        }
    }

    bool missionThere(const std::string& mission) { return !findIn(folder(""), mission, {}).empty(); }

    // What a tag file of the FM's root names; nothing when it is not there
    // or cannot be read, with a finding when it is damaged.
    std::optional<MissionUses> readTagFile(const std::string& name, const std::string& damaged)
    {
        const std::string file = findIn(folder(""), name, {});
        if (file.empty()) return std::nullopt;
        const std::string path = pathIn(folder(""), file);
        try {
            return ReadMissionUses(TagFile::Open(platform::PathFromUtf8(path)));
        } catch (const TagFileError& e) {
            add(Severity::Error, file, damaged + e.what(), entryOf(file));
        } catch (const std::exception&) { // unreadable: the listed file's own finding says so
        }
        return std::nullopt;
    }

    // The gamesys a mission names: listed when the FM holds it, and what it
    // names used as the mission's own. False when what it names is not known.
    bool gamesys(const std::string& name, const std::string& user)
    {
        bool gameOwn = false;
        const std::string path = rootFile(name, gameOwn);
        if (path.empty()) {
            const bool held = game_.HoldsFile(name);
            elsewhere(held ? Held::Yes : Held::No, name, user);
            return false;
        }
        if (gameOwn) return false;
        used(path, user);
        try {
            const MissionUses uses = ReadMissionUses(TagFile::Open(platform::PathFromUtf8(path)));
            for (const UsedName& u : uses.names) resolve(u, user);
            return true;
        } catch (const TagFileError& e) {
            const std::string rel = RelativeEntry(fmDir_, platform::PathFromUtf8(path));
            add(Severity::Error, rel, std::string("damaged gamesys file: ") + e.what(), entryOf(rel));
        } catch (const std::exception&) {
        }
        return false;
    }

    // intrface\miss<n>\<language>\goals.str, or intrface\miss<n>\goals.str,
    // for each language the FM has titles in: the objectives screen.
    void checkGoals()
    {
        std::set<std::string> reported;
        for (int n : check_.project.Chain()) {
            const std::string dir = "intrface\\miss" + std::to_string(n);
            for (int k = 0; k < LangCount; ++k) {
                if (fm_.TitleFiles[size_t(k)].empty()) continue;
                const std::string lang(LangNames[size_t(k)]);
                const std::string langDir = langFolder(k);
                std::string path;
                for (const std::string& root : bases_) {
                    for (const std::string& d : {joined(dir, langDir), dir}) {
                        const Listing& l = folder(joined(root, d));
                        if (const std::string file = findIn(l, "goals.str", {}); !file.empty()) {
                            path = pathIn(l, file);
                            break;
                        }
                    }
                    if (!path.empty()) break;
                }
                const std::string mission = std::to_string(n);
                if (path.empty()) {
                    add(Severity::Warning, joined(joined(joined(bases_.front(), dir), langDir), "goals.str"),
                        "Mission " + mission + " has no goals file in " + lang + ": its objectives screen is empty");
                    continue;
                }
                const std::string key = PathKeyOf(path);
                usedKeys_.insert(key);
                if (listedKeys_.count(key) || !reported.insert(key).second) continue;
                const std::string rel = RelativeEntry(fmDir_, platform::PathFromUtf8(path));
                add(Severity::Warning, rel,
                    "Is not listed: the objectives screen of mission " + mission + " is empty in " + lang);
            }
        }
    }

    // Listed textures, models and object textures no mission uses.
    void unusedNotes(bool modelsToo)
    {
        const std::string root = fm_.Game == GameThief2x ? "t2x/" : "";
        for (size_t i = 0; i < looked_.size(); ++i) {
            const LookedFile& l = looked_[i];
            if (l.pathKey.empty() || usedKeys_.count(std::string(l.pathKey))) continue;
            std::string_view stored = l.storedKey;
            if (!root.empty() && stored.substr(0, root.size()) == root) stored.remove_prefix(root.size());
            const size_t parts = size_t(std::count(stored.begin(), stored.end(), '/')) + 1;
            const bool image = hasTextureExt(stored);
            const bool texture = stored.substr(0, 4) == "fam/" && image;
            const bool model = parts == 2 && (stored.substr(0, 4) == "obj/" || stored.substr(0, 5) == "mesh/") &&
                               stored.size() > 4 && stored.substr(stored.size() - 4) == ".bin";
            bool objectTexture = false;
            for (const char* dir : {"obj/txt/", "obj/txt16/", "mesh/txt/", "mesh/txt16/"})
                if (image && stored.substr(0, std::string_view(dir).size()) == dir) objectTexture = true;
            if (!texture && !(modelsToo && (model || objectTexture))) continue;
            const std::string& entry = check_.project.Files[i];
            add(Severity::Note, entry, entry + " is listed but no mission uses it", int(i));
        }
    }

    CheckContext& check_;
    const std::vector<LookedFile>& looked_;
    MissionUseFindings& out_;
    const TFMInfo& fm_;
    fs::path fmDir_;
    std::vector<std::string> bases_{""};
    GameResources game_;
    bool gameIsFM_ = false;
    std::unordered_map<std::string, int> listedKeys_;
    std::map<std::pair<uint64_t, uint64_t>, int> listedIds_;
    std::unordered_map<std::string, std::unique_ptr<Listing>> listings_;
    std::unordered_set<std::string> usedKeys_; // files the missions use
    std::unordered_set<std::string> modelsSeen_;
    std::unordered_set<std::string> missing_; // names neither has, without case
    size_t unknown_ = 0;
    bool modelsRead_ = true;
};

} // namespace

MissionUseFindings CheckMissionUses(CheckContext& check, const std::vector<LookedFile>& looked)
{
    MissionUseFindings out;
    if (check.fm.FMDir.empty()) return out;
    UseCheck(check, looked, out).Run();
    return out;
}

std::string GameFolderOf(const Project& project, bool* named)
{
    if (named) *named = !project.GameDir.empty();
    if (!project.GameDir.empty()) return project.GameDir;
    if (project.FMInfo.FMDir.empty()) return {};
    return platform::Utf8Of(FindGameFolder(platform::PathFromUtf8(project.FMInfo.FMDir)));
}

std::vector<std::string> FilesTheListLacks(const std::vector<Finding>& findings)
{
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const Finding& f : findings)
        if (!f.add.empty() && seen.insert(AsciiLower(f.add)).second) out.push_back(f.add);
    return out;
}

} // namespace lw
