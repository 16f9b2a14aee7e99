#include "core/missions/TagFile.h"

#include "platform/File.h"

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr uint64_t kHeaderSize = 272; // directory offset, two versions, 256 zero bytes, the mark
constexpr uint64_t kMarkAt = 268;
constexpr unsigned char kMark[4] = {0xDE, 0xAD, 0xBE, 0xEF};
constexpr uint64_t kEntrySize = 20;       // name[12], offset, size
constexpr uint64_t kChunkHeaderSize = 24; // name[12], major, minor, zero

uint32_t get32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A name field: its bytes up to the first NUL.
std::string nameField(const unsigned char* p, size_t n)
{
    const auto* end = static_cast<const unsigned char*>(std::memchr(p, 0, n));
    return std::string(reinterpret_cast<const char*>(p), end ? size_t(end - p) : n);
}

void readOrFail(const TagSource& src, uint64_t off, void* buf, size_t n, const char* what)
{
    if (!src.read(off, buf, n)) throw TagFileError(std::string("cannot read ") + what);
}

} // namespace

TagSource TagSource::FromBytes(std::string_view bytes)
{
    TagSource s;
    s.size = bytes.size();
    s.read = [bytes](uint64_t off, void* buf, size_t n) {
        if (off > bytes.size() || n > bytes.size() - off) return false;
        std::memcpy(buf, bytes.data() + off, n);
        return true;
    };
    return s;
}

TagSource TagSource::FromFile(const fs::path& path)
{
    // Opening a pipe would wait for a writer: only files are opened.
    const platform::FileInfo info = platform::InfoOf(path);
    if (info.exists && !info.isRegular) ThrowFileError("read", platform::Utf8Of(path), EINVAL);
    auto file = std::make_shared<platform::File>();
    if (const int err = file->OpenRead(path)) ThrowFileError("open", platform::Utf8Of(path), err);
    TagSource s;
    s.size = file->Info().size;
    s.read = [file](uint64_t off, void* buf, size_t n) { return file->ReadAt(off, buf, n) == 0; };
    return s;
}

TagFile::TagFile(TagSource source) : src_(std::move(source))
{
    const uint64_t size = src_.size;
    if (size < kHeaderSize) throw TagFileError("too short for a tag file");
    unsigned char header[kHeaderSize];
    readOrFail(src_, 0, header, sizeof header, "its header");
    if (std::memcmp(header + kMarkAt, kMark, sizeof kMark) != 0)
        throw TagFileError("no tag file: the mark DE AD BE EF is missing");
    const uint64_t dirAt = get32(header);
    if (dirAt < kHeaderSize || dirAt > size || size - dirAt < 4)
        throw TagFileError("the chunk directory lies outside the file");
    unsigned char countBytes[4];
    readOrFail(src_, dirAt, countBytes, 4, "the chunk directory");
    const uint64_t count = get32(countBytes);
    // The count is believed only as far as the file has room for entries,
    // so a damaged one costs no more than the file's own size.
    if (count > (size - dirAt - 4) / kEntrySize)
        throw TagFileError("the chunk directory claims " + std::to_string(count) + " chunks, more than the file holds");
    std::string entries(size_t(count * kEntrySize), '\0');
    if (count) readOrFail(src_, dirAt + 4, entries.data(), entries.size(), "the chunk directory");
    chunks_.reserve(size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
        const auto* e = reinterpret_cast<const unsigned char*>(entries.data()) + i * kEntrySize;
        TagChunk c;
        c.name = nameField(e, 12);
        c.offset = get32(e + 12);
        c.size = get32(e + 16);
        if (c.offset > size || size - c.offset < kChunkHeaderSize || size - c.offset - kChunkHeaderSize < c.size)
            throw TagFileError("chunk " + c.name + " lies outside the file");
        chunks_.push_back(std::move(c));
    }
}

TagFile TagFile::Open(const fs::path& path)
{
    return TagFile(TagSource::FromFile(path));
}

const TagChunk* TagFile::Find(std::string_view name) const
{
    for (const TagChunk& c : chunks_)
        if (c.name == name) return &c;
    return nullptr;
}

std::string TagFile::Read(std::string_view name) const
{
    const TagChunk* c = Find(name);
    if (!c) return {};
    unsigned char header[kChunkHeaderSize];
    const std::string what = "chunk " + c->name;
    readOrFail(src_, c->offset, header, sizeof header, what.c_str());
    if (nameField(header, 12) != c->name)
        throw TagFileError(what + ": its header names " + nameField(header, 12) + " instead");
    std::string bytes(c->size, '\0');
    if (c->size) readOrFail(src_, c->offset + kChunkHeaderSize, bytes.data(), bytes.size(), what.c_str());
    return bytes;
}

} // namespace lw
