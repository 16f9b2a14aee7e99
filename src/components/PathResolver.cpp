#include "PathResolver.h"

#include "FileIO.h"
#include "StrUtils.h"

#include <vector>

namespace fs = std::filesystem;

namespace lw {

namespace {

std::vector<std::string> splitParts(std::string_view rel)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : rel) {
        if (c == '\\' || c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

} // namespace

std::string FindNameNoCase(const fs::path& dir, std::string_view name)
{
    std::error_code ec;
    if (fs::exists(dir / std::string(name), ec)) return std::string(name);
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (EqualsNoCase(entry, name)) return entry;
    }
    return {};
}

namespace {

// Every entry of dir, other than name itself, whose name equals name
// without regard to case.
std::vector<std::string> otherSpellings(const fs::path& dir, const std::string& name)
{
    std::vector<std::string> found;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry != name && EqualsNoCase(entry, name)) found.push_back(entry);
    }
    return found;
}

// Depth-first over the spellings that exist, the exact one first and
// without listing any directory while it leads on; so "Strings" beside
// "strings" still leads to the file that is really there.
bool resolveExisting(const fs::path& cur, const std::vector<std::string>& parts, size_t i, fs::path& out)
{
    if (i == parts.size()) {
        out = cur;
        return true;
    }
    const std::string& part = parts[i];
    if (part.empty() || part == ".") return resolveExisting(cur, parts, i + 1, out);
    if (part == "..") return resolveExisting(cur.parent_path(), parts, i + 1, out);
    std::error_code ec;
    if (fs::exists(cur / part, ec) && resolveExisting(cur / part, parts, i + 1, out)) return true;
    for (const std::string& name : otherSpellings(cur, part))
        if (resolveExisting(cur / name, parts, i + 1, out)) return true;
    return false;
}

} // namespace

fs::path ResolvePath(const fs::path& base, std::string_view rel)
{
    const bool absolute = !rel.empty() && (rel.front() == '/' || rel.front() == '\\');
    const fs::path start = absolute ? fs::path("/") : base;
    const std::vector<std::string> parts = splitParts(rel);
    fs::path found;
    if (resolveExisting(start, parts, 0, found)) return found;

    // Not there: keep the directories that exist, then the given names.
    fs::path cur = start;
    bool exists = true;
    for (const std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            cur = cur.parent_path();
            continue;
        }
        if (exists) {
            const std::string name = FindNameNoCase(cur, part);
            if (!name.empty()) {
                cur /= name;
                continue;
            }
            exists = false;
        }
        cur /= part;
    }
    return cur;
}

bool FileExistsAt(const fs::path& base, std::string_view rel)
{
    return IsRegularFile(ResolvePath(base, rel));
}

bool DirExistsAt(const fs::path& base, std::string_view rel)
{
    return IsDirectory(ResolvePath(base, rel));
}

std::string AsDirPath(const fs::path& dir)
{
    std::error_code ec;
    fs::path abs = fs::absolute(dir, ec);
    if (ec) abs = dir;
    std::string s = abs.lexically_normal().string();
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

std::string RelativeEntry(const fs::path& dir, const fs::path& file)
{
    std::error_code ec;
    const fs::path absDir = fs::absolute(dir, ec).lexically_normal();
    const fs::path absFile = fs::absolute(file, ec).lexically_normal();
    fs::path rel = absFile.lexically_relative(absDir);
    if (rel.empty()) return ToBackslashes(absFile.string());
    return ToBackslashes(rel.string());
}

} // namespace lw
