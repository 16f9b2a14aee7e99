#include "core/missions/GameResources.h"

#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/text/TextCodec.h"
#include "core/zip/ZLibLoad.h"
#include "core/zip/ZipDirectory.h"
#include "core/zip/ZipMessages.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <cctype>
#include <exception>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr uint64_t kMaxConfig = 1 << 20; // install.cfg is a few lines

const char* const kGameMarks[] = {"install.cfg", "cam.cfg", "thief.exe", "thief2.exe", "dromed.exe"};

std::string trimmed(std::string_view s)
{
    return TrimControl(s);
}

// "a\b" as an archive's names are kept: "/" between parts (the hash
// ignores case), in text that is reused.
std::string_view key(std::string_view s, std::string& text)
{
    text.assign(s);
    for (char& c : text)
        if (c == '\\') c = '/';
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

// resname_base from install.cfg: "key value" lines, ";" starting a comment.
std::string resnameBase(const fs::path& gameDir)
{
    const std::string name = FindNameNoCase(gameDir, "install.cfg");
    if (name.empty()) return {};
    std::string text;
    const fs::path path = gameDir / platform::PathFromUtf8(name);
    if (!IsRegularFile(path)) return {}; // a pipe of that name would never end its read
    try {
        text = ReadWholeFile(path, kMaxConfig);
    } catch (const std::exception&) {
        return {};
    }
    if (!IsValidUtf8(text)) text = Cp1252ToUtf8(text);
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(std::string_view(text).substr(from, end - from));
        from = end + 1;
        const size_t gap = line.find_first_of(" \t=");
        if (gap == std::string::npos || !EqualsNoCase(line.substr(0, gap), "resname_base")) continue;
        std::string value = line.substr(gap);
        const size_t start = value.find_first_not_of(" \t=");
        return start == std::string::npos ? std::string() : trimmed(value.substr(start));
    }
    return {};
}

} // namespace

bool IsGameFolder(const fs::path& dir)
{
    std::vector<platform::DirEntry> entries;
    if (platform::ListDirectory(dir, entries) != 0) return false;
    for (const platform::DirEntry& e : entries) {
        if (e.kind != platform::EntryKind::File) continue;
        for (const char* mark : kGameMarks)
            if (EqualsNoCase(e.name, mark)) return true;
    }
    return false;
}

fs::path FindGameFolder(const fs::path& fmDir)
{
    fs::path dir = fmDir;
    if (!dir.has_filename()) dir = dir.parent_path(); // "/x/fm/" names the folder fm
    for (int level = 0; level < 3 && !dir.empty(); ++level) {
        if (IsGameFolder(dir)) return dir;
        const fs::path up = dir.parent_path();
        if (up == dir) break;
        dir = up;
    }
    return {};
}

std::vector<fs::path> GameResourceFolders(const fs::path& gameDir)
{
    std::vector<fs::path> out;
    auto add = [&](const fs::path& p) {
        if (IsDirectory(p)) out.push_back(p);
    };
    const std::string base = resnameBase(gameDir);
    size_t from = 0;
    while (from <= base.size() && !base.empty()) {
        size_t plus = base.find('+', from);
        if (plus == std::string::npos) plus = base.size();
        std::string part = trimmed(std::string_view(base).substr(from, plus - from));
        from = plus + 1;
        if (part.size() >= 2 && part[0] == '.' && (part[1] == '\\' || part[1] == '/')) part.erase(0, 2);
        try {
            if (part.empty() || part == ".") add(gameDir);
            else if (part[0] == '\\' || part[0] == '/' || (part.size() >= 2 && part[1] == ':'))
                add(platform::PathFromUtf8(part)); // another drive: there only where the system has it
            else
                add(ResolvePath(gameDir, part));
        } catch (const std::exception&) { // a path no folder answers
        }
    }
    if (out.empty()) {
        add(gameDir);
        if (const std::string res = FindNameNoCase(gameDir, "res"); !res.empty())
            add(gameDir / platform::PathFromUtf8(res));
    }
    return out;
}

GameResources::GameResources(fs::path gameDir) : gameDir_(std::move(gameDir))
{
    if (gameDir_.empty()) return;
    folders_ = GameResourceFolders(gameDir_);
    for (const fs::path& dir : folders_) {
        std::vector<platform::DirEntry> entries;
        if (platform::ListDirectory(dir, entries) != 0) continue;
        for (const platform::DirEntry& e : entries) {
            if (e.kind != platform::EntryKind::File || e.name.size() <= 4) continue;
            const std::string lower = AsciiLower(e.name);
            if (lower.compare(lower.size() - 4, 4, ".crf") != 0) continue;
            Archive& a = archives_[lower.substr(0, lower.size() - 4)];
            if (a.path.empty()) a.path = dir / platform::PathFromUtf8(e.name); // the first folder wins
        }
    }
}

GameResources::Archive* GameResources::archive(std::string_view folder)
{
    const auto at = archives_.find(AsciiLower(folder));
    if (at == archives_.end()) return nullptr;
    Archive& a = at->second;
    if (a.read) return &a;
    a.read = true;
    std::string keyText;
    try {
        platform::File file;
        if (const int err = file.OpenRead(a.path)) ThrowFileError("open", platform::Utf8Of(a.path), err);
        ZipDirectory dir;
        ZipDirOptions options;
        options.ArchiveName = platform::Utf8Of(a.path);
        options.KeepEntries = false; // the names alone, as they come
        const std::string prefix = at->first + "/";
        options.OnEntry = [&](int, const ZipDirEntry& e) {
            std::string_view name = key(e.EntryName, keyText);
            // Some archives keep the folder's own name in front.
            if (name.substr(0, prefix.size()) == prefix) name.remove_prefix(prefix.size());
            for (size_t cut = name.find('/'); cut != std::string_view::npos; cut = name.find('/', cut + 1))
                a.dirs.insert(FoldedHash(name.substr(0, cut)));
            a.names.insert(FoldedHash(name));
        };
        ReadZipDirectory(file, file.Info().size, dir, options);
    } catch (const std::exception& e) {
        // The archiver's exception carries a message number: its words,
        // not the number, go into the finding.
        const auto* zip = dynamic_cast<const EZipArchiver*>(&e);
        std::string text = zip ? ZipMessageText(zip->Ident()) : std::string();
        if (text.empty()) {
            text = e.what();
        } else {
            if (text.ends_with('.')) text.pop_back();
            text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
        }
        a.problem = text;
        a.names.clear();
        a.dirs.clear();
    }
    return &a;
}

Held GameResources::Holds(std::string_view folder, std::string_view inner, const std::vector<const char*>& exts)
{
    Archive* a = archive(folder);
    if (!a) return Held::No;
    if (!a->problem.empty()) return Held::Unknown;
    std::string text;
    const std::string base(key(inner, text));
    if (exts.empty()) return a->names.count(FoldedHash(base)) ? Held::Yes : Held::No;
    for (const char* ext : exts)
        if (a->names.count(FoldedHash(base + ext))) return Held::Yes;
    return Held::No;
}

Held GameResources::HoldsBelow(std::string_view folder, std::string_view inner)
{
    Archive* a = archive(folder);
    if (!a) return Held::No;
    if (!a->problem.empty()) return Held::Unknown;
    std::string text;
    return a->dirs.count(FoldedHash(key(inner, text))) ? Held::Yes : Held::No;
}

bool GameResources::HoldsFile(std::string_view name) const
{
    if (gameDir_.empty()) return false;
    try {
        if (FileExistsAt(gameDir_, name)) return true;
        for (const fs::path& dir : folders_)
            if (FileExistsAt(dir, name)) return true;
    } catch (const std::exception&) { // a name no file answers
    }
    return false;
}

std::vector<std::string> GameResources::Problems() const
{
    std::vector<std::string> out;
    for (const auto& [name, a] : archives_)
        if (!a.problem.empty()) out.push_back(platform::Utf8Of(a.path.filename()) + ": " + a.problem);
    return out;
}

} // namespace lw
