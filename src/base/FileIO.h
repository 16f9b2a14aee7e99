// Reading and writing whole files. Every file the program rewrites goes
// through WriteFileAtomic: a temporary file beside the target, then a
// rename, so a failed write never leaves half a file or loses the old one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace lw {

// The whole file as bytes; throws Error naming the file (missing,
// unreadable, a directory, or larger than maxBytes).
std::string ReadWholeFile(const std::filesystem::path& file, uint64_t maxBytes = uint64_t(1) << 31);

// A symbolic link at file stays a link: the file it points to (through any
// chain of links) is the one replaced, and made when it does not exist.
void WriteFileAtomic(const std::filesystem::path& file, const std::string& bytes);

// The last step of every atomic write (string files, the editor, list
// files, the engine's archives, the package): finished, complete beside
// target on the same file system, takes target's place in one step. A
// symbolic link at target stays: the file it points to is replaced. 0, or
// the errno of the failure (finished is then left for the caller).
int ReplaceWith(const std::filesystem::path& finished, const std::filesystem::path& target);

// What tells that a file changed on disk: the time of the last write (as
// fine as the system keeps it), size and identity (device and inode, or
// volume serial and file index) together, so two rewrites within one
// second still differ.
struct FileStamp {
    bool exists = false;
    int64_t mtimeNs = 0;
    uint64_t size = 0;
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& file);

bool IsRegularFile(const std::filesystem::path& p);
bool IsDirectory(const std::filesystem::path& p);

} // namespace lw
