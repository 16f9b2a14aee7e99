#include "FileIO.h"

#include "Errors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lw {

std::string ReadWholeFile(const fs::path& file, uint64_t maxBytes)
{
    const std::string name = file.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowFileError("read", name, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        ThrowFileError("read", name, err);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        ThrowFileError("read", name, EISDIR);
    }
    std::string data;
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) <= maxBytes) data.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ThrowFileError("read", name, err);
        }
        if (n == 0) break;
        if (data.size() + size_t(n) > maxBytes) {
            ::close(fd);
            ThrowFileError("read", name, EFBIG);
        }
        data.append(buf, size_t(n));
    }
    ::close(fd);
    return data;
}

namespace {

// The file a chain of symbolic links ends at (file itself when it is no
// link); it need not exist. 0, or the error that stopped the chain.
int followLinks(const fs::path& file, fs::path& at)
{
    at = file;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
        std::error_code ec;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) return ec.value();
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return ELOOP;
}

fs::path linkTarget(const fs::path& file)
{
    fs::path at;
    if (const int err = followLinks(file, at)) ThrowFileError("write", file.string(), err);
    return at;
}

} // namespace

void WriteFileAtomic(const fs::path& link, const std::string& bytes)
{
    // Renaming over a symbolic link would put a plain file in its place;
    // the author linked the file on purpose, so the file it points to is
    // the one replaced.
    const fs::path file = linkTarget(link);
    const std::string name = link.string();
    const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::string tmpName = ".";
    tmpName += file.filename().string();
    tmpName += ".XXXXXX";
    std::string tmpl = (dir / tmpName).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) ThrowFileError("write", name, errno);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        ThrowFileError("write", name, err);
    };
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat old {};
    if (::stat(name.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        ThrowFileError("write", name, err);
    }
    if (const int err = ReplaceWith(tmpl, file)) {
        ::unlink(tmpl.c_str());
        ThrowFileError("write", name, err);
    }
}

int ReplaceWith(const fs::path& finished, const fs::path& target)
{
    fs::path file;
    if (const int err = followLinks(target, file)) return err;
    return ::rename(finished.c_str(), file.c_str()) == 0 ? 0 : errno;
}

FileStamp StampOf(const fs::path& file)
{
    struct stat st {};
    FileStamp s;
    if (::stat(file.c_str(), &st) != 0) return s;
    s.exists = true;
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.size = uint64_t(st.st_size);
    s.inode = uint64_t(st.st_ino);
    return s;
}

bool IsRegularFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool IsDirectory(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

} // namespace lw
