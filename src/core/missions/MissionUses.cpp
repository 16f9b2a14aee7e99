#include "core/missions/MissionUses.h"

#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/missions/MissionChunks.h"

#include <algorithm>
#include <set>
#include <unordered_set>

namespace fs = std::filesystem;

namespace lw {

const std::vector<const char*> TextureExtensions = {".dds", ".png", ".tga", ".pcx", ".gif", ".bmp", ".cel"};

namespace {

constexpr size_t kMaxName = 259; // MAX_PATH less its NUL: a longer path no game can open

// The object texture properties, one per replaceable texture of a model.
constexpr const char* kObjectTextureChunks[] = {"P$OTxtRepr0", "P$OTxtRepr1", "P$OTxtRepr2", "P$OTxtRepr3"};

// ".osm" of "gen.osm"; empty when the last part has no dot.
std::string_view extensionOf(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const size_t sep = name.find_last_of("\\/");
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) return {};
    return name.substr(dot);
}

class Collector {
public:
    explicit Collector(MissionUses& out) : out_(out) {}

    void Add(UseKind kind, std::string name, bool creature = false)
    {
        std::replace(name.begin(), name.end(), '/', '\\');
        if (!IsPlainRelativeName(name)) return;
        std::string key = AsciiLower(name);
        key.insert(key.begin(), char('0' + int(kind)));
        if (!seen_.insert(std::move(key)).second) return;
        out_.names.push_back({kind, std::move(name), creature});
    }

private:
    MissionUses& out_;
    std::unordered_set<std::string> seen_;
};

} // namespace

bool IsPlainRelativeName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxName) return false;
    size_t from = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size()) {
            const auto c = static_cast<unsigned char>(name[i]);
            if (c < 0x20 || c == ':' || c == '/') return false;
            if (c != '\\') continue;
        }
        const std::string_view part = name.substr(from, i - from);
        if (part.empty() || part == "." || part == "..") return false;
        from = i + 1;
    }
    return true;
}

MissionUses ReadMissionUses(const TagFile& file)
{
    MissionUses out;
    Collector names(out);
    if (file.Find("GAM_FILE")) {
        std::string gamesys = ReadGamFile(file.Read("GAM_FILE"));
        std::replace(gamesys.begin(), gamesys.end(), '/', '\\');
        if (IsPlainRelativeName(gamesys)) {
            out.gamesys = gamesys;
            names.Add(UseKind::Gamesys, std::move(gamesys));
        }
    }
    if (file.Find("TXLIST")) // a gamesys has none
        for (std::string& t : ReadTextureList(file.Read("TXLIST"))) names.Add(UseKind::Texture, std::move(t));

    std::set<int32_t> creatures; // objects with a creature type of their own
    const std::string creatureBytes = file.Read("P$Creature");
    for (const PropertyRecord& r : ReadPropertyRecords(creatureBytes, "P$Creature")) creatures.insert(r.object);
    const std::string models = file.Read("P$ModelName");
    for (const PropertyRecord& r : ReadPropertyRecords(models, "P$ModelName"))
        names.Add(UseKind::Model, FieldText(r.data.substr(0, 16)), creatures.count(r.object) > 0);
    for (const char* chunk : kObjectTextureChunks) {
        const std::string bytes = file.Read(chunk);
        for (const PropertyRecord& r : ReadPropertyRecords(bytes, chunk)) {
            std::string path = LengthPrefixedText(r.data, chunk);
            // A bare name says no folder to look in.
            if (path.find_first_of("\\/") != std::string::npos) names.Add(UseKind::ObjectTexture, std::move(path));
        }
    }
    const std::string meshTextures = file.Read("P$MeshTex");
    for (const PropertyRecord& r : ReadPropertyRecords(meshTextures, "P$MeshTex"))
        for (std::string& t : ReadMeshTextureReplacements(r.data)) names.Add(UseKind::MeshTexture, std::move(t));
    for (std::string& m : ReadScriptModules(file.Read("ScrModules"))) {
        if (!EqualsNoCase(extensionOf(m), ".osm")) m += ".osm";
        names.Add(UseKind::ScriptModule, std::move(m));
    }
    const std::string books = file.Read("P$Book");
    for (const PropertyRecord& r : ReadPropertyRecords(books, "P$Book")) {
        std::string book = LengthPrefixedText(r.data, "P$Book");
        if (EqualsNoCase(extensionOf(book), ".str")) book.resize(book.size() - 4);
        names.Add(UseKind::Book, std::move(book));
    }
    const std::string art = file.Read("P$BookArt");
    for (const PropertyRecord& r : ReadPropertyRecords(art, "P$BookArt"))
        names.Add(UseKind::BookArt, LengthPrefixedText(r.data, "P$BookArt"));
    if (file.Find("OBJ_MAP")) out.thief2 = ObjectMapNames(file.Read("OBJ_MAP"), "RopeyArrow");
    return out;
}

int GameOfMissions(const fs::path& fmDir, const std::vector<int>& missions)
{
    bool read = false, damaged = false;
    PathIndex index;
    for (int n : missions) {
        try {
            const fs::path path = index.Resolve(fmDir, "miss" + std::to_string(n) + ".mis");
            const TagFile file = TagFile::Open(path);
            if (!file.Find("OBJ_MAP")) continue; // no mission, or one the editor never saved objects in
            if (ObjectMapNames(file.Read("OBJ_MAP"), "RopeyArrow")) return GameThief2;
            read = true;
        } catch (const TagFileError&) {
            // A damaged mission may be the one with the rope arrows: the
            // others cannot then say Thief 1.
            damaged = true;
        } catch (const Error&) { // missing or unreadable: the chain's rules say so
        }
    }
    return read && !damaged ? GameThief1 : -1;
}

} // namespace lw
