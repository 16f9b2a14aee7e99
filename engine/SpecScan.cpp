#include "SpecScan.h"

#include "ZipRecords.h"
#include "base/EntryName.h"
#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory_resource>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace zipeng {

namespace {

using lw::platform::Utf8Of;

// Entry names and messages are UTF-8 on every system, with "/".
std::string genericUtf8(const fs::path& p)
{
    const std::u8string u = p.generic_u8string();
    return std::string(u.begin(), u.end());
}

bool hasWild(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

bool wild(const char* p, const char* s)
{
    // Iterative matcher with one backtrack point: linear in practice and
    // free of recursion on hostile patterns.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*p == '*') {
            star = p++;
            resume = s;
        } else if (*p == '?' || (*p && lw::AsciiLower(*p) == lw::AsciiLower(*s))) {
            ++p;
            ++s;
        } else if (star) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == 0;
}

std::string stripSlashes(std::string s)
{
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

fs::path specRoot(std::string_view rootDir)
{
    return rootDir.empty() ? fs::current_path()
                           : lw::platform::PathFromUtf8(stripSlashes(std::string(rootDir))).lexically_normal();
}

// The text of a path with the system's separator as "/", as entry names
// have it.
void makeGeneric(std::string& text)
{
    if constexpr (fs::path::preferred_separator != '/')
        std::replace(text.begin(), text.end(), char(fs::path::preferred_separator), '/');
}

// Why a loader on Windows could not unpack entry (the file at file), as
// the run's fatal message; empty when it could.
std::string windowsRefusal(const std::string& entry, const std::string& file)
{
    size_t from = 0;
    for (;;) {
        const size_t cut = entry.find('/', from);
        const std::string_view part =
            std::string_view(entry).substr(from, cut == std::string::npos ? std::string::npos : cut - from);
        const std::string why = lw::WindowsNameProblem(part);
        if (!why.empty()) {
            std::string text = "\"" + entry + "\" cannot be packed: ";
            if (part != entry) text += "its part \"" + std::string(part) + "\": ";
            text += why + " (a loader on Windows could not unpack it; the file is \"" + file + "\")";
            return text;
        }
        if (cut == std::string::npos) return {};
        from = cut + 1;
    }
}

size_t textHash(std::string_view text)
{
    return std::hash<std::string_view>()(text);
}

// The root of a spec as entries are cut from it.
struct EntryRoot {
    const fs::path* root = nullptr;
    std::string generic; // its UTF-8 text with "/"

    void Set(const fs::path& r)
    {
        root = &r;
        generic = genericUtf8(r);
    }
};

// What a found file is stored as: worked out from its path alone, so that
// the scan's threads can do it for thousands of files.
struct Naming {
    std::string entry;     // the entry name
    size_t foldedHash = 0; // ... its hash without case, as clashes are found
    std::string refusal;   // why Windows could not unpack it; empty: it could
};

Naming nameOf(const std::string& norm, const EntryRoot& root, bool junkDirs)
{
    Naming n;
    std::string generic = norm;
    makeGeneric(generic);
    const std::string& base = root.generic;
    if (junkDirs) {
        n.entry = Utf8Of(lw::platform::PathFromUtf8(norm).filename());
    } else if (generic.size() > base.size() + 1 && generic.compare(0, base.size(), base) == 0 &&
               (generic[base.size()] == '/' || base.back() == '/')) {
        // Below the root: the rest of the path is the entry.
        n.entry.assign(generic, base.size() + (base.back() == '/' ? 0 : 1));
    } else {
        const fs::path path = lw::platform::PathFromUtf8(norm);
        n.entry = SafeEntryName(path.lexically_relative(*root.root));
        if (n.entry.empty()) n.entry = SafeEntryName(path);
    }
    if (n.entry.empty()) n.entry = Utf8Of(lw::platform::PathFromUtf8(norm).filename());
    n.foldedHash = size_t(lw::FoldedHash(n.entry));
    n.refusal = windowsRefusal(n.entry, norm);
    return n;
}

// A literal spec resolved and looked at ahead of the scan.
struct Located {
    std::string path; // UTF-8 text
    size_t pathHash = 0;
    lw::platform::FileInfo info;
    std::string error; // a path over the resolver's limits
    bool named = false;
    Naming naming; // when named: for a file
};

// For thousands of small files, finding and looking at each is most of the
// scan; it is shared out among the cores, each with its own index.
std::vector<Located> locate(const std::vector<ScanSpec>& specs, bool junkDirs, lw::FolderCache& folders)
{
    std::vector<Located> out(specs.size());
    auto work = [&](size_t from, size_t to) {
        lw::PathIndex index(folders);
        std::string rootText;
        fs::path root;
        EntryRoot entryRoot;
        bool rootKnown = false;
        for (size_t i = from; i < to; ++i) {
            const ScanSpec& spec = specs[i];
            if (!spec.literal) continue;
            Located& at = out[i];
            try {
                if (!rootKnown || spec.rootDir != rootText) {
                    rootText = spec.rootDir;
                    root = specRoot(rootText);
                    entryRoot.Set(root);
                    rootKnown = true;
                }
                at.path = index.LocateUtf8(root, spec.spec, at.info);
                at.pathHash = textHash(at.path);
                if (at.info.isRegular) {
                    at.naming = nameOf(at.path, entryRoot, junkDirs);
                    at.named = true;
                }
            } catch (const lw::Error& e) {
                at.error = e.what();
            } catch (const std::exception& e) { // no exception may leave a thread
                at.error = "Cannot find \"" + std::string(spec.spec) + "\": " + e.what();
            }
        }
    };
    lw::ShareOut(specs.size(), std::min(std::max(1u, std::thread::hardware_concurrency()), 8u), work);
    return out;
}

// A table of texts kept elsewhere, looked up by text and hash: open
// addressing, so that tens of thousands of texts cost no node each and a
// few frees at the end. The probed array holds small slots, which a miss
// (most lookups) reads alone; the texts are listed in the order they came.
// Each text carries a number.
class TextTable {
public:
    static constexpr size_t None = size_t(-1);

    void Reserve(size_t count)
    {
        entries_.reserve(count);
        if (count * 4 > slots_.size() * 3) grow(count);
    }
    // The number of text; None when it is not in the table.
    size_t Find(std::string_view text, size_t hash) const
    {
        if (slots_.empty()) return None;
        const uint32_t tag = uint32_t(hash);
        for (size_t i = place(hash);; i = (i + 1) & mask_) {
            const Slot s = slots_[i];
            if (s.entry == 0) return None;
            if (s.tag != tag) continue;
            const Entry& e = entries_[s.entry - 1];
            if (e.size == text.size() && std::memcmp(e.text, text.data(), text.size()) == 0) return e.number;
        }
    }
    // text is not in the table, and stays where it is while the table does.
    void Add(std::string_view text, size_t hash, size_t number)
    {
        if ((entries_.size() + 1) * 4 > slots_.size() * 3) grow(entries_.size() + 1);
        entries_.push_back(Entry{text.data(), text.size(), hash, number});
        put(Slot{uint32_t(entries_.size()), uint32_t(hash)}, hash);
    }

private:
    struct Slot {
        uint32_t entry = 0; // its place in entries_, plus one; 0: empty
        uint32_t tag = 0;   // the hash's low bits
    };
    struct Entry {
        const char* text;
        size_t size;
        size_t hash;
        size_t number;
    };
    // The hash's bits well mixed (Fibonacci hashing), as its top bits.
    size_t place(size_t hash) const { return size_t((uint64_t(hash) * 0x9E3779B97F4A7C15ull) >> shift_); }
    void put(Slot slot, size_t hash)
    {
        size_t i = place(hash);
        while (slots_[i].entry != 0) i = (i + 1) & mask_;
        slots_[i] = slot;
    }
    void grow(size_t count)
    {
        // At most three quarters full. (Four thousand million texts would
        // be more than a scan can hold anyway.)
        size_t size = 16;
        int bits = 4;
        while (count * 4 > size * 3) {
            size *= 2;
            ++bits;
        }
        slots_.assign(size, Slot{});
        mask_ = size - 1;
        shift_ = 64 - bits;
        for (size_t k = 0; k < entries_.size(); ++k)
            put(Slot{uint32_t(k + 1), uint32_t(entries_[k].hash)}, entries_[k].hash);
    }

    std::vector<Slot> slots_;
    std::vector<Entry> entries_;
    size_t mask_ = 0;
    int shift_ = 64;
};

struct Scanner {
    Scanner(const ScanOptions& o, std::vector<ScanItem>& i, std::vector<ScanProblem>& p, lw::FolderCache& folders)
        : opts(o), items(i), problems(p), index(folders)
    {
        for (const fs::path& skip : opts.skipPaths) {
            if (skip.empty()) continue;
            const lw::platform::FileInfo info = lw::platform::InfoOf(skip);
            if (info.exists) skipIds.push_back({info.volume, info.index});
        }
    }

    const ScanOptions& opts;
    std::vector<ScanItem>& items;
    std::vector<ScanProblem>& problems;
    lw::PathIndex index; // each folder read once for the whole run
    std::vector<std::pair<uint64_t, uint64_t>> skipIds;
    // What has been seen, for tens of thousands of files: the texts are
    // kept in one arena and the tables hold views of them with their
    // hashes (the scan's threads work most of them out), so that keeping
    // one is a copy and the end of the scan a few frees.
    std::pmr::monotonic_buffer_resource arena;
    std::string_view keep(std::string_view text)
    {
        char* at = static_cast<char*>(arena.allocate(std::max<size_t>(text.size(), 1), 1));
        std::memcpy(at, text.data(), text.size());
        return {at, text.size()};
    }
    TextTable seenPaths;
    // The file stored under each lower-case name: its item, and the file
    // itself (volume and number; 0: not known).
    struct Stored {
        size_t item = 0;
        uint64_t volume = 0, index = 0;
    };
    TextTable seenNames; // lower case -> its place in stored
    std::vector<Stored> stored;
    TextTable seenDirs;     // lower case, with "/"
    std::string lastFolder; // lower case: the folder of the last file whose directories were added
    std::string folded;     // the entry being added, lower case
    bool failed = false;

    // Room for files more: a list of thousands then grows nothing.
    void expect(size_t files)
    {
        seenPaths.Reserve(files);
        seenNames.Reserve(files);
        stored.reserve(files);
        items.reserve(items.size() + files);
    }
    void fatal(int code, std::string text)
    {
        problems.push_back({code, std::move(text)});
        failed = true;
    }

    bool excluded(const std::string& entry) const
    {
        for (const std::string& ex : opts.excludes) {
            const std::string pat = lw::ToSlashes(ex);
            const bool byPath = pat.find('/') != std::string::npos;
            const std::string name =
                byPath ? entry : lw::platform::Utf8Of(lw::platform::PathFromUtf8(entry).filename());
            if (wild(pat.c_str(), name.c_str())) return true;
        }
        return false;
    }

    // lowered: entry in lower case.
    void addDirs(const std::string& entry, std::string_view lowered)
    {
        // Files mostly come folder by folder: the folders of one in the
        // same folder as the last are known already.
        const size_t slash = lowered.rfind('/');
        if (slash == std::string_view::npos) return;
        const std::string_view folder = lowered.substr(0, slash + 1);
        if (folder == lastFolder) return;
        lastFolder = folder;
        size_t pos = 0;
        while ((pos = entry.find('/', pos)) != std::string::npos) {
            ++pos;
            const std::string_view dir = lowered.substr(0, pos);
            const size_t hash = size_t(lw::FoldedHash(dir));
            if (seenDirs.Find(dir, hash) != TextTable::None) continue;
            seenDirs.Add(keep(dir), hash, 0);
            ScanItem it;
            it.entry = entry.substr(0, pos);
            it.dirOnly = true;
            items.push_back(std::move(it));
        }
    }

    // A file that a wildcard or a folder spec found.
    void addFile(const fs::path& file, const ScanSpec& spec, const fs::path& root)
    {
        if (failed) return;
        std::string norm = Utf8Of(file.lexically_normal());
        const size_t hash = textHash(norm);
        addNormal(std::move(norm), hash, nullptr, nullptr, root, spec);
    }

    // norm is a lexically normal path as UTF-8 text (as the resolver gives
    // it), normHash its textHash; known: the file's status, and naming what
    // it is stored as, when the scan's threads have them already. Text
    // rather than paths: a large FM has tens of thousands of files.
    void addNormal(std::string norm, size_t normHash, const lw::platform::FileInfo* known, Naming* naming,
                   const fs::path& root, const ScanSpec& spec)
    {
        if (failed) return;
        if (seenPaths.Find(norm, normHash) != TextTable::None) return; // listed twice: once is enough
        seenPaths.Add(keep(norm), normHash, 0);
        lw::platform::FileInfo st;
        if (known) {
            st = *known;
        } else if (const int err = lw::platform::InfoOfUtf8(norm, st)) {
            fatal(zeOpen, "Cannot read \"" + norm + "\": " + std::strerror(err));
            return;
        }
        const time_t mtime = time_t(st.mtimeNs / 1000000000);
        for (const auto& [volume, index] : skipIds) {
            if (st.volume == volume && st.index == index) {
                problems.push_back({0, "\"" + norm + "\" is not added: it is the archive being written"});
                return;
            }
        }
        if (opts.fromDate && mtime < opts.since) return;

        Naming own;
        if (!naming) {
            if (entryRoot.root != &root || entryRootFor != root.native()) {
                entryRoot.Set(root);
                entryRootFor = root.native();
            }
            own = nameOf(norm, entryRoot, opts.junkDirs);
            naming = &own;
        }
        if (!opts.excludes.empty() && excluded(naming->entry)) return;
        // An archive that a loader on Windows cannot unpack is no package:
        // refused before anything is written, naming the file and the reason.
        if (!naming->refusal.empty()) {
            fatal(zeBadName, std::move(naming->refusal));
            return;
        }
        folded.resize(naming->entry.size());
        std::transform(naming->entry.begin(), naming->entry.end(), folded.begin(),
                       [](char c) { return lw::AsciiLower(c); });
        if (const size_t n = seenNames.Find(folded, naming->foldedHash); n != TextTable::None) {
            const Stored& at = stored[n];
            // One file by two spellings (a disk that ignores case opens it by
            // either): listed twice, and once is enough.
            if (at.index != 0 && at.volume == st.volume && at.index == st.index) return;
            const ScanItem& first = items[at.item];
            if (first.entry == naming->entry)
                fatal(zeNameClash, "Two entries would be stored as \"" + naming->entry + "\": \"" + first.path +
                                       "\" and \"" + norm + "\"");
            else
                fatal(zeNameClash, "Two files would be stored under names that differ only in letter case: \"" +
                                       first.entry + "\" and \"" + naming->entry + "\" (\"" + norm + "\")");
            return;
        }
        if (opts.dirEntries) addDirs(naming->entry, folded);
        seenNames.Add(keep(folded), naming->foldedHash, stored.size());
        stored.push_back(Stored{items.size(), st.volume, st.index});
        ScanItem it;
        it.path = std::move(norm);
        it.entry = std::move(naming->entry);
        it.size = st.size;
        it.mtime = mtime;
        it.entryTime = spec.entryTime != 0 ? spec.entryTime : mtime;
        it.mtimeNs = st.mtimeNs;
        it.password = spec.password;
        items.push_back(std::move(it));
    }
    EntryRoot entryRoot; // for files the threads did not name
    fs::path::string_type entryRootFor;

    void addMatches(const fs::path& dir, const std::string& pattern, const fs::path& root, const ScanSpec& spec,
                    int depth)
    {
        if (failed || depth > 64) return;
        std::vector<fs::directory_entry> entries;
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
        std::vector<fs::path> subdirs;
        for (const auto& e : entries) {
            const std::string name = Utf8Of(e.path().filename());
            if (!opts.hiddenFiles && !name.empty() && name[0] == '.') continue;
            std::error_code ec2;
            if (e.is_directory(ec2)) {
                if (spec.recurse && !e.is_symlink(ec2)) subdirs.push_back(e.path());
            } else if (e.is_regular_file(ec2) && WildMatch(pattern, name)) {
                addFile(e.path(), spec, root);
            }
        }
        for (const fs::path& sub : subdirs) addMatches(sub, pattern, root, spec, depth + 1);
    }

    void scan(const ScanSpec& spec, Located* located)
    {
        try {
            scanOne(spec, located);
        } catch (const lw::Error& e) { // a path over the resolver's limits
            fatal(zeOpen, e.what());
        }
    }

    // The root of a spec as a normal path; most specs share one.
    const fs::path& rootOf(std::string_view rootDir)
    {
        if (!rootKnown || rootDir != rootText) {
            rootText = rootDir;
            root = specRoot(rootDir);
            rootKnown = true;
        }
        return root;
    }
    bool rootKnown = false;
    std::string rootText;
    fs::path root;

    void scanOne(const ScanSpec& spec, Located* located)
    {
        const fs::path& root = rootOf(spec.rootDir);
        if (located) { // a literal spec, found ahead
            if (!located->error.empty()) {
                fatal(zeOpen, located->error);
                return;
            }
            if (located->info.isRegular && located->named) {
                addNormal(std::move(located->path), located->pathHash, &located->info, &located->naming, root, spec);
                return;
            }
            const lw::platform::FileInfo st = located->info;
            found(std::move(located->path), st, root, spec);
            return;
        }
        const std::string text = lw::ToSlashes(spec.spec);
        const size_t cut = text.rfind('/');
        const std::string dirPart = cut == std::string::npos ? std::string() : text.substr(0, cut);
        const std::string namePart = cut == std::string::npos ? text : text.substr(cut + 1);
        if (!spec.literal && hasWild(namePart) && !hasWild(dirPart)) {
            const fs::path dir =
                dirPart.empty() && cut == std::string::npos ? root : index.Resolve(root, cut == 0 ? "/" : dirPart);
            const size_t before = items.size();
            if (lw::IsDirectory(dir)) addMatches(dir, namePart, root, spec, 0);
            if (!failed && items.size() == before)
                problems.push_back({0, "Nothing matches \"" + std::string(spec.spec) + "\""});
            return;
        }
        lw::platform::FileInfo st;
        std::string path = index.LocateUtf8(root, text, st);
        found(std::move(path), st, root, spec);
    }

    // What a spec names, found at path.
    void found(std::string path, const lw::platform::FileInfo& st, const fs::path& root, const ScanSpec& spec)
    {
        if (st.isRegular) {
            const size_t hash = textHash(path);
            addNormal(std::move(path), hash, &st, nullptr, root, spec);
        } else if (st.isDirectory) {
            addMatches(lw::platform::PathFromUtf8(path), "*", root, spec, 0);
        } else {
            fatal(zeOpen, "Cannot find \"" + std::string(spec.spec) + "\" (looked for \"" + path + "\")");
        }
    }
};

} // namespace

bool WildMatch(std::string_view pattern, std::string_view name)
{
    std::string p(pattern);
    if (p == "*.*") p = "*";
    return wild(p.c_str(), std::string(name).c_str());
}

std::string SafeEntryName(const fs::path& rel)
{
    // The check names entries by the same rule, from the list.
    return lw::StoredEntryName(lw::platform::Utf8Of(rel));
}

time_t ParseFromDate(const char* text8)
{
    char buf[9];
    std::memcpy(buf, text8, 8);
    buf[8] = 0;
    int mm = 0, dd = 0, yy = 0;
    if (std::sscanf(buf, "%d %d %d", &mm, &dd, &yy) != 3) return 0;
    if (mm < 1 || mm > 12 || dd < 1 || dd > 31 || yy < 0) return 0;
    struct tm t {};
    t.tm_year = (yy < 80 ? 2000 + yy : 1900 + yy) - 1900;
    t.tm_mon = mm - 1;
    t.tm_mday = dd;
    t.tm_isdst = -1;
    return mktime(&t);
}

bool ScanSpecs(const std::vector<ScanSpec>& specs, const ScanOptions& opts, std::vector<ScanItem>& items,
               std::vector<ScanProblem>& problems)
{
    lw::FolderCache folders; // each folder read once for the whole run, whichever thread asks
    Scanner sc(opts, items, problems, folders);
    const bool anyLiteral = std::any_of(specs.begin(), specs.end(), [](const ScanSpec& s) { return s.literal; });
    std::vector<Located> located = anyLiteral ? locate(specs, opts.junkDirs, folders) : std::vector<Located>();
    sc.expect(size_t(std::count_if(specs.begin(), specs.end(), [](const ScanSpec& s) { return s.literal; })));
    for (size_t i = 0; i < specs.size(); ++i) {
        sc.scan(specs[i], specs[i].literal ? &located[i] : nullptr);
        if (sc.failed) return false;
    }
    return true;
}

} // namespace zipeng
