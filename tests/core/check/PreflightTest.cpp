// The check: a clean FM reports nothing, and each fixture that breaks one
// rule reports exactly that fault.
#include "core/check/Preflight.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/check/LoaderRules.h"
#include "core/fm/Project.h"
#include "platform/File.h"
#include "support/ScriptedQuestions.h"
#include "support/System.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using namespace lw;
using lw::test::ScriptedQuestions;
using lw::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char* kInfo = "Title  : Shadows of the Bell\r\nAuthor : Someone\r\n";
const char* kList = "fminfo.txt\r\nstrings\\missflag.str\r\nmiss1.mis\r\nmiss2.mis\r\nstrings\\english\\titles.str\r\n"
                    "obj\\lamp.bin\r\nbell.gam\r\nintrface\\miss1\\goals.str\r\nintrface\\miss2\\goals.str\r\n";
constexpr int kListed = 9; // the entries kList holds

// A Thief 2 FM with two missions that checks clean, in dir below t.
void layCleanFM(const TempDir& t, const std::string& dir = "")
{
    t.write(dir + "thief2.exe");
    t.write(dir + "fminfo.txt", kInfo);
    // Missions that use the FM's own gamesys and lamp, and nothing else.
    lw::test::MissionSpec mission;
    mission.gamesys = "bell.gam";
    mission.models = {{1, "lamp"}};
    mission.archetypes = {"Object", "RopeyArrow"};
    t.write(dir + "miss1.mis", lw::test::MissionBytes(mission));
    t.write(dir + "miss2.mis", lw::test::MissionBytes(mission));
    lw::test::MissionSpec gamesys;
    gamesys.gamesys.clear();
    t.write(dir + "bell.gam", lw::test::MissionBytes(gamesys));
    t.write(dir + "intrface/miss1/goals.str", "goal_0:\"Reach the tower\"\r\n");
    t.write(dir + "intrface/miss2/goals.str", "goal_0:\"Ring the bell\"\r\n");
    t.write(dir + "obj/lamp.bin", "lamp");
    t.write(dir + "strings/missflag.str", "miss_1:\"\"\r\nmiss_2:\"end\"\r\n");
    t.write(dir + "strings/english/titles.str", "title_0:\"Shadows of the Bell\"\r\nshort_0:\"bell\"\r\n"
                                                "title_1:\"Tower\"\r\ntitle_2:\"Chapel\"\r\n");
    t.write(dir + "bell.lst", kList);
}

// folders: what the open read, handed on to the check (as --pack does).
std::vector<Finding> checkList(const TempDir& t, const std::function<void(Project&)>& change = {},
                               FolderCache* folders = nullptr)
{
    Project p;
    ScriptedQuestions q;
    EXPECT_TRUE(p.Open(t / "bell.lst", q, folders)) << (q.messages.empty() ? "" : q.messages.back());
    if (change) change(p);
    return CheckProject(p, folders);
}

// As the command line opens a list: files that are not there stay listed.
std::vector<Finding> checkKept(const TempDir& t, Project* opened = nullptr)
{
    Project p;
    ScriptedQuestions q;
    EXPECT_TRUE(p.Open(t / "bell.lst", q, nullptr, Project::MissingFiles::Keep));
    EXPECT_TRUE(q.folderRequests.empty() && q.messages.empty());
    if (opened) *opened = p;
    return CheckProject(p);
}

std::string describe(const std::vector<Finding>& findings)
{
    std::string s;
    for (const Finding& f : findings) s += FindingLine(f) + "\n";
    return s;
}

// The one finding there is, after the clean FM was broken.
#define EXPECT_ONLY(findings, sev, fileName)                            \
    do {                                                                \
        const auto& fs_ = (findings);                                   \
        ASSERT_EQ(fs_.size(), 1u) << describe(fs_);                     \
        EXPECT_EQ(fs_[0].severity, sev) << describe(fs_);               \
        EXPECT_EQ(fs_[0].file, std::string(fileName)) << describe(fs_); \
    } while (0)

} // namespace

TEST(Preflight, ACleanFMAndTheSampleReportNothing)
{
    TempDir t;
    layCleanFM(t);
    EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));

    Project sample;
    ScriptedQuestions q;
    ASSERT_TRUE(sample.Open(std::string(LW_SAMPLE_DIR) + "/ShadowsOfTheBell/bell.lst", q));
    EXPECT_TRUE(CheckProject(sample).empty()) << describe(CheckProject(sample));
}

TEST(Preflight, ListedFiles)
{
    {
        TempDir t;
        layCleanFM(t);
        // Removed from the disk after the list was opened: the missions'
        // model is then nowhere the check can see.
        const auto found = checkList(t, [&](Project&) { fs::remove(t.path() / "obj/lamp.bin"); });
        ASSERT_EQ(found.size(), 2u) << describe(found);
        EXPECT_EQ(found[0].severity, Severity::Error);
        EXPECT_EQ(found[0].file, "obj\\lamp.bin");
        EXPECT_EQ(found[0].entry, 5);
        EXPECT_EQ(found[1].severity, Severity::Note) << describe(found);
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("bell.lst", std::string(kList) + "obj\\LAMP.bin\r\n"); // the same file, spelled otherwise
        EXPECT_ONLY(checkList(t), Severity::Warning, "obj\\LAMP.bin");
    }
    // Where the disk ignores case, a name spelled otherwise opens the same
    // file without being its spelling on the disk; two links to one file
    // in two spellings are found the same way here.
    if (!lw::test::OnWindows) {
        TempDir t;
        layCleanFM(t);
        fs::create_hard_link(t.path() / "obj/lamp.bin", t.path() / "obj/LAMP.BIN");
        t.write("bell.lst", std::string(kList) + "obj\\LAMP.BIN\r\n");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, "obj\\LAMP.BIN");
        EXPECT_EQ(found[0].message, "Is listed twice (also as \"obj\\lamp.bin\")");
    }
    // Files Windows cannot tell apart or create come from other systems'
    // disks only.
    if (!lw::test::OnWindows) {
        TempDir t;
        layCleanFM(t);
        t.write("obj/Lamp.bin", "another lamp"); // two files Windows cannot tell apart
        t.write("bell.lst", std::string(kList) + "obj\\Lamp.bin\r\n");
        EXPECT_ONLY(checkList(t), Severity::Error, "obj\\Lamp.bin");
    }
    for (const char* odd : {"notes<draft>.txt", "a:b.txt", "trailing.", "AUX.txt", "what?.txt"}) {
        if (lw::test::OnWindows) break;
        TempDir t;
        layCleanFM(t);
        t.write(odd, "odd");
        t.write("bell.lst", std::string(kList) + odd + "\r\n");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Error, odd);
        EXPECT_NE(found[0].message.find("Windows"), std::string::npos) << found[0].message;
    }
    {
        TempDir t;
        layCleanFM(t, "fm/");
        t.write("shared/x.wav", "wave");
        t.write("fm/bell.lst", std::string(kList) + "..\\shared\\x.wav\r\n");
        Project p;
        ScriptedQuestions q;
        ASSERT_TRUE(p.Open(t / "fm/bell.lst", q));
        const auto found = CheckProject(p);
        EXPECT_ONLY(found, Severity::Warning, "..\\shared\\x.wav");
        EXPECT_NE(found[0].message.find("\"shared\\x.wav\""), std::string::npos) << found[0].message;
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("empty.txt", "");
        t.write("old.zip", "PK");
        t.write("bell.lst", std::string(kList) + "empty.txt\r\nold.zip\r\n");
        const auto found = checkList(t);
        ASSERT_EQ(found.size(), 2u) << describe(found);
        EXPECT_EQ(found[0].severity, Severity::Note);
        EXPECT_EQ(found[0].file, "empty.txt");
        EXPECT_EQ(found[1].severity, Severity::Warning);
        EXPECT_EQ(found[1].file, "old.zip");
    }
}

// A list of thousands is looked at in parts, at once: every fault is still
// found once, against the right entry, wherever the parts are cut, and an
// entry compared with one far before it finds it.
TEST(Preflight, AThousandsLongListIsCheckedAsOne)
{
    TempDir t;
    layCleanFM(t);
    constexpr int kMany = 2400;
    std::string list = kList;
    const int first = kListed;
    for (int i = 0; i < kMany; ++i) {
        const std::string name = "snd\\f" + std::to_string(i) + ".wav";
        // Some in another case than the disk, as lists written on Windows have them.
        list += (i % 7 == 3 && i % 97 != 13 ? "SND\\F" + std::to_string(i) + ".WAV" : name) + "\r\n";
        t.write("snd/f" + std::to_string(i) + ".wav", "x");
    }
    list += "SND\\F5.WAV\r\n";   // the same file as an early entry, spelled otherwise
    list += "obj\\lamp.bin\r\n"; // listed twice, first in kList
    t.write("bell.lst", list);
    // Every 97th one is gone from the disk after the list was opened.
    auto removeSome = [&](Project&) {
        for (int i = 13; i < kMany; i += 97)
            fs::remove(t.path() / lw::platform::PathFromUtf8("snd/f" + std::to_string(i) + ".wav"));
    };
    const auto found = checkList(t, removeSome);

    std::vector<Finding> expected;
    for (int i = 0; i < kMany; ++i)
        if (i % 97 == 13)
            expected.push_back(
                {Severity::Error, "snd\\f" + std::to_string(i) + ".wav", "Listed, but not found", first + i, true});
    expected.push_back({Severity::Warning, "SND\\F5.WAV", "Is listed twice (also as \"snd\\f5.wav\")", first + kMany});
    expected.push_back(
        {Severity::Warning, "obj\\lamp.bin", "Is listed twice (also as \"obj\\lamp.bin\")", first + kMany + 1});
    EXPECT_EQ(describe(found), describe(expected));
    EXPECT_EQ(found, expected);

    // The folders the open read, handed on to the check, change nothing:
    // not even for the files removed since.
    for (int i = 0; i < kMany; ++i) t.write("snd/f" + std::to_string(i) + ".wav", "x");
    FolderCache folders;
    const auto shared = checkList(t, removeSome, &folders);
    EXPECT_EQ(describe(shared), describe(expected));
}

// An author who renames a file or folder in another case between the open
// and the check (or whose editor saves it so) still has it listed: the
// folders the open read must not make the check miss it.
TEST(Preflight, FilesRenamedInAnotherCaseAfterTheOpenAreStillFound)
{
    TempDir t;
    layCleanFM(t);
    // Spelled as a list written on Windows spells it, not as the disk.
    t.write("bell.lst", std::string(kList) + "OBJ\\LAMP.BIN\r\nobj\\tree.bin\r\n");
    t.write("obj/tree.bin", "tree");
    if (t.exists("OBJ/LAMP.BIN")) GTEST_SKIP() << "names here ignore case";
    auto renameOne = [&](Project&) {
        fs::rename(t.path() / "obj" / "lamp.bin", t.path() / "obj" / "Lamp.bin");
        fs::rename(t.path() / "obj" / "tree.bin", t.path() / "obj" / "Tree.bin");
    };
    auto restore = [&] {
        fs::rename(t.path() / "obj" / "Lamp.bin", t.path() / "obj" / "lamp.bin");
        fs::rename(t.path() / "obj" / "Tree.bin", t.path() / "obj" / "tree.bin");
    };
    const auto fresh = checkList(t, renameOne);
    restore();
    FolderCache folders;
    const auto shared = checkList(t, renameOne, &folders);
    EXPECT_EQ(describe(shared), describe(fresh));
    EXPECT_EQ(shared, fresh);
}

TEST(Preflight, ForgottenResourcesAreCountedPerFolder)
{
    TempDir t;
    layCleanFM(t);
    for (const char* name : {"snd/tower/a.wav", "snd/tower/b.wav", "snd/c.wav", "snd/d.wav"}) t.write(name, "wave");
    t.write("notes/todo.txt", "not a resource folder");
    const auto found = checkList(t);
    EXPECT_ONLY(found, Severity::Warning, "snd");
    EXPECT_NE(found[0].message.find("4 files"), std::string::npos) << found[0].message;
    EXPECT_NE(found[0].message.find("snd\\c.wav, snd\\d.wav, snd\\tower\\a.wav, …"), std::string::npos)
        << found[0].message;

    // Found together, the listed files' findings come first, as the list reads.
    t.write("empty.txt", "");
    t.write("bell.lst", std::string(kList) + "empty.txt\r\n");
    const auto both = checkList(t);
    ASSERT_EQ(both.size(), 2u) << describe(both);
    EXPECT_EQ(both[0].severity, Severity::Note) << describe(both);
    EXPECT_EQ(both[0].file, "empty.txt");
    EXPECT_EQ(both[1].file, "snd");

    // Thief 2x keeps its resources below t2x\.
    TempDir x;
    layCleanFM(x);
    x.write("t2x/t2x.gam");
    x.write("t2x/strings/missflag.str", "miss_1:\"\"\r\nmiss_2:\"end\"\r\n");
    x.write("t2x/snd/bell.wav", "ding");
    std::string t2xList = kList;
    t2xList.replace(t2xList.find("strings\\missflag.str"), 0, "t2x\\");
    x.write("bell.lst", t2xList);
    EXPECT_ONLY(checkList(x), Severity::Warning, "t2x\\snd");
}

TEST(Preflight, ForgottenFilesCountFileLinksButNotWhatFolderLinksLeadTo)
{
    TempDir t;
    if (!t.SymlinksWork()) GTEST_SKIP() << TempDir::NoSymlinks;
    layCleanFM(t);
    t.write("elsewhere/big/one.wav", "1");
    t.write("elsewhere/big/two.wav", "2");
    t.write("elsewhere/single.wav", "s");
    fs::create_directories(t.path() / "snd");
    // Unpacked, a folder link is no folder of the FM; a file link is a file.
    fs::create_directory_symlink(t.path() / "elsewhere/big", t.path() / "snd/linked");
    fs::create_symlink(t.path() / "elsewhere/single.wav", t.path() / "snd/single.wav");
    const auto found = checkList(t);
    EXPECT_ONLY(found, Severity::Warning, "snd");
    EXPECT_NE(found[0].message.find("1 file in this folder is not listed: snd\\single.wav"), std::string::npos)
        << found[0].message;

    // Listed, in another case than on the disk, it is no longer forgotten.
    t.write("bell.lst", std::string(kList) + "SND\\Single.WAV\r\n");
    EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));
}

TEST(Preflight, TheMissionChain)
{
    TempDir t;
    layCleanFM(t);
    // A listed mission the flag file skips.
    EXPECT_ONLY(checkList(t, [](Project& p) { p.RemoveMission(2); }), Severity::Error, "miss2.mis");
    // A mission in play whose file is not listed.
    EXPECT_ONLY(checkList(t, [](Project& p) { std::erase(p.Files, std::string("miss2.mis")); }), Severity::Error,
                "miss2.mis");
    // Two missions, but no flag file on the list: the game plays only the first.
    // (The flag file, no longer listed, is also a forgotten file then.)
    const auto unlisted = checkList(t, [](Project& p) { std::erase(p.Files, std::string("strings\\missflag.str")); });
    ASSERT_EQ(CountOf(unlisted, Severity::Error), 1) << describe(unlisted);
    EXPECT_TRUE(std::any_of(unlisted.begin(), unlisted.end(), [](const Finding& f) {
        return f.severity == Severity::Error && f.file == "strings\\missflag.str";
    })) << describe(unlisted);
    // No mission at all.
    t.write("bell.lst", "fminfo.txt\r\nstrings\\english\\titles.str\r\nobj\\lamp.bin\r\nintrface\\miss1\\goals.str\r\n"
                        "intrface\\miss2\\goals.str\r\n");
    EXPECT_ONLY(checkList(t), Severity::Error, "");
}

TEST(Preflight, Names)
{
    {
        TempDir t;
        layCleanFM(t);
        t.write("strings/english/titles.str", "short_0:\"bell\"\r\ntitle_1:\"Tower\"\r\ntitle_2:\"Chapel\"\r\n");
        EXPECT_ONLY(checkList(t), Severity::Warning, ""); // no FM name
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("strings/english/titles.str",
                "title_0:\"Shadows of the Bell\"\r\nshort_0:\"bell\"\r\ntitle_1:\"Tower\"\r\n");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, "miss2.mis");
        EXPECT_NE(found[0].message.find("English"), std::string::npos) << found[0].message;
    }
    {
        // A German titles file falls back to the English names: nothing missing.
        TempDir t;
        layCleanFM(t);
        t.write("strings/german/titles.str", "title_0:\"Schatten der Glocke\"\r\n");
        t.write("bell.lst", std::string("strings\\german\\titles.str\r\n") + kList);
        EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));
    }
}

TEST(Preflight, TheInfoFile)
{
    {
        TempDir t;
        layCleanFM(t);
        t.write("bell.lst", std::string(kList).substr(std::string("fminfo.txt\r\n").size()));
        EXPECT_ONLY(checkList(t), Severity::Warning, ""); // none listed
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("fminfo.rtf", "\xEF\xBB\xBF{\\rtf1 Title: Bell\\par Author: Someone\\par}");
        t.write("bell.lst", std::string(kList) + "fminfo.rtf\r\n");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Error, "fminfo.rtf");
        EXPECT_NE(found[0].message.find("byte-order mark"), std::string::npos);
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("fminfo.txt", "Title: Bell\r\nauthor: lower case is not read\r\n");
        EXPECT_ONLY(checkList(t), Severity::Warning, "fminfo.txt");
    }
    {
        TempDir t;
        layCleanFM(t);
        t.write("fminfo.txt", std::string(kInfo) + "Caf\xC3\xA9\r\n"); // UTF-8, no byte-order mark
        EXPECT_ONLY(checkList(t), Severity::Warning, "fminfo.txt");
        t.write("fminfo.txt", std::string(kInfo) + "Caf\xE9\r\n"); // Windows-1252
        EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));
        t.write("fminfo.txt", std::string(kInfo) + "Caf\x81\r\n"); // no character of Windows-1252
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, "fminfo.txt");
        EXPECT_NE(found[0].message.find("Windows-1252"), std::string::npos) << found[0].message;
    }
    {
        // Larger than the check reads: said, not passed over.
        TempDir t;
        layCleanFM(t);
        fs::resize_file(t.path() / "fminfo.txt", (64ull << 20) + 1);
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, "fminfo.txt");
        EXPECT_NE(found[0].message.find("64 MiB"), std::string::npos) << found[0].message;
    }
}

// Each fixture breaks one thing loaders read; exactly one finding says so.
TEST(Preflight, WhatLoadersShow)
{
    // As Windows editors save "Unicode": UTF-16 LE with its mark.
    auto utf16 = [](const std::string& ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    const std::string jpeg = "\xFF\xD8\xFF\xE0 a picture";
    struct Case {
        std::function<void(const TempDir&)> lay;
        const char* file; // of the one finding
        const char* says; // part of its message
    };
    auto ini = [](const std::string& text) {
        return [text](const TempDir& t) {
            t.write("fm.ini", text);
            t.write("bell.lst", std::string(kList) + "fm.ini\r\n");
        };
    };
    auto listed = [](const std::string& name, const std::string& bytes) {
        return [name, bytes](const TempDir& t) {
            t.write(name, bytes);
            t.write("bell.lst", std::string(kList) + name + "\r\n");
        };
    };
    auto shortName = [](const std::string& name) {
        return [name](const TempDir& t) {
            t.write("strings/english/titles.str", "title_0:\"Shadows of the Bell\"\r\nshort_0:\"" + name +
                                                      "\"\r\ntitle_1:\"Tower\"\r\ntitle_2:\"Chapel\"\r\n");
        };
    };
    auto infoFile = [](const std::string& name, const std::string& other) {
        return [name, other](const TempDir& t) {
            t.write(ToSlashes(name), kInfo);
            if (!other.empty()) t.write(other, kInfo);
            t.write("bell.lst", std::string(kList).replace(0, 10, name) + other + "\r\n");
        };
    };
    const Case cases[] = {
        {ini("NiceName=Bell = Tower\r\n"), "fm.ini", "holds \"=\""},
        {ini("NiceName=Gl\xC3\xB6\x63kchen\r\nDescr=caf\xC3\xA9\r\n"), "fm.ini",
         "NiceName, Descr holds characters outside ASCII"},
        {ini("\xEF\xBB\xBFNiceName=Shadows of the Bell\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\n"), "fm.ini",
         "byte-order mark"},
        {ini(utf16("NiceName=Shadows of the Bell\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\n")), "fm.ini",
         "Is UTF-16 text"},
        {ini("ReleaseDate=2024-05-17\r\n"), "fm.ini", "not a hexadecimal Unix time"},
        {ini("ReleaseDate=20240517\r\n"), "fm.ini", "reads as 1987-02-02"},
        {ini("Tags=genre:horror,mood:gloomy,bells\r\n"), "fm.ini", "\"mood:gloomy\", \"bells\" lie outside"},
        {listed("fmthumb.jpg", "\x89PNG\r\n"), "fmthumb.jpg", "not a JPEG"},
        {listed("fmthumb.jpg", jpeg + std::string(1 << 20, 'x')), "fmthumb.jpg", "over 1 MB"},
        {listed("FMThumb.jpg", jpeg), "FMThumb.jpg", "in lower case"},
        {shortName("bell+tower"), "bell+tower.zip", "\"bell_tower\""},
        {shortName("bell.v2"), "bell.v2.zip", "\"bell_v2\""},
        {shortName("the_very_long_short_name_of_a_bell"), "the_very_long_short_name_of_a_bell.zip",
         "\"the_very_long_short_name_of_a_\""},
        {infoFile("bell_notes.txt", "readme.txt"), "bell_notes.txt",
         "holds \"notes\", and one loader never opens such a file: loaders open \"readme.txt\" instead"},
        // Loaders look in the root only: in a folder it is no info file.
        {infoFile("docs\\fminfo.txt", ""), "", "No info file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        TempDir t;
        layCleanFM(t);
        c.lay(t);
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, c.file);
        EXPECT_NE(found[0].message.find(c.says), std::string::npos) << found[0].message;
    }
    // Names loaders keep as they are, and an fm.ini as the program writes it.
    for (const char* name : {"gl\x94"
                             "ckchen", // in code page 850, as titles files hold it
                             "bell-2_(final)"}) {
        TempDir t;
        layCleanFM(t);
        shortName(name)(t);
        EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));
    }
    TempDir t;
    layCleanFM(t);
    ini("NiceName=Bell\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\nTags=genre:horror,author:Someone,campaign\r\n"
        "Descr=A \\\"bell\\\"\\nrings\r\n")(t);
    EXPECT_TRUE(checkList(t).empty()) << describe(checkList(t));
    // An InfoFile stands when it names a listed file; one that names none
    // is the project's info file's own to fix, which a project without one cannot.
    t.write("bell.lst", std::string(kList).substr(std::string("fminfo.txt\r\n").size()) + "fm.ini\r\n");
    const auto found = checkList(t);
    ASSERT_EQ(found.size(), 2u) << describe(found);
    EXPECT_EQ(found[1].file, "fm.ini");
    EXPECT_NE(found[1].message.find("InfoFile names \"fminfo.txt\", which is not listed"), std::string::npos);
}

TEST(Preflight, TheInfoFileALoaderOpens)
{
    struct Case {
        std::vector<std::string> entries;
        const char* opened;
    };
    for (const Case& c : std::initializer_list<Case>{
             {{"readme.txt", "fminfo-de.txt", "FMINFO.RTF"}, "FMINFO.RTF"},
             {{"readme.txt", "fminfo-de.txt"}, "fminfo-de.txt"},
             {{"fminfo-de.txt", "fminfo-en.txt"}, "fminfo-en.txt"},
             {{"docs\\fminfo.txt", "walkthrough.txt", "Loot_List.txt", "tips.rtf", "readme.txt"}, "readme.txt"},
             {{"fminfo.doc", "bell_spoilers.txt", "secrets.wri", "cheats.txt"}, ""},
         })
        EXPECT_EQ(LoaderInfoFile(c.entries), c.opened) << c.entries.front();
    EXPECT_EQ(InstallFolderName("C:\\fms\\My FM+extra;1,2~3|4.zip"), "My_FM_extra_1_2_3_4");
    EXPECT_EQ(InstallFolderName("\xC3\xA9t\xC3\xA9 au ch\xC3\xA2teau des cloches perdues.7z"),
              "\xC3\xA9t\xC3\xA9_au_ch\xC3\xA2teau_des_cloches_per"); // 30 characters, not bytes
}

TEST(Preflight, LinesAndJson)
{
    const Finding f{Severity::Error, "miss3.mis", "Listed, but \"not\" found\n", 4};
    EXPECT_EQ(FindingLine(f), "error: miss3.mis: Listed, but \"not\" found\n");
    EXPECT_EQ(FindingJson(f),
              "{\"severity\":\"error\",\"file\":\"miss3.mis\",\"entry\":4,\"message\":\"Listed, but \\\"not\\\" "
              "found\\n\"}");
    EXPECT_EQ(FindingLine({Severity::Warning, "", "No name", -1}), "warning: No name");
    // A name from the disk in another code page, and control characters:
    // each line is still valid JSON in UTF-8.
    const Finding odd{Severity::Warning, "snd\\caf\xE9\x01.wav", "1 file: caf\xE9\x7F", -1};
    EXPECT_EQ(FindingJson(odd), "{\"severity\":\"warning\",\"file\":\"snd\\\\caf\xEF\xBF\xBD\\u0001.wav\",\"entry\":-1,"
                                "\"message\":\"1 file: caf\xEF\xBF\xBD\x7F\"}");
    const std::vector<Finding> many(5, f);
    const std::string ask = ZipAnywayText(many);
    EXPECT_NE(ask.find("5 errors"), std::string::npos);
    size_t shown = 0;
    for (size_t at = ask.find("miss3.mis: "); at != std::string::npos; at = ask.find("miss3.mis: ", at + 1)) ++shown;
    EXPECT_EQ(shown, 3u) << ask; // the first three, then "..."
    EXPECT_NE(ask.find("...\n"), std::string::npos) << ask;
    EXPECT_TRUE(ask.ends_with("Zip anyway?"));
    EXPECT_NE(ask.find("5 errors that keep the package"), std::string::npos) << ask;
    // One error reads as one.
    const std::string one = ZipAnywayText({f});
    EXPECT_NE(one.find("1 error that keeps the package"), std::string::npos) << one;
}

// Opened as the command line opens it, every listed thing that is no file
// of the package is an error of its own, named in one run; the window's
// Open still asks where the FM is.
TEST(Preflight, EveryListedFileThatIsNoFileIsNamed)
{
    TempDir t;
    layCleanFM(t);
    fs::remove(t.path() / "miss2.mis");
    fs::create_directories(t.path() / "obj/sub");
    std::string list = std::string(kList) + "obj\\gone.bin\r\nobj\\sub\r\n";
    struct Case {
        std::string entry, says;
        int at;
    };
    std::vector<Case> cases = {{"miss2.mis", "Listed, but not found", 3},
                               {"obj\\gone.bin", "Listed, but not found", kListed},
                               {"obj\\sub", "Is a folder, not a file", kListed + 1}};
#if !defined(_WIN32)
    ASSERT_EQ(mkfifo((t.path() / "obj/pipe").c_str(), 0600), 0);
    list += "obj\\pipe\r\n";
    cases.push_back({"obj\\pipe", "Is not a regular file", kListed + 2});
    if (t.SymlinksWork()) {
        fs::create_symlink("/dev/null", t.path() / "obj/null.wav");
        list += "obj\\null.wav\r\n";
        cases.push_back({"obj\\null.wav", "Is not a regular file", kListed + 3});
    }
#endif
    t.write("bell.lst", list);
    const auto found = checkKept(t);
    ASSERT_EQ(found.size(), cases.size()) << describe(found);
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(found[i].severity, Severity::Error) << describe(found);
        EXPECT_EQ(found[i].file, cases[i].entry) << describe(found);
        EXPECT_EQ(found[i].entry, cases[i].at) << describe(found);
        EXPECT_TRUE(found[i].message.starts_with(cases[i].says)) << found[i].message;
        EXPECT_TRUE(found[i].stopsPacking) << found[i].message;
    }

    Project window;
    ScriptedQuestions q;
    EXPECT_FALSE(window.Open(t / "bell.lst", q));
    EXPECT_EQ(q.folderRequests.size(), 1u);
}

// The info file is a file of the FM's top folder named as loaders look
// for it; a text file elsewhere is the author's own.
TEST(Preflight, OnlyATopFolderFileIsTheInfoFile)
{
    TempDir t;
    layCleanFM(t);
    t.write("schema/changelog.txt", "Fixed the bell\r\n");
    t.write("changelog.txt", "Fixed the bell\r\n");
    t.write("bell.lst", std::string(kList).substr(std::string("fminfo.txt\r\n").size()) +
                            "schema\\changelog.txt\r\nchangelog.txt\r\n");
    Project p;
    const auto found = checkKept(t, &p);
    EXPECT_EQ(p.FMInfo.InfoFile, "");
    EXPECT_ONLY(found, Severity::Warning, "");
    EXPECT_TRUE(found[0].message.starts_with("No info file")) << found[0].message;
}

// The names of the missions' and string files as the game reads them.
TEST(Preflight, FilesTheGameReadsByOtherNames)
{
    {
        TempDir t;
        layCleanFM(t);
        fs::rename(t.path() / "miss1.mis", t.path() / "miss01.mis");
        std::string list = kList;
        list.replace(list.find("miss1.mis"), 9, "miss01.mis");
        t.write("bell.lst", list);
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Error, "miss01.mis");
        EXPECT_NE(found[0].message.find("mission 1 from miss1.mis"), std::string::npos) << found[0].message;
    }
    {
        // Thief 2x reads t2x\strings\missflag.str, which shadows the listed one.
        TempDir t;
        layCleanFM(t);
        t.write("t2x/t2x.gam");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Error, "strings\\missflag.str");
        EXPECT_NE(found[0].message.find("t2x\\strings\\missflag.str"), std::string::npos) << found[0].message;
    }
    {
        // A byte-order mark hides the first key from the game: that is
        // said, not that the FM has no name.
        TempDir t;
        layCleanFM(t);
        t.write("strings/english/titles.str", "\xEF\xBB\xBFtitle_0:\"Shadows of the Bell\"\r\nshort_0:\"bell\"\r\n"
                                              "title_1:\"Tower\"\r\ntitle_2:\"Chapel\"\r\n");
        const auto found = checkList(t);
        EXPECT_ONLY(found, Severity::Warning, "strings\\english\\titles.str");
        EXPECT_NE(found[0].message.find("byte-order mark"), std::string::npos) << found[0].message;
    }
}

// On a disk that keeps names apart by case, a listed name may answer two
// files; the package holds one, so the author hears of both.
TEST(Preflight, ANameThatAnswersTwoFilesNamesBoth)
{
    TempDir t;
    layCleanFM(t);
    t.write("snd/A.wav", "upper");
    t.write("snd/a.wav", "lower");
    if (t.read("snd/A.wav") != "upper") GTEST_SKIP() << "this disk takes A.wav for a.wav";
    t.write("bell.lst", std::string(kList) + "SND\\a.WAV\r\n");
    const auto found = checkList(t);
    EXPECT_ONLY(found, Severity::Warning, "SND\\a.WAV");
    for (const char* name : {"\"snd\\A.wav\"", "\"snd\\a.wav\""})
        EXPECT_NE(found[0].message.find(name), std::string::npos) << found[0].message;

    // Both listed: each is packed, and they clash as before.
    t.write("bell.lst", std::string(kList) + "snd\\a.wav\r\nsnd\\A.wav\r\n");
    const auto both = checkList(t);
    EXPECT_ONLY(both, Severity::Error, "snd\\A.wav");
}
