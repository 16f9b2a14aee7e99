#include "ZipWriter.h"

#include "base/FileIO.h"
#include "platform/Time.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace zipeng {

namespace {

constexpr size_t BufferSize = size_t(1) << 20;
constexpr uint32_t Max32 = 0xFFFFFFFF;
// Compressed data can outgrow its input a little; a local header for a file
// this close to 4 GB gets zip64 fields from the start.
constexpr uint64_t Zip64Margin = uint64_t(1) << 24;
constexpr uint16_t MadeBy = (3 << 8) | 63; // Unix, format 6.3
constexpr uint32_t FileAttributes = 0100666u << 16;
constexpr uint32_t DirAttributes = (0040777u << 16) | 0x10;

void le16(std::string& s, uint64_t v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}

void le32(std::string& s, uint64_t v)
{
    le16(s, v & 0xFFFF);
    le16(s, (v >> 16) & 0xFFFF);
}

void le64(std::string& s, uint64_t v)
{
    le32(s, v & 0xFFFFFFFF);
    le32(s, v >> 32);
}

// The limits of the DOS date in tm's terms.
constexpr int kFirstDosYear = 80, kLastDosYear = 207; // 1980, 2107

void clampDos(std::tm& tm)
{
    if (tm.tm_year < kFirstDosYear) {
        tm.tm_year = kFirstDosYear;
        tm.tm_mon = 0;
        tm.tm_mday = 1;
        tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    } else if (tm.tm_year > kLastDosYear) {
        tm.tm_year = kLastDosYear;
        tm.tm_mon = 11;
        tm.tm_mday = 31;
        tm.tm_hour = 23;
        tm.tm_min = 59;
        tm.tm_sec = 58;
    }
}

void dosTime(time_t t, uint16_t& time, uint16_t& date)
{
    // Files saved together share their second: the last one is kept, so
    // thousands of them cost one look at the time zone rules.
    static thread_local time_t lastT = -1;
    static thread_local uint16_t lastTime = 0, lastDate = 0;
    if (t == lastT && t != -1) {
        time = lastTime;
        date = lastDate;
        return;
    }
    std::tm tm = lw::platform::LocalTime(t);
    clampDos(tm);
    time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    date = uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    lastT = t;
    lastTime = time;
    lastDate = date;
}

bool isAscii(const std::string& s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

time_t InDosRange(time_t t)
{
    std::tm tm = lw::platform::LocalTime(t);
    if (tm.tm_year >= kFirstDosYear && tm.tm_year <= kLastDosYear) return t;
    clampDos(tm);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

ZipWriter::~ZipWriter()
{
    Discard();
}

bool ZipWriter::fail(const std::string& what, int err)
{
    if (error_.empty()) error_ = what + " \"" + path_ + "\": " + std::strerror(err);
    return false;
}

std::string ZipWriter::Open(const std::string& path)
{
    path_ = path;
    // A new archive gets the permissions a new file would.
    const std::filesystem::path target = lw::platform::PathFromUtf8(path);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::filesystem::path temp;
    // Unnamed where the system allows, so a run killed midway leaves nothing.
    if (const int err = file_.CreateUnnamedTemp(dir, lw::platform::Utf8Of(target.filename()) + ".", temp)) {
        temp_.clear();
        fail("Cannot write", err);
        return error_;
    }
    unnamed_ = temp.empty();
    temp_ = lw::platform::Utf8Of(temp);
    buf_.reserve(BufferSize);
    return {};
}

bool ZipWriter::flush()
{
    if (const int err = file_.Write(buf_.data(), buf_.size())) return fail("Cannot write", err);
    bufStart_ += buf_.size();
    buf_.clear();
    return true;
}

bool ZipWriter::put(const void* data, size_t n)
{
    if (!file_.IsOpen()) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        if (buf_.size() == BufferSize && !flush()) return false;
        const size_t take = std::min(n, BufferSize - buf_.size());
        buf_.insert(buf_.end(), p, p + take);
        p += take;
        n -= take;
    }
    return true;
}

bool ZipWriter::patch(uint64_t offset, const void* data, size_t n)
{
    // What is still in the buffer is changed there; what was written
    // already (a header more than a buffer's size back) in the file.
    const auto* p = static_cast<const uint8_t*>(data);
    if (offset < bufStart_) {
        const size_t written = size_t(std::min<uint64_t>(n, bufStart_ - offset));
        if (const int err = file_.WriteAt(offset, p, written)) return fail("Cannot write", err);
        p += written;
        offset += written;
        n -= written;
    }
    if (n > 0) std::memcpy(buf_.data() + (offset - bufStart_), p, n);
    return true;
}

bool ZipWriter::BeginEntry(const std::string& name, time_t mtime, uint64_t sizeHint, bool deflated, bool directory)
{
    Entry e;
    e.nameAt = names_.size();
    e.nameSize = name.size();
    names_ += name;
    e.method = deflated ? 8 : 0;
    e.flags = isAscii(name) ? 0 : 0x0800; // the name is UTF-8
    e.directory = directory;
    dosTime(mtime, e.dosTime, e.dosDate);
    e.offset = bufStart_ + buf_.size();
    e.localZip64 = sizeHint >= Max32 - Zip64Margin;
    std::string& h = head_;
    h.clear();
    le32(h, 0x04034B50);
    le16(h, e.localZip64 ? 45 : deflated || directory ? 20 : 10);
    le16(h, e.flags);
    le16(h, e.method);
    le16(h, e.dosTime);
    le16(h, e.dosDate);
    le32(h, 0); // crc, sizes: patched by EndEntry
    le32(h, e.localZip64 ? Max32 : 0);
    le32(h, e.localZip64 ? Max32 : 0);
    le16(h, name.size());
    le16(h, e.localZip64 ? 20 : 0);
    h += name;
    if (e.localZip64) {
        le16(h, 0x0001);
        le16(h, 16);
        le64(h, 0);
        le64(h, 0);
    }
    entries_.push_back(std::move(e));
    if (!put(h.data(), h.size())) return false;
    dataStart_ = bufStart_ + buf_.size();
    return true;
}

bool ZipWriter::Write(const void* data, size_t n)
{
    return put(data, n);
}

bool ZipWriter::EndEntry(uint32_t crc, uint64_t size)
{
    Entry& e = entries_.back();
    e.crc = crc;
    e.size = size;
    e.compSize = bufStart_ + buf_.size() - dataStart_;
    if (!e.localZip64 && (e.size >= Max32 || e.compSize >= Max32)) {
        return fail("Cannot write (a file grew past 4 GB while being added to)", EFBIG);
    }
    std::string p;
    le32(p, e.crc);
    if (e.localZip64) {
        le32(p, Max32);
        le32(p, Max32);
    } else {
        le32(p, e.compSize);
        le32(p, e.size);
    }
    if (!patch(e.offset + 14, p.data(), p.size())) return false;
    if (e.localZip64) {
        std::string z;
        le64(z, e.size);
        le64(z, e.compSize);
        if (!patch(e.offset + 30 + e.nameSize + 4, z.data(), z.size())) return false;
    }
    return true;
}

bool ZipWriter::Commit(const std::string& comment)
{
    if (!file_.IsOpen()) return false;
    const uint64_t cdStart = bufStart_ + buf_.size();
    for (const Entry& e : entries_) {
        std::string extra;
        if (e.size >= Max32) le64(extra, e.size);
        if (e.compSize >= Max32) le64(extra, e.compSize);
        if (e.offset >= Max32) le64(extra, e.offset);
        std::string& h = head_;
        h.clear();
        le32(h, 0x02014B50);
        le16(h, MadeBy);
        le16(h, !extra.empty() || e.localZip64 ? 45 : e.method == 8 || e.directory ? 20 : 10);
        le16(h, e.flags);
        le16(h, e.method);
        le16(h, e.dosTime);
        le16(h, e.dosDate);
        le32(h, e.crc);
        le32(h, e.compSize >= Max32 ? Max32 : e.compSize);
        le32(h, e.size >= Max32 ? Max32 : e.size);
        le16(h, e.nameSize);
        le16(h, extra.empty() ? 0 : extra.size() + 4);
        le16(h, 0); // comment
        le16(h, 0); // disk
        le16(h, 0); // internal attributes
        le32(h, e.directory ? DirAttributes : FileAttributes);
        le32(h, e.offset >= Max32 ? Max32 : e.offset);
        h.append(names_, e.nameAt, e.nameSize);
        if (!extra.empty()) {
            le16(h, 0x0001);
            le16(h, extra.size());
            h += extra;
        }
        if (!put(h.data(), h.size())) return false;
    }
    const uint64_t cdEnd = bufStart_ + buf_.size();
    const uint64_t cdSize = cdEnd - cdStart;
    const uint64_t count = entries_.size();
    std::string end;
    if (count >= 0xFFFF || cdSize >= Max32 || cdStart >= Max32) {
        le32(end, 0x06064B50);
        le64(end, 44);
        le16(end, MadeBy);
        le16(end, 45);
        le32(end, 0);
        le32(end, 0);
        le64(end, count);
        le64(end, count);
        le64(end, cdSize);
        le64(end, cdStart);
        le32(end, 0x07064B50);
        le32(end, 0);
        le64(end, cdEnd);
        le32(end, 1);
    }
    const std::string note = comment.substr(0, 0xFFFF);
    le32(end, 0x06054B50);
    le16(end, 0);
    le16(end, 0);
    le16(end, count >= 0xFFFF ? 0xFFFF : count);
    le16(end, count >= 0xFFFF ? 0xFFFF : count);
    le32(end, cdSize >= Max32 ? Max32 : cdSize);
    le32(end, cdStart >= Max32 ? Max32 : cdStart);
    le16(end, note.size());
    end += note;
    if (!put(end.data(), end.size()) || !flush()) return false;
    if (unnamed_) {
        // A name of its own beside the archive first: only a rename
        // replaces an earlier archive in one step.
        if (const int err = nameUnnamed()) return fail("Cannot write", err);
        unnamed_ = false;
    }
    if (const int err = file_.Close()) return fail("Cannot write", err);
    if (const int err = lw::ReplaceWith(lw::platform::PathFromUtf8(temp_), lw::platform::PathFromUtf8(path_)))
        return fail("Cannot write", err);
    temp_.clear();
    return true;
}

int ZipWriter::nameUnnamed()
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    const std::filesystem::path target = lw::platform::PathFromUtf8(path_);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = lw::platform::Utf8Of(target.filename()) + ".";
        for (int i = 0; i < 6; ++i) name += digits[random() % 36];
        const std::filesystem::path at = dir / lw::platform::PathFromUtf8(name);
        const int err = file_.LinkAs(at);
        if (err == 0) {
            temp_ = lw::platform::Utf8Of(at);
            return 0;
        }
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

void ZipWriter::Discard()
{
    file_.Close();
    if (!temp_.empty()) lw::platform::RemoveFile(lw::platform::PathFromUtf8(temp_));
    temp_.clear();
}

} // namespace zipeng
