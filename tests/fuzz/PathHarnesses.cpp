#include "Harnesses.h"

#include "SpecScan.h"
#include "base/Errors.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "platform/File.h"
#include "support/TempDir.h"

#include <deque>
#include <filesystem>
#include <unordered_set>

namespace fs = std::filesystem;

namespace lw::fuzz {

namespace {

// Inputs are cut here: a listed path is a line of a list file, and longer
// ones would only measure the resolver's depth.
constexpr size_t kMaxPathInput = 4096;

// An FM directory with names in mixed case, a folder beside it that
// listed paths reach with "..", and a link from inside to it. One folder
// exists in two spellings ("Strings" and "strings"), the case that once made
// every ".." back into it double the work.
struct Tree {
    test::TempDir tmp;
    fs::path fm;
    std::string fmDir;
    Tree()
    {
        tmp.write("Fm/Miss1.mis");
        tmp.write("Fm/fminfo.TXT");
        tmp.write("Fm/Strings/MissFlag.str");
        tmp.write("Fm/Strings/English/Titles.str");
        tmp.write("Fm/strings/german/titles.str");
        tmp.write("Fm/Intrface/Miss1/English/Goals.str");
        tmp.write("Fm/Snd/a b.wav");
        tmp.write("Shared/Snd/x.WAV");
        // A linked folder where the system lets the test make one.
        std::error_code noLinks;
        fs::create_directory_symlink("../Shared", tmp.path() / "Fm/Linked", noLinks);
        fm = tmp.path() / "Fm";
        fmDir = AsDirPath(fm);
    }
};

const Tree& tree()
{
    static const Tree t;
    return t;
}

std::vector<std::string> parts(std::string_view rel)
{
    std::vector<std::string> out(1);
    for (char c : rel) {
        if (c == '\\' || c == '/') out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

bool absolute(std::string_view rel)
{
    return !rel.empty() && (rel.front() == '/' || rel.front() == '\\');
}

bool climbs(std::string_view rel)
{
    for (const std::string& p : parts(rel))
        if (p == "..") return true;
    return false;
}

std::string genericUtf8(const fs::path& p)
{
    const std::u8string u = p.generic_u8string();
    return std::string(u.begin(), u.end());
}

bool within(const fs::path& p, const fs::path& root)
{
    const std::string a = genericUtf8(p.lexically_normal()), r = genericUtf8(root.lexically_normal());
    return a.compare(0, r.size(), r) == 0 && (a.size() == r.size() || a[r.size()] == '/');
}

// Whether any "/"-separated part of an entry is a name Windows cannot
// create: such an entry is refused before anything is written.
bool refusedForWindows(const std::string& entry)
{
    size_t start = 0;
    for (;;) {
        const size_t slash = entry.find('/', start);
        const size_t end = slash == std::string::npos ? entry.size() : slash;
        if (!WindowsNameProblem(entry.substr(start, end - start)).empty()) return true;
        if (slash == std::string::npos) return false;
        start = slash + 1;
    }
}

// An entry name that stays inside the archive's root. A name with "\" or
// ":" (a file name on this system) is refused before anything is written,
// so it never becomes an entry.
void expectSafeEntry(std::string entry, const std::string& from)
{
    if (!entry.empty() && entry.back() == '/') entry.pop_back(); // a directory entry
    Expect(!entry.empty(), "an empty entry name from \"" + from + "\"");
    if (refusedForWindows(entry)) return;
    Expect(entry.find_first_of("\\:") == std::string::npos, "entry \"" + entry + "\" holds \\ or : and is not refused");
    for (const std::string& p : parts(entry))
        Expect(!p.empty() && p != "." && p != "..", "entry \"" + entry + "\" from \"" + from + "\" leaves its root");
}

} // namespace

void CheckPathResolver(std::string_view input)
{
    // A NUL never reaches the resolver: listed paths with one are refused
    // where they come in.
    if (input.size() > kMaxPathInput || input.find('\0') != std::string_view::npos) return;
    const Tree& t = tree();
    fs::path found;
    try {
        found = ResolvePath(lw::platform::PathFromUtf8(t.fmDir), input);
    } catch (const Error&) {
        // Refused: only a path over the limits may be.
        Expect(parts(input).size() > MaxListedPathParts || input.size() > MaxListedPathLength,
               "\"" + std::string(input.substr(0, 80)) + "\" refused within the limits");
        return;
    }
    if (!absolute(input) && !climbs(input))
        Expect(within(found, t.fm),
               "\"" + std::string(input) + "\" resolved outside the FM: " + lw::platform::Utf8Of(found));
    Expect(ResolvePath(lw::platform::PathFromUtf8(t.fmDir), ToSlashes(input)) ==
               ResolvePath(lw::platform::PathFromUtf8(t.fmDir), ToBackslashes(input)),
           "\"/\" and \"\\\" resolve differently");
    const std::string first = parts(input).front();
    if (!first.empty()) {
        const std::string name = FindNameNoCase(t.fm, first);
        Expect(name.empty() || EqualsNoCase(name, first), "found \"" + name + "\" for \"" + first + "\"");
    }
    // An index looks names up as spelled while most are found so, and by its
    // folder listings (its own or shared) once misses outnumber hits: the
    // search's answer either way, with what the system says of it.
    const platform::FileInfo want = platform::InfoOf(found);
    for (const int way : {0, 1, 2}) {
        FolderCache shared;
        PathIndex own, sharing(shared);
        PathIndex& index = way == 2 ? sharing : own;
        platform::FileInfo info;
        if (way > 0) index.Locate(t.fm, "No such file.txt", info); // one miss, no hit
        const fs::path located = index.Locate(t.fm, input, info);
        Expect(located == found, "Locate found " + lw::platform::Utf8Of(located) + " for \"" + std::string(input) +
                                     "\", the search " + lw::platform::Utf8Of(found));
        Expect(info.exists == want.exists && info.isRegular == want.isRegular && info.index == want.index,
               "Locate's look at \"" + std::string(input) + "\" differs from the file's");
    }
}

void CheckSpecScan(std::string_view input)
{
    if (input.size() > kMaxPathInput || input.find('\0') != std::string_view::npos) return;
    const Tree& t = tree();
    // Any bytes, not only UTF-8: the system's narrow form takes them all.
    const std::string name = zipeng::SafeEntryName(fs::path(std::string(input))); // narrow-ok
    if (!name.empty()) expectSafeEntry(name, std::string(input));
    if (input.empty()) return;

    // The first byte sets the options; each further line is a spec, or an
    // exclusion when it starts with '-'.
    const auto flags = static_cast<unsigned char>(input[0]);
    zipeng::ScanOptions options;
    options.junkDirs = flags & 1;
    options.hiddenFiles = flags & 2;
    options.dirEntries = flags & 4;
    std::vector<zipeng::ScanSpec> specs;
    std::deque<std::string> texts; // what the specs' views point into
    const std::string root = lw::platform::Utf8Of(t.fm);
    bool anyClimbs = false;
    size_t start = 1;
    while (start <= input.size() && specs.size() < 16) {
        const size_t end = std::min(input.find('\n', start), input.size());
        const std::string line(input.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '-') {
            options.excludes.push_back(line.substr(1));
            continue;
        }
        // Specs stay in the temporary tree: a scan of the whole disk
        // would tell nothing and take long.
        if (absolute(line) ||
            !within((t.fm / lw::platform::PathFromUtf8(ToSlashes(line))).lexically_normal(), t.tmp.path()))
            continue;
        anyClimbs = anyClimbs || climbs(line);
        specs.push_back({texts.emplace_back(line), root, (flags & 8) != 0, false, {}});
    }
    std::vector<zipeng::ScanItem> items;
    std::vector<zipeng::ScanProblem> problems;
    zipeng::ScanSpecs(specs, options, items, problems);
    std::unordered_set<std::string> names;
    for (const zipeng::ScanItem& item : items) {
        expectSafeEntry(item.entry, item.path);
        if (item.dirOnly) continue;
        if (!anyClimbs)
            Expect(within(lw::platform::PathFromUtf8(item.path), t.fm),
                   "\"" + item.path + "\" is outside the FM but no spec climbs");
        Expect(names.insert(AsciiLower(item.entry)).second, "two files stored as \"" + item.entry + "\"");
    }
}

} // namespace lw::fuzz
