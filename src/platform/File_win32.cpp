#include "platform/File.h"

#include <atomic>
#include <cerrno>

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace fs = std::filesystem;

namespace lw::platform {

void WritesPastTheSizeLimitFail()
{
}

namespace {

// The errno value that says the same as a Windows error, so messages and
// callers do not depend on the system.
int errnoOf(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
    }
}

int lastErrno()
{
    return errnoOf(GetLastError());
}

HANDLE handleOf(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

// FILETIME counts 100 ns from 1601.
constexpr int64_t UnixEpochIn100ns = 116444736000000000LL;

int64_t nsOf(const FILETIME& ft)
{
    const int64_t t = int64_t(uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
    return (t - UnixEpochIn100ns) * 100;
}

FileInfo infoOf(const BY_HANDLE_FILE_INFORMATION& fi)
{
    FileInfo i;
    i.exists = true;
    i.isDirectory = (fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    i.isRegular = !i.isDirectory && (fi.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    i.size = uint64_t(fi.nFileSizeHigh) << 32 | fi.nFileSizeLow;
    i.mtimeNs = nsOf(fi.ftLastWriteTime);
    i.volume = fi.dwVolumeSerialNumber;
    i.index = uint64_t(fi.nFileIndexHigh) << 32 | fi.nFileIndexLow;
    return i;
}

// Others may read, write, rename or delete a file we hold open, as on
// POSIX; without FILE_SHARE_DELETE an open reader would block a replace.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

bool FileNamesIgnoreCase()
{
    return true;
}

FileInfo InfoOf(const fs::path& p)
{
    FileInfo info;
    InfoOf(p, info);
    return info;
}

int InfoOf(const fs::path& p, FileInfo& info)
{
    info = {};
    // FILE_FLAG_BACKUP_SEMANTICS opens folders too; links are followed.
    HANDLE h = CreateFileW(p.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    BY_HANDLE_FILE_INFORMATION fi{};
    const bool ok = GetFileInformationByHandle(h, &fi);
    const int err = ok ? 0 : lastErrno();
    CloseHandle(h);
    if (ok) info = infoOf(fi);
    return err;
}

int InfoOfUtf8(const std::string& utf8, FileInfo& info)
{
    return InfoOf(PathFromUtf8(utf8), info);
}

bool MayRead(const fs::path& p, const FileInfo& info)
{
    // Access lists, not bits, say it here: opening the file is the answer.
    if (info.permitsRead) return true;
    File f;
    return f.OpenRead(p) == 0;
}

bool MayReadUtf8(const std::string& utf8, const FileInfo& info)
{
    return MayRead(PathFromUtf8(utf8), info);
}

bool File::IsOpen() const
{
    return handle_ != -1;
}

int File::OpenRead(const fs::path& p)
{
    Close();
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // A folder cannot be opened as a file: say so as POSIX does.
        if (e == ERROR_ACCESS_DENIED && InfoOf(p).isDirectory) return EISDIR;
        return errnoOf(e);
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    return 0;
}

int File::OpenReadFound(const fs::path& p)
{
    // Opening a folder for reading fails here anyway; nothing to save.
    return OpenRead(p);
}

int File::OpenReadFoundUtf8(const std::string& utf8)
{
    return OpenRead(PathFromUtf8(utf8));
}

int File::OpenWrite(const fs::path& p)
{
    Close();
    HANDLE h =
        CreateFileW(p.c_str(), GENERIC_WRITE, ShareAll, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    handle_ = reinterpret_cast<intptr_t>(h);
    return 0;
}

int File::CreateTemp(const fs::path& dir, const std::string& prefix, const fs::path&, fs::path& made)
{
    // Windows has no mkstemp: try names until one is new. The counter and
    // the time keep two threads or processes apart.
    static std::atomic<unsigned> counter{0};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    Close();
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t seed = uint64_t(GetTickCount64()) * 2654435761u ^ uint64_t(GetCurrentProcessId()) << 20 ^
                        counter.fetch_add(1) * 40503u;
        std::string tail;
        for (int i = 0; i < 6; ++i) {
            tail += digits[seed % 36];
            seed /= 36;
        }
        const fs::path candidate = dir / PathFromUtf8(prefix + tail);
        HANDLE h = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<intptr_t>(h);
            made = candidate;
            return 0;
        }
        const DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return errnoOf(e);
    }
    return EEXIST;
}

int File::CreateUnnamedTemp(const fs::path& dir, const std::string& prefix, fs::path& made)
{
    // Windows makes no file without a name: a named one, which a later run
    // removes when it finds it left behind.
    return CreateTemp(dir, prefix, {}, made);
}

int File::LinkAs(const fs::path&)
{
    return EINVAL; // no unnamed files here
}

int File::Read(void* buf, size_t n, size_t& got)
{
    got = 0;
    DWORD r = 0;
    const DWORD want = n > 0x40000000 ? 0x40000000 : DWORD(n);
    if (!ReadFile(handleOf(handle_), buf, want, &r, nullptr)) return lastErrno();
    got = r;
    return 0;
}

namespace {

// A read or write at an offset moves the file pointer of a handle opened
// for plain reads and writes; pread and pwrite leave it, so it is put back.
class KeepPosition {
public:
    explicit KeepPosition(HANDLE h) : h_(h) { ok_ = SetFilePointerEx(h_, LARGE_INTEGER{}, &at_, FILE_CURRENT); }
    ~KeepPosition()
    {
        if (ok_) SetFilePointerEx(h_, at_, nullptr, FILE_BEGIN);
    }

private:
    HANDLE h_;
    LARGE_INTEGER at_{};
    bool ok_ = false;
};

} // namespace

int File::ReadAt(uint64_t off, void* buf, size_t n)
{
    const KeepPosition keep(handleOf(handle_));
    size_t done = 0;
    while (done < n) {
        OVERLAPPED at{};
        const uint64_t pos = off + done;
        at.Offset = DWORD(pos);
        at.OffsetHigh = DWORD(pos >> 32);
        const size_t left = n - done;
        const DWORD want = left > 0x40000000 ? 0x40000000 : DWORD(left);
        DWORD r = 0;
        if (!ReadFile(handleOf(handle_), static_cast<char*>(buf) + done, want, &r, &at)) {
            const DWORD e = GetLastError();
            return e == ERROR_HANDLE_EOF ? EIO : errnoOf(e);
        }
        if (r == 0) return EIO;
        done += r;
    }
    return 0;
}

int File::Write(const void* data, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const size_t left = n - done;
        const DWORD want = left > 0x40000000 ? 0x40000000 : DWORD(left);
        DWORD w = 0;
        if (!WriteFile(handleOf(handle_), static_cast<const char*>(data) + done, want, &w, nullptr)) return lastErrno();
        done += w;
    }
    return 0;
}

int File::WriteAt(uint64_t off, const void* data, size_t n)
{
    const KeepPosition keep(handleOf(handle_));
    size_t done = 0;
    while (done < n) {
        OVERLAPPED at{};
        const uint64_t pos = off + done;
        at.Offset = DWORD(pos);
        at.OffsetHigh = DWORD(pos >> 32);
        const size_t left = n - done;
        const DWORD want = left > 0x40000000 ? 0x40000000 : DWORD(left);
        DWORD w = 0;
        if (!WriteFile(handleOf(handle_), static_cast<const char*>(data) + done, want, &w, &at)) return lastErrno();
        done += w;
    }
    return 0;
}

int File::Sync()
{
    return FlushFileBuffers(handleOf(handle_)) ? 0 : lastErrno();
}

int File::Close()
{
    if (handle_ == -1) return 0;
    const bool ok = CloseHandle(handleOf(handle_));
    handle_ = -1;
    return ok ? 0 : lastErrno();
}

FileInfo File::Info() const
{
    BY_HANDLE_FILE_INFORMATION fi{};
    if (handle_ == -1 || !GetFileInformationByHandle(handleOf(handle_), &fi)) return {};
    return infoOf(fi);
}

int AtomicReplace(const fs::path& finished, const fs::path& target)
{
    // ReplaceFileW keeps the replaced file's attributes and security; it
    // needs a target that exists, and a new file is a plain move. A folder
    // is never replaced, as rename refuses on POSIX.
    const DWORD attrs = GetFileAttributesW(target.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
    if (attrs != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(target.c_str(), finished.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return 0;
    if (MoveFileExW(finished.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return lastErrno();
}

int RemoveFile(const fs::path& p)
{
    return DeleteFileW(p.c_str()) ? 0 : lastErrno();
}

int RemoveUnlessOpen(const fs::path& p)
{
    // Opened with no sharing, it cannot be opened while a run holds it;
    // closing it then deletes it.
    HANDLE h = CreateFileW(p.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION ? EBUSY : lastErrno();
    CloseHandle(h);
    return 0;
}

int SetModifiedTime(const fs::path& p, std::time_t when)
{
    HANDLE h = CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    const uint64_t t = uint64_t(int64_t(when) * 10000000 + UnixEpochIn100ns);
    FILETIME ft;
    ft.dwLowDateTime = DWORD(t);
    ft.dwHighDateTime = DWORD(t >> 32);
    const bool ok = SetFileTime(h, nullptr, &ft, &ft);
    const int err = ok ? 0 : lastErrno();
    CloseHandle(h);
    return err;
}

} // namespace lw::platform
