// Makes a directory refuse every change while it lives (the immutable
// attribute, chattr +i): a read-only folder that holds for root too, where
// permission bits do not. Active() is false where the file system, the
// system or the process cannot set the attribute; tests then skip that case.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace lw::test {

class ImmutableDir {
public:
    explicit ImmutableDir(const std::filesystem::path& dir) : dir_(dir)
    {
        active_ = std::system(command('+').c_str()) == 0;
    }
    ~ImmutableDir()
    {
        if (active_) (void)std::system(command('-').c_str());
    }
    ImmutableDir(const ImmutableDir&) = delete;
    ImmutableDir& operator=(const ImmutableDir&) = delete;

    bool Active() const { return active_; }

private:
    std::string command(char sign) const
    {
        const std::string dir = dir_.string(); // narrow-ok: a shell command on Linux
        return std::string("chattr ") + sign + "i '" + dir + "' >/dev/null 2>&1";
    }

    std::filesystem::path dir_;
    bool active_ = false;
};

} // namespace lw::test
