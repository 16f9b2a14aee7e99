#include "platform/Directory.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace lw::platform {

namespace {

EntryKind kindOf(mode_t mode)
{
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Directory;
    return EntryKind::Other;
}

} // namespace

int ListDirectory(const std::filesystem::path& dir, std::vector<DirEntry>& entries)
{
    entries.clear();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return errno;
    const int fd = ::dirfd(d);
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (!e) {
            const int err = errno;
            ::closedir(d);
            if (err != 0) entries.clear();
            return err;
        }
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        DirEntry out;
        out.name = n;
        out.hidden = n[0] == '.';
        switch (e->d_type) {
        case DT_REG: out.kind = EntryKind::File; break;
        case DT_DIR: out.kind = EntryKind::Directory; break;
        case DT_LNK:
        case DT_UNKNOWN: {
            // Only links and file systems that do not tell the type cost a
            // look at the file.
            struct stat st {};
            if (e->d_type == DT_UNKNOWN && ::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st.st_mode)) {
                out.kind = kindOf(st.st_mode);
                break;
            }
            out.link = true;
            if (::fstatat(fd, n, &st, 0) == 0) out.kind = kindOf(st.st_mode);
            break;
        }
        default: out.kind = EntryKind::Other; break;
        }
        entries.push_back(std::move(out));
    }
}

} // namespace lw::platform
