// A directory that lives for one test, with helpers to lay out files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace lw::test {

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "lw-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as the project holds it: ending with "/".
    std::string dir() const { return path_.string() + "/"; }
    std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

    // Writes bytes to rel (with "/" separators), creating directories.
    std::string write(const std::string& rel, const std::string& bytes = "x") const
    {
        const std::filesystem::path p = path_ / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    // Replaces rel as editors do: a new file renamed over the old one, so
    // the change shows even within the file system's time resolution.
    void replace(const std::string& rel, const std::string& bytes) const
    {
        write(rel + ".new", bytes);
        std::filesystem::rename(path_ / (rel + ".new"), path_ / rel);
    }
    std::string read(const std::string& rel) const
    {
        std::ifstream in(path_ / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& rel) const { return std::filesystem::exists(path_ / rel); }

private:
    std::filesystem::path path_;
};

} // namespace lw::test
