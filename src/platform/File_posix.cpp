#include "platform/File.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace fs = std::filesystem;

namespace lw::platform {

void WritesPastTheSizeLimitFail()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

FileInfo infoOf(const struct stat& st)
{
    FileInfo i;
    i.exists = true;
    i.isDirectory = S_ISDIR(st.st_mode);
    i.isRegular = S_ISREG(st.st_mode);
    i.size = uint64_t(st.st_size);
    i.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    i.volume = uint64_t(st.st_dev);
    i.index = uint64_t(st.st_ino);
    // Only the owner's own bits are certain: for anyone else the group
    // bits, the supplementary groups or an access list may deny what the
    // bits for all allow (and the owner is never read by the bits for all).
    static const uid_t me = ::geteuid();
    i.permitsRead = st.st_uid == me && (st.st_mode & S_IRUSR);
    return i;
}

int fdOf(intptr_t h)
{
    return int(h);
}

} // namespace

bool FileNamesIgnoreCase()
{
    return false;
}

FileInfo InfoOf(const fs::path& p)
{
    FileInfo info;
    InfoOf(p, info);
    return info;
}

namespace {

int infoAt(const char* path, FileInfo& info)
{
    struct stat st {};
    if (::stat(path, &st) != 0) {
        info = {};
        return errno;
    }
    info = infoOf(st);
    return 0;
}

bool mayRead(const char* path, const FileInfo& info)
{
    if (info.permitsRead) return true;
    return ::faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0;
}

} // namespace

int InfoOf(const fs::path& p, FileInfo& info)
{
    return infoAt(p.c_str(), info);
}

// Paths are the UTF-8 bytes themselves here.
int InfoOfUtf8(const std::string& utf8, FileInfo& info)
{
    return infoAt(utf8.c_str(), info);
}

bool MayRead(const fs::path& p, const FileInfo& info)
{
    return mayRead(p.c_str(), info);
}

bool MayReadUtf8(const std::string& utf8, const FileInfo& info)
{
    return mayRead(utf8.c_str(), info);
}

bool File::IsOpen() const
{
    return handle_ >= 0;
}

namespace {

// Opening a pipe for reading waits for a writer, which a pipe left in an
// FM's folder never gets: it is opened without waiting, and then read as
// any file (to its end at once, when nothing writes to it).
int openForReading(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

} // namespace

int File::OpenRead(const fs::path& p)
{
    Close();
    const int fd = openForReading(p.c_str());
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    handle_ = fd;
    return 0;
}

int File::OpenReadFound(const fs::path& p)
{
    return OpenReadFoundUtf8(p.native());
}

int File::OpenReadFoundUtf8(const std::string& utf8)
{
    Close();
    const int fd = openForReading(utf8.c_str());
    if (fd < 0) return errno;
    handle_ = fd;
    return 0;
}

int File::OpenWrite(const fs::path& p)
{
    Close();
    const int fd = ::open(p.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return errno;
    handle_ = fd;
    return 0;
}

int File::CreateTemp(const fs::path& dir, const std::string& prefix, const fs::path& modeOf, fs::path& made)
{
    Close();
    std::string tmpl = (dir / (prefix + "XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return errno;
    // mkstemp makes the file 0600; a file that replaces another keeps its
    // permissions, and a new one gets what any new file would.
    struct stat old {};
    if (!modeOf.empty() && ::stat(modeOf.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    // Held while it is written: a later run that finds it takes it for
    // one left behind only when no one holds it.
    ::flock(fd, LOCK_EX | LOCK_NB);
    handle_ = fd;
    made = tmpl;
    return 0;
}

int File::CreateUnnamedTemp(const fs::path& dir, const std::string& prefix, fs::path& made)
{
    Close();
#ifdef O_TMPFILE
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        handle_ = fd;
        made.clear();
        return 0;
    }
    // File systems without unnamed files say so in several ways; any other
    // failure (a folder that refuses writes, a full disk) is the answer.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS) return errno;
#endif
    return CreateTemp(dir, prefix, {}, made);
}

int File::LinkAs(const fs::path& at)
{
    const int fd = fdOf(handle_);
    if (::linkat(fd, "", AT_FDCWD, at.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno != EPERM && errno != ENOENT && errno != EINVAL) return errno;
    // Without the right to link by descriptor, through the process's own
    // view of its descriptors.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, at.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int File::Read(void* buf, size_t n, size_t& got)
{
    got = 0;
    for (;;) {
        const ssize_t r = ::read(fdOf(handle_), buf, n);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        got = size_t(r);
        return 0;
    }
}

int File::ReadAt(uint64_t off, void* buf, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fdOf(handle_), static_cast<char*>(buf) + done, n - done, off_t(off + done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return EIO;
        done += size_t(r);
    }
    return 0;
}

int File::Write(const void* data, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fdOf(handle_), static_cast<const char*>(data) + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        done += size_t(w);
    }
    return 0;
}

int File::WriteAt(uint64_t off, const void* data, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fdOf(handle_), static_cast<const char*>(data) + done, n - done, off_t(off + done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        done += size_t(w);
    }
    return 0;
}

int File::Sync()
{
    return ::fsync(fdOf(handle_)) == 0 ? 0 : errno;
}

int File::Close()
{
    if (handle_ < 0) return 0;
    const int rc = ::close(fdOf(handle_));
    handle_ = -1;
    return rc == 0 ? 0 : errno;
}

FileInfo File::Info() const
{
    struct stat st {};
    if (handle_ < 0 || ::fstat(fdOf(handle_), &st) != 0) return {};
    return infoOf(st);
}

int AtomicReplace(const fs::path& finished, const fs::path& target)
{
    return ::rename(finished.c_str(), target.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const fs::path& p)
{
    return ::unlink(p.c_str()) == 0 ? 0 : errno;
}

int RemoveUnlessOpen(const fs::path& p)
{
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    int err = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) err = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (::unlink(p.c_str()) != 0)
        err = errno;
    ::close(fd);
    return err;
}

int SetModifiedTime(const fs::path& p, std::time_t when)
{
    struct utimbuf ut {};
    ut.actime = when;
    ut.modtime = when;
    return ::utime(p.c_str(), &ut) == 0 ? 0 : errno;
}

} // namespace lw::platform
