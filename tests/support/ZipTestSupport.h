// Helpers of the zip tests: a scratch directory, files with known bytes,
// and reading an archive back with libzip.
#pragma once

#include "core/zip/ZipArch.h"
#include "platform/File.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lw::ziptest {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& rel) const { return path_ / platform::PathFromUtf8(rel); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& p, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& p);
// Bytes that deflate somewhat, different for each seed.
std::string SomeBytes(size_t n, unsigned seed);
// Names of everything in dir (not recursive), sorted.
std::vector<std::string> Listing(const std::filesystem::path& dir);

struct ArchiveEntry {
    std::string bytes;
    int method = -1;
};
// Every entry by name, read with libzip; the error text when it fails.
std::map<std::string, ArchiveEntry> ReadArchive(const std::filesystem::path& zip, std::string* error = nullptr);
std::vector<std::string> ArchiveNames(const std::filesystem::path& zip);

// A component with the main window's settings; messages collected.
struct Packer {
    TZipArchiver zip;
    std::vector<std::pair<int, std::string>> messages;
    Packer();
    bool HasMessage(const std::string& part) const;
    std::string AllMessages() const;
};

} // namespace lw::ziptest
