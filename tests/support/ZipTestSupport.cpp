#include "support/ZipTestSupport.h"

#include "platform/File.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <zip.h>

namespace fs = std::filesystem;

namespace lw::ziptest {

ScratchDir::ScratchDir()
{
    path_ = lw::test::TempDir::MakeUniqueDir("lwzip-");
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& p, const std::string& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string SomeBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char* words[] = {"thief ", "guard ", "torch ", "water arrow ", "loot ", "key ", "\x01\x02", "\xff"};
    std::string s;
    s.reserve(n + 16);
    while (s.size() < n) {
        if (rng() % 4 == 0) s += char(rng() & 0xFF);
        else
            s += words[rng() % 8];
    }
    s.resize(n);
    return s;
}

std::vector<std::string> Listing(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(lw::platform::Utf8Of(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, ArchiveEntry> ReadArchive(const fs::path& zipPath, std::string* error)
{
    std::map<std::string, ArchiveEntry> out;
    int err = 0;
    zip_t* za = zip_open(lw::platform::Utf8Of(zipPath).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!za) {
        if (error) *error = "cannot open, libzip error " + std::to_string(err);
        return out;
    }
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        ArchiveEntry e;
        e.method = st.comp_method;
        zip_file_t* f = zip_fopen_index(za, zip_uint64_t(i), 0);
        if (!f) {
            if (error) *error = std::string("cannot open entry ") + st.name;
            continue;
        }
        char buf[65536];
        zip_int64_t r;
        while ((r = zip_fread(f, buf, sizeof buf)) > 0) e.bytes.append(buf, size_t(r));
        if (r < 0 && error) *error = std::string("cannot read entry ") + st.name + ": " + zip_file_strerror(f);
        zip_fclose(f);
        out[st.name] = std::move(e);
    }
    zip_close(za);
    return out;
}

std::vector<std::string> ArchiveNames(const fs::path& zipPath)
{
    std::vector<std::string> names;
    int err = 0;
    zip_t* za = zip_open(lw::platform::Utf8Of(zipPath).c_str(), ZIP_RDONLY, &err);
    if (!za) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) names.push_back(zip_get_name(za, zip_uint64_t(i), 0));
    zip_close(za);
    return names;
}

Packer::Packer()
{
    zip.SetAddCompLevel(9);
    zip.SetAddOptions({AddDirNames, AddUpdate, AddZipTime, AddHiddenFiles});
    zip.SetAddStoreSuffixes(DefaultStoreSuffixes());
    zip.SetHowToDelete(htdFinal);
    zip.OnMessage = [this](TZipArchiver*, int code, const std::string& text) { messages.emplace_back(code, text); };
}

bool Packer::HasMessage(const std::string& part) const
{
    return std::any_of(messages.begin(), messages.end(),
                       [&](const auto& m) { return m.second.find(part) != std::string::npos; });
}

std::string Packer::AllMessages() const
{
    std::string s;
    for (const auto& [code, text] : messages) s += "[" + std::to_string(code) + "] " + text + "\n";
    return s;
}

} // namespace lw::ziptest
