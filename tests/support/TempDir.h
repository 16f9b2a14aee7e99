// A directory that lives for one test, with helpers to lay out files.
#pragma once

#include "platform/File.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace lw::test {

class TempDir {
public:
    TempDir() : path_(MakeUniqueDir("lw-test-")) {}
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as the project holds it: UTF-8, ending with "/". Paths
    // given and returned as text are UTF-8, as the program's are.
    std::string dir() const
    {
        const std::u8string u = path_.generic_u8string();
        return std::string(u.begin(), u.end()) + "/";
    }
    std::string operator/(const std::string& rel) const
    {
        return lw::platform::Utf8Of(path_ / lw::platform::PathFromUtf8(rel));
    }

    // Writes bytes to rel (with "/" separators), creating directories.
    std::string write(const std::string& rel, const std::string& bytes = "x") const
    {
        const std::filesystem::path p = path_ / lw::platform::PathFromUtf8(rel);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return lw::platform::Utf8Of(p);
    }
    // Replaces rel as editors do: a new file renamed over the old one, so
    // the change shows even within the file system's time resolution.
    void replace(const std::string& rel, const std::string& bytes) const
    {
        write(rel + ".new", bytes);
        std::filesystem::rename(path_ / lw::platform::PathFromUtf8(rel + ".new"),
                                path_ / lw::platform::PathFromUtf8(rel));
    }
    std::string read(const std::string& rel) const
    {
        std::ifstream in(path_ / lw::platform::PathFromUtf8(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& rel) const
    {
        return std::filesystem::exists(path_ / lw::platform::PathFromUtf8(rel));
    }

    // A new folder under the system's temporary one, named prefix and a
    // random tail (mkdtemp is POSIX only).
    static std::filesystem::path MakeUniqueDir(const std::string& prefix)
    {
        static std::mt19937_64 random{std::random_device{}()};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path p =
                base / lw::platform::PathFromUtf8(prefix + std::to_string(random() % 1000000000000ull));
            std::error_code ec;
            if (std::filesystem::create_directory(p, ec)) return p;
        }
        std::abort();
    }

    // Whether the system lets this process make symbolic links here
    // (Windows allows it only to administrators or in developer mode).
    static constexpr const char* NoSymlinks =
        "this system does not let the test make symbolic links (Windows allows them only to administrators or in "
        "developer mode; Wine makes none)";
    bool SymlinksWork() const
    {
        std::error_code ec;
        const std::filesystem::path probe = path_ / ".lw-link-probe";
        std::filesystem::create_symlink("absent", probe, ec);
        if (ec) return false;
        std::filesystem::remove(probe, ec);
        return true;
    }

private:
    std::filesystem::path path_;
};

} // namespace lw::test
