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

#include <functional>

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
    const std::string good = MissionBytes(MissionSpec{});
    const TagFile file(TagSource::FromBytes(good));
    const TagChunk* txlist = file.Find("TXLIST");
    const TagChunk* models = file.Find("P$ModelName");
    ASSERT_TRUE(txlist && models);
    auto at32 = [](std::string s, size_t at, uint32_t v) {
        std::string b;
        Put32(b, v);
        return s.replace(at, 4, b);
    };
    const size_t dirAt = good.size() - 4 - file.Chunks().size() * 20;
    // A mission whose OBJ_MAP record is cut short.
    MissionSpec cut;
    cut.archetypes = {"Object"};
    std::string cutMap = MissionBytes(cut);
    {
        const TagFile f(TagSource::FromBytes(cutMap));
        cutMap = at32(cutMap, size_t(f.Find("OBJ_MAP")->offset) + 24 + 4, 1000);
    }
    MissionSpec book;
    book.books = {"b"};
    std::string longBook = MissionBytes(book);
    {
        const TagFile f(TagSource::FromBytes(longBook));
        longBook = at32(longBook, size_t(f.Find("P$Book")->offset) + 24 + 8, 1000);
    }
    MissionSpec tokens;
    tokens.textures = {"fam\\x\\y"};
    std::string badToken = MissionBytes(tokens);
    {
        const TagFile f(TagSource::FromBytes(badToken));
        badToken[size_t(f.Find("TXLIST")->offset) + 24 + 12 + 2 * 16 + 20] = char(9); // item 1, past its two tokens
    }
    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {"empty", "", "too short"},
        {"a text file", std::string(300, 'x'), "mark"},
        {"the directory past the end", at32(good, 0, uint32_t(good.size())), "outside the file"},
        {"the directory inside the header", at32(good, 0, 8), "outside the file"},
        {"a directory of four billion chunks", at32(good, dirAt, 0xFFFFFFFF), "more than the file holds"},
        {"a chunk past the end", at32(good, dirAt + 4 + 16, 0x7FFFFFFF), "lies outside"},
        {"a chunk's offset past the end", at32(good, dirAt + 4 + 12, 0xFFFFFFF0), "lies outside"},
        {"a chunk's header naming another",
         good.substr(0, size_t(txlist->offset)) + "TXLISX" + good.substr(size_t(txlist->offset) + 6), "names"},
        {"TXLIST counting more items than it holds", at32(good, size_t(txlist->offset) + 24 + 4, 0x10000000),
         "more tokens"},
        {"TXLIST with a negative count", at32(good, size_t(txlist->offset) + 24 + 8, 0xFFFFFFFF), "negative"},
        {"TXLIST naming a token it lacks", badToken, "token"},
        {"a record longer than its chunk", at32(good, dirAt + 4 + 20 * 6 + 16, 3), "cut short"},
        {"OBJ_MAP with a record longer than the chunk", cutMap, "longer than the chunk"},
        {"a book longer than its record", longBook, "longer than its record"},
        {"cut short", good.substr(0, good.size() - 7), ""},
    };
    for (const Case& c : cases) {
        try {
            usesOf(c.bytes);
            ADD_FAILURE() << c.what << ": read without an error";
        } catch (const TagFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.what << ": " << e.what();
        }
    }
    (void)models;
}

TEST(MissionReading, ModelsNameTheirTextures)
{
    EXPECT_EQ(ReadModelTextures(ObjectModelBytes({"handposs.png", "REPLACE0.GIF", "HANDPOSS.PNG"})),
              (Names{"handposs.png", "REPLACE0.GIF"}));
    EXPECT_TRUE(IsReplaceableTexture("REPLACE0.GIF"));
    EXPECT_TRUE(IsReplaceableTexture("replace3"));
    EXPECT_FALSE(IsReplaceableTexture("replace4.gif"));
    // A creature's model: LGMM, its material names first in records of 56 bytes.
    std::string mesh = "LGMM";
    Put32(mesh, 2);
    mesh.resize(22, '\0');
    mesh += char(2);
    mesh.resize(40, '\0');
    Put32(mesh, 64);
    mesh.resize(64, '\0');
    mesh += Field("soldx_.png", 56) + Field("soldy_.png", 56);
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
    EXPECT_EQ(GameOfMissions(dir, {3, 1}), 0);
    EXPECT_EQ(GameOfMissions(dir, {3, 4}), -1); // damaged and missing tell nothing
}
