// Tag files (.mis, .gam) and models (.bin) as the Dark engine writes them,
// made in tests from what they should name: a header, the chunks, the
// directory after them. Small enough to write in every test that needs a
// mission, and laid out as the corpus's real files are. Beside them the
// game's .crf archives: zip archives of empty stored files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lw::test {

inline void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
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
    TagFileWriter& Chunk(const std::string& name, const std::string& bytes, uint32_t major = 0, uint32_t minor = 1)
    {
        chunks_.push_back({name, bytes, major, minor});
        return *this;
    }
    std::string Bytes() const
    {
        std::string out(272, '\0');
        out[268] = char(0xDE), out[269] = char(0xAD), out[270] = char(0xBE), out[271] = char(0xEF);
        std::string dir;
        Put32(dir, uint32_t(chunks_.size()));
        for (const auto& c : chunks_) {
            dir += Field(c.name, 12);
            Put32(dir, uint32_t(out.size()));
            Put32(dir, uint32_t(c.bytes.size()));
            out += Field(c.name, 12);
            Put32(out, c.major);
            Put32(out, c.minor);
            Put32(out, 0);
            out += c.bytes;
        }
        const uint32_t dirAt = uint32_t(out.size());
        std::string at;
        Put32(at, dirAt);
        out.replace(0, 4, at);
        out.replace(4, 8, std::string("\0\0\0\0\1\0\0\0", 8));
        return out + dir;
    }

private:
    struct Entry {
        std::string name, bytes;
        uint32_t major, minor;
    };
    std::vector<Entry> chunks_;
};

// P$ records: object id, size, bytes.
inline std::string PropertyChunk(const std::vector<std::pair<int32_t, std::string>>& records)
{
    std::string s;
    for (const auto& [object, data] : records) {
        Put32(s, uint32_t(object));
        Put32(s, uint32_t(data.size()));
        s += data;
    }
    return s;
}

// A u32 length and the text with its NUL, as P$OTxtRepr0 and P$Book hold it.
inline std::string LengthText(const std::string& text)
{
    std::string s;
    Put32(s, uint32_t(text.size() + 1));
    return s + text + '\0';
}

// TXLIST of paths "fam\family\name": the tokens are the folder parts.
inline std::string TxListChunk(const std::vector<std::string>& paths)
{
    std::vector<std::string> tokens;
    std::string items;
    auto item = [&](const std::vector<uint8_t>& ids, const std::string& name) {
        for (size_t k = 0; k < 4; ++k) items += char(k < ids.size() ? ids[k] : 0);
        items += Field(name, 16);
    };
    item({}, "null");
    for (const std::string& p : paths) {
        std::vector<uint8_t> ids;
        size_t from = 0;
        for (size_t cut = p.find('\\'); cut != std::string::npos; from = cut + 1, cut = p.find('\\', from)) {
            const std::string part = p.substr(from, cut - from);
            size_t t = 0;
            while (t < tokens.size() && tokens[t] != part) ++t;
            if (t == tokens.size()) tokens.push_back(part);
            ids.push_back(uint8_t(t + 1));
        }
        item(ids, p.substr(from));
    }
    std::string s;
    Put32(s, uint32_t(12 + tokens.size() * 16 + (paths.size() + 1) * 20));
    Put32(s, uint32_t(paths.size() + 1));
    Put32(s, uint32_t(tokens.size()));
    for (const std::string& t : tokens) s += Field(t, 16);
    return s + items;
}

// What a made-up mission or gamesys names; the chunks it gets are those a
// real one has, empty where nothing is named.
struct MissionSpec {
    std::string gamesys = "dark.gam";                    // GAM_FILE; empty writes none (a gamesys)
    std::vector<std::string> textures;                   // "fam\core\blubrik1"
    std::vector<std::pair<int32_t, std::string>> models; // object, model name
    std::vector<int32_t> creatures;                      // objects that are creatures
    std::vector<std::string> objectTextures;             // P$OTxtRepr0 paths
    std::vector<std::string> scripts;                    // ScrModules
    std::vector<std::string> books, bookArt;
    std::vector<std::string> archetypes = {"Object", "Weapon"}; // OBJ_MAP; "RopeyArrow" makes it Thief 2
    std::string padding;                                        // a chunk of its own, for a mission of some size
};

inline std::string MissionBytes(const MissionSpec& m)
{
    auto named = [](const std::vector<std::string>& names, bool lengthPrefixed) {
        std::vector<std::pair<int32_t, std::string>> records;
        int32_t object = 1;
        for (const std::string& n : names) records.push_back({object++, lengthPrefixed ? LengthText(n) : n});
        return PropertyChunk(records);
    };
    TagFileWriter w;
    w.Chunk("FILE_TYPE", std::string("\0\0\0\0", 4));
    if (!m.gamesys.empty()) w.Chunk("GAM_FILE", Field(m.gamesys, 256));
    if (!m.gamesys.empty() || !m.textures.empty()) w.Chunk("TXLIST", TxListChunk(m.textures), 1, 0);
    std::string objMap;
    int32_t id = -1;
    for (const std::string& a : m.archetypes) objMap += PropertyChunk({{id--, a + '\0'}});
    if (!m.gamesys.empty()) w.Chunk("OBJ_MAP", objMap, 0, 2);
    std::vector<std::pair<int32_t, std::string>> models;
    for (const auto& [object, name] : m.models) models.push_back({object, Field(name, 16)});
    w.Chunk("P$ModelName", PropertyChunk(models), 2, 16);
    std::vector<std::pair<int32_t, std::string>> creatures;
    for (int32_t c : m.creatures) creatures.push_back({c, std::string(4, '\0')});
    w.Chunk("P$Creature", PropertyChunk(creatures), 2, 16);
    w.Chunk("P$OTxtRepr0", named(m.objectTextures, true), 2, 17);
    w.Chunk("P$OTxtRepr1", "", 2, 17);
    w.Chunk("P$Book", named(m.books, true), 2, 17);
    w.Chunk("P$BookArt", named(m.bookArt, true), 2, 17);
    std::string scripts;
    for (const std::string& s : m.scripts) scripts += Field(s, 128);
    if (!m.gamesys.empty()) w.Chunk("ScrModules", scripts, 1, 1);
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
    std::string s = "LGMD";
    Put32(s, 4);
    s += Field("model", 8);
    s.resize(66, '\0');
    s += char(textures.size());
    s += std::string(3, '\0');
    Put32(s, 0);   // subobjects
    Put32(s, 120); // materials
    s.resize(120, '\0');
    for (const std::string& t : textures) s += Field(t, 16) + std::string(10, '\0');
    return s;
}

inline void Put16(std::string& s, uint16_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8);
}

// A zip archive of empty stored files with these names ("/" between parts),
// as a game's .crf is one.
inline std::string CrfBytes(const std::vector<std::string>& names)
{
    std::string out, cd;
    for (const std::string& name : names) {
        const uint32_t at = uint32_t(out.size());
        Put32(out, 0x04034B50);
        Put16(out, 10);
        out += std::string(4, '\0');  // flags, method: stored
        out += std::string(16, '\0'); // time, date, CRC and sizes of an empty file
        Put16(out, uint16_t(name.size()));
        Put16(out, 0);
        out += name;
        Put32(cd, 0x02014B50);
        Put16(cd, 10);
        Put16(cd, 10);
        cd += std::string(20, '\0'); // flags, method, time, date, CRC, sizes
        Put16(cd, uint16_t(name.size()));
        cd += std::string(8, '\0'); // extra, comment, disk, internal attributes
        Put32(cd, 0);               // external attributes
        Put32(cd, at);
        cd += name;
    }
    std::string end;
    Put32(end, 0x06054B50);
    Put32(end, 0);
    Put16(end, uint16_t(names.size()));
    Put16(end, uint16_t(names.size()));
    Put32(end, uint32_t(cd.size()));
    Put32(end, uint32_t(out.size()));
    Put16(end, 0);
    return out + cd + end;
}

} // namespace lw::test
