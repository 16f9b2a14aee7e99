// The central directory of a zip archive: finding the end record (and the
// zip64 one), then reading every entry. Works on an open file or on bytes
// in memory; problems raise EZipArchiver with the component's numbers.
#pragma once

#include "core/zip/ZLibLoad.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

namespace platform {
class File;
}

enum CodePageOpts { cpAuto, cpNone, cpOEM };

// One entry of the archive's central directory.
struct ZipDirEntry {
    uint8_t MadeByVersion = 0;
    uint8_t HostVersionNo = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flag = 0;
    uint16_t CompressionMethod = 0;
    uint32_t DateTime = 0;
    uint32_t CRC32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t FileNameLength = 0;
    uint16_t ExtraFieldLength = 0;
    uint16_t FileCommentLen = 0;
    uint16_t StartOnDisk = 0;
    uint16_t IntFileAttrib = 0;
    uint32_t ExtFileAttrib = 0;
    uint32_t RelOffLocalHdr = 0;
    std::string EntryName; // backslash separators
    std::string EntryComment;
    bool IsEncrypted = false;
    std::string ExtraField; // raw
    // The sizes and offset with zip64 extra fields applied.
    uint64_t CompressedSize64 = 0;
    uint64_t UncompressedSize64 = 0;
    uint64_t RelOffLocalHdr64 = 0;
};

// What reading a directory found.
struct ZipDirectory {
    std::vector<ZipDirEntry> Entries;
    int DirOnlyCount = 0; // directory entries left out
    std::string Comment;
    uint64_t SfxOffset = 0; // where the first local header lies
    uint64_t CentralDirOffset = 0;
    bool IsSpanned = false; // starts with a split signature
};

struct ZipDirOptions {
    // Named in errors; its suffix tells a part of a disk set (".z01").
    std::string ArchiveName;
    CodePageOpts CodePage = cpAuto;
    bool KeepDirOnlyEntries = false;
    // A message that does not stop the reading (DirectoryMisplaced,
    // DataAfterEnd).
    std::function<void(ZipMsg::Id ident)> OnWarning;
    // Each entry kept, with its 1-based place in the directory.
    std::function<void(int seqNo, const ZipDirEntry& entry)> OnEntry;
    // false: entries go to OnEntry only, and Entries stays empty, so a
    // reader that wants their names alone holds no more than those.
    bool KeepEntries = true;
};

// Where the bytes come from: Read fills n bytes at off, false when short.
struct ZipDirSource {
    uint64_t Size = 0;
    std::function<bool(uint64_t off, void* buf, size_t n)> Read;
};

// Each fills out as far as it got before an error is raised.
void ReadZipDirectory(const ZipDirSource& src, ZipDirectory& out, const ZipDirOptions& opts);
void ReadZipDirectory(platform::File& file, uint64_t fileSize, ZipDirectory& out, const ZipDirOptions& opts);
ZipDirectory ReadZipDirectory(std::string_view bytes, const ZipDirOptions& opts = {});

} // namespace lw
