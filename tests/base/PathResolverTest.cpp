#include "base/PathResolver.h"
#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "platform/File.h"
#include "support/System.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace lw;
using lw::test::OnWindows;
using lw::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The path of UTF-8 text, as the program makes it.
std::filesystem::path native(const std::string& utf8)
{
    return lw::platform::PathFromUtf8(utf8);
}

} // namespace

TEST(PathResolver, MatchesEveryComponentWithoutRegardToCase)
{
    TempDir tmp;
    tmp.write("Strings/English/TITLES.STR", "t");
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\english\\titles.str"), tmp.path() / "Strings/English/TITLES.STR");
    EXPECT_TRUE(FileExistsAt(native(tmp.dir()), "STRINGS/english/Titles.str"));
    EXPECT_FALSE(FileExistsAt(native(tmp.dir()), "strings\\english"));
    EXPECT_TRUE(DirExistsAt(native(tmp.dir()), "strings\\english"));
    // A new file goes into the existing directories, whatever their case.
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\french\\titles.str"), tmp.path() / "Strings/french/titles.str");
    // An exact match wins over another spelling (where a folder can hold
    // both).
    if (OnWindows) return;
    tmp.write("strings/english/titles.str", "exact");
    EXPECT_EQ(ResolvePath(tmp.path(), "strings\\english\\titles.str"), tmp.path() / "strings/english/titles.str");
}

TEST(PathResolver, RelativeEntries)
{
    TempDir tmp;
    tmp.write("fm/sub/a.txt");
    tmp.write("other/b.txt");
    EXPECT_EQ(RelativeEntry(native(tmp / "fm"), native(tmp / "fm/sub/a.txt")), "sub\\a.txt");
    EXPECT_EQ(RelativeEntry(native(tmp.dir() + "fm/"), native(tmp / "other/b.txt")), "..\\other\\b.txt");
    EXPECT_EQ(AsDirPath(native(tmp / "fm/sub/..")), tmp.dir() + "fm/");
}

TEST(PathResolver, DotDotGoesUpOneLevelFromTheDirectory)
{
    TempDir tmp;
    tmp.write("shared/x.wav");
    tmp.write("fm/sub/a.txt");
    // The FM directory as the project holds it ends with "/"; that must not
    // make the first ".." stay where it is.
    EXPECT_EQ(ResolvePath(native(tmp.dir() + "fm/"), "..\\shared\\x.wav"), tmp.path() / "shared/x.wav");
    EXPECT_EQ(ResolvePath(tmp.path() / "fm", "..\\SHARED\\X.WAV"), tmp.path() / "shared/x.wav");
    EXPECT_TRUE(FileExistsAt(native(tmp.dir() + "fm/"), "..\\shared\\x.wav"));
    EXPECT_FALSE(FileExistsAt(native(tmp.dir() + "fm/"), "..\\fm\\shared\\x.wav"));
    // "." and ".." inside the path are applied to the text first.
    EXPECT_EQ(ResolvePath(native(tmp.dir() + "fm/"), ".\\sub\\..\\sub\\.\\A.TXT"), tmp.path() / "fm/sub/a.txt");
    // Above the root is the root.
    EXPECT_EQ(ResolvePath(native(tmp.dir()), "\\..\\..\\tmp"), tmp.path().root_path() / "tmp");
}

TEST(PathResolver, OverlongPathsAreRefusedWithoutCrashing)
{
    TempDir tmp;
    tmp.write("fm/x.txt");
    const std::string fm = tmp.dir() + "fm/";
    std::string up;
    for (int i = 0; i < 30000; ++i) up += "..\\";
    std::string dots;
    for (int i = 0; i < 300000; ++i) dots += "./";
    const std::string slashes(300000, '/');
    for (const std::string& rel : {up + "x.txt", dots + "x.txt", slashes + "x.txt"}) {
        EXPECT_THROW(ResolvePath(native(fm), rel), Error);
        EXPECT_THROW(FileExistsAt(native(fm), rel), Error);
        PathIndex index;
        try {
            index.Resolve(native(fm), rel);
            ADD_FAILURE() << "no error for a path of " << rel.size() << " characters";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("too long"), std::string::npos) << e.what();
        }
    }
    // Within the length, too many parts are refused as well.
    std::string many;
    for (size_t i = 0; i <= MaxListedPathParts; ++i) many += "/";
    EXPECT_THROW(ResolvePath(native(fm), many + "x.txt"), Error);
    // The longest accepted paths still resolve.
    std::string deep;
    for (size_t i = 0; i + 2 < MaxListedPathParts; ++i) deep += ".\\";
    EXPECT_EQ(ResolvePath(native(fm), deep + "X.TXT"), tmp.path() / "fm/x.txt");
}

TEST(PathResolver, TwoSpellingsOfAFolderCostNoMoreThanOne)
{
    if (OnWindows) GTEST_SKIP() << "a Windows folder cannot hold two spellings of one name";
    TempDir tmp;
    tmp.write("strings/readme.txt");
    tmp.write("Strings/english/titles.str");
    // Each ".." back to the doubled folder doubled the search; 40 of them
    // would take longer than anyone waits.
    std::string rel;
    for (int i = 0; i < 40; ++i) rel += "strings\\..\\";
    EXPECT_EQ(ResolvePath(tmp.path(), rel + "strings\\english\\titles.str"), tmp.path() / "Strings/english/titles.str");
    EXPECT_FALSE(FileExistsAt(tmp.path(), rel + "strings\\english\\missing.str"));

    // Links make one folder appear under many names, which no reading of
    // the text can see: a folder is still entered once per part.
    tmp.write("loop/file.txt");
    std::filesystem::create_directory_symlink(".", tmp.path() / "loop/l");
    std::filesystem::create_directory_symlink(".", tmp.path() / "loop/L");
    std::string loops = "loop";
    for (int i = 0; i < 30; ++i) loops += "\\l"; // the system follows at most 40 links
    EXPECT_FALSE(FileExistsAt(tmp.path(), loops + "\\missing.txt"));
    EXPECT_TRUE(FileExistsAt(tmp.path(), loops + "\\FILE.TXT"));
    PathIndex index;
    EXPECT_FALSE(index.FileExists(tmp.path(), loops + "\\missing.txt"));
    EXPECT_TRUE(index.FileExists(tmp.path(), loops + "\\file.txt"));
}

TEST(PathResolver, TheIndexFindsWhatTheSingleLookupFinds)
{
    TempDir tmp;
    tmp.write("Strings/English/TITLES.STR", "t");
    tmp.write("strings/french/titles.str", "f");
    tmp.write("miss1.mis");
    PathIndex index;
    for (const char* rel : {"strings\\english\\titles.str", "STRINGS\\FRENCH\\Titles.str", "Miss1.MIS",
                            "strings\\german\\titles.str", "nothing\\here.txt", "strings\\english"}) {
        EXPECT_EQ(index.Resolve(tmp.path(), rel), ResolvePath(tmp.path(), rel)) << rel;
        EXPECT_EQ(index.FileExists(tmp.path(), rel), FileExistsAt(tmp.path(), rel)) << rel;
        EXPECT_EQ(index.DirExists(tmp.path(), rel), DirExistsAt(tmp.path(), rel)) << rel;
    }
    EXPECT_EQ(index.FindNameNoCase(tmp.path(), "STRINGS"), FindNameNoCase(tmp.path(), "STRINGS"));
    EXPECT_EQ(index.FindNameNoCase(tmp.path(), "none"), "");
}

TEST(PathResolver, LocateGivesWhatResolveGivesWithTheFilesInfo)
{
    TempDir tmp;
    tmp.write("fm/Strings/English/TITLES.STR", "titles");
    tmp.write("fm/strings/french/titles.str", "fr");
    tmp.write("fm/miss1.mis", "m1");
    tmp.write("fm/obj/lamp.bin", "lamp");
    tmp.write("shared/x.wav", "wave");
    std::vector<std::string> cases = {"strings\\english\\titles.str",
                                      "Strings\\English\\TITLES.STR",
                                      "STRINGS/FRENCH/Titles.str",
                                      "strings/french/titles.str",
                                      "miss1.mis",
                                      "Miss1.MIS",
                                      ".\\obj\\..\\obj\\lamp.bin",
                                      "..\\shared\\X.WAV",
                                      "obj\\\\lamp.bin",
                                      "obj",
                                      "nothing\\here.txt",
                                      "obj\\lamp.bin\\more"};
    if (!OnWindows) {
        // Two spellings side by side: each, spelled exactly, is itself.
        tmp.write("fm/obj/LAMP.bin", "another lamp");
        tmp.write("fm/Strings/french/other.str", "only in the other folder");
        for (const char* rel : {"obj/LAMP.bin", "obj/Lamp.bin", "strings/french/other.str"}) cases.push_back(rel);
    }
    const fs::path fm = tmp.path() / "fm";
    PathIndex located, resolved;
    for (const std::string& rel : cases) {
        platform::FileInfo info;
        info.exists = true; // whatever it held before is replaced
        const fs::path found = located.Locate(fm, rel, info);
        const fs::path expected = resolved.Resolve(fm, rel);
        EXPECT_EQ(found, expected) << rel;
        const platform::FileInfo want = platform::InfoOf(expected);
        EXPECT_EQ(info.exists, want.exists) << rel;
        EXPECT_EQ(info.isRegular, want.isRegular) << rel;
        EXPECT_EQ(info.isDirectory, want.isDirectory) << rel;
        EXPECT_EQ(info.size, want.size) << rel;
        EXPECT_EQ(info.index, want.index) << rel;
    }
    platform::FileInfo none;
    EXPECT_THROW(located.Locate(fm, std::string(MaxListedPathLength + 1, 'a'), none), Error);
}

TEST(PathResolver, LocateAgreesWithResolveWhetherNamesMostlyMatchTheDiskOrNot)
{
    // An index looks names up as spelled while most are found so, and goes
    // by its folder listings once most are not: runs of both kinds, back and
    // forth, must find what a fresh search finds.
    TempDir tmp;
    std::vector<std::string> exact, other;
    for (int i = 0; i < 40; ++i) {
        const std::string rel = "Obj/Set" + std::to_string(i % 4) + "/Tex" + std::to_string(i) + ".pcx";
        tmp.write("fm/" + rel, std::to_string(i));
        exact.push_back(rel);
        other.push_back(AsciiLower(rel));
    }
    if (!OnWindows) {
        tmp.write("fm/obj/Set1/tex1.pcx", "a lower-case folder beside Obj");
        tmp.write("fm/Obj/Set0/TEX0.PCX", "an upper-case name beside Tex0.pcx");
        for (const char* rel : {"obj/Set1/tex1.pcx", "Obj/Set0/TEX0.PCX"}) exact.push_back(rel);
    }
    std::vector<std::string> runs;
    auto run = [&](const std::vector<std::string>& names, size_t from, size_t count) {
        for (size_t i = 0; i < count; ++i) runs.push_back(names[(from + i) % names.size()]);
    };
    run(exact, 0, 10);
    run(other, 0, 30); // now misses outnumber hits
    run(exact, 0, exact.size());
    run(other, 10, 5);
    run(exact, 0, exact.size()); // hits outnumber misses again
    run(other, 20, 20);
    runs.push_back("Obj/Set9/none.pcx");
    runs.push_back("obj/set2");
    const fs::path fm = tmp.path() / "fm";
    PathIndex index;
    for (const std::string& rel : runs) {
        platform::FileInfo info;
        const fs::path found = index.Locate(fm, rel, info);
        const fs::path expected = ResolvePath(fm, rel);
        EXPECT_EQ(found, expected) << rel;
        const platform::FileInfo want = platform::InfoOf(expected);
        EXPECT_EQ(info.exists, want.exists) << rel;
        EXPECT_EQ(info.isRegular, want.isRegular) << rel;
        EXPECT_EQ(info.index, want.index) << rel;
    }
}

TEST(PathResolver, IndexesSharingFoldersOnThreadsFindWhatOneIndexFinds)
{
    TempDir tmp;
    std::vector<std::string> listed;
    for (int i = 0; i < 300; ++i) {
        const std::string folder = std::string(i % 3 == 0 ? "Obj" : "Fam") + "/Set" + std::to_string(i % 7);
        const std::string name = "Tex" + std::to_string(i) + ".pcx";
        tmp.write("fm/" + folder + "/" + name, std::to_string(i));
        // As lists written on Windows have them: some names in another case.
        listed.push_back(i % 2 ? folder + "\\" + name : AsciiLower(folder) + "/" + AsciiLower(name));
    }
    listed.push_back("nothing/here.txt");
    listed.push_back("OBJ/set0");
    if (!OnWindows) {
        // Spellings side by side: the exact one wins, else the first listed.
        tmp.write("fm/fam/Set1/tex1.pcx", "lower-case folder");
        tmp.write("fm/Obj/Set0/TEX0.PCX", "upper-case name");
        for (const char* rel : {"fam/Set1/tex1.pcx", "FAM/SET1/TEX1.PCX", "Obj/Set0/TEX0.PCX", "obj/set0/tex0.pcx"})
            listed.push_back(rel);
    }
    const fs::path fm = tmp.path() / "fm";
    struct Found {
        fs::path path;
        bool exists = false, isFile = false;
        uint64_t index = 0;
    };
    std::vector<Found> alone(listed.size()), shared(listed.size());
    PathIndex one;
    for (size_t i = 0; i < listed.size(); ++i) {
        platform::FileInfo info;
        alone[i].path = one.Locate(fm, listed[i], info);
        alone[i].exists = info.exists;
        alone[i].index = info.index;
        alone[i].isFile = one.FileExists(fm, listed[i]);
    }
    FolderCache folders;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            PathIndex index(folders);
            // Every thread asks about every folder, each from another start.
            for (size_t k = 0; k < listed.size(); ++k) {
                const size_t i = (k + t * listed.size() / 4) % listed.size();
                if (i % 4 != t) continue;
                platform::FileInfo info;
                shared[i].isFile = index.FileExists(fm, listed[i]);
                shared[i].path = index.Locate(fm, listed[i], info);
                shared[i].exists = info.exists;
                shared[i].index = info.index;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(shared[i].path, alone[i].path) << listed[i];
        EXPECT_EQ(shared[i].exists, alone[i].exists) << listed[i];
        EXPECT_EQ(shared[i].index, alone[i].index) << listed[i];
        EXPECT_EQ(shared[i].isFile, alone[i].isFile) << listed[i];
    }
    EXPECT_EQ(std::count_if(alone.begin(), alone.end(), [](const Found& f) { return f.isFile; }),
              OnWindows ? 300 : 304);
    if (!OnWindows) {
        EXPECT_EQ(alone[listed.size() - 4].path, fm / "fam/Set1/tex1.pcx");
        EXPECT_EQ(alone[listed.size() - 2].path, fm / "Obj/Set0/TEX0.PCX");
    }
}

// Inputs that once crashed or hung the resolver, kept as files.
TEST(PathResolver, RecordedRegressionsResolveOrFailCleanly)
{
    TempDir tmp;
    tmp.write("fm/strings/readme.txt");
    tmp.write("fm/Strings/english/titles.str");
    const std::filesystem::path dir = std::filesystem::path(LW_FIXTURES) / "../fuzz/regressions/path_resolver";
    size_t seen = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string rel = ReadWholeFile(e.path());
        ++seen;
        try {
            PathIndex index;
            EXPECT_EQ(index.Resolve(native(tmp.dir() + "fm/"), rel), ResolvePath(native(tmp.dir() + "fm/"), rel));
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
    }
    EXPECT_GE(seen, 4u);
}

TEST(PathResolver, NamesWindowsCannotCreate)
{
    for (const char* ok : {"titles.str", "miss1.mis", "CONSOLE.txt", "COM0", "LPT10.txt", "a b.txt", ".hidden",
                           "nul-ish", "caf\xc3\xa9.txt"})
        EXPECT_EQ(WindowsNameProblem(ok), "") << ok;
    for (const char* bad : {"what?.txt",
                            "a:b",
                            "notes<draft>.txt",
                            "|pipe.txt",
                            "star*.txt",
                            "quote\".txt",
                            "back\\slash",
                            "name.",
                            "name ",
                            "CON",
                            "con.txt",
                            "Nul.tar.gz",
                            "aux",
                            "PRN.str",
                            "com1",
                            "COM9.log",
                            "lpt1.txt",
                            "LPT9",
                            "CON .txt",
                            "tab\there",
                            "\x1f",
                            ""}) {
        const std::string why = WindowsNameProblem(bad);
        EXPECT_NE(why, "") << bad;
    }
    EXPECT_NE(WindowsNameProblem("what?.txt").find('?'), std::string::npos);
    EXPECT_NE(WindowsNameProblem("con.txt").find("device"), std::string::npos);
    EXPECT_NE(WindowsNameProblem("name.").find("dot"), std::string::npos);
}
