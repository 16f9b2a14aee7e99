#include "core/missions/MissionChunks.h"

#include "base/StrUtils.h"
#include "core/text/TextCodec.h"

#include <cstring>

namespace lw {

namespace {

constexpr size_t kTokenSize = 16;
constexpr size_t kItemSize = 4 + 16;
constexpr size_t kModuleSize = 128;
constexpr size_t kMeshTexName = 16;
constexpr size_t kMeshTexPairs = 12;

uint32_t get32(std::string_view s, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string asText(std::string_view raw)
{
    return IsValidUtf8(raw) ? std::string(raw) : Cp1252ToUtf8(raw);
}

} // namespace

std::string FieldText(std::string_view field)
{
    return asText(field.substr(0, field.find('\0')));
}

std::string LengthPrefixedText(std::string_view data, std::string_view chunk)
{
    if (data.size() < 4) throw TagFileError(std::string(chunk) + ": a record too short for its length");
    const uint32_t length = get32(data, 0);
    if (length > data.size() - 4) throw TagFileError(std::string(chunk) + ": a text longer than its record");
    return FieldText(data.substr(4, length));
}

std::vector<PropertyRecord> ReadPropertyRecords(std::string_view bytes, std::string_view chunk)
{
    std::vector<PropertyRecord> out;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) throw TagFileError(std::string(chunk) + ": a record cut short");
        const auto object = int32_t(get32(bytes, at));
        const uint32_t size = get32(bytes, at + 4);
        at += 8;
        if (size > bytes.size() - at) throw TagFileError(std::string(chunk) + ": a record longer than the chunk");
        out.push_back({object, bytes.substr(at, size)});
        at += size;
    }
    return out;
}

std::string ReadGamFile(std::string_view bytes)
{
    return FieldText(bytes);
}

std::vector<std::string> ReadTextureList(std::string_view bytes)
{
    if (bytes.size() < 12) throw TagFileError("TXLIST: too short for its counts");
    const auto items = int32_t(get32(bytes, 4));
    const auto tokens = int32_t(get32(bytes, 8));
    if (items < 0 || tokens < 0) throw TagFileError("TXLIST: a negative count");
    // Both counts are believed only as far as the chunk holds them.
    const uint64_t need = 12 + uint64_t(tokens) * kTokenSize + uint64_t(items) * kItemSize;
    if (need > bytes.size()) throw TagFileError("TXLIST: more tokens and items than the chunk holds");
    std::vector<std::string> names(static_cast<size_t>(tokens));
    for (size_t t = 0; t < names.size(); ++t) names[t] = FieldText(bytes.substr(12 + t * kTokenSize, kTokenSize));
    std::vector<std::string> out;
    out.reserve(size_t(items));
    const size_t first = 12 + size_t(tokens) * kTokenSize;
    for (size_t i = 0; i < size_t(items); ++i) {
        const std::string_view item = bytes.substr(first + i * kItemSize, kItemSize);
        std::string path;
        for (size_t k = 0; k < 4; ++k) {
            const auto token = static_cast<unsigned char>(item[k]);
            if (token == 0) break;
            if (token > names.size()) throw TagFileError("TXLIST: an item names a token the list lacks");
            path += names[token - 1];
            path += '\\';
        }
        const std::string name = FieldText(item.substr(4));
        if (path.empty() && (name.empty() || EqualsNoCase(name, "null"))) continue; // the list's place holder
        out.push_back(path + name);
    }
    return out;
}

std::vector<std::string> ReadScriptModules(std::string_view bytes)
{
    std::vector<std::string> out;
    for (size_t at = 0; at < bytes.size(); at += kModuleSize) {
        std::string name = FieldText(bytes.substr(at, kModuleSize));
        if (!name.empty()) out.push_back(std::move(name));
    }
    return out;
}

std::vector<std::string> ReadMeshTextureReplacements(std::string_view data)
{
    std::vector<std::string> out;
    for (size_t pair = 0; pair < kMeshTexPairs; ++pair) {
        const size_t at = pair * 2 * kMeshTexName + kMeshTexName;
        if (at + kMeshTexName > data.size()) break;
        std::string name = FieldText(data.substr(at, kMeshTexName));
        if (!name.empty()) out.push_back(std::move(name));
    }
    return out;
}

bool ObjectMapNames(std::string_view bytes, std::string_view archetype)
{
    for (const PropertyRecord& r : ReadPropertyRecords(bytes, "OBJ_MAP"))
        if (EqualsNoCase(r.data.substr(0, r.data.find('\0')), archetype)) return true;
    return false;
}

} // namespace lw
