#include "core/missions/ModelFile.h"

#include "base/StrUtils.h"
#include "core/missions/MissionChunks.h"

#include <algorithm>
#include <cstdint>

namespace lw {

namespace {

// LGMD: the material count at 66 and the table's offset at 74; records of
// a 16-byte name, a type (0 texture, 1 colour) and more.
constexpr size_t kObjCountAt = 66, kObjTableAt = 74, kObjRecord = 26;
// LGMM: the material count at 22 and the table's offset at 40; records of
// 40 bytes (version 1) or 56 (version 2), the name first.
constexpr size_t kMeshCountAt = 22, kMeshTableAt = 40;

uint32_t get32(std::string_view s, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::vector<std::string> table(std::string_view bytes, size_t countAt, size_t tableAt, size_t record, bool typed)
{
    if (bytes.size() < tableAt + 4) throw Error("too short for a model's header");
    const size_t count = static_cast<unsigned char>(bytes[countAt]);
    const uint64_t at = get32(bytes, tableAt);
    if (at > bytes.size() || (bytes.size() - at) / record < count) throw Error("its materials lie outside the file");
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view r = bytes.substr(size_t(at) + i * record, record);
        if (typed && r[16] != 0) continue; // a colour, no texture
        std::string name = FieldText(r.substr(0, 16));
        if (name.empty() ||
            std::any_of(out.begin(), out.end(), [&](const std::string& n) { return EqualsNoCase(n, name); }))
            continue;
        out.push_back(std::move(name));
    }
    return out;
}

} // namespace

std::vector<std::string> ReadModelTextures(std::string_view bytes)
{
    if (bytes.size() < 8) return {};
    const std::string_view magic = bytes.substr(0, 4);
    const uint32_t version = get32(bytes, 4);
    if (magic == "LGMD" && (version == 3 || version == 4))
        return table(bytes, kObjCountAt, kObjTableAt, kObjRecord, true);
    if (magic == "LGMM" && (version == 1 || version == 2))
        return table(bytes, kMeshCountAt, kMeshTableAt, version == 1 ? 40 : 56, false);
    return {};
}

bool IsReplaceableTexture(std::string_view name)
{
    const std::string base = AsciiLower(name.substr(0, name.find('.')));
    return base.size() == 8 && base.compare(0, 7, "replace") == 0 && base[7] >= '0' && base[7] <= '3';
}

} // namespace lw
