#include "core/check/ListedFileRules.h"

#include "base/EntryName.h"
#include "base/FileIO.h"
#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Project.h"
#include "platform/Directory.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace lw {

const std::vector<std::string> ResourceFolders = {
    "fam",    "obj",      "mesh",  "bitmap",     "pal",     "snd",       "snd2",   "song",
    "movies", "intrface", "books", "sq_scripts", "strings", "subtitles", "schema", "motions",
};
const std::vector<std::string> FoldersTheMissionsName = {"fam", "obj", "mesh"};

namespace {

constexpr size_t kFirstNames = 3; // names shown of a forgotten folder

// A resolved file as the check compares it: without case, and with "/"
// between the parts, however the resolver joined them.
void makePathKeyChar(char& c)
{
    c = AsciiLower(c);
    if (fs::path::preferred_separator == '\\' && c == '\\') c = '/';
}

void makePathKey(std::string& text)
{
    for (char& c : text) makePathKeyChar(c);
}

bool sameFile(const platform::FileInfo& a, const platform::FileInfo& b)
{
    return a.index != 0 && a.volume == b.volume && a.index == b.index;
}
// The files below dir (as the resolver gives it) that the list does not
// name, as list entries. Folder links are not followed, as a loader's
// unpacking would not make them.
void unlistedFiles(const CheckContext& check, const std::string& dir, int depth,
                   const std::pmr::unordered_set<std::string_view>& listed,
                   const std::unordered_set<std::string>& passBy, std::vector<std::string>& missing)
{
    if (depth > 64) return;
    std::vector<platform::DirEntry> entries;
    if (platform::ListDirectory(platform::PathFromUtf8(dir), entries) != 0) return; // passed over, unreadable
    std::vector<std::string> subdirs;
    std::string path, key; // reused: a folder may hold thousands of files
    for (const platform::DirEntry& e : entries) {
        path = dir;
        if (!path.empty() && path.back() != '/' && path.back() != fs::path::preferred_separator) path += '/';
        path += e.name;
        if (e.kind == platform::EntryKind::Directory) {
            if (!e.link) subdirs.push_back(path);
            continue;
        }
        if (e.kind != platform::EntryKind::File) continue;
        key = path;
        makePathKey(key);
        if (listed.count(key) || passBy.count(key)) continue;
        missing.push_back(RelativeEntry(platform::PathFromUtf8(check.fm.FMDir), platform::PathFromUtf8(path)));
    }
    for (const std::string& sub : subdirs) unlistedFiles(check, sub, depth + 1, listed, passBy, missing);
}
} // namespace

LookedFiles LookAtListedFiles(const CheckContext& check)
{
    const std::vector<std::string>& files = check.project.Files;
    LookedFiles out;
    out.files.resize(files.size());
    std::mutex textsMutex;
    FolderCache ownFolders; // each folder read once, for all the threads
    FolderCache& folders = check.sharedFolders ? *check.sharedFolders : ownFolders;
    // The folders handed on were read before the check: a file renamed
    // since (in another case, as some editors save) is not where they
    // say. A file they lead to and the disk lacks is looked for again
    // in folders read now; only those few are.
    FolderCache nowFolders;
    auto work = [&](size_t from, size_t to) {
        // Where each file's texts start in the block, and how long the
        // stored name and the path are: the block grows while the part
        // is worked, so views are taken once it is done.
        struct Span {
            size_t at = 0, stored = 0, path = 0;
        };
        std::vector<Span> spans;
        std::string texts;
        std::string_view kept; // texts, once moved to where they stay
        try {
            spans.resize(to - from);
            texts.reserve((to - from) * 192);
            PathIndex index(folders);
            std::optional<PathIndex> now; // made for the first file the handed-on folders miss
            const fs::path fmDir = platform::PathFromUtf8(check.fm.FMDir);
            for (size_t i = from; i < to; ++i) {
                LookedFile& l = out.files[i];
                Span& span = spans[i - from];
                span.at = texts.size();
                // What needs no other entry is worked out here too, by the
                // rule the engine names its entries with.
                texts += StoredEntryName(files[i], &l.outside);
                for (size_t from = span.at; from < texts.size() && l.windowsProblem.empty();) {
                    size_t cut = texts.find('/', from);
                    if (cut == std::string::npos) cut = texts.size();
                    l.windowsProblem = WindowsNameProblem(std::string_view(texts).substr(from, cut - from));
                    from = cut + 1;
                }
                span.stored = texts.size() - span.at;
                for (size_t k = 0; k < span.stored; ++k) texts += AsciiLower(texts[span.at + k]);
                try {
                    std::string path = index.LocateUtf8(fmDir, files[i], l.info);
                    if (!l.info.exists && check.sharedFolders) {
                        if (!now) now.emplace(nowFolders);
                        path = now->LocateUtf8(fmDir, files[i], l.info);
                    }
                    l.readable = l.info.exists && !l.info.isDirectory && platform::MayReadUtf8(path, l.info);
                    // The resolver takes the first of two spellings the disk
                    // holds; Windows would keep only one of them.
                    // (The folders handed on may be older than the disk:
                    // each twin is looked at now.)
                    if (l.readable)
                        if (const size_t cut = path.rfind('/'); cut != std::string::npos)
                            for (const std::string& twin : (now ? *now : index)
                                                               .CaseTwinsUtf8(cut == 0 ? "/" : path.substr(0, cut),
                                                                              std::string_view(path).substr(cut + 1))) {
                                std::string other = path.substr(0, cut + 1) + twin;
                                platform::FileInfo info;
                                if (platform::InfoOfUtf8(other, info) == 0 && !info.isDirectory &&
                                    !sameFile(info, l.info))
                                    l.caseTwins.push_back(std::move(other));
                            }
                    if (l.readable) {
                        span.path = path.size();
                        texts += path;
                        const size_t key = texts.size();
                        texts += path;
                        for (size_t k = key; k < texts.size(); ++k) makePathKeyChar(texts[k]);
                    }
                } catch (const std::exception& e) {
                    l.error = e.what();
                }
            }
            std::lock_guard lock(textsMutex);
            out.texts.push_back(std::move(texts)); // a deque keeps its strings where they are
            kept = out.texts.back();
        } catch (const std::exception& e) { // none may leave a thread: its part fails as one
            for (size_t i = from; i < to; ++i) {
                out.files[i] = LookedFile{};
                out.files[i].error = e.what();
            }
            return;
        }
        for (size_t i = from; i < to; ++i) {
            LookedFile& l = out.files[i];
            const Span& span = spans[i - from];
            l.stored = kept.substr(span.at, span.stored);
            l.storedKey = kept.substr(span.at + span.stored, span.stored);
            if (span.path == 0) continue;
            l.pathText = kept.substr(span.at + 2 * span.stored, span.path);
            l.pathKey = kept.substr(span.at + 2 * span.stored + span.path, span.path);
        }
    };
    ShareOut(files.size(), PartsFor(files.size()), work);
    return out;
}

std::vector<int> CheckListedFiles(CheckContext& check, const std::vector<LookedFile>& looked)
{
    const std::vector<std::string>& files = check.project.Files;
    // A line the list holds but the project could not take: its file would
    // be missing from the package, its mission from the flag file.
    for (const Project::RefusedLine& r : check.project.RefusedLines)
        check.Add(Severity::Error, r.shown,
                  "Line " + std::to_string(r.line) + " of the list " + NulLineText + ": its file is left out", -1,
                  true);
    std::vector<int> packed;
    packed.reserve(files.size());
    // Keys are views into looked, which outlives them.
    // Their nodes, tens of thousands, come from one arena and go with it.
    std::pmr::monotonic_buffer_resource arena;
    std::pmr::unordered_map<std::string_view, int> byPath(&arena);       // resolved file -> first entry
    std::pmr::unordered_map<std::string_view, int> byStoredName(&arena); // stored name without case -> first entry
    byPath.reserve(files.size());
    byStoredName.reserve(files.size());
    // The files found, as spelled on the disk: a case twin that is listed
    // itself is packed (and weighed) on its own.
    std::pmr::unordered_set<std::string_view> found(&arena);
    if (std::any_of(looked.begin(), looked.end(), [](const LookedFile& l) { return !l.caseTwins.empty(); }))
        for (const LookedFile& l : looked)
            if (!l.pathText.empty()) found.insert(l.pathText);
    const fs::path fmDir = platform::PathFromUtf8(check.fm.FMDir);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& entry = files[i];
        const int at = int(i);
        const LookedFile& look = looked[i];
        if (!look.windowsProblem.empty())
            check.Add(Severity::Error, entry, "Windows cannot unpack this name: " + look.windowsProblem, at, true);
        if (look.outside) {
            std::string stored(look.stored);
            std::replace(stored.begin(), stored.end(), '/', '\\');
            check.Add(Severity::Warning, entry,
                      "Lies outside the FM directory: the package stores it as " + InQuotes(stored) +
                          ", not where the game looks for it",
                      at);
        }
        if (!look.error.empty()) {
            check.Add(Severity::Error, entry, look.error, at, true);
            continue;
        }
        const platform::FileInfo& info = look.info;
        if (!info.exists) {
            // The string files are made by the next Save or Zip.
            if (!check.IsStringFile(entry)) check.Add(Severity::Error, entry, "Listed, but not found", at, true);
            continue;
        }
        if (info.isDirectory) {
            check.Add(Severity::Error, entry, "Is a folder, not a file: list the files in it instead", at, true);
            continue;
        }
        if (!info.isRegular) {
            check.Add(Severity::Error, entry,
                      "Is not a regular file (a device, pipe or socket): the package cannot hold it", at, true);
            continue;
        }
        if (!look.readable) {
            check.Add(Severity::Error, entry, "Cannot be read", at, true);
            continue;
        }
        // The resolver gives found files as normal paths.
        if (const auto [it, fresh] = byPath.emplace(look.pathText, at); !fresh) {
            check.Add(Severity::Warning, entry, "Is listed twice (also as " + InQuotes(files[size_t(it->second)]) + ")",
                      at);
            continue;
        }
        if (const auto [it, fresh] = byStoredName.emplace(look.storedKey, at); !fresh) {
            const std::string& other = files[size_t(it->second)];
            // One file by two spellings, as a disk that ignores case
            // opens it by either.
            if (sameFile(looked[size_t(it->second)].info, info)) {
                check.Add(Severity::Warning, entry, "Is listed twice (also as " + InQuotes(other) + ")", at);
                continue;
            }
            check.Add(Severity::Error, entry,
                      looked[size_t(it->second)].stored == look.stored
                          ? "Is stored under the same name as " + InQuotes(other) +
                                ": the package would hold two entries "
                                "of one name"
                          : "Differs from " + InQuotes(other) +
                                " only in letter case: Windows unpacks only one of the two",
                      at, true);
        }
        std::string twins;
        for (const std::string& twin : look.caseTwins)
            if (!found.count(twin))
                twins += (twins.empty() ? "" : ", ") + InQuotes(RelativeEntry(fmDir, platform::PathFromUtf8(twin)));
        if (!twins.empty()) {
            const std::string self = RelativeEntry(fmDir, platform::PathFromUtf8(std::string(look.pathText)));
            check.Add(Severity::Warning, entry,
                      "Names " + InQuotes(self) + " and also " + twins +
                          ", which differ only in letter case: the package holds " + InQuotes(self) + " alone",
                      at);
        }
        if (info.size == 0) check.Add(Severity::Note, entry, "Is empty", at);
        packed.push_back(at);
    }
    return packed;
}

// The files in the resource folders that the list leaves out: a finding
// for each folder that has some.
std::string PathKeyOf(std::string path)
{
    makePathKey(path);
    return path;
}

std::vector<Finding> ForgottenFiles(CheckContext& check, const std::vector<LookedFile>& looked,
                                    const std::unordered_set<std::string>& passBy, bool missionsRead)
{
    std::vector<Finding> out;
    if (check.fm.FMDir.empty()) return out;
    std::pmr::monotonic_buffer_resource arena;                // the set's nodes, let go of at once
    std::pmr::unordered_set<std::string_view> listed(&arena); // views into looked
    listed.reserve(looked.size());
    for (const LookedFile& l : looked)
        if (!l.pathKey.empty()) listed.insert(l.pathKey);
    const std::string base = check.fm.Game == GameThief2x ? "t2x\\" : "";
    for (const std::string& folder : ResourceFolders) {
        if (missionsRead && std::find(FoldersTheMissionsName.begin(), FoldersTheMissionsName.end(), folder) !=
                                FoldersTheMissionsName.end())
            continue;
        fs::path dir;
        try {
            dir = check.index.Resolve(platform::PathFromUtf8(check.fm.FMDir), base + folder);
        } catch (const std::exception&) {
            continue;
        }
        if (!IsDirectory(dir)) continue;
        std::vector<std::string> missing;
        unlistedFiles(check, platform::Utf8Of(dir), 0, listed, passBy, missing);
        if (missing.empty()) continue;
        std::sort(missing.begin(), missing.end());
        std::string names;
        for (size_t i = 0; i < missing.size() && i < kFirstNames; ++i) names += (i ? ", " : "") + missing[i];
        if (missing.size() > kFirstNames) names += ", …";
        const std::string shown = RelativeEntry(platform::PathFromUtf8(check.fm.FMDir), dir);
        out.push_back({Severity::Warning, shown,
                       Numbered(missing.size(), "file", "files") + " in this folder " +
                           (missing.size() == 1 ? "is" : "are") + " not listed: " + names,
                       -1});
    }
    return out;
}

} // namespace lw
