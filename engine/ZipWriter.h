// Writes a new zip archive straight from data that is already compressed:
// local headers, the data, the central directory and the end records (zip64
// where sizes, offsets or the number of entries call for it). Everything
// goes through one buffer, so thousands of small entries cost a few large
// writes; a header whose sizes are known only after its data is patched in
// place. The archive is written into a temporary file beside its path (one
// without a name where the system allows, so that a killed run leaves
// nothing) and renamed there by Commit; until then, and after Discard,
// nothing changed.
#pragma once

#include "platform/File.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace zipeng {

// The time nearest to t that a zip entry's DOS date and time hold: local
// time from 1980-01-01 00:00:00 to 2107-12-31 23:59:58. A time outside
// would wrap into another year (2150 read back as 2022).
time_t InDosRange(time_t t);

class ZipWriter {
public:
    ZipWriter() = default;
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Creates the temporary file beside path; an error text when it fails.
    std::string Open(const std::string& path);
    // Starts an entry. sizeHint is the uncompressed size (it decides whether
    // the local header needs zip64 fields); deflated: method 8, else stored.
    bool BeginEntry(const std::string& name, time_t mtime, uint64_t sizeHint, bool deflated, bool directory);
    bool Write(const void* data, size_t n);
    // Ends the entry begun last with what its data came to.
    bool EndEntry(uint32_t crc, uint64_t size);
    // Writes the central directory and end records, closes the file and
    // renames it over path.
    bool Commit(const std::string& comment);
    void Discard();
    // The reason of the first failure.
    const std::string& Error() const { return error_; }

private:
    struct Entry {
        size_t nameAt = 0, nameSize = 0; // in names_
        uint16_t flags = 0;
        uint16_t method = 0;
        uint16_t dosTime = 0, dosDate = 0;
        uint32_t crc = 0;
        uint64_t compSize = 0, size = 0;
        uint64_t offset = 0;
        bool localZip64 = false;
        bool directory = false;
    };
    bool put(const void* data, size_t n);
    bool flush();
    bool patch(uint64_t offset, const void* data, size_t n);
    bool fail(const std::string& what, int err);
    int nameUnnamed();

    lw::platform::File file_;
    std::string path_, temp_; // temp_ is empty while the file has no name
    bool unnamed_ = false;
    std::vector<uint8_t> buf_;
    uint64_t bufStart_ = 0; // file offset of buf_[0]
    std::vector<Entry> entries_;
    // The entries' names one after another, and a header being made: tens
    // of thousands of small files cost no allocation each.
    std::string names_;
    std::string head_;
    uint64_t dataStart_ = 0;
    std::string error_;
};

} // namespace zipeng
