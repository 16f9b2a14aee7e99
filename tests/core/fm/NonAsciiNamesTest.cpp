// Folders and files named outside ASCII (accented Latin, Cyrillic, CJK, an
// emoji) through every step that turns the program's UTF-8 text into a path
// or back: opening and saving lists, writing the string files, packing and
// the messages that name a file. On Windows a path made from narrow text
// takes the ANSI code page, which would mangle or refuse every one of them.
#include "base/Errors.h"
#include "base/FileIO.h"
#include "core/fm/ListFile.h"
#include "core/fm/Packaging.h"
#include "core/fm/Project.h"
#include "core/text/CfgFiles.h"
#include "core/zip/ZipArch.h"
#include "platform/File.h"
#include "support/ScriptedQuestions.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"
#include "support/ZipTestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace lw;
using lw::test::ScriptedQuestions;
using lw::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string u8(const char8_t* s)
{
    return reinterpret_cast<const char*>(s);
}

const std::string kFolder = u8(u8"Tëst Фм 夜 🏮");
const std::string kSubFolder = u8(u8"Ünïcödé");
const std::string kCyrillic = u8(u8"Привет.txt");
const std::string kCjk = u8(u8"夜景.txt");
const std::string kEmoji = u8(u8"🏮 lantern.txt");
const std::string kList = u8(u8"Ёлка.lst");
const std::string kZip = u8(u8"Архив 夜.zip");

// Lays the FM out with wide paths on every system, so the files are there
// under their real names whatever the code under test does with text.
class NonAsciiFM {
public:
    NonAsciiFM() : dir_(tmp_.path() / platform::PathFromUtf8(kFolder))
    {
        put("thief2.exe", "exe");
        put("miss1.mis", lw::test::PlainMission());
        put("fminfo.txt", "info");
        put("strings/missflag.str", "miss_1:\"end\"\r\n");
        put("strings/english/titles.str", "title_0:\"Bell\"\r\nshort_0:\"bell\"\r\n");
        put(kSubFolder + "/" + kCyrillic, "cyrillic");
        put(kCjk, "cjk");
        put(kEmoji, "emoji");
    }
    // The folder as the project holds it: UTF-8, ending with "/".
    std::string Dir() const
    {
        const std::u8string u = dir_.lexically_normal().generic_u8string();
        return std::string(u.begin(), u.end()) + "/";
    }
    const fs::path& Path() const { return dir_; }
    fs::path At(const std::string& rel) const { return dir_ / platform::PathFromUtf8(rel); }
    std::string Utf8At(const std::string& rel) const { return platform::Utf8Of(At(rel)); }
    std::string Read(const std::string& rel) const
    {
        std::ifstream in(At(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const TempDir& Tmp() const { return tmp_; }

private:
    void put(const std::string& rel, const std::string& bytes) const
    {
        const fs::path p = dir_ / platform::PathFromUtf8(rel);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    TempDir tmp_;
    fs::path dir_;
};

const std::vector<std::string> kAdded = {kSubFolder + "\\" + kCyrillic, kCjk, kEmoji};

// A new project in the folder, the three files added, its list saved.
std::string saveNewProject(const NonAsciiFM& fm)
{
    Project p;
    p.New(CreateEntries{fm.Dir(), GameThief2, 0, "Bell", "bell"});
    p.AddFiles({fm.Utf8At(kSubFolder + "/" + kCyrillic), fm.Utf8At(kCjk), fm.Utf8At(kEmoji)});
    const std::string list = fm.Utf8At(kList);
    p.SaveListFile(list);
    return list;
}

} // namespace

TEST(NonAsciiNames, NewProjectAddsTheFilesAndSavesItsList)
{
    NonAsciiFM fm;
    Project p;
    p.New(CreateEntries{fm.Dir(), GameThief2, 0, "Bell", "bell"});
    EXPECT_EQ(p.FMInfo.FMDir, fm.Dir());
    // What the folder holds was found in it: the info file by listing it,
    // the missions through the flag file, the titles by their name.
    EXPECT_EQ(p.FMInfo.InfoFile, "fminfo.txt");
    EXPECT_EQ(p.FMInfo.TitleFiles[0], "strings\\english\\titles.str");
    EXPECT_EQ(p.Chain(), (std::vector<int>{1}));

    p.AddFiles({fm.Utf8At(kSubFolder + "/" + kCyrillic), fm.Utf8At(kCjk), fm.Utf8At(kEmoji)});
    for (const std::string& e : kAdded) EXPECT_NE(std::find(p.Files.begin(), p.Files.end(), e), p.Files.end()) << e;
    EXPECT_EQ(platform::PathFromUtf8(p.FullPath(kCjk)).lexically_normal(), fm.At(kCjk).lexically_normal());

    const std::string list = fm.Utf8At(kList);
    p.SaveListFile(list);
    ASSERT_TRUE(fs::is_regular_file(fm.At(kList)));
    EXPECT_EQ(ReadListFile(list), p.Files);
    // On the disk the names are text the list's readers can take back.
    const std::string bytes = fm.Read(kList);
    for (const std::string& e : kAdded) EXPECT_NE(bytes.find(e), std::string::npos) << e;
}

TEST(NonAsciiNames, OpenedListFindsEveryFileAndTheStringFilesAreWrittenThere)
{
    NonAsciiFM fm;
    const std::string list = saveNewProject(fm);

    Project p;
    ScriptedQuestions q;
    ASSERT_TRUE(p.Open(list, q));
    EXPECT_TRUE(q.folderRequests.empty()); // no file was missed, so no folder was asked for
    EXPECT_TRUE(q.messages.empty());
    EXPECT_EQ(p.FMInfo.FMDir, fm.Dir());
    for (const std::string& e : kAdded) EXPECT_NE(std::find(p.Files.begin(), p.Files.end(), e), p.Files.end()) << e;
    EXPECT_EQ(p.Chain(), (std::vector<int>{1}));
    EXPECT_EQ(p.FMInfo.Names[0].Text(), "Bell");

    // Both string files are rewritten in the folder, and read back.
    p.ViewLang = 0;
    p.SetFMName("Bell Tower");
    p.CurMiss = 1;
    p.SetMissFlag(1, true); // no_briefing
    p.WriteStringFiles();
    EXPECT_NE(fm.Read("strings/english/titles.str").find("Bell Tower"), std::string::npos);
    EXPECT_NE(fm.Read("strings/missflag.str").find("no_briefing"), std::string::npos);
    TCfgFile titles = TCfgFile::StringFile(fm.Utf8At("strings/english/titles.str"));
    EXPECT_EQ(titles.ReadString("title_0", "@"), "Bell Tower");
    // Only the files that were there: no second folder under a mangled name.
    int folders = 0;
    for (const auto& e : fs::directory_iterator(fm.Tmp().path()))
        if (e.is_directory()) ++folders;
    EXPECT_EQ(folders, 1);

    // A list saved again reopens as saved.
    const std::string again = fm.Utf8At(u8(u8"Ёлка 2.lst"));
    p.SaveListFile(again);
    Project reopened;
    ScriptedQuestions q2;
    ASSERT_TRUE(reopened.Open(again, q2));
    EXPECT_EQ(reopened.Files, p.Files);
}

TEST(NonAsciiNames, PackedArchiveHoldsTheUtf8NamesWithSlashes)
{
    NonAsciiFM fm;
    const std::string list = saveNewProject(fm);
    const std::string zip = fm.Utf8At(kZip);
    std::ostringstream out, err;
    ASSERT_EQ(RunPack(list, zip, out, err, false), 0) << err.str();
    // Only that loaders install it into a folder without the space.
    const std::string said = err.str();
    EXPECT_EQ(said.rfind("warning: ", 0), 0u) << said;
    EXPECT_NE(said.find("folder \"" + u8(u8"Архив_夜") + "\""), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    ASSERT_TRUE(fs::is_regular_file(fm.At(kZip)));
    // The report names the archive as it is called.
    EXPECT_EQ(out.str().rfind(zip + ": ", 0), 0u) << out.str();

    // The names as stored, read by libzip without any decoding.
    const std::vector<std::string> want = {kSubFolder + "/" + kCyrillic, kCjk, kEmoji};
    std::vector<std::string> raw;
    int openErr = 0;
    zip_t* za = zip_open(zip.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &openErr);
    ASSERT_NE(za, nullptr) << "libzip error " << openErr;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        raw.push_back(zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW));
    zip_close(za);
    for (const std::string& name : want) EXPECT_NE(std::find(raw.begin(), raw.end(), name), raw.end()) << name;

    const auto entries = ziptest::ReadArchive(fm.At(kZip));
    ASSERT_TRUE(entries.count(kSubFolder + "/" + kCyrillic));
    EXPECT_EQ(entries.at(kSubFolder + "/" + kCyrillic).bytes, "cyrillic");
    ASSERT_TRUE(entries.count(kEmoji));
    EXPECT_EQ(entries.at(kEmoji).bytes, "emoji");

    // The program's own reader: the names flagged as UTF-8.
    TZipArchiver z;
    z.SetUnattended(true);
    z.SetZipFileName(zip);
    int flagged = 0;
    for (const ZipDirEntry& e : z.DirEntries()) {
        if (e.EntryName == kCjk) {
            EXPECT_TRUE(e.Flag & 0x0800);
            ++flagged;
        }
        if (e.EntryName == kSubFolder + "\\" + kCyrillic) ++flagged;
    }
    EXPECT_EQ(flagged, 2);
}

TEST(NonAsciiNames, MessagesNameTheFilesInUtf8)
{
    NonAsciiFM fm;
    const std::string missing = fm.Utf8At(u8(u8"Нет.txt"));
    try {
        ReadWholeFile(platform::PathFromUtf8(missing));
        ADD_FAILURE() << "a missing file was read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }

    // The command line: a list with a missing entry names it.
    std::ofstream(fm.At(kList), std::ios::binary) << "miss1.mis\r\n" << u8(u8"Нет.txt") << "\r\n";
    std::ostringstream out, err;
    EXPECT_NE(RunPack(fm.Utf8At(kList), "", out, err, false), 0);
    EXPECT_NE(err.str().find("error: " + u8(u8"Нет.txt") + ": Listed, but not found"), std::string::npos) << err.str();
}
