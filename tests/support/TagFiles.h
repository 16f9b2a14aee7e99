// Tag files (.mis, .gam) and models (.bin) as the Dark engine writes them,
// made in tests from what they should name: a header, the chunks, the
// directory after them, laid out as the corpus's real files are. Beside
// them the game's .crf archives: zip archives of empty stored files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lw::test {

inline std::string U32(uint32_t v)
{
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
inline std::string U16(uint16_t v)
{
    return {char(v & 0xFF), char(v >> 8)};
}
inline void Put32(std::string& s, uint32_t v)
{
    s += U32(v);
}

// text in a NUL-padded field of n bytes (cut to n).
inline std::string Field(const std::string& text, size_t n)
{
    std::string f = text.substr(0, n);
    f.resize(n, '\0');
    return f;
}

class TagFileWriter {
public:
    TagFileWriter& Chunk(const std::string& name, const std::string& bytes)
    {
        chunks_.emplace_back(name, bytes);
        return *this;
    }
    std::string Bytes() const
    {
        std::string out(272, '\0'), dir = U32(uint32_t(chunks_.size()));
        out.replace(268, 4, "\xDE\xAD\xBE\xEF");
        for (const auto& [name, bytes] : chunks_) {
            dir += Field(name, 12) + U32(uint32_t(out.size())) + U32(uint32_t(bytes.size()));
            out += Field(name, 12) + U32(0) + U32(1) + U32(0) + bytes; // the versions the reader ignores
        }
        out.replace(0, 12, U32(uint32_t(out.size())) + U32(0) + U32(1));
        return out + dir;
    }

private:
    std::vector<std::pair<std::string, std::string>> chunks_;
};

// P$ records: object id, size, bytes.
inline std::string PropertyChunk(const std::vector<std::pair<int32_t, std::string>>& records)
{
    std::string s;
    for (const auto& [object, data] : records) s += U32(uint32_t(object)) + U32(uint32_t(data.size())) + data;
    return s;
}

// A u32 length and the text with its NUL, as P$OTxtRepr0 and P$Book hold it.
inline std::string LengthText(const std::string& text)
{
    return U32(uint32_t(text.size() + 1)) + text + '\0';
}

// TXLIST of paths "fam\family\name": the tokens are the folder parts.
inline std::string TxListChunk(const std::vector<std::string>& paths)
{
    std::vector<std::string> tokens;
    std::string items = std::string(4, '\0') + Field("null", 16);
    for (const std::string& p : paths) {
        std::string ids;
        size_t from = 0;
        for (size_t cut = p.find('\\'); cut != std::string::npos; from = cut + 1, cut = p.find('\\', from)) {
            const std::string part = p.substr(from, cut - from);
            size_t t = 0;
            while (t < tokens.size() && tokens[t] != part) ++t;
            if (t == tokens.size()) tokens.push_back(part);
            ids += char(t + 1);
        }
        items += Field(ids, 4) + Field(p.substr(from), 16);
    }
    std::string s = U32(uint32_t(12 + tokens.size() * 16 + (paths.size() + 1) * 20)) + U32(uint32_t(paths.size() + 1)) +
                    U32(uint32_t(tokens.size()));
    for (const std::string& t : tokens) s += Field(t, 16);
    return s + items;
}

// What a made-up mission or gamesys names; the chunks it gets are those a
// real one has, empty where nothing is named.
struct MissionSpec {
    std::string gamesys = "dark.gam";                         // GAM_FILE; empty writes none (a gamesys)
    std::vector<std::string> textures = {};                   // "fam\core\blubrik1"
    std::vector<std::pair<int32_t, std::string>> models = {}; // object, model name
    std::vector<int32_t> creatures = {};                      // objects that are creatures
    std::vector<std::string> objectTextures = {};             // P$OTxtRepr0 paths
    std::vector<std::string> scripts = {};                    // ScrModules
    std::vector<std::string> books = {}, bookArt = {};
    std::vector<std::string> archetypes = {"Object", "Weapon"}; // OBJ_MAP; "RopeyArrow" makes it Thief 2
    std::string padding = {};                                   // a chunk of its own, for a mission of some size
};

inline std::string MissionBytes(const MissionSpec& m)
{
    auto records = [](const std::vector<std::string>& texts) {
        std::vector<std::pair<int32_t, std::string>> r;
        for (const std::string& t : texts) r.push_back({int32_t(r.size() + 1), LengthText(t)});
        return PropertyChunk(r);
    };
    std::vector<std::pair<int32_t, std::string>> models, creatures, archetypes;
    for (const auto& [object, name] : m.models) models.push_back({object, Field(name, 16)});
    for (int32_t c : m.creatures) creatures.push_back({c, std::string(4, '\0')});
    for (const std::string& a : m.archetypes) archetypes.push_back({-int32_t(archetypes.size()) - 1, a + '\0'});
    std::string scripts;
    for (const std::string& s : m.scripts) scripts += Field(s, 128);
    TagFileWriter w;
    w.Chunk("FILE_TYPE", std::string(4, '\0'));
    if (!m.gamesys.empty())
        w.Chunk("GAM_FILE", Field(m.gamesys, 256))
            .Chunk("OBJ_MAP", PropertyChunk(archetypes))
            .Chunk("ScrModules", scripts);
    if (!m.gamesys.empty() || !m.textures.empty()) w.Chunk("TXLIST", TxListChunk(m.textures));
    w.Chunk("P$ModelName", PropertyChunk(models)).Chunk("P$Creature", PropertyChunk(creatures));
    w.Chunk("P$OTxtRepr0", records(m.objectTextures)).Chunk("P$OTxtRepr1", "");
    w.Chunk("P$Book", records(m.books)).Chunk("P$BookArt", records(m.bookArt));
    if (!m.padding.empty()) w.Chunk("PADDING", m.padding);
    return w.Bytes();
}

// A mission that names nothing of the FM's own: Thief 2's stock gamesys,
// no textures, no models.
inline std::string PlainMission()
{
    return MissionBytes(MissionSpec{});
}

// An object model (LGMD version 4) whose materials name these textures.
inline std::string ObjectModelBytes(const std::vector<std::string>& textures)
{
    std::string s = "LGMD" + U32(4) + Field("model", 8);
    s.resize(66, '\0');
    s += char(textures.size()) + std::string(3, '\0') + U32(0) + U32(120); // materials at 120
    s.resize(120, '\0');
    for (const std::string& t : textures) s += Field(t, 16) + std::string(10, '\0');
    return s;
}

// A zip archive of empty stored files with these names ("/" between parts),
// as a game's .crf is one.
inline std::string CrfBytes(const std::vector<std::string>& names)
{
    std::string out, cd;
    for (const std::string& name : names) {
        const uint16_t length = uint16_t(name.size());
        // Stored, no time, CRC 0 and sizes 0: an empty file.
        cd += U32(0x02014B50) + U16(10) + U16(10) + std::string(20, '\0') + U16(length) + std::string(12, '\0') +
              U32(uint32_t(out.size())) + name;
        out += U32(0x04034B50) + U16(10) + std::string(20, '\0') + U16(length) + U16(0) + name;
    }
    const uint16_t count = uint16_t(names.size());
    return out + cd + U32(0x06054B50) + U32(0) + U16(count) + U16(count) + U32(uint32_t(cd.size())) +
           U32(uint32_t(out.size())) + U16(0);
}

} // namespace lw::test
