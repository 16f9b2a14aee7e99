#include "core/questions/FolderOptions.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using lw::ApplyFolderOptions;
using lw::FolderOptions;
using O = lw::FolderOption;

TEST(FolderOptions, DefaultsAndShellFlags)
{
    const FolderOptions d = FolderOptions::Defaults();
    for (O o : {O::FileSysDirsOnly, O::StatusText, O::ShowPathInStatusArea, O::SyncCustomButton, O::AlignCustomButton,
                O::ParentCenter})
        EXPECT_TRUE(d.Has(o)) << int(o);
    for (O o : {O::DontGoBelowDomain, O::FileSysAncestors, O::BrowseForComputer, O::BrowseForPrinter,
                O::BrowseIncludeFiles, O::ScreenCenter, O::ResizeCustomButton})
        EXPECT_FALSE(d.Has(o)) << int(o);
    EXPECT_EQ(d.ShellFlags(), 0x0005u); // only the first seven options reach the shell
    EXPECT_EQ((FolderOptions{O::DontGoBelowDomain, O::FileSysAncestors, O::BrowseForComputer, O::BrowseForPrinter,
                             O::BrowseIncludeFiles})
                  .ShellFlags(),
              0x700Au);
    EXPECT_EQ(FolderOptions::FromBits(0xFFFF).Bits(), 0x1FFF);
}

TEST(FolderOptions, CentringOptionsExcludeEachOther)
{
    const FolderOptions both{O::ScreenCenter, O::ParentCenter};
    EXPECT_EQ(ApplyFolderOptions({O::ScreenCenter}, both).options, FolderOptions{O::ParentCenter});
    EXPECT_EQ(ApplyFolderOptions({O::ParentCenter}, both).options, FolderOptions{O::ScreenCenter});
    // When neither was set before, both may stand.
    EXPECT_EQ(ApplyFolderOptions({}, both).options, both);
}

TEST(FolderOptions, ComputerAndPrinterBrowsersDropFileSystemOptions)
{
    const FolderOptions fs{O::FileSysDirsOnly, O::DontGoBelowDomain, O::FileSysAncestors};

    auto c = ApplyFolderOptions(fs, fs.With(O::BrowseForComputer).With(O::BrowseForPrinter));
    EXPECT_TRUE(c.rootBecomesNetwork);
    EXPECT_EQ(c.options, (FolderOptions{O::DontGoBelowDomain, O::BrowseForComputer}));

    c = ApplyFolderOptions(fs, fs.With(O::BrowseForPrinter));
    EXPECT_FALSE(c.rootBecomesNetwork);
    EXPECT_EQ(c.options, FolderOptions{O::BrowseForPrinter});

    // Only a newly added browser option triggers the rule.
    const FolderOptions already{O::BrowseForComputer};
    c = ApplyFolderOptions(already, already.With(O::FileSysDirsOnly));
    EXPECT_FALSE(c.rootBecomesNetwork);
    EXPECT_EQ(c.options, (FolderOptions{O::BrowseForComputer, O::FileSysDirsOnly}));

    // Printer added while computer stays: computer is dropped.
    c = ApplyFolderOptions(already, already.With(O::BrowseForPrinter));
    EXPECT_EQ(c.options, FolderOptions{O::BrowseForPrinter});
}

TEST(FolderOptions, PathInStatusAreaNeedsTheStatusLine)
{
    EXPECT_EQ(ApplyFolderOptions({}, {O::ShowPathInStatusArea}).options,
              (FolderOptions{O::StatusText, O::ShowPathInStatusArea}));
    // Dropping the status line drops the path too.
    const FolderOptions both{O::StatusText, O::ShowPathInStatusArea};
    EXPECT_EQ(ApplyFolderOptions(both, {O::ShowPathInStatusArea}).options, FolderOptions{});
    // Without the status line before, the path option alone is left as asked.
    EXPECT_EQ(ApplyFolderOptions({O::ShowPathInStatusArea}, {O::ShowPathInStatusArea}).options,
              FolderOptions{O::ShowPathInStatusArea});
    // Unrelated options pass through untouched.
    const FolderOptions plain{O::FileSysDirsOnly, O::SyncCustomButton, O::ResizeCustomButton};
    EXPECT_EQ(ApplyFolderOptions(FolderOptions::Defaults(), plain).options, plain);
}

TEST(FolderOptions, SelectableFolder)
{
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / "lw-folder-options-test";
    fs::remove_all(base);
    fs::create_directories(base / "Sub Dir");
    std::ofstream(base / "file.txt") << "x";
    const std::string dir = lw::platform::Utf8Of(base / "Sub Dir");

    EXPECT_EQ(lw::SelectableFolder(dir), dir);
    EXPECT_EQ(lw::SelectableFolder(dir + "/"), dir);
    EXPECT_EQ(lw::SelectableFolder(dir + "/."), dir);
    EXPECT_EQ(lw::SelectableFolder("/"), "/");
    EXPECT_EQ(lw::SelectableFolder("/."), "/");
    EXPECT_EQ(lw::SelectableFolder(dir + "/missing"), "");
    EXPECT_EQ(lw::SelectableFolder(lw::platform::Utf8Of(base / "file.txt")), ""); // a file is no folder
    EXPECT_EQ(lw::SelectableFolder(""), "");
    fs::remove_all(base);
}
