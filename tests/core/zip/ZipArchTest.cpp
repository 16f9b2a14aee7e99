// The archiver component over the real engine (and, where the command record
// itself is the subject, over a stand-in engine that reports what it got).
#include "platform/File.h"
#include "support/System.h"
#include "support/ZipTestSupport.h"

#include "core/questions/Questions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <stdexcept>
#include <zip.h>

namespace fs = std::filesystem;

namespace lw {
namespace {

using lw::test::OnWindows;
using platform::Utf8Of;
using ziptest::ArchiveNames;
using ziptest::Packer;
using ziptest::ReadArchive;
using ziptest::ReadFile;
using ziptest::ScratchDir;
using ziptest::SomeBytes;
using ziptest::WriteFile;

std::string fakeDir(int version)
{
    return TZipLibLoader::ProgramDir() + "/fakeeng/v" + std::to_string(version);
}

struct Boxes : Questions {
    std::vector<std::string> shown;
    std::optional<std::string> ChooseFolder(const FolderRequest&) override { return {}; }
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return {}; }
    std::vector<std::string> ChooseOpenFiles(const FileRequest&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return {}; }
    int ChooseGame() override { return -1; }
    void ShowMessage(MessageKind, const std::string&, const std::string& text) override { shown.push_back(text); }
    Answer AskYesNoCancel(const std::string&, const std::string&) override { return Answer::Cancel; }
    void Beep() override {}
};

std::string missingText(int n, const std::string& suffix = "")
{
    return std::string(TZipArchiver::MissingTextPrefix) + std::to_string(n) + " " + suffix;
}

TEST(ZipArchProperties, StoreSuffixes)
{
    TZipArchiver z;
    EXPECT_EQ(z.StoreSuffixList(),
              ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar");
    z.SetExtAddStoreSuffixes("Dat;.BIN");
    EXPECT_EQ(z.ExtAddStoreSuffixes(), ".dat:.bin:");
    EXPECT_TRUE(z.AddStoreSuffixes().Has(assEXT));
    EXPECT_EQ(z.StoreSuffixList().substr(z.StoreSuffixList().size() - 14), ".jar:.dat:.bin");
    z.SetExtAddStoreSuffixes(",mis,,gam:"); // empty items are skipped
    EXPECT_EQ(z.ExtAddStoreSuffixes(), ".mis:.gam:");
    z.SetExtAddStoreSuffixes("");
    EXPECT_EQ(z.ExtAddStoreSuffixes(), "");
    EXPECT_FALSE(z.AddStoreSuffixes().Has(assEXT));
    z.SetAddStoreSuffixes({assEXE});
    EXPECT_EQ(z.StoreSuffixList(), ".exe");
    z.SetAddStoreSuffixes({});
    EXPECT_EQ(z.StoreSuffixList(), "");
}

TEST(ZipArchProperties, SettersThatAdjustTheirValue)
{
    TZipArchiver z;
    z.SetPasswordReqCount(40);
    EXPECT_EQ(z.PasswordReqCount(), 15u);
    z.SetPasswordReqCount(3);
    EXPECT_EQ(z.PasswordReqCount(), 3u);
    z.SetDLLDirectory("/opt/engines/");
    EXPECT_EQ(z.DLLDirectory(), "/opt/engines");
    z.SetVersionInfo("9.99");
    EXPECT_EQ(z.VersionInfo(), "1.73");
}

TEST(ZipArchProperties, Percentages)
{
    EXPECT_EQ(TZipArchiver::Percent(0, 100), 0);
    EXPECT_EQ(TZipArchiver::Percent(5, 0), 0);
    EXPECT_EQ(TZipArchiver::Percent(50, 200), 25);
    EXPECT_EQ(TZipArchiver::Percent(214747, 214747), 100);
    // From 214748 on the total is divided first, so that nothing overflows.
    EXPECT_EQ(TZipArchiver::Percent(2147480, 2147480), 100);
    EXPECT_EQ(TZipArchiver::Percent(uint64_t(3) << 40, uint64_t(4) << 40), 75);
}

TEST(ZipArchAdd, EmptySpecListWithUpdateFreshensEverything)
{
    ScratchDir dir;
    Packer p;
    p.zip.SetVerbose(true);
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    p.zip.SetRootDir(Utf8Of(dir.Path()));
    p.zip.AddToArchive();
    EXPECT_FALSE(p.zip.AddOptions().Has(AddUpdate));
    EXPECT_TRUE(p.zip.AddOptions().Has(AddFreshen));
    // The engine was loaded and called with "*.*", which freshens nothing here.
    EXPECT_TRUE(p.HasMessage("loaded ")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("Nothing to do")) << p.AllMessages();
    EXPECT_TRUE(p.zip.FSpecArgs().empty());
    EXPECT_FALSE(fs::exists(dir / "a.zip"));
}

TEST(ZipArchAdd, EmptySpecListWithoutOptionsIsNothingToAdd)
{
    ScratchDir dir;
    Packer p;
    Boxes boxes;
    p.zip.SetQuestions(&boxes);
    p.zip.SetVerbose(true);
    p.zip.SetAddOptions({AddDirNames});
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::NothingToAdd);
    EXPECT_EQ(boxes.shown, std::vector<std::string>{missingText(ZipMsg::NothingToAdd)});
    EXPECT_FALSE(p.HasMessage("loaded ")) << "the engine was loaded";
    EXPECT_TRUE(p.zip.FSpecArgs().empty());

    // Unattended: no box, the message still reaches OnMessage.
    boxes.shown.clear();
    p.messages.clear();
    p.zip.SetUnattended(true);
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::NothingToAdd);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(p.HasMessage(std::to_string(ZipMsg::NothingToAdd)));
}

TEST(ZipArchAdd, EarlyEndsKeepTheSpecs)
{
    Packer p;
    p.zip.FSpecArgs() = {"a.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::NoArchiveName); // no archive name
    EXPECT_EQ(p.zip.FSpecArgs(), std::vector<std::string>{"a.txt"});

    ScratchDir dir;
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    p.zip.SetAddOptions({AddDirNames, AddDiskSpan});
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
    EXPECT_TRUE(p.HasMessage("several disks is not supported")) << p.AllMessages();
    p.zip.SetAddOptions({AddDiskSpan, AddUpdate});
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::SpanWithUpdate);
    EXPECT_EQ(p.zip.FSpecArgs(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(p.zip.Extract(), ZipMsg::ArchiveNotMade);
    EXPECT_TRUE(p.HasMessage("extraction is not supported"));
}

TEST(ZipArchAdd, SpecLineSyntaxReachesTheEngine)
{
    ScratchDir dir;
    Packer p;
    p.zip.SetDLLDirectory(fakeDir(180));
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    p.zip.SetRootDir(Utf8Of(dir.Path()));
    p.zip.SetPassword("secret");
    p.zip.SetAddOptions({AddDirNames, AddUpdate, AddFreshen, AddRecurseDirs});
    p.zip.FSpecArgs() = {"  plain.txt  ", ">deep\\*.*", "|flat\\*.str<", "own<pw1", "none< x"};
    EXPECT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    const std::string root = "root=\"" + Utf8Of(dir.Path()) + "\"";
    EXPECT_TRUE(p.HasMessage("spec \"plain.txt\" recurse=65535 encrypt=0 password=\"secret\" " + root))
        << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"deep\\*.*\" recurse=65535 encrypt=0")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"flat\\*.str\" recurse=0 encrypt=0 password=null")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"own\" recurse=65535 encrypt=65535 password=\"pw1\"")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"none\" recurse=65535 encrypt=0 password=null")) << p.AllMessages();
    // Update wins over freshen; the main window's other settings as flags.
    EXPECT_TRUE(p.HasMessage("record level=9 junkDirs=0 update=-1 freshen=0 hidden=0 latest=0 recycle=0 marker=7 "
                             "suffixes=\".gif:.png"))
        << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), 5);
    EXPECT_TRUE(p.zip.FSpecArgs().empty());
}

TEST(ZipArchAdd, LiteralSpecsAreFileNamesAsTheyStand)
{
    ScratchDir dir;
    Packer p;
    p.zip.SetDLLDirectory(fakeDir(180));
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    p.zip.SetRootDir(Utf8Of(dir.Path()));
    p.zip.SetLiteralSpecs(true);
    p.zip.SetFinalZipName(Utf8Of(dir / "final.zip"));
    p.zip.FSpecArgs() = {"notes<draft>.txt", "|pipe.txt", ">deep\\*.*", " lead.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"notes<draft>.txt\" recurse=0 encrypt=0 password=null")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \"|pipe.txt\" recurse=0")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \">deep\\*.*\" recurse=0")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("spec \" lead.txt\" recurse=0 encrypt=0 password=null root=\"" + Utf8Of(dir.Path()) +
                             "\" literal=1"))
        << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("final=\"" + Utf8Of(dir / "final.zip") + "\"")) << p.AllMessages();

    // Over the real engine: no wildcard is expanded, no blank trimmed.
    Packer r;
    WriteFile(dir / "fm/whatA.txt", "unlisted");
    WriteFile(dir / "fm/ab.txt", "unlisted");
    if (!OnWindows) WriteFile(dir / "fm/what?.txt", "listed");
    WriteFile(dir / "fm/ lead.txt", "blank first");
    r.zip.SetZipFileName(Utf8Of(dir / "r.zip"));
    r.zip.SetRootDir(Utf8Of(dir / "fm"));
    r.zip.SetLiteralSpecs(true);
    r.zip.FSpecArgs() = {"a?.txt"};
    EXPECT_EQ(r.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
    EXPECT_TRUE(r.HasMessage("Cannot find \"a?.txt\"")) << r.AllMessages();
    if (!OnWindows) { // no "?" in a name on a Windows disk
        r.zip.FSpecArgs() = {"what?.txt"};
        EXPECT_EQ(r.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
        EXPECT_TRUE(r.HasMessage("\"what?.txt\" cannot be packed")) << r.AllMessages();
    }
    EXPECT_FALSE(fs::exists(dir / "r.zip"));
    r.zip.FSpecArgs() = {" lead.txt"};
    ASSERT_EQ(r.zip.AddToArchive(), 0) << r.AllMessages();
    EXPECT_EQ(ArchiveNames(dir / "r.zip"), std::vector<std::string>{" lead.txt"});
}

TEST(ZipArchAdd, NamesWindowsCannotCreateAreRefusedBeforeWriting)
{
    if (OnWindows) GTEST_SKIP() << "files with names Windows cannot create cannot be laid out on a Windows disk";
    ScratchDir dir;
    WriteFile(dir / "fm/ok.txt", "fine");
    Packer p;
    const fs::path zipName = dir / "fm.zip";
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"ok.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    const std::string before = ReadFile(zipName);
    p.zip.SetAddOptions({AddDirNames});

    const std::pair<const char*, const char*> cases[] = {
        {"a:b", "character :"},
        {"name.", "ends in a dot"},
        {"name ", "ends in a space"},
        {"CON", "device name"},
        {"con.txt", "device name"},
        {"Lpt3.str", "device name"},
        {"back\\slash.txt", "character \\"},
        {"tab\tname.txt", "control character"},
        {"aux/inside.txt", "its part \"aux\""},
    };
    for (const auto& [name, why] : cases) {
        WriteFile(dir / "fm" / name, "x");
        p.messages.clear();
        // Listed as it stands; the back slash case by its own name on disk.
        const std::string spec = std::string(name) == "back\\slash.txt" ? "*slash.txt" : name;
        p.zip.SetLiteralSpecs(spec != "*slash.txt");
        p.zip.FSpecArgs() = {"ok.txt", spec};
        EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade) << name;
        EXPECT_TRUE(p.HasMessage(why)) << name << "\n" << p.AllMessages();
        EXPECT_TRUE(p.HasMessage("Windows")) << name << "\n" << p.AllMessages();
        EXPECT_EQ(ReadFile(zipName), before) << name;
        fs::remove(dir / "fm" / name);
    }
    EXPECT_EQ(ziptest::Listing(dir.Path()), (std::vector<std::string>{"fm", "fm.zip"}));
}

TEST(ZipArchAdd, AFileThatChangesWhileItIsPackedFailsTheRun)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    WriteFile(dir / "fm/grows.txt", SomeBytes(100000, 3));
    const fs::path zipName = dir / "fm.zip";
    Packer p;
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    const std::string before = ReadFile(zipName);
    p.zip.SetAddOptions({AddDirNames});

    // After the scan, before the bytes are read: the author saves again.
    for (const bool sameSize : {false, true}) {
        p.messages.clear();
        p.zip.OnProgress = [&](TZipArchiver*, ProgressType kind, const std::string&, uint64_t) {
            if (kind != ptBatchByteCount) return;
            if (sameSize) {
                fs::last_write_time(dir / "fm/grows.txt",
                                    fs::last_write_time(dir / "fm/grows.txt") + std::chrono::seconds(5));
            } else {
                std::ofstream(dir / "fm/grows.txt", std::ios::app) << "more lines";
            }
        };
        p.zip.FSpecArgs() = {"a.txt", "grows.txt"};
        EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade) << p.AllMessages();
        EXPECT_TRUE(p.HasMessage("grows.txt\" changed while it was being packed")) << p.AllMessages();
        // What the author can mend is said as it is, not as the engine's fault.
        EXPECT_EQ(p.zip.Message().find("fatal Dll error"), std::string::npos) << p.zip.Message();
        EXPECT_NE(p.zip.Message().find("changed while"), std::string::npos) << p.zip.Message();
        EXPECT_EQ(ReadFile(zipName), before);
        EXPECT_EQ(ziptest::Listing(dir.Path()), (std::vector<std::string>{"fm", "fm.zip"}));
    }
}

TEST(ZipArchAdd, AnEmptyFileThatGrowsWhileItIsPackedFailsTheRun)
{
    // An empty file has no bytes to read, yet it is looked at again like any
    // other: when a new archive is written and when an old one is updated.
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    WriteFile(dir / "old.zip", "");
    Packer p;
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.SetZipFileName(Utf8Of(dir / "old.zip"));
    fs::remove(dir / "old.zip");
    p.zip.FSpecArgs() = {"a.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    const std::string before = ReadFile(dir / "old.zip");
    p.zip.SetAddOptions({AddDirNames});

    for (const char* archive : {"new.zip", "old.zip"}) {
        WriteFile(dir / "fm/empty.txt", "");
        p.messages.clear();
        p.zip.SetZipFileName(Utf8Of(dir / archive));
        p.zip.OnProgress = [&](TZipArchiver*, ProgressType kind, const std::string&, uint64_t) {
            if (kind == ptBatchByteCount) std::ofstream(dir / "fm/empty.txt", std::ios::app) << "now it holds text";
        };
        p.zip.FSpecArgs() = {"a.txt", "empty.txt"};
        EXPECT_EQ(p.zip.AddToArchive(), 10101) << archive << "\n" << p.AllMessages();
        EXPECT_TRUE(p.HasMessage("empty.txt\" changed while it was being packed")) << archive << "\n"
                                                                                   << p.AllMessages();
        EXPECT_EQ(ReadFile(dir / "old.zip"), before) << archive;
        EXPECT_EQ(ziptest::Listing(dir.Path()), (std::vector<std::string>{"fm", "old.zip"})) << archive;
    }
    p.zip.OnProgress = nullptr;
    // Left alone, it is packed as the empty entry it is.
    WriteFile(dir / "fm/empty.txt", "");
    p.zip.SetZipFileName(Utf8Of(dir / "new.zip"));
    p.zip.FSpecArgs() = {"a.txt", "empty.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(ArchiveNames(dir / "new.zip"), (std::vector<std::string>{"a.txt", "empty.txt"}));
}

TEST(ZipArchAdd, TheArchiveBeingReplacedIsNeverPackedIntoIt)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    WriteFile(dir / "fm/bell.zip", "the previous package");
    fs::create_hard_link(dir / "fm/bell.zip", dir / "fm/hard.zip");
    // Not every system lets a test make symbolic links (Windows does not
    // without developer mode); the hard link is checked there all the same.
    std::error_code noLinks;
    fs::create_symlink(dir / "fm/bell.zip", dir / "fm/soft.zip", noLinks);
    Packer p;
    p.zip.SetZipFileName(Utf8Of(dir / "fm/.bell.zip.part"));
    p.zip.SetFinalZipName(Utf8Of(dir / "fm/../fm/bell.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.txt", "BELL.ZIP", "hard.zip"};
    std::vector<std::string> refused{"bell.zip\" is not added", "hard.zip\" is not added"};
    if (!noLinks) {
        p.zip.FSpecArgs().push_back("soft.zip");
        refused.push_back("soft.zip\" is not added");
    }
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(ArchiveNames(dir / "fm/.bell.zip.part"), std::vector<std::string>{"a.txt"});
    for (const std::string& name : refused) EXPECT_TRUE(p.HasMessage(name)) << name << "\n" << p.AllMessages();
}

TEST(ZipArchAdd, EveryCommandRecordFieldReachesTheEngine)
{
    ScratchDir dir;
    // An archive with a comment: the next run hands the comment on.
    {
        int err = 0;
        zip_t* za = zip_open(Utf8Of(dir / "a.zip").c_str(), ZIP_CREATE, &err);
        ASSERT_NE(za, nullptr);
        zip_set_archive_comment(za, "hello", 5);
        zip_source_t* src = zip_source_buffer(za, "x", 1, 0);
        zip_file_add(za, "x.txt", src, 0);
        ASSERT_EQ(zip_close(za), 0);
    }
    Packer p;
    p.zip.SetDLLDirectory(fakeDir(180));
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    EXPECT_EQ(p.zip.ZipComment(), "hello");
    p.zip.SetUnattended(true);
    p.zip.SetTrace(true);
    p.zip.SetPassword("pw");
    p.zip.SetTempDir("/tmp/work");
    p.zip.SetCodePage(cpOEM);
    p.zip.SetAddFrom(25569); // 1 Jan 1970
    p.zip.SetAddOptions({AddEncrypt, AddVolume, AddSeparateDirs, AddFromDate, AddRecurseDirs, AddSafe, AddForceDOS,
                         AddMove, AddArchiveOnly, AddResetArchive});
    p.zip.FSpecArgs() = {"a.txt"};
    p.zip.FSpecArgsExcl() = {"*.bak", "old\\*.*"};
    EXPECT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("fields owner=0 callerRef=1 interface=173 trace=-1 password=\"pw\" encrypt=-1 volume=-1 "
                             "noDirEntries=0 fromDateFlag=-1 fromDate=\"01 01 70\" verbose=-1 quiet=-1 recurse=65535 "
                             "grow=0 forceDos=-1 move=-1 specCount=1 archive=\"" +
                             Utf8Of(dir / "a.zip") +
                             "\" temp=\"/tmp/work\" comment=\"hello\" archiveOnly=1 resetArchive=1 codePage=2"))
        << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("exclude \"*.bak\"")) << p.AllMessages();
    EXPECT_TRUE(p.HasMessage("exclude \"old\\*.*\"")) << p.AllMessages();
    EXPECT_TRUE(p.zip.FSpecArgsExcl().empty());

    // The defaults, a window as owner, and the first day of 2000.
    Packer d;
    d.zip.SetDLLDirectory(fakeDir(180));
    d.zip.SetZipFileName(Utf8Of(dir / "none.zip"));
    d.zip.SetOwnerWindow(77);
    d.zip.SetAddFrom(36526.75); // 1 Jan 2000, evening
    d.zip.FSpecArgs() = {"a.txt", "b.txt"};
    EXPECT_EQ(d.zip.AddToArchive(), 0) << d.AllMessages();
    EXPECT_TRUE(
        d.HasMessage("fields owner=77 callerRef=1 interface=173 trace=0 password=null encrypt=0 volume=0 "
                     "noDirEntries=-1 fromDateFlag=0 fromDate=\"01 01 00\" verbose=0 quiet=-1 recurse=0 grow=-1 "
                     "forceDos=0 move=0 specCount=2 archive=\"" +
                     Utf8Of(dir / "none.zip") + "\" temp=null comment=null archiveOnly=0 resetArchive=0 codePage=0"))
        << d.AllMessages();
    EXPECT_FALSE(d.HasMessage("exclude"));
}

TEST(ZipArchCallbacks, ActionsSevenToSixteenAnswerThroughTheRecord)
{
    ScratchDir dir;
    Packer p;
    p.zip.SetDLLDirectory(fakeDir(180));
    p.zip.SetZipFileName(Utf8Of(dir / "callbacks.zip"));
    p.zip.SetUnattended(true);
    std::vector<std::string> seen;
    p.zip.OnSetNewName = [&](TZipArchiver*, std::string& name, bool& changed) {
        seen.push_back("rename " + name);
        name = "new\\name.txt";
        changed = true;
    };
    p.zip.OnPasswordError = [&](TZipArchiver*, bool isZip, std::string& pw, const std::string& forFile,
                                unsigned& repeat, PasswordButton&) {
        seen.push_back("password " + forFile + " zip=" + std::to_string(isZip) + " repeat=" + std::to_string(repeat));
        pw = "letmein";
    };
    p.zip.OnFileComment = [&](TZipArchiver*, const std::string& forFile, std::string& comment, bool& changed) {
        seen.push_back("comment " + forFile + " was \"" + comment + "\"");
        comment = "new comment";
        changed = true;
    };
    p.zip.OnFileExtra = [&](TZipArchiver*, const std::string& forFile, std::string& data, bool& changed) {
        seen.push_back("extra " + forFile + " " + std::to_string(data.size()) + " " + data.substr(0, 3));
        data = data.size() < 100 ? "short" : std::string(600, 'L');
        changed = true;
    };
    std::vector<std::string> progress;
    p.zip.OnProgress = [&](TZipArchiver*, ProgressType kind, const std::string& name, uint64_t size) {
        progress.push_back(std::to_string(kind) + " " + name + " " + std::to_string(size));
    };
    p.zip.OnItemProgress = [&](TZipArchiver*, const std::string& item, uint64_t total, int pct) {
        progress.push_back("item " + item + " " + std::to_string(total) + " " + std::to_string(pct));
    };
    p.zip.OnZipStr = [](TZipArchiver*, int id, std::string& text) {
        if (id == ZipMsg::ExtraStepBase + 2) text = "Checking";
    };
    p.zip.FSpecArgs() = {"a.txt"};
    p.zip.AddToArchive();

    EXPECT_EQ(seen, (std::vector<std::string>{"rename dir\\old name.txt", "password secret.txt zip=1 repeat=15",
                                              "comment commented.txt was \"old comment\"", "extra extra.txt 10 eee",
                                              "extra extra.txt 600 eee"}));
    for (const char* line : {
             "a7 answer=0 action=7 err=1 size=0 text=\"new\\name.txt\"",
             "a8 answer=0 action=8 err=1 size=15 text=\"letmein\"",
             "a9 answer=0 action=9 err=2 size=0 text=\"bad.txt\"",
             "a10 answer=0 action=10 err=0 size=5 text=\"exists.txt\"",
             "a11 answer=0 action=11 err=785 size=0 text=\"skipped.txt\"",
             "a12 answer=0 action=12 err=1 size=11 text=\"new comment\"",
             "a13 answer=0 action=13 err=1 size=0 text=\"\"",
             "a14 answer=0 action=14 err=-1 size=5 text=\"short\"",
             "a14 answer=0 action=14 err=-1 size=600 text=\"extra.txt\"",
             "a15 answer=0 action=15 err=2 size=1000 text=\"step.txt\"",
             "a16 answer=0 action=16 err=0 size=250 text=\"\"",
         })
        EXPECT_TRUE(p.HasMessage(line)) << line << "\n" << p.AllMessages();
    // Data of 512 bytes or more comes back through the data pointer.
    EXPECT_TRUE(p.HasMessage("a14 data 600 bytes all L")) << p.AllMessages();
    // A skipped file's error is the run's error.
    EXPECT_EQ(p.zip.FullErrCode(), 0x311);
    EXPECT_EQ(p.zip.ErrCode(), 0x11);
    // The secondary step: its own progress kinds, the item text from the
    // step's message number.
    EXPECT_EQ(progress, (std::vector<std::string>{"5 step.txt 1000", "6 Checking 250", "item Checking 1000 25"}));

    // Without handlers: nothing renamed, no password (and the user is told),
    // nothing changed.
    Packer bare;
    bare.zip.SetDLLDirectory(fakeDir(180));
    bare.zip.SetZipFileName(Utf8Of(dir / "callbacks.zip"));
    bare.zip.SetUnattended(true);
    bare.zip.FSpecArgs() = {"a.txt"};
    bare.zip.AddToArchive();
    for (const char* line : {"a7 answer=0 action=7 err=0 size=0 text=\"dir/old name.txt\"",
                             "a8 answer=0 action=8 err=0 size=0 text=\"secret.txt\"",
                             "a12 answer=0 action=12 err=0 size=0 text=\"commented.txt\"",
                             "a14 answer=0 action=14 err=0 size=10 text=\"extra.txt\""})
        EXPECT_TRUE(bare.HasMessage(line)) << line << "\n" << bare.AllMessages();
    EXPECT_TRUE(bare.HasMessage(missingText(ZipMsg::NewPasswordNotGiven))) << bare.AllMessages();
}

TEST(ZipArchAdd, EngineVersion160IsRefused)
{
    ScratchDir dir;
    Packer p;
    p.zip.SetDLLDirectory(fakeDir(160));
    p.zip.SetZipFileName(Utf8Of(dir / "a.zip"));
    p.zip.FSpecArgs() = {"a.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::EngineWrongVersion);
    EXPECT_TRUE(
        p.HasMessage(missingText(ZipMsg::EngineWrongVersion, fakeDir(160) + "/" + TZipLibLoader::FileName(zlkZip))))
        << p.AllMessages();
    EXPECT_FALSE(p.zip.ZipEngine().Loaded());
}

TEST(ZipArchAdd, PacksFilesUnderTheirListedPathsWithProgressInOrder)
{
    ScratchDir dir;
    const fs::path fm = dir / "fm";
    WriteFile(fm / "miss20.mis", SomeBytes(300000, 1));
    WriteFile(fm / "Strings/English/titles.str", "title_20: \"The Vault\"\n");
    WriteFile(fm / "fam/stone.png", SomeBytes(5000, 2));
    WriteFile(fm / "empty.txt", "");
    WriteFile(fm / u8"Über.txt", "umlaut"); // u8: a path takes plain text in the code page on Windows

    Packer p;
    std::vector<std::pair<ProgressType, uint64_t>> events;
    std::vector<std::string> started;
    p.zip.OnProgress = [&](TZipArchiver*, ProgressType t, const std::string& name, uint64_t size) {
        events.emplace_back(t, size);
        if (t == ptItemStart) started.push_back(name);
    };
    int lastTotalPercent = -2;
    p.zip.OnTotalProgress = [&](TZipArchiver*, uint64_t, int pc) { lastTotalPercent = pc; };
    int dirUpdates = 0;
    p.zip.OnDirUpdate = [&](TZipArchiver*) { ++dirUpdates; };
    const std::string zipName = Utf8Of(dir / "out.zip");
    p.zip.FSpecArgs().clear();
    p.zip.SetZipFileName(zipName);
    EXPECT_EQ(dirUpdates, 1);
    p.zip.SetRootDir(Utf8Of(fm) + "/");
    p.zip.FSpecArgs() = {"miss20.mis", "strings\\english\\TITLES.STR", "FAM\\Stone.png", "empty.txt", "Über.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), 5);

    // Entries in list order, named as they are on disk, "/" separated.
    const std::vector<std::string> names = {"miss20.mis", "Strings/English/titles.str", "fam/stone.png", "empty.txt",
                                            "Über.txt"};
    EXPECT_EQ(ArchiveNames(platform::PathFromUtf8(zipName)), names);
    std::string err;
    auto entries = ReadArchive(platform::PathFromUtf8(zipName), &err);
    EXPECT_EQ(err, "");
    for (const std::string& n : names) EXPECT_EQ(entries[n].bytes, ReadFile(fm / platform::PathFromUtf8(n))) << n;
    EXPECT_EQ(entries["fam/stone.png"].method, 0);
    EXPECT_EQ(entries["miss20.mis"].method, 8);

    // Counts first, each file started and stepped, the end last.
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], std::make_pair(ptBatchFileCount, uint64_t(5)));
    const uint64_t total = 300000 + 22 + 5000 + 0 + 6;
    EXPECT_EQ(events[1], std::make_pair(ptBatchByteCount, total));
    EXPECT_EQ(events.back().first, ptBatchEnd);
    uint64_t stepped = 0;
    for (size_t i = 2; i + 1 < events.size(); ++i) {
        if (events[i].first == ptItemStart) {
            EXPECT_EQ(events[i + 1].first, ptItemBytes) << i;
        }
        if (events[i].first == ptItemBytes) stepped += events[i].second;
    }
    EXPECT_EQ(stepped, total);
    EXPECT_EQ(started, (std::vector<std::string>{"miss20.mis", "Strings\\English\\titles.str", "fam\\stone.png",
                                                 "empty.txt", "Über.txt"}));
    EXPECT_EQ(lastTotalPercent, -1);

    // The directory was read back.
    EXPECT_EQ(dirUpdates, 2);
    ASSERT_EQ(p.zip.Count(), 5);
    EXPECT_EQ(p.zip.DirEntry(1).EntryName, "Strings\\English\\titles.str");
    EXPECT_EQ(p.zip.DirEntry(4).EntryName, "Über.txt");
    EXPECT_TRUE(p.zip.DirEntry(4).Flag & 0x0800) << "non-ASCII name without the UTF-8 flag";
    EXPECT_FALSE(p.zip.DirEntry(0).Flag & 0x0800);
    EXPECT_FALSE(p.zip.DirEntry(0).IsEncrypted);
    EXPECT_EQ(p.zip.SFXOffset(), 0u);
    EXPECT_FALSE(p.zip.ZipEngine().Loaded());
    EXPECT_TRUE(p.zip.FSpecArgs().empty());
}

TEST(ZipArchAdd, LargeFilesArePackedInPiecesThatJoinIntoOneStream)
{
    ScratchDir dir;
    const std::string big = SomeBytes((13 << 20) + 12345, 7);
    WriteFile(dir / "fm/big.mis", big);
    WriteFile(dir / "fm/after.txt", "after");
    Packer p;
    uint64_t steps = 0;
    p.zip.OnProgress = [&](TZipArchiver*, ProgressType t, const std::string&, uint64_t) { steps += t == ptItemBytes; };
    p.zip.SetZipFileName(Utf8Of(dir / "big.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"big.mis", "after.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    std::string err;
    auto entries = ReadArchive(dir / "big.zip", &err);
    EXPECT_EQ(err, "");
    EXPECT_TRUE(entries["big.mis"].bytes == big);
    EXPECT_EQ(entries["after.txt"].bytes, "after");
    EXPECT_GT(steps, 8u) << "a 13 MB file should move the bar more than a few times";
}

TEST(ZipArchAdd, EntriesNeverLeaveTheArchiveRoot)
{
    ScratchDir dir;
    WriteFile(dir / "fm/in.txt", "in");
    WriteFile(dir / "shared/snd/out.wav", "outside");
    WriteFile(dir / "abs/file.txt", "absolute");
    Packer p;
    p.zip.SetZipFileName(Utf8Of(dir / "fm/pack.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"in.txt", "..\\shared\\snd\\out.wav", Utf8Of(dir / "abs/file.txt")};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    const auto names = ArchiveNames(dir / "fm/pack.zip");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "in.txt");
    EXPECT_EQ(names[1], "shared/snd/out.wav");
    EXPECT_EQ(names[2], "abs/file.txt"); // its path from the root without the leading ".."
    for (const std::string& n : names) {
        EXPECT_NE(n.front(), '/');
        EXPECT_EQ(n.find(".."), std::string::npos);
        EXPECT_EQ(n.find(':'), std::string::npos);
    }
}

TEST(ZipArchAdd, NamesThatDifferOnlyInCaseEndTheRun)
{
    if (OnWindows) GTEST_SKIP() << "a Windows folder cannot hold two names that differ only in letter case";
    ScratchDir dir;
    WriteFile(dir / "fm/readme.txt", "one");
    WriteFile(dir / "fm/README.TXT", "two");
    Packer p;
    p.zip.SetZipFileName(Utf8Of(dir / "x.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"readme.txt", "README.TXT", "readme.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
    EXPECT_TRUE(p.HasMessage("differ only in letter case")) << p.AllMessages();
    EXPECT_FALSE(fs::exists(dir / "x.zip"));

    // The same file listed twice is stored once.
    p.zip.FSpecArgs() = {"readme.txt", "./readme.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(ArchiveNames(dir / "x.zip"), std::vector<std::string>{"readme.txt"});
}

TEST(ZipArchAdd, UnreadableFileEndsTheRunAndKeepsTheOldArchive)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    const fs::path zipName = dir / "fm.zip";
    Packer p;
    Boxes boxes;
    p.zip.SetQuestions(&boxes);
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0);
    const std::string before = ReadFile(zipName);

    WriteFile(dir / "fm/b.txt", "b");
    p.zip.SetAddOptions({AddDirNames}); // replace, not update: the archive would change
    p.zip.FSpecArgs() = {"b.txt", "missions\\gone.mis"};
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find("missions\\gone.mis"), std::string::npos) << boxes.shown[0];
    EXPECT_EQ(ReadFile(zipName), before);
    EXPECT_EQ(ziptest::Listing(dir.Path()), (std::vector<std::string>{"fm", "fm.zip"}));
}

TEST(ZipArchAdd, ExceptionInOnProgressAbortsTheRun)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.mis", SomeBytes(200000, 3));
    WriteFile(dir / "fm/b.mis", SomeBytes(200000, 4));
    Packer p;
    int calls = 0;
    p.zip.OnProgress = [&](TZipArchiver*, ProgressType t, const std::string&, uint64_t) {
        ++calls;
        if (t == ptItemStart) throw std::runtime_error("boom");
    };
    p.zip.SetZipFileName(Utf8Of(dir / "out.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.mis", "b.mis"};
    EXPECT_EQ(p.zip.AddToArchive(), 9);
    EXPECT_EQ(p.zip.Message(), "Exception in Event  #1 \"boom\"");
    EXPECT_TRUE(p.HasMessage("Exception in Event  #1 \"boom\"")) << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), 0);
    EXPECT_FALSE(fs::exists(dir / "out.zip"));
    EXPECT_EQ(ziptest::Listing(dir.Path()), std::vector<std::string>{"fm"});
    EXPECT_FALSE(p.zip.Busy());
    EXPECT_FALSE(p.zip.ZipEngine().Loaded());
}

TEST(ZipArchAdd, CancelFromOnAfterCallbackLeavesNothingBehind)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.mis", SomeBytes(9 << 20, 5));
    const fs::path zipName = dir / "out.zip";
    WriteFile(zipName, ""); // not an archive yet: must survive as it is
    fs::remove(zipName);
    Packer p;
    int afterCalls = 0;
    int nested = 0;
    p.zip.OnAfterCallback = [&](CallBackInfo& info, bool& abort) {
        ++afterCalls;
        nested = info.Component->AddToArchive(); // busy: refused at once
        if (info.ActionCode == zaItemBytes) abort = true;
    };
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.mis"};
    EXPECT_EQ(p.zip.AddToArchive(), 9) << p.AllMessages();
    EXPECT_EQ(nested, -255);
    EXPECT_GT(afterCalls, 2);
    EXPECT_EQ(ziptest::Listing(dir.Path()), std::vector<std::string>{"fm"});
}

TEST(ZipArchAdd, EachRunLoadsAndFreesTheEngine)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    Packer p;
    p.zip.SetVerbose(true);
    p.zip.SetZipFileName(Utf8Of(dir / "out.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    for (int run = 0; run < 2; ++run) {
        p.zip.FSpecArgs() = {"a.txt"};
        p.zip.AddToArchive();
    }
    int loaded = 0, unloaded = 0;
    for (const auto& m : p.messages) {
        loaded += m.second.rfind("loaded ", 0) == 0;
        unloaded += m.second.rfind("unloaded ", 0) == 0;
    }
    EXPECT_EQ(loaded, 2) << p.AllMessages();
    EXPECT_EQ(unloaded, 2);
    EXPECT_TRUE(p.HasMessage("unloaded " + TZipLibLoader::ProgramDir() + "/" + TZipLibLoader::FileName(zlkZip)));
    EXPECT_TRUE(p.HasMessage("adding: a.txt"));
    EXPECT_FALSE(p.zip.ZipEngine().Loaded());
}

TEST(ZipArchAdd, ExtraStoreSuffixesAndUpdate)
{
    ScratchDir dir;
    WriteFile(dir / "fm/sky.DAT", SomeBytes(4000, 8));
    WriteFile(dir / "fm/notes.txt", SomeBytes(4000, 9));
    Packer p;
    p.zip.SetExtAddStoreSuffixes("dat");
    const fs::path zipName = dir / "out.zip";
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"sky.dat", "notes.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    auto entries = ReadArchive(zipName);
    EXPECT_EQ(entries["sky.DAT"].method, 0);
    EXPECT_EQ(entries["notes.txt"].method, 8);

    // Update adds what is new and leaves what did not change.
    WriteFile(dir / "fm/new.txt", "new");
    p.zip.FSpecArgs() = {"sky.dat", "notes.txt", "new.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), 1);
    EXPECT_EQ(ArchiveNames(zipName), (std::vector<std::string>{"sky.DAT", "notes.txt", "new.txt"}));
}

TEST(ZipArchAdd, FreshenReplacesNewerFilesAndNeverTheArchiveItself)
{
    ScratchDir dir;
    WriteFile(dir / "a.txt", "old a");
    WriteFile(dir / "b.txt", "old b");
    const fs::path zipName = dir / "fm.zip";
    Packer p;
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir.Path()));
    p.zip.FSpecArgs() = {"a.txt", "b.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();

    WriteFile(dir / "a.txt", "new a");
    fs::last_write_time(dir / "a.txt", fs::last_write_time(dir / "a.txt") + std::chrono::seconds(10));
    WriteFile(dir / "c.txt", "not in the archive");
    // An empty list with update: freshen everything ("*.*") in the root,
    // where the archive itself lies too.
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), 1);
    EXPECT_TRUE(p.zip.AddOptions().Has(AddFreshen));
    auto entries = ReadArchive(zipName);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries["a.txt"].bytes, "new a");
    EXPECT_EQ(entries["b.txt"].bytes, "old b");
}

TEST(ZipArchAdd, TempDirHoldsTheWorkUntilItIsDone)
{
    ScratchDir dir;
    WriteFile(dir / "fm/a.txt", "a");
    fs::create_directories(dir / "tmp");
    const fs::path zipName = dir / "out/fm.zip";
    Packer p;
    p.zip.SetTempDir(Utf8Of(dir / "tmp"));
    p.zip.SetAddOptions({AddDirNames, AddUpdate, AddForceDest});
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"a.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(ArchiveNames(zipName), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(ziptest::Listing(dir / "tmp").empty());
    const std::string before = ReadFile(zipName);

    // An update that fails leaves the archive and the temporary directory as they were.
    WriteFile(dir / "fm/b.txt", "b");
    p.zip.FSpecArgs() = {"b.txt", "gone.txt"};
    EXPECT_EQ(p.zip.AddToArchive(), ZipMsg::ArchiveNotMade);
    EXPECT_EQ(ReadFile(zipName), before);
    EXPECT_TRUE(ziptest::Listing(dir / "tmp").empty());
    EXPECT_EQ(ziptest::Listing(dir / "out"), std::vector<std::string>{"fm.zip"});

    p.zip.FSpecArgs() = {"b.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(ArchiveNames(zipName), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(ziptest::Listing(dir / "tmp").empty());
}

TEST(ZipArchAdd, EncryptsOnlyWhenAsked)
{
    ScratchDir dir;
    WriteFile(dir / "fm/secret.txt", SomeBytes(3000, 31));
    WriteFile(dir / "fm/open.txt", "open");
    Packer p;
    p.zip.SetAddOptions({AddDirNames, AddEncrypt});
    p.zip.SetPassword("sesame");
    const fs::path zipName = dir / "enc.zip";
    p.zip.SetZipFileName(Utf8Of(zipName));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.FSpecArgs() = {"secret.txt", "open.txt<"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    ASSERT_EQ(p.zip.Count(), 2);
    EXPECT_TRUE(p.zip.DirEntry(0).IsEncrypted);
    EXPECT_FALSE(p.zip.DirEntry(1).IsEncrypted);

    int err = 0;
    zip_t* za = zip_open(Utf8Of(zipName).c_str(), ZIP_RDONLY, &err);
    ASSERT_NE(za, nullptr);
    EXPECT_EQ(zip_fopen(za, "secret.txt", 0), nullptr) << "opened without the password";
    zip_file_t* f = zip_fopen_encrypted(za, "secret.txt", 0, "sesame");
    ASSERT_NE(f, nullptr);
    std::string back(3000, '\0');
    EXPECT_EQ(zip_fread(f, back.data(), back.size()), 3000);
    EXPECT_EQ(back, ReadFile(dir / "fm/secret.txt"));
    zip_fclose(f);
    zip_close(za);
}

TEST(ZipArchAdd, MoreEntriesThanTheEndRecordCanCountUseZip64)
{
    ScratchDir dir;
    constexpr int files = 65600;
    Packer p;
    for (int i = 0; i < files; ++i) {
        const std::string folder = "f" + std::to_string(i / 1000);
        if (i % 1000 == 0) fs::create_directories(dir / ("fm/" + folder));
        std::ofstream(dir / ("fm/" + folder + "/" + std::to_string(i))) << i;
        p.zip.FSpecArgs().push_back(folder + "\\" + std::to_string(i));
    }
    p.zip.SetZipFileName(Utf8Of(dir / "many.zip"));
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    EXPECT_EQ(p.zip.SuccessCnt(), files);
    // Read back through the zip64 end record.
    ASSERT_EQ(p.zip.Count(), files);
    EXPECT_EQ(p.zip.DirEntry(files - 1).EntryName, "f65\\65599");
    EXPECT_EQ(ArchiveNames(dir / "many.zip").size(), size_t(files));
}

// --- Reading the directory of damaged archives ---

class ZipArchDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir / "fm/one.txt", SomeBytes(3000, 11));
        WriteFile(dir / "fm/two.txt", SomeBytes(3000, 12));
        Packer p;
        p.zip.SetZipFileName(Utf8Of(good));
        p.zip.SetRootDir(Utf8Of(dir / "fm"));
        p.zip.FSpecArgs() = {"one.txt", "two.txt"};
        ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
        bytes = ReadFile(good);
    }

    // Reads name as the archive and returns the numbers reported.
    std::vector<int> numbersFor(const std::string& content, Packer& p)
    {
        const fs::path bad = dir / "bad.zip";
        WriteFile(bad, content);
        p.zip.SetUnattended(true);
        p.zip.SetZipFileName(Utf8Of(bad));
        std::vector<int> numbers;
        for (const auto& [code, text] : p.messages) {
            const size_t at = text.find("Missing String ID is: ");
            if (at != std::string::npos) numbers.push_back(std::stoi(text.substr(at + 22)));
        }
        return numbers;
    }

    size_t endRecord() const { return bytes.size() - 22; }

    ScratchDir dir;
    fs::path good = dir / "good.zip";
    std::string bytes;
};

TEST_F(ZipArchDirectory, MissingArchiveIsAnEmptyList)
{
    Packer p;
    int updates = 0;
    p.zip.OnDirUpdate = [&](TZipArchiver*) { ++updates; };
    p.zip.SetZipFileName(Utf8Of(dir / "nothing.zip"));
    EXPECT_EQ(p.zip.Count(), 0);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(p.zip.ErrCode(), 0);
}

TEST_F(ZipArchDirectory, GoodArchiveListsItsEntries)
{
    Packer p;
    std::vector<int> seq;
    p.zip.OnNewName = [&](TZipArchiver*, int n, const ZipDirEntry&) { seq.push_back(n); };
    p.zip.SetZipFileName(Utf8Of(good));
    ASSERT_EQ(p.zip.Count(), 2);
    EXPECT_EQ(seq, (std::vector<int>{1, 2}));
    EXPECT_EQ(p.zip.DirEntry(0).EntryName, "one.txt");
    EXPECT_EQ(p.zip.DirEntry(1).UncompressedSize, 3000u);
    EXPECT_EQ(p.zip.ErrCode(), 0);
    EXPECT_TRUE(p.messages.empty()) << p.AllMessages();
}

TEST_F(ZipArchDirectory, TruncatedAndGarbageFilesHaveNoEndRecord)
{
    Packer p1;
    EXPECT_EQ(numbersFor(bytes.substr(0, bytes.size() / 2), p1), std::vector<int>{ZipMsg::ArchiveWithoutEnd});
    EXPECT_EQ(p1.zip.Count(), 0);
    Packer p2;
    EXPECT_EQ(numbersFor(SomeBytes(100000, 13), p2), std::vector<int>{ZipMsg::NotAnArchive});
    Packer p3;
    EXPECT_EQ(numbersFor("PK", p3), std::vector<int>{ZipMsg::NotAnArchive});
    Packer p4;
    EXPECT_EQ(numbersFor(std::string(22, '\0'), p4), std::vector<int>{ZipMsg::NotAnArchive});
    // With its texts, the message names the file apart from the sentence.
    Packer p5;
    p5.zip.OnZipStr = [](TZipArchiver*, int id, std::string& text) { text = ZipMessageText(id); };
    numbersFor("PK", p5);
    EXPECT_EQ(p5.zip.Message(), "The file is not a zip archive: " + Utf8Of(dir / "bad.zip"));
}

TEST_F(ZipArchDirectory, WrongOffsetIsReportedAndTheComputedOneUsed)
{
    // Data before the archive moves everything; the recorded offset is stale.
    Packer p;
    EXPECT_EQ(numbersFor(std::string(1000, 'x') + bytes, p), std::vector<int>{ZipMsg::DirectoryMisplaced});
    ASSERT_EQ(p.zip.Count(), 2);
    EXPECT_EQ(p.zip.DirEntry(1).EntryName, "two.txt");
    EXPECT_EQ(p.zip.ErrCode(), ZipMsg::DirectoryMisplaced);
}

TEST_F(ZipArchDirectory, DamagedCentralDirectoryFields)
{
    std::string s = bytes;
    // A central directory larger than the file.
    s[endRecord() + 12] = char(0xFF);
    s[endRecord() + 15] = char(0x7F);
    Packer p1;
    EXPECT_EQ(numbersFor(s, p1), std::vector<int>{ZipMsg::DirectoryUnreadable});

    // More entries than there are headers.
    s = bytes;
    s[endRecord() + 10] = 3;
    Packer p2;
    const auto n2 = numbersFor(s, p2);
    ASSERT_EQ(n2.size(), 1u);
    EXPECT_TRUE(n2[0] == ZipMsg::EntryHeaderShort || n2[0] == ZipMsg::EntryHeaderSignature) << n2[0];

    // A header signature destroyed.
    s = bytes;
    const size_t cd = s.find("PK\x01\x02");
    ASSERT_NE(cd, std::string::npos);
    s[cd + 2] = 9;
    Packer p3;
    // The end record's offset no longer matches nothing else; only the header is bad.
    EXPECT_EQ(numbersFor(s, p3), std::vector<int>{ZipMsg::EntryHeaderSignature});

    // A name that runs past the directory.
    s = bytes;
    const size_t second = s.find("PK\x01\x02", cd + 4);
    s[second + 28] = char(0xF0);
    Packer p4;
    EXPECT_EQ(numbersFor(s, p4), std::vector<int>{ZipMsg::EntryNameShort});
}

TEST_F(ZipArchDirectory, DataAfterTheEnd)
{
    Packer p;
    EXPECT_EQ(numbersFor(bytes + "trailing", p), std::vector<int>{ZipMsg::DataAfterEnd});
    EXPECT_EQ(p.zip.Count(), 2);
    // Zero padding up to a 512-byte boundary is not worth a word.
    std::string padded = bytes + std::string(512 - bytes.size() % 512, '\0');
    Packer p2;
    EXPECT_TRUE(numbersFor(padded, p2).empty());
}

// An archive written byte by byte: stored entries with the given name
// bytes, host system, made-by version and flags.
struct RawEntry {
    RawEntry(std::string n, uint8_t h = 0, uint8_t m = 20, uint16_t f = 0, std::string c = {})
        : name(std::move(n)), host(h), made(m), flags(f), comment(std::move(c))
    {
    }
    std::string name;
    uint8_t host;
    uint8_t made;
    uint16_t flags;
    std::string comment;
};

void put16(std::string& s, unsigned v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}

void put32(std::string& s, uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

std::string rawArchive(const std::vector<RawEntry>& entries, const std::string& comment)
{
    std::string local, central;
    for (const RawEntry& e : entries) {
        const uint32_t offset = uint32_t(local.size());
        put32(local, 0x04034B50);
        put16(local, 20);
        put16(local, e.flags);
        put16(local, 0);
        put32(local, 0);
        put32(local, 0);
        put32(local, 0);
        put32(local, 0);
        put16(local, unsigned(e.name.size()));
        put16(local, 0);
        local += e.name;
        put32(central, 0x02014B50);
        central += char(e.made);
        central += char(e.host);
        put16(central, 20);
        put16(central, e.flags);
        put16(central, 0);
        put32(central, 0);
        put32(central, 0);
        put32(central, 0);
        put32(central, 0);
        put16(central, unsigned(e.name.size()));
        put16(central, 0);
        put16(central, unsigned(e.comment.size()));
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central += e.name;
        central += e.comment;
    }
    std::string end;
    put32(end, 0x06054B50);
    put16(end, 0);
    put16(end, 0);
    put16(end, unsigned(entries.size()));
    put16(end, unsigned(entries.size()));
    put32(end, uint32_t(central.size()));
    put32(end, uint32_t(local.size()));
    put16(end, unsigned(comment.size()));
    return local + central + end + comment;
}

TEST_F(ZipArchDirectory, NamesAndCommentsFollowTheCodePageRules)
{
    // 0xE9 is "Ú" in code page 850 and "é" in Windows-1252.
    const std::string oem = "caf\xc3\x9a.txt", ansi = "caf\xc3\xa9.txt";
    struct Case {
        RawEntry entry;
        CodePageOpts cp;
        std::string expected;
    };
    const Case cases[] = {
        {{"caf\xe9.txt", 0, 20, 0, "caf\xe9"}, cpAuto, oem},  // FAT: OEM
        {{"caf\xe9.txt", 3, 20, 0, "caf\xe9"}, cpAuto, ansi}, // Unix: as it stands
        {{"caf\xe9.txt", 3, 20, 0, "caf\xe9"}, cpOEM, oem},   // asked for
        {{"caf\xe9.txt", 0, 20, 0, "caf\xe9"}, cpNone, ansi}, // asked not to
        {{"caf\xe9.txt", 6, 20, 0, "caf\xe9"}, cpNone, oem},  // HPFS, whatever is asked
        {{"caf\xe9.txt", 11, 50, 0, "caf\xe9"}, cpNone, oem}, // NTFS by an old writer
        {{"caf\xe9.txt", 11, 20, 0, "caf\xe9"}, cpNone, ansi},
        {{"caf\xc3\xa9.txt", 0, 20, 0x800, "caf\xc3\xa9"}, cpOEM, ansi}, // flagged UTF-8
    };
    for (const Case& c : cases) {
        WriteFile(dir / "cp.zip", rawArchive({c.entry}, ""));
        Packer p;
        p.zip.SetUnattended(true);
        p.zip.SetCodePage(c.cp);
        p.zip.SetZipFileName(Utf8Of(dir / "cp.zip"));
        ASSERT_EQ(p.zip.Count(), 1) << p.AllMessages();
        EXPECT_EQ(p.zip.DirEntry(0).EntryName, c.expected) << int(c.entry.host) << " " << int(c.cp);
        EXPECT_EQ(p.zip.DirEntry(0).EntryComment + ".txt", c.expected) << int(c.entry.host) << " " << int(c.cp);
    }
}

TEST_F(ZipArchDirectory, ArchiveCommentAndDirectoryOnlyEntries)
{
    WriteFile(dir / "dirs.zip",
              rawArchive({{"a.txt"}, {"sub/"}, {"sub/b.txt", 0, 20, 0, "about b"}, {"sub/deeper/"}}, "The FM, packed"));
    Packer p;
    std::vector<int> seqs;
    p.zip.OnNewName = [&](TZipArchiver*, int seq, const ZipDirEntry&) { seqs.push_back(seq); };
    p.zip.SetZipFileName(Utf8Of(dir / "dirs.zip"));
    EXPECT_EQ(p.zip.ZipComment(), "The FM, packed");
    ASSERT_EQ(p.zip.Count(), 2);
    EXPECT_EQ(p.zip.DirEntry(0).EntryName, "a.txt");
    EXPECT_EQ(p.zip.DirEntry(1).EntryName, "sub\\b.txt");
    EXPECT_EQ(p.zip.DirEntry(1).EntryComment, "about b");
    EXPECT_EQ(p.zip.DirOnlyCount(), 2);
    EXPECT_EQ(seqs, (std::vector<int>{1, 3})); // left-out entries still count

    Packer all;
    all.zip.SetUseDirOnlyEntries(true);
    all.zip.SetZipFileName(Utf8Of(dir / "dirs.zip"));
    ASSERT_EQ(all.zip.Count(), 4);
    EXPECT_EQ(all.zip.DirEntry(1).EntryName, "sub\\");
    EXPECT_EQ(all.zip.DirEntry(3).EntryName, "sub\\deeper\\");
    EXPECT_EQ(all.zip.DirOnlyCount(), 0);
}

} // namespace
} // namespace lw

namespace lw {
namespace {

// "YYYY-MM-DD hh:mm:ss" of an entry's DOS date and time.
std::string dosStamp(uint32_t dateTime)
{
    const unsigned date = dateTime >> 16, time = dateTime & 0xFFFF;
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
}

// The time of a local date and time.
fs::file_time_type localTime(int year, int month, int day, int hour = 12)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    const auto since = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    return fs::file_time_type::clock::now() + (since - std::chrono::system_clock::now());
}

} // namespace

// A DOS date holds the years 1980 to 2107: times outside keep to its ends
// instead of wrapping into another year, in a new archive and in one
// brought up to date; the archive itself is never dated ahead of now.
TEST(ZipArchAdd, EntryTimesKeepToTheYearsADosDateHolds)
{
    ScratchDir dir;
    WriteFile(dir / "fm/future.txt", "from a clock set wrong");
    WriteFile(dir / "fm/past.txt", "from before 1980");
    WriteFile(dir / "fm/later.txt", "added to the archive later");
    fs::last_write_time(dir / "fm/future.txt", localTime(2150, 6, 1));
    fs::last_write_time(dir / "fm/past.txt", localTime(1975, 6, 1));
    fs::last_write_time(dir / "fm/later.txt", localTime(2200, 1, 1));
    Packer p;
    p.zip.SetRootDir(Utf8Of(dir / "fm"));
    p.zip.SetZipFileName(Utf8Of(dir / "fm.zip"));
    p.zip.FSpecArgs() = {"future.txt", "past.txt"};
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    p.zip.FSpecArgs() = {"future.txt", "past.txt", "later.txt"}; // libzip adds to the archive
    ASSERT_EQ(p.zip.AddToArchive(), 0) << p.AllMessages();
    std::map<std::string, std::string> stamps;
    for (const ZipDirEntry& e : p.zip.DirEntries()) stamps[e.EntryName] = dosStamp(e.DateTime);
    EXPECT_EQ(stamps, (std::map<std::string, std::string>{{"future.txt", "2107-12-31 23:59:58"},
                                                          {"later.txt", "2107-12-31 23:59:58"},
                                                          {"past.txt", "1980-01-01 00:00:00"}}));
    EXPECT_LE(fs::last_write_time(dir / "fm.zip"), fs::file_time_type::clock::now());
}

} // namespace lw
