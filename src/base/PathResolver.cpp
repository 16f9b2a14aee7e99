#include "base/PathResolver.h"

#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace lw {

namespace {

enum class Kind : unsigned char { Unknown, File, Dir, Other };

// One directory as read once: its names, found by their lower-case form.
// A folder may hold thousands of names, read by every resolver of a run:
// the names and their folded forms are kept back to back in two strings,
// and the names of one folded form are chained in the order listed.
class Listing {
public:
    static constexpr uint32_t None = UINT32_MAX;

    bool read = false; // false: it could not be read; only exact names are tried

    void Fill(const std::vector<platform::DirEntry>& entries)
    {
        size_t bytes = 0;
        for (const platform::DirEntry& e : entries) bytes += e.name.size();
        names_.reserve(bytes);
        folded_.reserve(bytes);
        spellings_.reserve(entries.size());
        next_.assign(entries.size(), None);
        chains_.reserve(entries.size());
        for (const platform::DirEntry& e : entries) {
            Spelling s;
            s.at = uint32_t(names_.size());
            s.size = uint32_t(e.name.size());
            // The kind comes with the listing on most file systems; links
            // are followed.
            switch (e.kind) {
            case platform::EntryKind::File: s.kind = Kind::File; break;
            case platform::EntryKind::Directory: s.kind = Kind::Dir; break;
            case platform::EntryKind::Other: s.kind = Kind::Other; break;
            case platform::EntryKind::Unknown: s.kind = Kind::Unknown; break;
            }
            names_ += e.name;
            for (const char c : e.name) folded_ += AsciiLower(c);
            const auto index = uint32_t(spellings_.size());
            spellings_.push_back(s);
            // The strings were reserved whole, so the views stay valid.
            const auto [chain, fresh] =
                chains_.try_emplace(std::string_view(folded_).substr(s.at, s.size), index, index);
            if (!fresh) {
                next_[chain->second.second] = index;
                chain->second.second = index;
            }
        }
    }
    // The first name whose lower-case form is folded; None when none is.
    uint32_t First(std::string_view folded) const
    {
        const auto at = chains_.find(folded);
        return at == chains_.end() ? None : at->second.first;
    }
    uint32_t Next(uint32_t i) const { return next_[i]; }
    std::string_view Name(uint32_t i) const
    {
        return std::string_view(names_).substr(spellings_[i].at, spellings_[i].size);
    }
    Kind KindOf(uint32_t i) const { return spellings_[i].kind; }

private:
    struct Spelling {
        uint32_t at = 0, size = 0; // in names_ and folded_
        Kind kind = Kind::Unknown;
    };
    std::string names_, folded_;
    std::vector<Spelling> spellings_;
    std::vector<uint32_t> next_;
    std::unordered_map<std::string_view, std::pair<uint32_t, uint32_t>> chains_; // folded -> first, last
};

// A listed path with "." and ".." applied to its text: the directory to
// start from and the names below it, none of them "", "." or "..".
// The parts are views into the listed text, which outlives the Parsed.
struct Parsed {
    fs::path start;                        // unless cachedStart is set
    const fs::path* cachedStart = nullptr; // the index's normal base, when that is where it starts
    std::string ownStartText;              // the start as UTF-8 text, unless cachedStartText is set
    const std::string* cachedStartText = nullptr;
    std::vector<std::string_view> parts;

    const fs::path& Start() const { return cachedStart ? *cachedStart : start; }
    const std::string& StartText() const { return cachedStartText ? *cachedStartText : ownStartText; }
};

std::string shown(std::string_view rel)
{
    return rel.size() <= 60 ? std::string(rel) : std::string(rel.substr(0, 60)) + "...";
}

fs::path upOne(const fs::path& dir)
{
    if (dir.empty() || dir == ".") return "..";
    if (dir == dir.root_path()) return dir; // above the root is the root
    if (dir.filename() == "..") return dir / "..";
    fs::path up = dir.parent_path();
    return up.empty() ? fs::path(".") : up;
}

// The last base directory made normal: an index resolves thousands of
// paths against one.
struct BaseCache {
    fs::path::string_type base; // as the caller gave it
    fs::path start;
    std::string startText;
    bool known = false;
};

fs::path normalBase(const fs::path& base)
{
    fs::path start = base.lexically_normal();
    // "/a/b/" and "/a/b" are the same directory; ".." must leave it.
    if (!start.has_filename() && start.has_relative_path()) start = start.parent_path();
    return start;
}

Parsed parse(const fs::path& base, std::string_view rel, BaseCache* cache = nullptr)
{
    if (rel.size() > MaxListedPathLength)
        throw Error("The listed path \"" + shown(rel) + "\" is too long: " + std::to_string(rel.size()) +
                    " characters, at most " + std::to_string(MaxListedPathLength));
    Parsed p;
    p.parts.reserve(8);
    // A drive ("C:\\fm", Windows only: elsewhere "C:" is a name like any)
    // starts at its root, with or without a separator after it.
    bool onDrive = false;
    if (rel.size() >= 2 && rel[1] == ':') {
        const fs::path drive = platform::PathFromUtf8(rel.substr(0, 2));
        if (drive.has_root_name()) {
            p.start = drive / "/";
            rel.remove_prefix(2);
            onDrive = true;
        }
    }
    const bool absolute = !rel.empty() && (rel.front() == '/' || rel.front() == '\\');
    if (onDrive) {
        // p.start is the drive's root.
    } else if (absolute) {
        // The root of the base's own drive (Windows), or the root.
        const fs::path root = base.root_path();
        p.start = root.empty() ? fs::path("/") : root;
    } else {
        if (!cache) {
            p.start = normalBase(base);
        } else {
            if (!cache->known || cache->base != base.native()) {
                cache->base = base.native();
                cache->start = normalBase(base);
                cache->startText = platform::Utf8Of(cache->start);
                cache->known = true;
            }
            p.cachedStart = &cache->start;
        }
    }
    size_t count = 0, ups = 0, from = 0;
    for (size_t i = 0; i <= rel.size(); ++i) {
        if (i < rel.size() && rel[i] != '\\' && rel[i] != '/') continue;
        if (++count > MaxListedPathParts)
            throw Error("The listed path \"" + shown(rel) + "\" has too many parts: at most " +
                        std::to_string(MaxListedPathParts));
        const std::string_view part = rel.substr(from, i - from);
        from = i + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!p.parts.empty()) p.parts.pop_back();
            else
                ++ups;
            continue;
        }
        p.parts.push_back(part);
    }
    if (ups > 0 && p.cachedStart) {
        p.start = *p.cachedStart;
        p.cachedStart = nullptr;
    }
    for (; ups > 0; --ups) p.start = upOne(p.start);
    if (p.cachedStart) p.cachedStartText = &cache->startText;
    else
        p.ownStartText = platform::Utf8Of(p.start);
    return p;
}

bool statDir(const fs::path& p, std::string& id)
{
    const platform::FileInfo info = platform::InfoOf(p);
    if (!info.isDirectory) return false;
    // Without file numbers (some systems report 0) the path stands in.
    id = info.index != 0 ? std::to_string(info.volume) + ":" + std::to_string(info.index)
                         : platform::Utf8Of(p.lexically_normal());
    return true;
}

} // namespace

struct FolderCache::Impl {
    struct Folder {
        std::once_flag read;
        Listing listing;
    };
    std::mutex mutex;
    std::unordered_map<std::string, std::unique_ptr<Folder>> folders;

    // dir read once, whichever thread asks first; the others wait for it.
    const Listing& listing(const std::string& dir)
    {
        Folder* folder = nullptr;
        {
            std::lock_guard lock(mutex);
            std::unique_ptr<Folder>& slot = folders[dir];
            if (!slot) slot = std::make_unique<Folder>();
            folder = slot.get();
        }
        std::call_once(folder->read, [&] {
            std::vector<platform::DirEntry> entries;
            if (platform::ListDirectory(dir.empty() ? fs::path(".") : platform::PathFromUtf8(dir), entries) != 0)
                return;
            folder->listing.Fill(entries);
            folder->listing.read = true;
        });
        return folder->listing;
    }
};

FolderCache::FolderCache() : impl_(std::make_unique<Impl>())
{
}

FolderCache::~FolderCache() = default;

struct PathIndex::Impl {
    Impl(bool eager, FolderCache* shared)
        : eager(eager), ownCache(shared ? nullptr : std::make_unique<FolderCache>()),
          cache(shared ? *shared->impl_ : *ownCache->impl_)
    {
    }

    bool eager; // read each folder whole when first asked about
    const bool ignoresCase = platform::FileNamesIgnoreCase();
    BaseCache base;
    std::unique_ptr<FolderCache> ownCache;
    FolderCache::Impl& cache;
    std::unordered_map<std::string, const Listing*> listings; // the folders this index has asked for
    std::unordered_map<std::string, std::string> dirIds;      // path -> identity; "" when not a directory

    const Listing& listing(const std::string& dir)
    {
        if (const auto at = listings.find(dir); at != listings.end()) return *at->second;
        const Listing& l = cache.listing(dir); // may throw: nothing is kept then
        listings.emplace(dir, &l);
        return l;
    }
    std::string located;                       // reused by Locate
    size_t spelledHits = 0, spelledMisses = 0; // Locate's looks at paths as spelled

    const std::string& fold(std::string_view name)
    {
        folded.assign(name);
        for (char& c : folded) c = AsciiLower(c);
        return folded;
    }
    std::string folded; // reused, so that a lookup allocates nothing

    static std::string join(const std::string& dir, std::string_view name)
    {
        std::string out = dir;
        if (!out.empty() && out.back() != '/') out += '/';
        return out.append(name);
    }

    // The spelling of name in dir that the search tries first (the exact
    // one when it exists); others: there may be more.
    bool firstSpelling(const std::string& dir, std::string_view name, std::string& out, bool& others)
    {
        others = false;
        // Where the file system ignores case, finding a name by asking for
        // it says nothing of its spelling on the disk: the listing does.
        if (!eager && !ignoresCase && listings.find(dir) == listings.end()) {
            std::error_code ec;
            if (fs::exists(platform::PathFromUtf8(join(dir, name)), ec)) {
                out.assign(name);
                others = true;
                return true;
            }
        }
        const Listing& l = listing(dir);
        if (!l.read) {
            std::error_code ec;
            if (!fs::exists(platform::PathFromUtf8(join(dir, name)), ec)) return false;
            out.assign(name);
            return true;
        }
        const uint32_t first = l.First(fold(name));
        if (first == Listing::None) return false;
        others = l.Next(first) != Listing::None;
        for (uint32_t i = first; i != Listing::None; i = l.Next(i)) {
            if (l.Name(i) == name) {
                out.assign(name);
                return true;
            }
        }
        out.assign(l.Name(first));
        return true;
    }

    // The kind of what p names, found the way the search tries first (the
    // first spelling of each part, from the listings alone) when that
    // leads to a name whose kind the listing tells; Unknown leaves it to
    // the search. Thousands of listed files are told apart this way
    // without a system call or an allocation each.
    Kind listedKind(const Parsed& p)
    {
        if (!eager || p.parts.empty()) return Kind::Unknown;
        std::string& cur = walked;
        cur = p.StartText();
        Kind kind = Kind::Unknown;
        for (const std::string_view part : p.parts) {
            const Listing& l = listing(cur);
            if (!l.read) return Kind::Unknown;
            uint32_t found = l.First(fold(part));
            if (found == Listing::None) return Kind::Unknown;
            for (uint32_t i = found; i != Listing::None; i = l.Next(i)) {
                if (l.Name(i) == part) {
                    found = i;
                    break;
                }
            }
            if (!cur.empty() && cur.back() != '/') cur += '/';
            cur += l.Name(found);
            kind = l.KindOf(found);
        }
        return kind;
    }
    std::string walked; // reused by listedKind

    Kind kindOfListed(const Parsed& p)
    {
        const Kind k = listedKind(p);
        return k != Kind::Unknown ? k : kindOf(resolve(p));
    }

    bool cached(const fs::path& dir) const { return listings.count(platform::Utf8Of(dir)) != 0; }

    // The spellings of name in dir that exist, the exact one first.
    std::vector<std::string> allSpellings(const fs::path& dir, std::string_view name)
    {
        std::vector<std::string> out;
        const Listing& l = listing(platform::Utf8Of(dir));
        if (!l.read) {
            std::error_code ec;
            if (fs::exists(dir / platform::PathFromUtf8(name), ec)) out.emplace_back(name);
            return out;
        }
        const uint32_t first = l.First(fold(name));
        for (uint32_t i = first; i != Listing::None; i = l.Next(i))
            if (l.Name(i) == name) out.emplace_back(l.Name(i));
        for (uint32_t i = first; i != Listing::None; i = l.Next(i))
            if (l.Name(i) != name) out.emplace_back(l.Name(i));
        return out;
    }

    // First candidates for name in dir; complete says whether more may follow.
    std::vector<std::string> firstSpellings(const fs::path& dir, std::string_view name, bool& complete)
    {
        complete = true;
        if (!eager && !ignoresCase && !cached(dir)) {
            std::error_code ec;
            if (fs::exists(dir / platform::PathFromUtf8(name), ec)) {
                complete = false;
                return {std::string(name)};
            }
        }
        return allSpellings(dir, name);
    }

    bool dirIdentity(const fs::path& p, std::string& id)
    {
        auto [at, fresh] = dirIds.try_emplace(platform::Utf8Of(p));
        if (fresh && !statDir(p, at->second)) at->second.clear();
        id = at->second;
        return !id.empty();
    }

    std::string findNoCase(const fs::path& dir, std::string_view name)
    {
        std::string out;
        bool others = false;
        return firstSpelling(platform::Utf8Of(dir), name, out, others) ? out : std::string();
    }

    Kind kindOf(const std::string& p)
    {
        const size_t cut = p.rfind('/');
        if (cut != std::string::npos && cut + 1 < p.size()) {
            const auto at = listings.find(cut == 0 ? std::string("/") : p.substr(0, cut));
            if (at != listings.end() && at->second->read) {
                const Listing& l = *at->second;
                const std::string_view name = std::string_view(p).substr(cut + 1);
                for (uint32_t i = l.First(fold(name)); i != Listing::None; i = l.Next(i))
                    if (l.Name(i) == name && l.KindOf(i) != Kind::Unknown) return l.KindOf(i);
            }
        }
        const fs::path path = platform::PathFromUtf8(p);
        if (IsRegularFile(path)) return Kind::File;
        if (IsDirectory(path)) return Kind::Dir;
        return Kind::Other;
    }

    std::string resolve(const Parsed& p)
    {
        if (p.parts.empty()) return p.StartText();
        // Most names have one spelling on disk: that path is followed first,
        // without the search's bookkeeping. When it leads nowhere and no
        // part had another spelling, the search would find nothing either.
        {
            std::string cur = p.StartText(), name;
            bool alternatives = false;
            size_t i = 0;
            for (; i < p.parts.size(); ++i) {
                bool others = false;
                if (!firstSpelling(cur, p.parts[i], name, others)) break;
                alternatives = alternatives || others;
                if (!cur.empty() && cur.back() != '/') cur += '/';
                cur += name;
            }
            if (i == p.parts.size()) return cur;
            if (!alternatives) return notFound(p);
        }
        // Depth first over the spellings that exist, the exact one first:
        // "Strings" beside "strings" still leads to the file that is really
        // there. A directory is entered at most once for each part, so two
        // spellings of one folder (or links to it) cost no more than one.
        struct Frame {
            fs::path dir;
            size_t part = 0;
            std::vector<std::string> names;
            size_t next = 0;
            bool complete = true;
        };
        std::set<std::pair<size_t, std::string>> entered;
        std::vector<Frame> stack;
        auto push = [&](fs::path dir, size_t part) {
            Frame f;
            f.dir = std::move(dir);
            f.part = part;
            f.names = firstSpellings(f.dir, p.parts[part], f.complete);
            stack.push_back(std::move(f));
        };
        push(p.Start(), 0);
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next == f.names.size()) {
                if (f.complete) {
                    stack.pop_back();
                    continue;
                }
                // The exact spelling led nowhere: now the others.
                const std::string_view exact = p.parts[f.part];
                for (std::string& n : allSpellings(f.dir, exact))
                    if (n != exact) f.names.push_back(std::move(n));
                f.complete = true;
                continue;
            }
            fs::path child = f.dir / platform::PathFromUtf8(f.names[f.next++]);
            const size_t part = f.part + 1;
            if (part == p.parts.size()) return platform::Utf8Of(child);
            std::string id;
            if (!dirIdentity(child, id) || !entered.emplace(part, id).second) continue;
            push(std::move(child), part);
        }

        return notFound(p);
    }

    // Not there: keep the directories that exist, then the given names.
    std::string notFound(const Parsed& p)
    {
        fs::path cur = p.Start();
        bool exists = true;
        for (const std::string_view part : p.parts) {
            if (exists) {
                const std::string name = findNoCase(cur, part);
                if (!name.empty()) {
                    cur /= platform::PathFromUtf8(name);
                    continue;
                }
                exists = false;
            }
            cur /= platform::PathFromUtf8(part);
        }
        return platform::Utf8Of(cur);
    }
};

namespace {

// A relative path of names only: no root, drive, empty, "." or ".." part.
bool plainRelative(std::string_view rel)
{
    if (rel.empty() || rel.size() > MaxListedPathLength || (rel.size() >= 2 && rel[1] == ':')) return false;
    size_t from = 0, count = 0;
    for (size_t i = 0; i <= rel.size(); ++i) {
        if (i < rel.size() && rel[i] != '\\' && rel[i] != '/') continue;
        const std::string_view part = rel.substr(from, i - from);
        if (part.empty() || part == "." || part == ".." || ++count > MaxListedPathParts) return false;
        from = i + 1;
    }
    return true;
}

} // namespace

fs::path PathIndex::Locate(const fs::path& base, std::string_view rel, platform::FileInfo& info)
{
    return platform::PathFromUtf8(LocateUtf8(base, rel, info));
}

std::string PathIndex::LocateUtf8(const fs::path& base, std::string_view rel, platform::FileInfo& info)
{
    // A path that exists as spelled is what the search would find first,
    // so it is looked at directly while most names are found that way.
    // Once misses outnumber hits, the list spells names in other ways than
    // the disk: the folders read answer first, and each file is looked at
    // once instead of twice.
    if (!impl_->ignoresCase && impl_->spelledMisses <= impl_->spelledHits && plainRelative(rel)) {
        const Parsed start = parse(base, {}, &impl_->base);
        std::string& text = impl_->located;
        text = start.StartText();
        if (!text.empty() && text.back() != '/' && text.back() != fs::path::preferred_separator) text += '/';
        const size_t from = text.size();
        text.append(rel);
        for (size_t i = from; i < text.size(); ++i)
            if (text[i] == '\\') text[i] = '/';
        if (platform::InfoOfUtf8(text, info) == 0) {
            ++impl_->spelledHits;
            return text;
        }
        ++impl_->spelledMisses;
    }
    std::string found = impl_->resolve(parse(base, rel, &impl_->base));
    platform::InfoOfUtf8(found, info);
    return found;
}

PathIndex::PathIndex(bool listWholeFolders) : impl_(std::make_unique<Impl>(listWholeFolders, nullptr))
{
}

PathIndex::PathIndex(FolderCache& shared) : impl_(std::make_unique<Impl>(true, &shared))
{
}

PathIndex::~PathIndex() = default;

fs::path PathIndex::Resolve(const fs::path& base, std::string_view rel)
{
    return platform::PathFromUtf8(impl_->resolve(parse(base, rel, &impl_->base)));
}

bool PathIndex::FileExists(const fs::path& base, std::string_view rel)
{
    return impl_->kindOfListed(parse(base, rel, &impl_->base)) == Kind::File;
}

std::vector<std::string> PathIndex::CaseTwinsUtf8(const std::string& dir, std::string_view name)
{
    std::vector<std::string> out;
    if (impl_->ignoresCase) return out;
    const Listing& l = impl_->listing(dir);
    if (!l.read) return out;
    for (uint32_t i = l.First(impl_->fold(name)); i != Listing::None; i = l.Next(i))
        if (l.Name(i) != name && l.KindOf(i) != Kind::Dir) out.emplace_back(l.Name(i));
    return out;
}

bool PathIndex::DirExists(const fs::path& base, std::string_view rel)
{
    return impl_->kindOfListed(parse(base, rel, &impl_->base)) == Kind::Dir;
}

std::string PathIndex::FindNameNoCase(const fs::path& dir, std::string_view name)
{
    return impl_->findNoCase(dir, name);
}

std::string FindNameNoCase(const fs::path& dir, std::string_view name)
{
    return PathIndex(false).FindNameNoCase(dir, name);
}

fs::path ResolvePath(const fs::path& base, std::string_view rel)
{
    return PathIndex(false).Resolve(base, rel);
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
    // "/" between the parts on every system, as the project writes folders.
    const std::u8string u = abs.lexically_normal().generic_u8string();
    std::string s(u.begin(), u.end());
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

std::string RelativeEntry(const fs::path& dir, const fs::path& file)
{
    std::error_code ec;
    const fs::path absDir = fs::absolute(dir, ec).lexically_normal();
    const fs::path absFile = fs::absolute(file, ec).lexically_normal();
    fs::path rel = absFile.lexically_relative(absDir);
    if (rel.empty()) return ToBackslashes(platform::Utf8Of(absFile));
    return ToBackslashes(platform::Utf8Of(rel));
}

std::string WindowsNameProblem(std::string_view name)
{
    if (name.empty()) return "the name is empty";
    // Asked of every part of every packed file: one table look a character.
    static constexpr auto refused = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 0x20; ++c) t[size_t(c)] = true;
        for (const char c : std::string_view("<>:\"|?*\\/")) t[static_cast<unsigned char>(c)] = true;
        return t;
    }();
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!refused[u]) continue;
        if (u < 0x20) return "it holds a control character (code " + std::to_string(u) + ")";
        return std::string("it holds the character ") + c + ", which Windows does not allow in a name";
    }
    if (name.back() == '.') return "it ends in a dot, which Windows drops";
    if (name.back() == ' ') return "it ends in a space, which Windows drops";
    // Device names stay devices with any extension and in any case, and
    // Windows ignores blanks before the extension.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    if (stem.size() != 3 && stem.size() != 4) return {};
    std::string u;
    for (const char c : stem) u += AsciiUpper(c);
    const bool device =
        u == "CON" || u == "PRN" || u == "AUX" || u == "NUL" ||
        (u.size() == 4 && (u.substr(0, 3) == "COM" || u.substr(0, 3) == "LPT") && u[3] >= '1' && u[3] <= '9');
    if (!device) return {};
    std::string why = "\"";
    why.append(stem);
    why += "\" is a device name on Windows";
    return why;
}

} // namespace lw
