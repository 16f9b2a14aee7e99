#include "base/FileIO.h"

#include "base/Errors.h"

#include "platform/File.h"

#include <cerrno>

namespace fs = std::filesystem;

namespace lw {

std::string ReadWholeFile(const fs::path& file, uint64_t maxBytes)
{
    const std::string name = platform::Utf8Of(file);
    platform::File f;
    if (const int err = f.OpenRead(file)) ThrowFileError("read", name, err);
    const platform::FileInfo info = f.Info();
    std::string data;
    if (info.isRegular && info.size <= maxBytes) data.reserve(size_t(info.size));
    char buf[65536];
    for (;;) {
        size_t n = 0;
        if (const int err = f.Read(buf, sizeof buf, n)) ThrowFileError("read", name, err);
        if (n == 0) break;
        if (data.size() + n > maxBytes) ThrowFileError("read", name, EFBIG);
        data.append(buf, n);
    }
    return data;
}

namespace {

// The file a chain of symbolic links ends at (file itself when it is no
// link); it need not exist. 0, or the error that stopped the chain.
int followLinks(const fs::path& file, fs::path& at)
{
    at = file;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) return 0;
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) return ec.value();
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return ELOOP;
}

fs::path linkTarget(const fs::path& file)
{
    fs::path at;
    if (const int err = followLinks(file, at)) ThrowFileError("write", platform::Utf8Of(file), err);
    return at;
}

} // namespace

void WriteFileAtomic(const fs::path& link, const std::string& bytes)
{
    // Renaming over a symbolic link would put a plain file in its place;
    // the author linked the file on purpose, so the file it points to is
    // the one replaced.
    const fs::path file = linkTarget(link);
    const std::string name = platform::Utf8Of(link);
    const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
    platform::File f;
    fs::path tmp;
    // Keep the permissions of the file being replaced. (Built by appending:
    // GCC 12 warns falsely about "." + a temporary string.)
    std::string prefix(".");
    prefix.append(platform::Utf8Of(file.filename())).append(".");
    if (const int err = f.CreateTemp(dir, prefix, file, tmp)) ThrowFileError("write", name, err);
    auto fail = [&](int err) {
        f.Close();
        platform::RemoveFile(tmp);
        ThrowFileError("write", name, err);
    };
    if (const int err = f.Write(bytes.data(), bytes.size())) fail(err);
    if (const int err = f.Sync()) fail(err);
    if (const int err = f.Close()) fail(err);
    if (const int err = ReplaceWith(tmp, file)) fail(err);
}

int ReplaceWith(const fs::path& finished, const fs::path& target)
{
    fs::path file;
    if (const int err = followLinks(target, file)) return err;
    return platform::AtomicReplace(finished, file);
}

FileStamp StampOf(const fs::path& file)
{
    const platform::FileInfo info = platform::InfoOf(file);
    FileStamp s;
    if (!info.exists) return s;
    s.exists = true;
    s.mtimeNs = info.mtimeNs;
    s.size = info.size;
    s.volume = info.volume;
    s.index = info.index;
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
