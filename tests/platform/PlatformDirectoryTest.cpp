// Listing a folder through the platform layer: every name once with its
// kind, links followed for the kind, and the reason when there is nothing
// to list. And readability told from a file's info, as opening tells it.
#include "platform/Directory.h"
#include "platform/File.h"
#include "support/System.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>

#if !defined(_WIN32)
#include <unistd.h>
#endif

using lw::test::OnWindows;
using lw::test::TempDir;
namespace fs = std::filesystem;
namespace platform = lw::platform;

namespace {

std::map<std::string, platform::DirEntry> listed(const fs::path& dir)
{
    std::vector<platform::DirEntry> entries;
    EXPECT_EQ(platform::ListDirectory(dir, entries), 0);
    std::map<std::string, platform::DirEntry> byName;
    for (const platform::DirEntry& e : entries) EXPECT_TRUE(byName.emplace(e.name, e).second) << e.name;
    return byName;
}

} // namespace

TEST(PlatformDirectory, ListsEveryNameOnceWithItsKind)
{
    TempDir t;
    t.write("a.txt", "a");
    t.write(".hidden", "h");
    t.write("Sub/inner.txt", "i");
    t.write("Sub/deeper/x.bin", "x");
    const std::string accented = "\xC3\x89t\xC3\xA9 \xE2\x80\x94 notes.txt"; // "Été — notes.txt"
    t.write("dummy");
    fs::rename(t.path() / "dummy", t.path() / platform::PathFromUtf8(accented));

    const auto byName = listed(t.path());
    ASSERT_EQ(byName.size(), 4u); // no "." or ".."
    EXPECT_EQ(byName.at("a.txt").kind, platform::EntryKind::File);
    EXPECT_EQ(byName.at(".hidden").kind, platform::EntryKind::File);
    EXPECT_EQ(byName.at("Sub").kind, platform::EntryKind::Directory);
    ASSERT_TRUE(byName.count(accented)) << "names come as UTF-8";
    EXPECT_EQ(byName.at(accented).kind, platform::EntryKind::File);
    for (const auto& [name, e] : byName) EXPECT_FALSE(e.link) << name;

    // Only the folder's own entries, not those below it.
    const auto sub = listed(t.path() / "Sub");
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub.at("inner.txt").kind, platform::EntryKind::File);
    EXPECT_EQ(sub.at("deeper").kind, platform::EntryKind::Directory);

    // An empty folder lists nothing, and says so without an error.
    fs::create_directories(t.path() / "empty");
    EXPECT_TRUE(listed(t.path() / "empty").empty());
}

TEST(PlatformDirectory, WhatCannotBeListedSaysWhy)
{
    TempDir t;
    t.write("file.txt", "f");
    std::vector<platform::DirEntry> entries{{"stale", platform::EntryKind::File, false}};
    EXPECT_EQ(platform::ListDirectory(t.path() / "missing", entries), ENOENT);
    EXPECT_TRUE(entries.empty()) << "what an earlier listing left is gone";
    entries.push_back({"stale", platform::EntryKind::File, false});
    const int err = platform::ListDirectory(t.path() / "file.txt", entries);
    EXPECT_TRUE(err == ENOTDIR || err == ENOENT) << err;
    EXPECT_TRUE(entries.empty());
}

TEST(PlatformDirectory, LinksTellWhatTheyLeadTo)
{
    TempDir t;
    if (!t.SymlinksWork()) GTEST_SKIP() << TempDir::NoSymlinks;
    t.write("target.txt", "t");
    t.write("folder/in.txt", "i");
    fs::create_symlink(t.path() / "target.txt", t.path() / "to-file");
    fs::create_directory_symlink(t.path() / "folder", t.path() / "to-folder");
    fs::create_symlink(t.path() / "gone", t.path() / "dangling");
    const auto byName = listed(t.path());
    ASSERT_EQ(byName.size(), 5u);
    EXPECT_EQ(byName.at("to-file").kind, platform::EntryKind::File);
    EXPECT_TRUE(byName.at("to-file").link);
    EXPECT_EQ(byName.at("to-folder").kind, platform::EntryKind::Directory);
    EXPECT_TRUE(byName.at("to-folder").link);
    EXPECT_EQ(byName.at("dangling").kind, platform::EntryKind::Unknown);
    EXPECT_TRUE(byName.at("dangling").link);
    EXPECT_FALSE(byName.at("target.txt").link);
    EXPECT_FALSE(byName.at("folder").link);
}

TEST(PlatformFile, MayReadAgreesWithOpening)
{
    TempDir t;
    const fs::path plain = platform::PathFromUtf8(t.write("plain.txt", "p"));
    const fs::path locked = platform::PathFromUtf8(t.write("locked.txt", "l"));
    fs::permissions(locked, fs::perms::none);
    for (const fs::path& p : {plain, locked}) {
        const platform::FileInfo info = platform::InfoOf(p);
        ASSERT_TRUE(info.exists) << p;
        platform::File f;
        const bool opens = f.OpenRead(p) == 0;
        EXPECT_EQ(platform::MayRead(p, info), opens) << p;
    }
    if (!OnWindows) {
        // The bits alone answer for the usual file, and deny for the locked
        // one (whether the system lets this user in anyway is asked then).
        EXPECT_TRUE(platform::InfoOf(plain).permitsRead);
        EXPECT_FALSE(platform::InfoOf(locked).permitsRead);
    }
    fs::permissions(locked, fs::perms::owner_all);
}

#if !defined(_WIN32)
// The bits for all do not let in the owner, nor a group whose bits say no:
// a file its owner locked against himself reads as unreadable, even where
// everyone else may read it.
TEST(PlatformFile, ReadForAllDoesNotLetInAnOwnerWhoseBitsSayNo)
{
    TempDir t;
    const fs::path file = platform::PathFromUtf8(t.write("own.txt", "o"));
    // Root reads anything: the owner here is an ordinary user, and the test
    // takes that user's identity while it looks.
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 65534 : ::geteuid();
    if (root) {
        fs::permissions(t.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        ASSERT_EQ(::chown(file.c_str(), owner, gid_t(-1)), 0);
    }
    fs::permissions(file, fs::perms::group_read | fs::perms::others_read);
    if (root) {
        ASSERT_EQ(::seteuid(owner), 0);
    }
    const platform::FileInfo info = platform::InfoOf(file);
    platform::File f;
    const int opened = f.OpenRead(file);
    const bool may = platform::MayRead(file, info);
    f.Close();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_TRUE(info.exists);
    EXPECT_EQ(opened, EACCES) << "the system lets the owner in after all";
    EXPECT_FALSE(may);
}
#endif

TEST(PlatformFile, AFolderFoundInPlaceOfAFileFailsAtTheLatestOnReading)
{
    TempDir t;
    const fs::path file = platform::PathFromUtf8(t.write("f.txt", "bytes"));
    char buf[5] = {};
    platform::File f;
    ASSERT_EQ(f.OpenReadFound(file), 0);
    ASSERT_EQ(f.ReadAt(0, buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf, sizeof buf), "bytes");

    fs::create_directories(t.path() / "dir");
    platform::File d;
    const int opened = d.OpenReadFound(t.path() / "dir");
    if (opened == 0) EXPECT_EQ(d.ReadAt(0, buf, 1), EISDIR);
    else
        EXPECT_EQ(opened, EISDIR);
    EXPECT_EQ(d.OpenReadFound(t.path() / "missing.txt"), ENOENT);
}
