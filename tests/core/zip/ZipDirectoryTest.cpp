// Reading a central directory from bytes made here: a tiny stored archive,
// and the same archive cut short or with its directory damaged.
#include "core/zip/ZipDirectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lw {
namespace {

void put16(std::string& s, uint16_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8);
}
void put32(std::string& s, uint32_t v)
{
    put16(s, uint16_t(v & 0xFFFF));
    put16(s, uint16_t(v >> 16));
}

struct Stored {
    std::string name;
    std::string data;
    uint16_t flags = 0;
};

// A stored archive of the given entries, with an archive comment. The CRCs
// are left 0: reading the directory does not check them.
std::string makeArchive(const std::vector<Stored>& items, const std::string& comment, uint32_t* cdStart = nullptr)
{
    std::string out, cd;
    for (const Stored& it : items) {
        const uint32_t offset = uint32_t(out.size());
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, 0);
        put16(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, uint32_t(it.data.size()));
        put32(out, uint32_t(it.data.size()));
        put16(out, uint16_t(it.name.size()));
        put16(out, 0);
        out += it.name;
        out += it.data;

        put32(cd, 0x02014B50);
        cd += char(20);
        cd += char(3); // made on Unix
        put16(cd, 20);
        put16(cd, it.flags);
        put16(cd, 0);
        put32(cd, 0);
        put32(cd, 0);
        put32(cd, uint32_t(it.data.size()));
        put32(cd, uint32_t(it.data.size()));
        put16(cd, uint16_t(it.name.size()));
        put16(cd, 0);
        put16(cd, 0);
        put16(cd, 0);
        put16(cd, 0);
        put32(cd, 0);
        put32(cd, offset);
        cd += it.name;
    }
    const uint32_t start = uint32_t(out.size());
    if (cdStart) *cdStart = start;
    out += cd;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint16_t(items.size()));
    put16(out, uint16_t(items.size()));
    put32(out, uint32_t(cd.size()));
    put32(out, start);
    put16(out, uint16_t(comment.size()));
    out += comment;
    return out;
}

int identOf(const std::string& bytes, const ZipDirOptions& opts = {})
{
    try {
        ReadZipDirectory(bytes, opts);
    } catch (const EZipArchiver& e) {
        return e.Ident();
    }
    return 0;
}

TEST(ZipDirectory, ReadsATinyArchiveFromBytes)
{
    uint32_t cdStart = 0;
    const std::string bytes = makeArchive({{"a.txt", "hi"}, {"sub/b.txt", "there"}, {"sub/", ""}}, "note", &cdStart);
    std::vector<int> seen;
    std::vector<int> warnings;
    ZipDirOptions opts;
    opts.OnEntry = [&](int seq, const ZipDirEntry&) { seen.push_back(seq); };
    opts.OnWarning = [&](int ident) { warnings.push_back(ident); };
    const ZipDirectory d = ReadZipDirectory(bytes, opts);
    ASSERT_EQ(d.Entries.size(), 2u);
    EXPECT_EQ(d.Entries[0].EntryName, "a.txt");
    EXPECT_EQ(d.Entries[0].UncompressedSize64, 2u);
    EXPECT_EQ(d.Entries[1].EntryName, "sub\\b.txt");
    EXPECT_EQ(d.Entries[1].CompressedSize64, 5u);
    EXPECT_GT(d.Entries[1].RelOffLocalHdr64, 0u);
    EXPECT_EQ(d.DirOnlyCount, 1);
    EXPECT_EQ(d.Comment, "note");
    EXPECT_EQ(d.CentralDirOffset, cdStart);
    EXPECT_EQ(d.SfxOffset, 0u);
    EXPECT_FALSE(d.IsSpanned);
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_TRUE(warnings.empty());

    opts.KeepDirOnlyEntries = true;
    const ZipDirectory all = ReadZipDirectory(bytes, opts);
    ASSERT_EQ(all.Entries.size(), 3u);
    EXPECT_EQ(all.Entries[2].EntryName, "sub\\");
    EXPECT_EQ(all.DirOnlyCount, 0);
}

TEST(ZipDirectory, NamesComeOutAsValidUtf8)
{
    // A name flagged UTF-8 whose bytes are not is mended like any other
    // text; an unflagged one from Unix that is not UTF-8 is Windows-1252.
    const ZipDirectory d = ReadZipDirectory(makeArchive(
        {{"flagged\xFF\xC3.txt", "x", 0x0800}, {"caf\xC3\xA9.txt", "y", 0x0800}, {"caf\xE9.txt", "z"}}, ""));
    ASSERT_EQ(d.Entries.size(), 3u);
    EXPECT_EQ(d.Entries[0].EntryName, "flagged\xEF\xBF\xBD\xEF\xBF\xBD.txt");
    EXPECT_EQ(d.Entries[1].EntryName, "caf\xC3\xA9.txt");
    EXPECT_EQ(d.Entries[2].EntryName, "caf\xC3\xA9.txt");
}

TEST(ZipDirectory, AnEmptyArchiveHasNoEntries)
{
    const ZipDirectory d = ReadZipDirectory(makeArchive({}, ""));
    EXPECT_TRUE(d.Entries.empty());
    EXPECT_EQ(d.SfxOffset, 0u);
}

TEST(ZipDirectory, DamagedArchivesRaiseTheComponentsErrors)
{
    const std::string good = makeArchive({{"a.txt", "hi"}}, "");
    // No end record at all.
    EXPECT_EQ(identOf("just some bytes, not an archive"), ZipMsg::NotAnArchive);
    // Local headers but the end cut off.
    EXPECT_EQ(identOf(good.substr(0, 30)), ZipMsg::ArchiveWithoutEnd);
    // A part of a disk set.
    ZipDirOptions part;
    part.ArchiveName = "set.z02";
    EXPECT_EQ(identOf(good.substr(0, 30), part), ZipMsg::DirectoryOnOtherDisk);
    // The central header's signature broken.
    uint32_t cdStart = 0;
    std::string broken = makeArchive({{"a.txt", "hi"}}, "", &cdStart);
    broken[cdStart] = 'X';
    EXPECT_EQ(identOf(broken), ZipMsg::EntryHeaderSignature);
    // A directory larger than the archive before it.
    std::string tooBig = good;
    tooBig[tooBig.size() - 10] = char(0x7F);
    EXPECT_EQ(identOf(tooBig), ZipMsg::DirectoryUnreadable);
}

TEST(ZipDirectory, BytesAfterTheEndRecordAreReported)
{
    std::vector<int> warnings;
    ZipDirOptions opts;
    opts.OnWarning = [&](int ident) { warnings.push_back(ident); };
    const ZipDirectory d = ReadZipDirectory(makeArchive({{"a.txt", "hi"}}, "") + "trailing", opts);
    EXPECT_EQ(d.Entries.size(), 1u);
    EXPECT_EQ(warnings, (std::vector<int>{ZipMsg::DataAfterEnd}));
}

} // namespace
} // namespace lw
