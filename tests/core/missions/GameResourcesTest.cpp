// The game's folder as found from a FM folder, the folders install.cfg
// names, and what its .crf archives hold.
#include "core/missions/GameResources.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace lw;
using namespace lw::test;
namespace fs = std::filesystem;

TEST(GameResources, TheGameFolderIsTheFMFolderOrUpToTwoAbove)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        // the game's mark, the FM folder, found
        {"cam.cfg", "", true},
        {"install.cfg", "FMs/bell", true},
        {"THIEF2.EXE", "bell", true},
        {"dromed.exe", "FMs/bell/sub", false}, // three above
        {"thief.exe/", "FMs/bell", false},     // a folder of that name is no program
    };
    for (const auto& [mark, fm, found] : cases) {
        TempDir t;
        fs::create_directories(t.path() / platform::PathFromUtf8(fm));
        if (std::string(mark).ends_with("/")) fs::create_directories(t.path() / platform::PathFromUtf8(mark));
        else
            t.write(mark);
        EXPECT_EQ(FindGameFolder(t.path() / platform::PathFromUtf8(fm)), found ? t.path() : fs::path())
            << mark << " " << fm;
    }
}

TEST(GameResources, ArchivesAreFoundWhereInstallCfgSaysAndReadOnce)
{
    TempDir t;
    t.write("install.cfg", "; Thief 2\r\ninstall_path .\\\r\nRESNAME_BASE .\\Res+.\\extra+C:\\nowhere\r\n");
    t.write("res/fam.crf", CrfBytes({"core/blubrik1.pcx", "fam/city/win1.png"}));
    t.write("Extra/BOOKS.CRF", CrfBytes({"english/m16b66.str", "parch/book.pcx"}));
    t.write("Extra/obj.crf", "no zip archive");
    t.write("fam.crf", CrfBytes({"ignored/x.pcx"})); // the game folder is not named, so not looked in
    t.write("Extra/dark.gam", "gamesys");
    t.write("GEN.OSM", "module");
    GameResources game(t.path());
    ASSERT_TRUE(game.Known());
    const std::vector<const char*> textures = {".png", ".pcx"};
    EXPECT_EQ(game.Holds("fam", "core\\BLUBRIK1", textures), Held::Yes);
    EXPECT_EQ(game.Holds("FAM", "city\\win1", textures), Held::Yes); // the archive's own folder name in front
    EXPECT_EQ(game.Holds("fam", "ignored\\x", textures), Held::No);
    EXPECT_EQ(game.Holds("fam", "core\\blubrik1.pcx"), Held::Yes);
    EXPECT_EQ(game.Holds("books", "english\\m16b66", {".str"}), Held::Yes);
    EXPECT_EQ(game.HoldsBelow("books", "Parch"), Held::Yes);
    EXPECT_EQ(game.HoldsBelow("books", "pbook"), Held::No);
    EXPECT_EQ(game.Holds("mesh", "x", {".bin"}), Held::No); // no mesh.crf
    EXPECT_EQ(game.Holds("obj", "lamp", {".bin"}), Held::Unknown);
    ASSERT_EQ(game.Problems().size(), 1u);
    EXPECT_EQ(game.Problems()[0], "obj.crf: the file is not a zip archive");
    EXPECT_TRUE(game.HoldsFile("dark.gam"));
    EXPECT_TRUE(game.HoldsFile("gen.osm"));
    EXPECT_FALSE(game.HoldsFile("periapt.osm"));

    // Read once: the archive may go, the names stay known.
    fs::remove(t.path() / platform::PathFromUtf8("res/fam.crf"));
    EXPECT_EQ(game.Holds("fam", "core\\blubrik1", textures), Held::Yes);
}

TEST(GameResources, WithoutInstallCfgTheGameFolderAndItsResFolder)
{
    TempDir t;
    t.write("thief2.exe");
    t.write("RES/obj.crf", CrfBytes({"lamp.bin"}));
    EXPECT_EQ(GameResourceFolders(t.path()).size(), 2u);
    GameResources game(t.path());
    EXPECT_TRUE(game.Known());
    EXPECT_EQ(game.Holds("obj", "LAMP", {".bin"}), Held::Yes);

    TempDir bare;
    bare.write("cam.cfg");
    EXPECT_FALSE(GameResources(bare.path()).Known()); // no archive: nothing it lacks is known to be missing
    EXPECT_FALSE(GameResources().Known());
}
