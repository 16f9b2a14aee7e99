#include "SpecScan.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using zipeng::SafeEntryName;

TEST(SafeEntryName, NoEntryKeepsALeadingSeparatorOrLeavesTheRoot)
{
#if defined(_WIN32)
    // A drive or a network share is a root too.
    EXPECT_EQ(SafeEntryName("C:\\"), "");
    EXPECT_EQ(SafeEntryName("C:\\srv\\fm\\x.wav"), "srv/fm/x.wav");
    EXPECT_EQ(SafeEntryName("\\srv/fm/x.wav"), "srv/fm/x.wav");
#else
    // "//" is kept by the path as one root part; it must go like "/".
    EXPECT_EQ(SafeEntryName("//"), "");
    EXPECT_EQ(SafeEntryName("/"), "");
    EXPECT_EQ(SafeEntryName("//a"), "a");
    EXPECT_EQ(SafeEntryName("///a//b"), "a/b");
    EXPECT_EQ(SafeEntryName("/srv/fm/x.wav"), "srv/fm/x.wav");
#endif
    EXPECT_EQ(SafeEntryName("../../shared/x.wav"), "shared/x.wav");
    EXPECT_EQ(SafeEntryName("a/../../b"), "b");
}

// Directory entries: each folder once, just before the first file below
// it, whatever order the files are listed in and however a folder's name
// is spelled; a file listed twice is stored once.
TEST(ScanSpecs, DirectoryEntriesComeOnceBeforeTheFirstFileBelowThem)
{
    lw::test::TempDir t;
    for (const char* rel : {"a/b/one.txt", "a/b/four.txt", "c/two.txt", "A/B/three.txt", "a/x/five.txt"}) t.write(rel);
    // Where names keep no case, "A/B" is the folder "a/b".
    const bool keepsCase = !t.exists("a/b/three.txt");
    std::vector<zipeng::ScanSpec> specs;
    const std::string root = t.dir(); // the specs' texts stay the caller's
    for (const char* rel : {"a/b/one.txt", "c/two.txt", "a/b/four.txt", "A/B/three.txt", "c/two.txt", "a/x/five.txt"})
        specs.push_back({rel, root, false, true, {}});
    zipeng::ScanOptions options;
    options.dirEntries = true;
    std::vector<zipeng::ScanItem> items;
    std::vector<zipeng::ScanProblem> problems;
    ASSERT_TRUE(zipeng::ScanSpecs(specs, options, items, problems));
    EXPECT_TRUE(problems.empty());
    std::vector<std::string> got;
    for (const zipeng::ScanItem& it : items) {
        got.push_back(it.entry + (it.dirOnly ? " (dir)" : ""));
        EXPECT_EQ(it.dirOnly, it.path.empty()) << it.entry;
    }
    const std::vector<std::string> want{"a/ (dir)",
                                        "a/b/ (dir)",
                                        "a/b/one.txt",
                                        "c/ (dir)",
                                        "c/two.txt",
                                        "a/b/four.txt",
                                        keepsCase ? "A/B/three.txt" : "a/b/three.txt",
                                        "a/x/ (dir)",
                                        "a/x/five.txt"};
    EXPECT_EQ(got, want);

    // Without them, the files alone in the same order.
    options.dirEntries = false;
    items.clear();
    ASSERT_TRUE(zipeng::ScanSpecs(specs, options, items, problems));
    got.clear();
    for (const zipeng::ScanItem& it : items) got.push_back(it.entry);
    EXPECT_EQ(got, (std::vector<std::string>{"a/b/one.txt", "c/two.txt", "a/b/four.txt", want[6], "a/x/five.txt"}));
}
