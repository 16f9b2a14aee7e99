// The engine loader: where it looks, which versions it takes, and how its
// holds keep the library loaded. Stand-in engines report versions 152, 160,
// 180 and 301 from their own folders under <bin>/fakeeng.
#include "core/zip/ZLibLoad.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lw {
namespace {

struct Host : ZipLoaderHost {
    std::string dir;
    bool verbose = false;
    std::vector<std::pair<int, std::string>> reports;
    std::string LoaderDirectory() const override { return dir; }
    bool LoaderVerbose() const override { return verbose; }
    void LoaderReport(ZipMsg::Id ident, const std::string& path) override { reports.emplace_back(ident, path); }
};

std::string fakeDir(int version)
{
    return TZipLibLoader::ProgramDir() + "/fakeeng/v" + std::to_string(version);
}

int raisedIdent(TZipLibLoader& loader, int minVersion)
{
    try {
        loader.Require(minVersion, false);
    } catch (const EZipArchiver& e) {
        return e.Ident();
    }
    return 0;
}

TEST(ZipLoader, JoinInsertsExactlyOneSeparator)
{
    EXPECT_EQ(TZipLibLoader::Join("", "libzipeng.so"), "libzipeng.so");
    EXPECT_EQ(TZipLibLoader::Join("/opt/lw", "libzipeng.so"), "/opt/lw/libzipeng.so");
    EXPECT_EQ(TZipLibLoader::Join("/opt/lw/", "libzipeng.so"), "/opt/lw/libzipeng.so");
    EXPECT_EQ(TZipLibLoader::Join("/opt/lw", "/libzipeng.so"), "/opt/lw/libzipeng.so");
    EXPECT_EQ(TZipLibLoader::Join("/opt/lw/", "/libzipeng.so"), "/opt/lw/libzipeng.so");
    EXPECT_EQ(TZipLibLoader::Join("C:", "libzipeng.so"), "C:libzipeng.so");
}

TEST(ZipLoader, VersionsOutsideTheAcceptedRangeAreRefusedAndFreed)
{
    for (int version : {152, 301}) {
        Host host;
        host.dir = fakeDir(version);
        TZipEng loader(&host);
        try {
            loader.Require(173, false);
            ADD_FAILURE() << "version " << version << " was accepted";
        } catch (const EZipArchiver& e) {
            EXPECT_EQ(e.Ident(), ZipMsg::EngineWrongVersion);
            // The message names the library that was tried.
            EXPECT_NE(std::string(e.what()).find(host.dir + "/" + TZipLibLoader::FileName(zlkZip)), std::string::npos)
                << e.what();
        }
        EXPECT_FALSE(loader.Loaded());
        EXPECT_EQ(loader.UsageMask(), 0u);
        EXPECT_EQ(loader.Version(), 0);
    }
}

TEST(ZipLoader, Version160LoadsButAnAddNeeds173)
{
    Host host;
    host.dir = fakeDir(160);
    TZipEng loader(&host);
    EXPECT_EQ(loader.Require(153, false), 160);
    EXPECT_TRUE(loader.Loaded());
    EXPECT_EQ(loader.Build(), 16000);
    loader.Release(false);
    EXPECT_FALSE(loader.Loaded());

    EXPECT_EQ(raisedIdent(loader, 173), ZipMsg::EngineWrongVersion);
    EXPECT_FALSE(loader.Loaded());
    EXPECT_EQ(loader.UsageMask(), 0u);
}

TEST(ZipLoader, MissingLibraryRaisesEngineNotLoadedWithThePathTried)
{
    Host host;
    TUnzEng loader(&host); // no unzip engine exists anywhere
    try {
        loader.Require(173, false);
        ADD_FAILURE() << "a missing library loaded";
    } catch (const EZipArchiver& e) {
        EXPECT_EQ(e.Ident(), ZipMsg::EngineNotLoaded);
        EXPECT_EQ(e.StrArg(), TZipLibLoader::FileName(zlkUnzip));
    }
    EXPECT_FALSE(loader.Loaded());
    EXPECT_EQ(loader.UsageMask(), 0u);
}

TEST(ZipLoader, DirectoryForms)
{
    // Absolute directory: that directory's library.
    {
        Host host;
        host.dir = fakeDir(160);
        TZipEng loader(&host);
        EXPECT_EQ(loader.Require(153, false), 160);
        EXPECT_EQ(loader.Path(), fakeDir(160) + "/" + TZipLibLoader::FileName(zlkZip));
    }
    // Relative to the program's directory when it begins with a dot.
    {
        Host host;
        host.dir = "./fakeeng/v160";
        TZipEng loader(&host);
        EXPECT_EQ(loader.Require(153, false), 160);
        EXPECT_EQ(loader.Path(), fakeDir(160) + "/" + TZipLibLoader::FileName(zlkZip));
    }
    // A dotted directory without the library, and no directory at all: the
    // program's own engine beside it.
    for (const std::string dir : {"./no-such-folder", ""}) {
        Host host;
        host.dir = dir;
        TZipEng loader(&host);
        EXPECT_GE(loader.Require(173, false), 173) << dir;
        EXPECT_EQ(loader.Path(), TZipLibLoader::ProgramDir() + "/" + TZipLibLoader::FileName(zlkZip)) << dir;
    }
}

TEST(ZipLoader, HoldsKeepTheLibraryUntilTheLastIsReleased)
{
    Host host;
    host.dir = fakeDir(180);
    host.verbose = true;
    TZipEng loader(&host);
    loader.Require(173, true);  // held by the program
    loader.Require(173, false); // held for an operation
    EXPECT_EQ(loader.UsageMask(), TZipLibLoader::UseProgram | TZipLibLoader::UseOperation);

    ZipFileSpecEntry specs[3] = {};
    ZipExecParams params{};
    params.specCount = 3;
    params.specArray = specs;
    specs[0].fileSpec = specs[1].fileSpec = specs[2].fileSpec = "a";
    EXPECT_EQ(loader.Execute(&params), 3);
    EXPECT_TRUE(loader.Loaded());

    loader.Release(false);
    EXPECT_TRUE(loader.Loaded());
    loader.Release(true);
    EXPECT_FALSE(loader.Loaded());

    const std::string path = fakeDir(180) + "/" + TZipLibLoader::FileName(zlkZip);
    EXPECT_EQ(host.reports,
              (std::vector<std::pair<int, std::string>>{{ZipMsg::EngineLoaded, path}, {ZipMsg::EngineUnloaded, path}}));
}

TEST(ZipLoader, NoReportsWithoutVerbose)
{
    Host host;
    host.dir = fakeDir(180);
    TZipEng loader(&host);
    loader.Require(173, false);
    loader.Release(false);
    EXPECT_TRUE(host.reports.empty());
}

TEST(ZipArchiverException, FallbackTexts)
{
    EXPECT_STREQ(EZipArchiver(ZipMsg::NoArchiveName, 1).what(), "ZipArchiver [ 10102 ]");
    EXPECT_STREQ(EZipArchiver(ZipMsg::DirectoryOnOtherDisk, 3LL).what(), "ZipArchiver [ 11038 ] ,3");
    EXPECT_STREQ(EZipArchiver(ZipMsg::EngineNotLoaded, std::string("/x/libzipeng.so")).what(),
                 "ZipArchiver [ 10650 ], /x/libzipeng.so");
    EXPECT_EQ(EZipArchiver(ZipMsg::NoArchiveName, 0).DisplayMsg(), 0);
    EXPECT_EQ(EZipArchiver(ZipMsg::DirectoryOnOtherDisk, 3LL).DisplayMsg(), 1);
    EXPECT_EQ(FormatZipText("Cannot load %s now", "x"), "Cannot load x now");
    EXPECT_EQ(FormatZipText("Not an archive.", "/x.zip"), "Not an archive: /x.zip");
    EXPECT_EQ(FormatZipText("Could not be made: ", "no room"), "Could not be made: no room");
}

} // namespace
} // namespace lw
