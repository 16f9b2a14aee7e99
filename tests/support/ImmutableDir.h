// Makes a directory refuse every change while it lives (the immutable
// attribute, chattr +i): a read-only folder that holds for root too, where
// permission bits do not. Active() is false where the file system or the
// process cannot set the attribute; tests then skip that case.
#pragma once

#include <filesystem>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace lw::test {

class ImmutableDir {
public:
    explicit ImmutableDir(const std::filesystem::path& dir)
    {
        fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;
        if (::ioctl(fd_, FS_IOC_GETFLAGS, &old_) == 0) {
            int flags = old_ | FS_IMMUTABLE_FL;
            active_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ImmutableDir()
    {
        if (active_) ::ioctl(fd_, FS_IOC_SETFLAGS, &old_);
        if (fd_ >= 0) ::close(fd_);
    }
    ImmutableDir(const ImmutableDir&) = delete;
    ImmutableDir& operator=(const ImmutableDir&) = delete;

    bool Active() const { return active_; }

private:
    int fd_ = -1;
    int old_ = 0;
    bool active_ = false;
};

} // namespace lw::test
