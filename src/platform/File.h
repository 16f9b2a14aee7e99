// Files through the operating system: open, read and write at offsets,
// flush to the disk, replace a file in one step, and what identifies a
// file and tells that it changed. Paths are std::filesystem paths, which
// hold the system's own form (UTF-8 bytes on POSIX, wide strings on
// Windows), so every call passes them on without conversion. Failures are
// errno values (ENOENT, EACCES, ENOSPC, ...) on both systems, so callers
// and their messages stay the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace lw::platform {

// Paths to and from the program's UTF-8 text. A path made straight from a
// std::string takes it in the system's narrow code page on Windows, which
// is not UTF-8; these say UTF-8 on every system.
inline std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}
inline std::string Utf8Of(const std::filesystem::path& p)
{
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

// Makes a write past the process's file-size limit fail like a full disk
// (EFBIG), which the writers report and clean up after, instead of ending
// the process with half a file left behind. Nothing to do on Windows.
void WritesPastTheSizeLimitFail();

// Whether the file system takes "A.txt" for "a.txt" (Windows), so a name
// found by asking for it need not be spelled as it is on the disk.
bool FileNamesIgnoreCase();

// A file as the system sees it; links are followed. mtimeNs counts
// nanoseconds since 1970 (the system's own resolution). volume and index
// identify the file: device and inode on POSIX, volume serial number and
// file index on Windows.
struct FileInfo {
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t volume = 0;
    uint64_t index = 0;
    // POSIX: the permission bits alone show this user may read it (the
    // owner's read bit, when this user owns it); false says only that the
    // system must be asked. Windows: not known, false.
    bool permitsRead = false;
};
FileInfo InfoOf(const std::filesystem::path& p);
// The same, with the reason when there is none: 0 or an errno value.
int InfoOf(const std::filesystem::path& p, FileInfo& info);

// The same for a path as UTF-8 text, for scans of thousands of files:
// POSIX passes the text on without making a path object first.
int InfoOfUtf8(const std::string& utf8, FileInfo& info);

// Whether this user may open the file at p for reading, given its info:
// the permission bits answer for nearly every file without a system call;
// only when they do not is the system asked.
bool MayRead(const std::filesystem::path& p, const FileInfo& info);
bool MayReadUtf8(const std::string& utf8, const FileInfo& info);

// An open file, closed when it goes. Every call returns 0 or an errno
// value; reads and writes go on until all bytes are done.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Reading; a folder gives EISDIR.
    int OpenRead(const std::filesystem::path& p);
    // Reading a file a scan has just found to be one: without the look
    // that tells a folder at once, so a folder put in its place meanwhile
    // fails at the first read (EISDIR) instead.
    int OpenReadFound(const std::filesystem::path& p);
    int OpenReadFoundUtf8(const std::string& utf8);
    // Writing an existing file from its start, cut to nothing.
    int OpenWrite(const std::filesystem::path& p);
    // A new file in dir whose name starts with prefix and ends in six
    // characters chosen to be free; made holds its path. It gets the
    // permissions of modeOf when that exists, else the usual ones for a
    // new file (POSIX: 0666 less the umask).
    int CreateTemp(const std::filesystem::path& dir, const std::string& prefix, const std::filesystem::path& modeOf,
                   std::filesystem::path& made);
    // A new file in dir that has no name until LinkAs gives it one, so that
    // nothing of it outlives a process killed before (Linux: O_TMPFILE).
    // Where the system or the file system cannot, it is a named one as
    // CreateTemp makes it, and made holds its path; made is empty for an
    // unnamed file. Either gets the usual permissions of a new file.
    int CreateUnnamedTemp(const std::filesystem::path& dir, const std::string& prefix, std::filesystem::path& made);
    // Gives an unnamed file the name at, which must not exist yet (EEXIST).
    int LinkAs(const std::filesystem::path& at);

    bool IsOpen() const;
    // What was read, 0 at the end; got is set even on failure.
    int Read(void* buf, size_t n, size_t& got);
    // Exactly n bytes at off; EIO when the file ends first.
    int ReadAt(uint64_t off, void* buf, size_t n);
    int Write(const void* data, size_t n);
    int WriteAt(uint64_t off, const void* data, size_t n);
    // The file's bytes on the disk before an atomic replace relies on them.
    int Sync();
    int Close();
    FileInfo Info() const;

private:
    intptr_t handle_ = -1;
};

// finished, complete beside target on the same volume, takes target's
// place in one step (target need not exist; it must be no link).
int AtomicReplace(const std::filesystem::path& finished, const std::filesystem::path& target);
// 0, or errno; a missing file is ENOENT.
int RemoveFile(const std::filesystem::path& p);
// Removes a temporary file a run left behind, unless a run still has it
// open (EBUSY then): our temporary files are held open while they are
// written (POSIX: with a lock on them).
int RemoveUnlessOpen(const std::filesystem::path& p);
// The file's last-write time, in seconds since 1970.
int SetModifiedTime(const std::filesystem::path& p, std::time_t when);

} // namespace lw::platform
