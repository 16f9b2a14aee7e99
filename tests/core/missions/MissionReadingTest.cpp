// Reading what missions, gamesys files and models name: a mission made by
// the test helper reads back as what it was made to name, and every kind of
// damage is a TagFileError, never more bytes read or allocated than the
// file has.
#include "core/missions/MissionUses.h"
#include "core/missions/ModelFile.h"
#include "core/missions/TagFile.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace lw;
using namespace lw::test;

namespace {

MissionUses usesOf(const std::string& bytes)
{
    return ReadMissionUses(TagFile(TagSource::FromBytes(bytes)));
}

std::vector<std::string> namesOf(const MissionUses& uses, UseKind kind)
{
    std::vector<std::string> out;
    for (const UsedName& u : uses.names)
        if (u.kind == kind) out.push_back(u.name + (u.creature ? " (creature)" : ""));
    return out;
}

using Names = std::vector<std::string>;

} // namespace

TEST(MissionReading, AMissionReadsAsWhatItNames)
{
    MissionSpec m;
    m.gamesys = "fc.gam";
    m.textures = {"fam\\core\\BLUBRIK1", "fam\\core\\stone", "fam\\doors\\door13"};
    m.models = {{3, "compass3"}, {4, "MecConx1"}, {5, "compass3"}};
    m.creatures = {4};
    m.objectTextures = {"obj/txt16/word_computer.png", "obj\\txt\\sscat", "bare"};
    m.scripts = {"gen", "periapt.osm"};
    m.books = {"m16b66", "note.str"};
    m.bookArt = {"parch"};
    m.archetypes = {"Object", "ropeyarrow"};
    const MissionUses uses = usesOf(MissionBytes(m));
    EXPECT_EQ(uses.gamesys, "fc.gam");
    EXPECT_TRUE(uses.thief2);
    EXPECT_EQ(namesOf(uses, UseKind::Gamesys), Names{"fc.gam"});
    EXPECT_EQ(namesOf(uses, UseKind::Texture), m.textures);
    EXPECT_EQ(namesOf(uses, UseKind::Model), (Names{"compass3", "MecConx1 (creature)"}));
    // Either slash; a bare name says no folder and is left out.
    EXPECT_EQ(namesOf(uses, UseKind::ObjectTexture), (Names{"obj\\txt16\\word_computer.png", "obj\\txt\\sscat"}));
    EXPECT_EQ(namesOf(uses, UseKind::ScriptModule), (Names{"gen.osm", "periapt.osm"}));
    EXPECT_EQ(namesOf(uses, UseKind::Book), (Names{"m16b66", "note"}));
    EXPECT_EQ(namesOf(uses, UseKind::BookArt), Names{"parch"});

    m.archetypes = {"Object", "Weapon"};
    EXPECT_FALSE(usesOf(MissionBytes(m)).thief2);
}

TEST(MissionReading, NamesNoFileOfTheFMCouldAnswerAreLeftOut)
{
    MissionSpec m;
    m.gamesys = "..\\..\\etc\\passwd";
    m.textures = {"fam\\..\\..\\x", "fam\\ok\\tex"};
    m.models = {{1, "C:evil"}, {2, std::string("a\x01")}};
    m.objectTextures = {"\\root\\x", "obj//txt\\x", "obj\\.\\x"};
    m.scripts = {"sub\\..\\..\\x"};
    const MissionUses uses = usesOf(MissionBytes(m));
    EXPECT_EQ(uses.gamesys, "");
    ASSERT_EQ(uses.names.size(), 1u);
    EXPECT_EQ(uses.names[0].name, "fam\\ok\\tex");
}

TEST(MissionReading, DamageIsAnErrorThatSaysWhat)
{
    MissionSpec spec;
    spec.textures = {"fam\\x\\y"};
    spec.books = {"b"};
    spec.archetypes = {"Object"};
    const std::string good = MissionBytes(spec);
    const TagFile file(TagSource::FromBytes(good));
    const size_t dirAt = good.size() - 4 - file.Chunks().size() * 20;
    // The file with a 32-bit value at (or a byte at) a place of the file or of a chunk's bytes.
    auto at32 = [&](size_t at, uint32_t v, const char* chunk = nullptr) {
        std::string b, s = good;
        Put32(b, v);
        return s.replace(at + (chunk ? size_t(file.Find(chunk)->offset) + 24 : 0), 4, b);
    };
    std::string badToken = good;
    badToken[size_t(file.Find("TXLIST")->offset) + 24 + 12 + 2 * 16 + 20] = char(9); // item 1, past both tokens
    const size_t txAt = size_t(file.Find("TXLIST")->offset);
    const std::pair<std::string, const char*> cases[] = {
        // the bytes, what the error says
        {"", "too short"},
        {std::string(300, 'x'), "mark"},
        {at32(0, uint32_t(good.size())), "outside the file"},
        {at32(0, 8), "outside the file"},                                   // the directory inside the header
        {at32(dirAt, 0xFFFFFFFF), "more than the file holds"},              // four billion chunks
        {at32(dirAt + 4 + 16, 0x7FFFFFFF), "lies outside"},                 // a chunk's size
        {at32(dirAt + 4 + 12, 0xFFFFFFF0), "lies outside"},                 // a chunk's offset
        {good.substr(0, txAt) + "TXLISX" + good.substr(txAt + 6), "names"}, // its header names another
        {at32(4, 0x10000000, "TXLIST"), "more tokens"},
        {at32(8, 0xFFFFFFFF, "TXLIST"), "negative"},
        {badToken, "token"},
        {at32(4, 1000, "OBJ_MAP"), "longer than the chunk"},
        {at32(8, 1000, "P$Book"), "longer than its record"},
        {at32(4, 3, "P$Book"), "cut short"},
        {good.substr(0, good.size() - 7), ""},
    };
    for (const auto& [bytes, says] : cases) {
        try {
            usesOf(bytes);
            ADD_FAILURE() << says << ": read without an error";
        } catch (const TagFileError& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
    }
}

TEST(MissionReading, ModelsNameTheirTextures)
{
    EXPECT_EQ(ReadModelTextures(ObjectModelBytes({"handposs.png", "REPLACE0.GIF", "HANDPOSS.PNG"})),
              (Names{"handposs.png", "REPLACE0.GIF"}));
    EXPECT_TRUE(IsReplaceableTexture("REPLACE0.GIF"));
    EXPECT_TRUE(IsReplaceableTexture("replace3"));
    EXPECT_FALSE(IsReplaceableTexture("replace4.gif"));
    // A creature's model: LGMM, its material names first in records of 56 bytes.
    const std::string mesh = "LGMM" + U32(2) + std::string(14, '\0') + char(2) + std::string(17, '\0') + U32(64) +
                             std::string(20, '\0') + Field("soldx_.png", 56) + Field("soldy_.png", 56);
    EXPECT_EQ(ReadModelTextures(mesh), (Names{"soldx_.png", "soldy_.png"}));
    // Other files name nothing; a table outside the file is damage.
    EXPECT_TRUE(ReadModelTextures("LGMD\x01").empty());
    EXPECT_TRUE(ReadModelTextures(std::string(200, 'x')).empty());
    EXPECT_THROW(ReadModelTextures(mesh.substr(0, 100)), Error);
    std::string far = ObjectModelBytes({"a.png"});
    far[74] = char(0xFF);
    EXPECT_THROW(ReadModelTextures(far), Error);
}

TEST(MissionReading, TheGameOfMissionsIsThief2WhenAnyHasRopeArrows)
{
    TempDir t;
    MissionSpec t1, t2;
    t2.archetypes = {"Object", "RopeyArrow"};
    t.write("miss1.mis", MissionBytes(t1));
    t.write("MISS2.MIS", MissionBytes(t2));
    t.write("miss3.mis", "damaged");
    const auto dir = t.path();
    EXPECT_EQ(GameOfMissions(dir, {1}), 0);
    EXPECT_EQ(GameOfMissions(dir, {1, 2}), 1);
    EXPECT_EQ(GameOfMissions(dir, {1, 4}), 0);  // a missing one tells nothing
    EXPECT_EQ(GameOfMissions(dir, {3, 1}), -1); // a damaged one may be Thief 2's
    EXPECT_EQ(GameOfMissions(dir, {3, 2}), 1);
    EXPECT_EQ(GameOfMissions(dir, {3, 4}), -1);
}
