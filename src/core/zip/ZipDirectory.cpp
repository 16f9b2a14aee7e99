#include "core/zip/ZipDirectory.h"

#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr uint32_t SigEnd = 0x06054B50;
constexpr uint32_t SigCentral = 0x02014B50;
constexpr uint32_t SigLocal = 0x04034B50;
constexpr uint32_t SigSplit = 0x08074B50;
constexpr uint32_t SigEnd64 = 0x06064B50;
constexpr uint32_t SigLocator64 = 0x07064B50;

uint16_t get16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p)
{
    return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16);
}
uint64_t get64(const uint8_t* p)
{
    return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32);
}

bool readAt(const ZipDirSource& src, uint64_t off, void* buf, size_t n)
{
    return src.Read(off, buf, n);
}

std::string upperExt(const std::string& name)
{
    std::string ext = platform::Utf8Of(platform::PathFromUtf8(name).extension());
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext;
}

// Entry names and comments as the program's UTF-8 text.
std::string entryText(std::string raw, const ZipDirEntry& e, CodePageOpts cp)
{
    if (e.Flag & 0x0800) return SanitizeUtf8(raw); // flagged UTF-8, which the bytes may belie
    const bool oem = cp == cpOEM || (cp == cpAuto && e.HostVersionNo == 0) || e.HostVersionNo == 6 ||
                     (e.HostVersionNo == 11 && e.MadeByVersion == 50);
    if (oem) return Cp850ToUtf8(raw);
    if (IsValidUtf8(raw)) return raw; // nearly every name: kept as it came
    return Cp1252ToUtf8(raw);
}

} // namespace

void ReadZipDirectory(const ZipDirSource& src, ZipDirectory& out, const ZipDirOptions& opts)
{
    const uint64_t fileSize = src.Size;
    auto warn = [&](ZipMsg::Id ident) {
        if (opts.OnWarning) opts.OnWarning(ident);
    };
    // Finding the end record.
    uint8_t head[8] = {};
    if (fileSize >= 8 && readAt(src, 0, head, 8) && get32(head) == SigSplit && get32(head + 4) == SigLocal)
        out.IsSpanned = true;
    std::vector<uint8_t> tail;
    uint64_t endPos = 0;
    bool found = false;
    if (fileSize >= 22) {
        tail.resize(22);
        if (!readAt(src, fileSize - 22, tail.data(), 22)) throw EZipArchiver(ZipMsg::CannotOpen, opts.ArchiveName);
        if (get32(tail.data()) == SigEnd) {
            endPos = fileSize - 22;
            found = true;
        } else {
            const size_t n = size_t(std::min<uint64_t>(fileSize, 65557));
            tail.resize(n);
            if (!readAt(src, fileSize - n, tail.data(), n)) throw EZipArchiver(ZipMsg::CannotOpen, opts.ArchiveName);
            for (size_t i = n - 23 + 1; i-- > 0;) {
                if (get32(tail.data() + i) == SigEnd) {
                    endPos = fileSize - n + i;
                    found = true;
                    break;
                }
            }
        }
    }
    if (!found) {
        // No end record: a part of a disk set, or no archive at all.
        const std::string ext = upperExt(opts.ArchiveName);
        if (ext.size() == 4 && ext[1] == 'Z' && std::isdigit((unsigned char)ext[2]) &&
            std::isdigit((unsigned char)ext[3]))
            throw EZipArchiver(ZipMsg::DirectoryOnOtherDisk, (long long)std::stoi(ext.substr(2)));
        if (fileSize >= 4 && (get32(head) == SigLocal || get32(head) == SigSplit))
            throw EZipArchiver(ZipMsg::ArchiveWithoutEnd, opts.ArchiveName);
        throw EZipArchiver(ZipMsg::NotAnArchive, opts.ArchiveName);
    }
    uint8_t end[22];
    if (!readAt(src, endPos, end, 22)) throw EZipArchiver(ZipMsg::CannotOpen, opts.ArchiveName);
    const uint16_t thisDisk = get16(end + 4);
    const uint16_t cdDisk = get16(end + 6);
    uint64_t entries = get16(end + 10);
    uint64_t cdSize = get32(end + 12);
    uint64_t cdOffset = get32(end + 16);
    const uint16_t commentLen = get16(end + 20);
    const uint64_t afterEnd = endPos + 22 + commentLen;
    const uint64_t commentAvail = std::min<uint64_t>(commentLen, fileSize - endPos - 22);
    out.Comment.resize(size_t(commentAvail));
    if (commentAvail && !readAt(src, endPos + 22, out.Comment.data(), size_t(commentAvail)))
        throw EZipArchiver(ZipMsg::CannotOpen, opts.ArchiveName);
    if (afterEnd < fileSize) {
        const uint64_t extra = fileSize - afterEnd;
        bool padding = extra <= 512 && fileSize % 512 == 0;
        if (padding) {
            std::vector<uint8_t> rest(static_cast<size_t>(extra));
            padding = readAt(src, afterEnd, rest.data(), rest.size()) &&
                      std::all_of(rest.begin(), rest.end(), [](uint8_t b) { return b == 0; });
        }
        if (!padding) warn(ZipMsg::DataAfterEnd);
    }

    // The central directory: where it must be, whatever the record says.
    uint64_t dataEnd = endPos;
    if (endPos >= 20) {
        uint8_t loc[20];
        if (readAt(src, endPos - 20, loc, 20) && get32(loc) == SigLocator64) {
            const uint64_t recPos = get64(loc + 8);
            uint8_t z64[56];
            if (recPos < endPos && readAt(src, recPos, z64, 56) && get32(z64) == SigEnd64) {
                entries = get64(z64 + 32);
                cdSize = get64(z64 + 40);
                cdOffset = get64(z64 + 48);
                dataEnd = recPos;
            }
        }
    }
    if (thisDisk != cdDisk) throw EZipArchiver(ZipMsg::DirectoryOnOtherDisk, (long long)cdDisk + 1);
    if (cdSize > dataEnd) throw EZipArchiver(ZipMsg::DirectoryUnreadable, opts.ArchiveName);
    const uint64_t start = dataEnd - cdSize;
    if (start != cdOffset) warn(ZipMsg::DirectoryMisplaced);
    out.CentralDirOffset = start;

    std::vector<uint8_t> cd(size_t(dataEnd - start));
    if (!cd.empty() && !readAt(src, start, cd.data(), cd.size()))
        throw EZipArchiver(ZipMsg::DirectoryUnreadable, opts.ArchiveName);
    // Every entry takes 46 bytes at least: a count the directory cannot
    // hold reserves no more than it could.
    if (opts.KeepEntries) out.Entries.reserve(out.Entries.size() + size_t(std::min<uint64_t>(entries, cd.size() / 46)));
    uint64_t firstOffset = fileSize;
    size_t pos = 0;
    auto take = [&](size_t n, ZipMsg::Id err) {
        if (cd.size() - pos < n) throw EZipArchiver(err, opts.ArchiveName);
        const size_t at = pos;
        pos += n;
        return at;
    };
    for (uint64_t i = 0; i < entries; ++i) {
        const uint8_t* h = cd.data() + take(46, ZipMsg::EntryHeaderShort);
        if (get32(h) != SigCentral) throw EZipArchiver(ZipMsg::EntryHeaderSignature, opts.ArchiveName);
        ZipDirEntry e;
        e.MadeByVersion = h[4];
        e.HostVersionNo = h[5];
        e.VersionNeeded = get16(h + 6);
        e.Flag = get16(h + 8);
        e.CompressionMethod = get16(h + 10);
        e.DateTime = get32(h + 12);
        e.CRC32 = get32(h + 16);
        e.CompressedSize = get32(h + 20);
        e.UncompressedSize = get32(h + 24);
        e.FileNameLength = get16(h + 28);
        e.ExtraFieldLength = get16(h + 30);
        e.FileCommentLen = get16(h + 32);
        e.StartOnDisk = get16(h + 34);
        e.IntFileAttrib = get16(h + 36);
        e.ExtFileAttrib = get32(h + 38);
        e.RelOffLocalHdr = get32(h + 42);
        e.IsEncrypted = e.Flag & 1;
        const size_t nameAt = take(e.FileNameLength, ZipMsg::EntryNameShort);
        std::string rawName(reinterpret_cast<const char*>(cd.data() + nameAt), e.FileNameLength);
        const size_t extraAt = take(e.ExtraFieldLength, ZipMsg::DirectoryUnreadable);
        e.ExtraField.assign(reinterpret_cast<const char*>(cd.data() + extraAt), e.ExtraFieldLength);
        const size_t commentAt = take(e.FileCommentLen, ZipMsg::EntryCommentShort);
        const std::string rawComment(reinterpret_cast<const char*>(cd.data() + commentAt), e.FileCommentLen);

        e.UncompressedSize64 = e.UncompressedSize;
        e.CompressedSize64 = e.CompressedSize;
        e.RelOffLocalHdr64 = e.RelOffLocalHdr;
        for (size_t x = 0; x + 4 <= e.ExtraField.size();) {
            const auto* p = reinterpret_cast<const uint8_t*>(e.ExtraField.data() + x);
            const uint16_t id = get16(p), len = get16(p + 2);
            if (x + 4 + len > e.ExtraField.size()) break;
            if (id == 0x0001) {
                size_t q = 4;
                auto next = [&](uint64_t& v) {
                    if (q + 8 <= size_t(4 + len)) {
                        v = get64(p + q);
                        q += 8;
                    }
                };
                if (e.UncompressedSize == 0xFFFFFFFF) next(e.UncompressedSize64);
                if (e.CompressedSize == 0xFFFFFFFF) next(e.CompressedSize64);
                if (e.RelOffLocalHdr == 0xFFFFFFFF) next(e.RelOffLocalHdr64);
            }
            x += 4 + len;
        }

        e.EntryName = entryText(std::move(rawName), e, opts.CodePage);
        std::string& name = e.EntryName;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (!rawComment.empty()) e.EntryComment = entryText(rawComment, e, opts.CodePage);
        firstOffset = std::min(firstOffset, e.RelOffLocalHdr64);
        if (!name.empty() && name.back() == '\\' && !opts.KeepDirOnlyEntries) {
            ++out.DirOnlyCount;
            continue;
        }
        if (!opts.KeepEntries) {
            if (opts.OnEntry) opts.OnEntry(int(i + 1), e);
            continue;
        }
        out.Entries.push_back(std::move(e));
        if (opts.OnEntry) opts.OnEntry(int(i + 1), out.Entries.back());
    }
    out.SfxOffset = fileSize == 22 ? 0 : firstOffset;
}

void ReadZipDirectory(platform::File& file, uint64_t fileSize, ZipDirectory& out, const ZipDirOptions& opts)
{
    ZipDirSource src;
    src.Size = fileSize;
    // Reads exactly n bytes at off; false on a short read.
    src.Read = [&file](uint64_t off, void* buf, size_t n) { return file.ReadAt(off, buf, n) == 0; };
    ReadZipDirectory(src, out, opts);
}

ZipDirectory ReadZipDirectory(std::string_view bytes, const ZipDirOptions& opts)
{
    ZipDirSource src;
    src.Size = bytes.size();
    src.Read = [bytes](uint64_t off, void* buf, size_t n) {
        if (off > bytes.size() || n > bytes.size() - off) return false;
        if (n) std::memcpy(buf, bytes.data() + off, n);
        return true;
    };
    ZipDirectory out;
    ReadZipDirectory(src, out, opts);
    return out;
}

} // namespace lw
