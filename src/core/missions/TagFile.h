// The container the Dark engine keeps its missions (.mis), gamesys files
// (.gam) and a few others in: a header, chunks of bytes, and a directory of
// the chunks by name. The reader trusts no size or offset the file gives:
// each is held against the file's size before anything is read or
// allocated. A chunk is read by its offset alone, so a mission of many
// megabytes costs the bytes of the few chunks asked for, never the whole
// file.
#pragma once

#include "base/Errors.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// A file that is no tag file, or one whose header, directory or a chunk
// does not hold together; the message says what is wrong, without the
// file's name, which the caller knows.
class TagFileError : public Error {
public:
    using Error::Error;
};

// Where the bytes come from: an open file, or bytes in memory (tests and
// fuzzing). Read fills n bytes at off and gives false when it cannot.
struct TagSource {
    uint64_t size = 0;
    std::function<bool(uint64_t off, void* buf, size_t n)> read;

    // The bytes must outlive the source.
    static TagSource FromBytes(std::string_view bytes);
    // Throws Error naming path when it cannot be opened.
    static TagSource FromFile(const std::filesystem::path& path);
};

struct TagChunk {
    std::string name;    // as the directory spells it, up to 11 characters
    uint64_t offset = 0; // of the chunk's 24-byte header
    uint32_t size = 0;   // of what follows that header
};

class TagFile {
public:
    // Reads the header and the chunk directory: the mark DE AD BE EF at
    // offset 268, the directory's offset at 0, each entry's chunk inside
    // the file. Throws TagFileError.
    explicit TagFile(TagSource source);
    // The same for a file on disk; Error when it cannot be opened.
    static TagFile Open(const std::filesystem::path& path);

    const std::vector<TagChunk>& Chunks() const { return chunks_; }
    // The first chunk of that name (names match exactly), or nullptr.
    const TagChunk* Find(std::string_view name) const;

    // The bytes of the named chunk after its header; empty when there is
    // no such chunk. Throws TagFileError when the bytes cannot be read or
    // the chunk's own header names another chunk than the directory.
    std::string Read(std::string_view name) const;

private:
    TagSource src_;
    std::vector<TagChunk> chunks_;
};

} // namespace lw
