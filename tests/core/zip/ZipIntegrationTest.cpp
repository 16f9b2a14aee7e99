// A fan mission packed by the component and checked by other programs: the
// archive must pass unzip -t and 7z t, and Python's zipfile must give back
// every file's bytes under its listed path.
#include "platform/File.h"
#include "support/HostShell.h"
#include "support/ZipTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace lw {
namespace {

using ziptest::Packer;
using ziptest::ScratchDir;
using ziptest::SomeBytes;
using ziptest::WriteFile;

std::pair<int, std::string> run(const std::string& cmd)
{
    const test::ShellResult r = test::RunHostShell(cmd);
    return {r.status, r.output};
}

// The archive is made once for the suite: packing at level 9 is the slow part.
class ZipIntegration : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new ScratchDir;
        zip = *dir / "lost.zip";
        const fs::path fm = *dir / "fm";
        WriteFile(fm / "miss20.mis", SomeBytes(1 << 20, 21));
        WriteFile(fm / "miss21.mis", SomeBytes((7 << 20) + 777, 22)); // packed in pieces
        WriteFile(fm / "dark.gam", SomeBytes(70000, 23));
        WriteFile(fm / "strings/missflag.str", "miss_count: 2\nmiss_20: \"\"\n");
        WriteFile(fm / "strings/english/titles.str", "title_20: \"Lost\"\ntitle_21: \"Found\"\n");
        WriteFile(fm / u8"strings/français/titles.str", "title_20: \"Perdu\"\n"); // u8: UTF-8 on Windows too
        WriteFile(fm / "fam/stone/wall.PNG", SomeBytes(20000, 24));
        WriteFile(fm / "snd/english/line01.wav", SomeBytes(150000, 25));
        WriteFile(fm / "fminfo.txt", "Title: Lost and Found\r\n");
        WriteFile(fm / "empty.txt", "");
        WriteFile(fm / ".hidden", "dot file listed by name");
        listed = {"miss20.mis",
                  "MISS21.MIS",
                  "dark.gam",
                  "strings\\missflag.str",
                  "Strings\\English\\titles.str",
                  "strings\\français\\titles.str",
                  "fam\\stone\\wall.png",
                  "snd\\english\\line01.wav",
                  "fminfo.txt",
                  "empty.txt",
                  ".hidden"};
        stored = {"miss20.mis",
                  "miss21.mis",
                  "dark.gam",
                  "strings/missflag.str",
                  "strings/english/titles.str",
                  "strings/français/titles.str",
                  "fam/stone/wall.PNG",
                  "snd/english/line01.wav",
                  "fminfo.txt",
                  "empty.txt",
                  ".hidden"};
        Packer p;
        p.zip.SetZipFileName(lw::platform::Utf8Of(zip));
        p.zip.SetRootDir(lw::platform::Utf8Of(fm) + "/");
        p.zip.FSpecArgs() = listed;
        packed = p.zip.AddToArchive() == 0 && p.zip.SuccessCnt() == int(listed.size());
        messages = p.AllMessages();
    }

    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(packed) << messages; }

    static inline ScratchDir* dir = nullptr;
    static inline fs::path zip;
    static inline std::vector<std::string> listed, stored;
    static inline bool packed = false;
    static inline std::string messages;
};

TEST_F(ZipIntegration, UnzipTestsTheArchive)
{
    if (const std::string why = test::HostProgramMissing("unzip"); !why.empty()) GTEST_SKIP() << why;
    const auto [status, out] = run("unzip -t '" + test::HostPath(zip) + "'");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;
}

TEST_F(ZipIntegration, SevenZipTestsTheArchive)
{
    if (const std::string why = test::HostProgramMissing("7z"); !why.empty()) GTEST_SKIP() << why;
    const auto [status, out] = run("7z t '" + test::HostPath(zip) + "'");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
}

TEST_F(ZipIntegration, PythonReadsEveryFileBack)
{
    if (const std::string why = test::HostProgramMissing("python3"); !why.empty()) GTEST_SKIP() << why;
    const fs::path script = *dir / "check.py";
    std::string names;
    for (const std::string& n : stored) names += "    '" + n + "',\n";
    WriteFile(
        script,
        "import sys, zipfile\n"
        "expected = [\n" +
            names +
            "]\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "infos = z.infolist()\n"
            "assert [i.filename for i in infos] == expected, [i.filename for i in infos]\n"
            "assert z.testzip() is None\n"
            "for i in infos:\n"
            "    disk = open(sys.argv[2] + '/' + i.filename, 'rb').read()\n"
            "    assert z.read(i) == disk, i.filename\n"
            "    assert i.compress_type in (0, 8), i.filename\n"
            "    assert not i.flag_bits & 1, i.filename + ' is encrypted'\n"
            "    assert bool(i.flag_bits & 0x800) == (not i.filename.isascii()), i.filename\n"
            "    assert i.compress_type == (0 if i.filename.lower().endswith('.png') or not disk else 8), i.filename\n"
            "print('ok', len(infos))\n");
    const auto [status, out] = run("python3 '" + test::HostPath(script) + "' '" + test::HostPath(zip) + "' '" +
                                   test::HostPath(*dir / "fm") + "'");
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "ok " + std::to_string(stored.size()) + "\n");
}

TEST_F(ZipIntegration, LibzipReadsEveryFileBack)
{
    std::string err;
    const auto entries = ziptest::ReadArchive(zip, &err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(entries.size(), stored.size());
    for (const std::string& n : stored)
        EXPECT_TRUE(entries.at(n).bytes == ziptest::ReadFile(*dir / "fm" / platform::PathFromUtf8(n))) << n;
}

// The checks above are only as good as the way they run the host's tools:
// its exit status, both output streams and a file named for the host.
TEST(HostShell, GivesTheStatusTheOutputAndTheFilesOfACommand)
{
    if (const std::string why = test::HostShellMissing(); !why.empty()) GTEST_SKIP() << why;
    const test::ShellResult r = test::RunHostShell("echo one; echo two >&2; exit 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.output, "one\ntwo\n");
    EXPECT_FALSE(test::HostHasProgram("lw-no-such-program"));
    EXPECT_TRUE(test::HostHasProgram("sh"));

    ScratchDir d;
    WriteFile(d / "probe.txt", "probe");
    const test::ShellResult cat = test::RunHostShell("cat '" + test::HostPath(d / "probe.txt") + "'");
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(cat.output, "probe");
}

} // namespace
} // namespace lw
