#include "core/fm/Packaging.h"
#include "base/PathResolver.h"
#include "core/fm/Project.h"
#include "core/zip/ZipArch.h"
#include "core/zip/ZipMessages.h"
#include "support/FileSizeLimit.h"
#include "support/System.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

using namespace lw;
using lw::test::TempDir;

namespace {

std::vector<std::string> entriesOf(const std::string& zip)
{
    TZipArchiver z;
    z.SetUnattended(true);
    z.SetZipFileName(zip);
    std::vector<std::string> names;
    for (const ZipDirEntry& e : z.DirEntries()) names.push_back(e.EntryName);
    return names;
}

void layFM(const TempDir& t)
{
    t.write("thief2.exe");
    lw::test::MissionSpec mission;
    mission.padding = std::string(50000, 'm');
    t.write("miss1.mis", lw::test::MissionBytes(mission));
    t.write("Strings/English/Titles.str", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\n");
    t.write("intrface/miss1/english/goals.str", "goal_0:\"Ring\"\r\n");
    t.write("bell.lst", "miss1.mis\r\nstrings/english/titles.str\r\nintrface\\miss1\\english\\goals.str\r\n");
}

} // namespace

TEST(Packaging, SizeTextSteps)
{
    EXPECT_EQ(SizeText(0), "0B");
    EXPECT_EQ(SizeText(511), "511B");
    EXPECT_EQ(SizeText(512), "0.50KB");
    EXPECT_EQ(SizeText(600), "0.59KB");
    EXPECT_EQ(SizeText(1000000), "0.95MB");
    EXPECT_EQ(SizeText(uint64_t(600) << 20), "0.59GB");
    EXPECT_EQ(SizeText(uint64_t(3) << 40), "3072.00GB");
    EXPECT_EQ(SizeText(600, ','), "0,59KB");
}

TEST(Packaging, PackCommandMakesTheArchive)
{
    TempDir t;
    layFM(t);
    std::ostringstream out, err;
    ASSERT_EQ(RunPack(t / "bell.lst", "", out, err, false), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    // The short name comes from the titles file; entries keep list order and
    // are named as the files are on disk. The flag file went into the
    // strings directory that was there, whatever its case.
    EXPECT_EQ(entriesOf(t / "bell.zip"),
              (std::vector<std::string>{"miss1.mis", "Strings\\English\\Titles.str",
                                        "intrface\\miss1\\english\\goals.str", "Strings\\missflag.str"}));
    EXPECT_TRUE(t.exists("Strings/missflag.str")); // the string files were written first
    EXPECT_NE(out.str().find("bell.zip"), std::string::npos);

    ASSERT_EQ(RunPack(t / "bell.lst", t / "custom.zip", out, err, false), 0);
    EXPECT_TRUE(t.exists("custom.zip"));
}

// Loaders without fm.ini date an FM by its info file's entry: with a
// release date, that entry and the string files' carry it. The command
// line updates an fm.ini the FM has, and makes none.
TEST(Packaging, TheReleaseDateDatesTheEntriesLoadersReadItFrom)
{
    TempDir t;
    layFM(t);
    t.write("fminfo.txt", "Title: Bell\r\n");
    t.write("bell.lst", "fminfo.txt\r\nmiss1.mis\r\nstrings/english/titles.str\r\n");
    auto datesOf = [&](const std::string& zip) {
        TZipArchiver z;
        z.SetUnattended(true);
        z.SetZipFileName(zip);
        std::map<std::string, std::string> dates;
        for (const ZipDirEntry& e : z.DirEntries()) {
            const unsigned d = e.DateTime >> 16;
            dates[e.EntryName] =
                std::to_string((d >> 9) + 1980) + "-" + std::to_string((d >> 5) & 15) + "-" + std::to_string(d & 31);
        }
        return dates;
    };
    std::ostringstream out, err;
    ASSERT_EQ(RunPack(t / "bell.lst", "", out, err, false), 0) << err.str();
    EXPECT_FALSE(t.exists("fm.ini"));
    EXPECT_EQ(datesOf(t / "bell.zip").count("fm.ini"), 0u);

    t.write("fm.ini", "ReleaseDate=664746C0\r\n"); // 17 May 2024, 12:00 UTC
    ASSERT_EQ(RunPack(t / "bell.lst", "", out, err, false), 0) << err.str();
    EXPECT_EQ(t.read("fm.ini"), "ReleaseDate=664746C0\r\nNiceName=Bell\r\nInfoFile=fminfo.txt\r\n");
    const auto dates = datesOf(t / "bell.zip");
    ASSERT_EQ(dates.size(), 5u);
    for (const char* dated : {"fminfo.txt", "Strings\\English\\Titles.str", "Strings\\missflag.str"})
        EXPECT_EQ(dates.at(dated), "2024-5-17") << dated;
    for (const char* own : {"miss1.mis", "fm.ini"}) EXPECT_NE(dates.at(own), "2024-5-17") << own;

    // An archive name loaders would change is said, with the folder they make.
    std::ostringstream out2, err2;
    ASSERT_EQ(RunPack(t / "bell.lst", t / "Bell Tower v1.2.zip", out2, err2, false), 0) << err2.str();
    EXPECT_EQ(err2.str().substr(0, err2.str().find(", where")),
              "warning: Bell Tower v1.2.zip: Loaders install this archive into the folder \"Bell_Tower_v1_2\"");
}

TEST(Packaging, PackCommandFailuresSayWhy)
{
    TempDir t;
    layFM(t);
    std::ostringstream out, err;
    EXPECT_NE(RunPack(t / "nothing.lst", "", out, err, false), 0);
    EXPECT_NE(err.str().find("nothing.lst"), std::string::npos);

    // Every file that cannot be packed is named, and --force packs none of them.
    t.write("missing.lst", "miss1.mis\r\nmiss2.mis\r\nfam\\stone.pcx\r\n");
    for (const bool force : {false, true}) {
        err.str("");
        EXPECT_NE(RunPack(t / "missing.lst", t / "missing.zip", out, err, false, force), 0);
        for (const char* name :
             {"error: miss2.mis: Listed, but not found", "error: fam\\stone.pcx: Listed, but not found"})
            EXPECT_NE(err.str().find(name), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("--force packs anyway"), std::string::npos) << err.str();
        EXPECT_FALSE(t.exists("missing.zip"));
    }

    TempDir noGame;
    noGame.write("a.txt");
    noGame.write("a.lst", "a.txt\r\n");
    err.str("");
    EXPECT_NE(RunPack(noGame / "a.lst", "", out, err, false), 0);
    EXPECT_NE(err.str().find("game"), std::string::npos);
    const std::string reason = err.str();
    EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << reason;

    err.str("");
    EXPECT_NE(RunPack(t / "bell.lst", t / "no/such/dir/x.zip", out, err, false), 0);
    EXPECT_FALSE(t.exists("no"));
}

TEST(Packaging, AFailedRunKeepsTheEarlierArchive)
{
    TempDir t;
    layFM(t);
    const std::string earlier("PK\x05\x06" + std::string(18, '\0')); // an empty archive
    t.write("bell.zip", earlier);
    Project p;
    p.FMInfo.FMDir = t.dir();
    p.Files = {"miss1.mis", "strings\\english\\titles.str"};
    TZipArchiver z;
    ConfigureFMZipper(z);
    z.SetUnattended(true);
    p.Files.push_back("big.bin");
    t.write("big.bin", std::string(1, 'x'));
    std::mt19937 random(7);
    std::string noise;
    for (int i = 0; i < 20000; ++i) noise += char(random() & 0xFF); // does not compress
    t.write("miss1.mis", noise);
    bool made;
    {
        lw::test::FileSizeLimit limit(1000); // the archive cannot be written past 1000 bytes
        if (!limit.Active()) GTEST_SKIP() << limit.WhyNot();
        made = bool(PackProject(z, p, t / "bell.zip"));
    }
    EXPECT_FALSE(made);
    EXPECT_EQ(t.read("bell.zip"), earlier);
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(t.path()))
        files += lw::platform::Utf8Of(e.path().filename())[0] == '.';
    EXPECT_EQ(files, 0u) << "a temporary file was left behind";

    // Then a run that can write replaces it.
    ASSERT_TRUE(PackProject(z, p, t / "bell.zip"));
    EXPECT_EQ(entriesOf(t / "bell.zip").size(), 3u);

    // An empty list makes no archive, and does not spoil the runs after it.
    const std::vector<std::string> listed = p.Files;
    p.Files.clear();
    EXPECT_FALSE(PackProject(z, p, t / "empty.zip"));
    EXPECT_FALSE(t.exists("empty.zip"));
    p.Files = listed;
    ASSERT_TRUE(PackProject(z, p, t / "again.zip"));
    EXPECT_EQ(entriesOf(t / "again.zip").size(), 3u);
}

TEST(Packaging, FilesOutsideTheFMDirectoryAreFoundAndPacked)
{
    TempDir t;
    t.write("fm/thief2.exe");
    t.write("fm/miss1.mis", lw::test::PlainMission());
    t.write("shared/x.wav", "sound");
    t.write("fm/bell.lst", "miss1.mis\r\n..\\shared\\x.wav\r\n..\\SHARED\\X.WAV\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(RunPack(t / "fm/bell.lst", t / "fm/bell.zip", out, err, false), 0) << err.str();
    // Stored under the relative path without its leading "..".
    EXPECT_EQ(entriesOf(t / "fm/bell.zip"),
              (std::vector<std::string>{"miss1.mis", "shared\\x.wav", "strings\\missflag.str"}));
}

TEST(Packaging, OneFileListedInTwoSpellingsIsPackedOnce)
{
    // As on a disk that ignores case: both spellings open the one file.
    if (lw::test::OnWindows) GTEST_SKIP() << "two spellings of one name cannot exist side by side there";
    TempDir t;
    layFM(t);
    std::filesystem::create_hard_link(t.path() / "miss1.mis", t.path() / "MISS1.MIS");
    t.write("bell.lst", "miss1.mis\r\nMISS1.MIS\r\n");
    // The engine alone (past the check), then with the check, which finds
    // no error in it.
    for (const bool force : {true, false}) {
        std::ostringstream out, err;
        ASSERT_EQ(RunPack(t / "bell.lst", t / "bell.zip", out, err, false, force), 0) << err.str();
        EXPECT_EQ(entriesOf(t / "bell.zip"), (std::vector<std::string>{"miss1.mis", "Strings\\missflag.str"}));
    }
}

TEST(Packaging, ListedNamesAreFileNamesNotPatterns)
{
    if (lw::test::OnWindows) GTEST_SKIP() << "names with < | ? cannot exist on a Windows disk";
    TempDir t;
    layFM(t);
    t.write("whatA.txt", "not listed");
    t.write("notes<draft>.txt", "draft");
    t.write("|pipe.txt", "pipe");
    t.write("what?.txt", "what");
    for (const char* name : {"notes<draft>.txt", "|pipe.txt", "what?.txt"}) {
        t.write("odd.lst", std::string("miss1.mis\r\n") + name + "\r\n");
        std::ostringstream out, err;
        // The check refuses it, --force or not.
        EXPECT_NE(RunPack(t / "odd.lst", t / "odd.zip", out, err, false, true), 0) << name;
        EXPECT_NE(err.str().find(std::string("error: ") + name + ": Windows cannot unpack"), std::string::npos)
            << err.str();
        // Past the check, the packer refuses it too. The whole name is the
        // file's: it is found, and refused only because Windows could not
        // unpack it.
        Project p;
        std::ostringstream none;
        FolderCache folders;
        ASSERT_TRUE(OpenForCommandLine(p, t / "odd.lst", none, folders));
        TZipArchiver z;
        ConfigureFMZipper(z);
        const PackResult result = PackProject(z, p, t / "odd.zip");
        EXPECT_FALSE(result);
        EXPECT_NE(result.reason.find(std::string("\"") + name + "\" cannot be packed"), std::string::npos)
            << result.reason;
        EXPECT_EQ(result.reason.find("Cannot find"), std::string::npos) << result.reason;
        EXPECT_FALSE(t.exists("odd.zip"));
    }
    // Two files stored under one name: the packer stores by the check's rule.
    TempDir outer;
    outer.write("x.bin", "outside");
    for (const char* name : {"fm/thief2.exe", "fm/miss1.mis", "fm/x.bin"}) outer.write(name);
    outer.write("fm/odd.lst", "miss1.mis\r\nobj\\..\\..\\x.bin\r\nx.bin\r\n");
    Project p;
    std::ostringstream none;
    FolderCache folders;
    ASSERT_TRUE(OpenForCommandLine(p, outer / "fm/odd.lst", none, folders));
    TZipArchiver z;
    ConfigureFMZipper(z);
    const PackResult twice = PackProject(z, p, outer / "odd.zip");
    EXPECT_FALSE(twice);
    EXPECT_NE(twice.reason.find("Two entries would be stored as \"x.bin\""), std::string::npos) << twice.reason;
}

TEST(Packaging, ThePreviousPackageIsNeverPackedIntoTheNextOne)
{
    TempDir t;
    layFM(t);
    // Listed, it is a file of the FM, which the package must not replace.
    t.write("bell.lst", "miss1.mis\r\nbell.zip\r\n");
    t.write("bell.zip", "an old package");
    std::ostringstream out, err;
    ASSERT_NE(RunPack(t / "bell.lst", "", out, err, false, true), 0);
    EXPECT_NE(err.str().find("listed file \"bell.zip\""), std::string::npos) << err.str();
    EXPECT_EQ(t.read("bell.zip"), "an old package");
    // Not listed, it is replaced, and the next run neither nests it nor grows.
    t.write("bell.lst", "miss1.mis\r\n");
    t.write("bell.zip", "PK\x05\x06" + std::string(18, '\0'));
    ASSERT_EQ(RunPack(t / "bell.lst", "", out, err, false), 0) << err.str();
    EXPECT_EQ(entriesOf(t / "bell.zip"), (std::vector<std::string>{"miss1.mis", "Strings\\missflag.str"}));
    const std::string first = t.read("bell.zip");
    ASSERT_EQ(RunPack(t / "bell.lst", "", out, err, false), 0) << err.str();
    EXPECT_EQ(entriesOf(t / "bell.zip").size(), 2u);
    EXPECT_EQ(t.read("bell.zip").size(), first.size());
}

TEST(Packaging, TheZipperGetsTheMessageTextsAndKeepsItsDefaults)
{
    TZipArchiver z;
    ConfigureFMZipper(z);
    // A message in words instead of its number.
    EXPECT_EQ(z.ZipLoadStr(ZipMsg::NothingToAdd), ZipMessageText(ZipMsg::NothingToAdd));
    EXPECT_NE(z.ZipLoadStr(ZipMsg::NothingToAdd), "");
    // A number without a text keeps the caller's default: a secondary
    // step's item text stays its file name.
    EXPECT_EQ(z.ZipLoadStr(ZipMsg::ExtraStepBase + 2, "step.txt"), "step.txt");
}

TEST(Packaging, ARunThatMakesNoArchiveSaysWhy)
{
    TempDir t;
    layFM(t);
    TZipArchiver z;
    ConfigureFMZipper(z);
    Project p;
    p.FMInfo.FMDir = t.dir();

    const PackResult empty = PackProject(z, p, t / "bell.zip");
    EXPECT_FALSE(empty.made);
    EXPECT_NE(empty.reason.find("file list is empty"), std::string::npos) << empty.reason;

    // Only the archive itself is listed: refused, and why.
    t.write("bell.zip", "old");
    p.Files = {"bell.zip"};
    const PackResult nothing = PackProject(z, p, t / "bell.zip");
    EXPECT_FALSE(nothing.made);
    EXPECT_NE(nothing.reason.find("listed file"), std::string::npos) << nothing.reason;
    EXPECT_EQ(t.read("bell.zip"), "old");

    // The finished archive cannot take the chosen name.
    p.Files = {"miss1.mis"};
    t.write("taken.zip/inside.txt", "a folder of that name");
    const PackResult blocked = PackProject(z, p, t / "taken.zip");
    EXPECT_FALSE(blocked.made);
    EXPECT_NE(blocked.reason.find("taken.zip"), std::string::npos) << blocked.reason;
    EXPECT_TRUE(z.Unattended() == false); // the component's setting is left as it was

    const PackResult made = PackProject(z, p, t / "good.zip");
    EXPECT_TRUE(made.made) << made.reason;
    EXPECT_TRUE(made.notes.empty());
}
