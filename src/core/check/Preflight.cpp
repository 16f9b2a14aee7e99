#include "core/check/Preflight.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "core/fm/Project.h"
#include "core/richtext/InfoConvert.h"
#include "core/text/TextCodec.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace lw {

const std::vector<std::string> ResourceFolders = {
    "fam",  "obj",    "mesh",     "bitmap", "pal",        "snd",     "snd2",
    "song", "movies", "intrface", "books",  "sq_scripts", "strings", "subtitles",
};

namespace {

constexpr size_t kFirstNames = 3;    // names shown of a forgotten folder
constexpr size_t kShortNameMax = 30; // longer short names are rewritten by loaders
constexpr uint64_t kInfoReadLimit = 64ull << 20;

std::string inQuotes(const std::string& s)
{
    return "\"" + s + "\"";
}

std::string numbered(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string extensionOf(const std::string& entry)
{
    const size_t dot = entry.rfind('.');
    const size_t sep = entry.find_last_of("\\/");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return AsciiLower(entry.substr(dot));
}

bool isRootMissionEntry(const std::string& entry)
{
    return entry.find_first_of("\\/") == std::string::npos && extensionOf(entry) == ".mis" && MissNumber(entry) != 0;
}

// "C:\thief2\x" (a file on another drive keeps its absolute path); a name
// such as "a:b" is a file name, refused for Windows on its own.
bool hasDrive(const std::string& entry)
{
    return entry.size() >= 3 && entry[1] == ':' && (entry[2] == '\\' || entry[2] == '/');
}

bool leavesRoot(const std::string& entry)
{
    if (entry.empty()) return false;
    if (entry[0] == '\\' || entry[0] == '/' || hasDrive(entry)) return true;
    return entry == ".." || entry.rfind("..\\", 0) == 0 || entry.rfind("../", 0) == 0;
}

// The path parts a package stores: what lies after any leading "..", drive
// or root.
template <class Visit>
void forEachStoredPart(const std::string& entry, const Visit& visit)
{
    const std::string_view text(entry);
    size_t from = hasDrive(entry) ? 2 : 0;
    for (size_t i = from; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\\' && text[i] != '/') continue;
        const std::string_view part = text.substr(from, i - from);
        if (!part.empty() && part != "." && part != "..") visit(part);
        from = i + 1;
    }
}

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

// A line that starts with the word, any blanks, then a colon: the way
// loaders find an info file's fields.
bool hasField(const std::string& text, const std::string& word)
{
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = text.find('\n', pos);
        std::string_view line(text.data() + pos, (end == std::string::npos ? text.size() : end) - pos);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.substr(0, word.size()) == word) {
            line.remove_prefix(word.size());
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
            if (!line.empty() && line.front() == ':') return true;
        }
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return false;
}

// Bytes that Windows-1252 leaves undefined.
bool hasUndefinedCp1252(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    });
}

class Checker {
public:
    Checker(const Project& p, FolderCache* folders) : p_(p), fm_(p.FMInfo), sharedFolders_(folders) {}

    std::vector<Finding> Run()
    {
        const LookedFiles looked = lookAtAll(p_.Files);
        // The files the list leaves out are looked for while the listed
        // ones are weighed: both only read what lookAtAll found.
        std::vector<Finding> forgotten;
        std::exception_ptr failed[2];
        ShareOut(2, 2, [&](size_t from, size_t to) {
            for (size_t task = from; task < to; ++task) {
                try {
                    if (task == 0) checkListedFiles(looked.files);
                    else
                        forgotten = forgottenFiles(looked.files);
                } catch (...) { // rethrown on this thread below
                    failed[task] = std::current_exception();
                }
            }
        });
        for (const std::exception_ptr& e : failed)
            if (e) std::rethrow_exception(e);
        findings_.insert(findings_.end(), std::make_move_iterator(forgotten.begin()),
                         std::make_move_iterator(forgotten.end()));
        checkChain();
        checkNames();
        checkInfoFile();
        return std::move(findings_);
    }

private:
    bool isStringFile(const std::string& entry) const
    {
        if (!fm_.MissFlagFile.empty() && EqualsNoCase(entry, fm_.MissFlagFile)) return true;
        return std::any_of(fm_.TitleFiles.begin(), fm_.TitleFiles.end(),
                           [&](const std::string& t) { return !t.empty() && EqualsNoCase(entry, t); });
    }

    void add(Severity s, std::string file, std::string message, int entry = -1)
    {
        findings_.push_back({s, std::move(file), std::move(message), entry});
    }

    // A listed file as found on the disk.
    struct Looked {
        platform::FileInfo info;
        bool readable = false;
        std::string error;          // the listed path is over the resolver's limits
        std::string windowsProblem; // why Windows cannot unpack one of its parts
        // In the texts of the LookedFiles that holds it:
        std::string_view stored;    // the name the package stores, "/" between the parts
        std::string_view storedKey; // ... without case
        std::string_view pathText;  // the file found (when readable), as the resolver gives it
        std::string_view pathKey;   // ... as makePathKey gives it
    };
    // The texts of tens of thousands of files are kept in one block for
    // each thread that made them, and let go of as a few.
    struct LookedFiles {
        std::vector<Looked> files;
        std::deque<std::string> texts;
    };

    // Finding and looking at thousands of files is most of the check: it is
    // shared out among the cores, each part with an index of its own.
    LookedFiles lookAtAll(const std::vector<std::string>& files) const
    {
        LookedFiles out;
        out.files.resize(files.size());
        std::mutex textsMutex;
        FolderCache ownFolders; // each folder read once, for all the threads
        FolderCache& folders = sharedFolders_ ? *sharedFolders_ : ownFolders;
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
                const fs::path fmDir = platform::PathFromUtf8(fm_.FMDir);
                for (size_t i = from; i < to; ++i) {
                    Looked& l = out.files[i];
                    Span& span = spans[i - from];
                    span.at = texts.size();
                    // What needs no other entry is worked out here too.
                    forEachStoredPart(files[i], [&](std::string_view part) {
                        if (l.windowsProblem.empty()) l.windowsProblem = WindowsNameProblem(part);
                        if (texts.size() > span.at) texts += '/';
                        texts += part;
                    });
                    span.stored = texts.size() - span.at;
                    for (size_t k = 0; k < span.stored; ++k) texts += AsciiLower(texts[span.at + k]);
                    try {
                        std::string path = index.LocateUtf8(fmDir, files[i], l.info);
                        if (!l.info.exists && sharedFolders_) {
                            if (!now) now.emplace(nowFolders);
                            path = now->LocateUtf8(fmDir, files[i], l.info);
                        }
                        l.readable = l.info.exists && !l.info.isDirectory && platform::MayReadUtf8(path, l.info);
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
                    out.files[i] = Looked{};
                    out.files[i].error = e.what();
                }
                return;
            }
            for (size_t i = from; i < to; ++i) {
                Looked& l = out.files[i];
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

    static bool sameFile(const platform::FileInfo& a, const platform::FileInfo& b)
    {
        return a.index != 0 && a.volume == b.volume && a.index == b.index;
    }

    // looked: lookAtAll's findings, read only (another thread reads them too).
    void checkListedFiles(const std::vector<Looked>& looked)
    {
        const std::vector<std::string>& files = p_.Files;
        if (files.size() > MaxPlainZipEntries)
            add(Severity::Warning, "",
                "The list holds " + std::to_string(files.size()) +
                    " files, more than a plain zip archive holds: the package needs zip64, which some older "
                    "tools cannot open");
        // Keys are views into looked, which outlives them.
        // Their nodes, tens of thousands, come from one arena and go with it.
        std::pmr::monotonic_buffer_resource arena;
        std::pmr::unordered_map<std::string_view, int> byPath(&arena);       // resolved file -> first entry
        std::pmr::unordered_map<std::string_view, int> byStoredName(&arena); // stored name without case -> first entry
        byPath.reserve(files.size());
        byStoredName.reserve(files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string& entry = files[i];
            const int at = int(i);
            const Looked& look = looked[i];
            if (!look.windowsProblem.empty())
                add(Severity::Error, entry, "Windows cannot unpack this name: " + look.windowsProblem, at);
            if (leavesRoot(entry)) {
                std::string stored(look.stored);
                std::replace(stored.begin(), stored.end(), '/', '\\');
                add(Severity::Warning, entry,
                    "Lies outside the FM directory: the package stores it as " + inQuotes(stored) +
                        ", not where the game looks for it",
                    at);
            }
            if (!look.error.empty()) {
                add(Severity::Error, entry, look.error, at);
                continue;
            }
            const platform::FileInfo& info = look.info;
            if (!info.exists) {
                // The string files are made by the next Save or Zip.
                if (!isStringFile(entry)) add(Severity::Error, entry, "Listed, but not found", at);
                continue;
            }
            if (info.isDirectory) {
                add(Severity::Error, entry, "Is a folder, not a file: list the files in it instead", at);
                continue;
            }
            if (!look.readable) {
                add(Severity::Error, entry, "Cannot be read", at);
                continue;
            }
            // The resolver gives found files as normal paths.
            if (const auto [it, fresh] = byPath.emplace(look.pathText, at); !fresh) {
                add(Severity::Warning, entry, "Is listed twice (also as " + inQuotes(files[size_t(it->second)]) + ")",
                    at);
                continue;
            }
            if (const auto [it, fresh] = byStoredName.emplace(look.storedKey, at); !fresh) {
                const std::string& other = files[size_t(it->second)];
                // One file by two spellings, as a disk that ignores case
                // opens it by either.
                if (sameFile(looked[size_t(it->second)].info, info)) {
                    add(Severity::Warning, entry, "Is listed twice (also as " + inQuotes(other) + ")", at);
                    continue;
                }
                add(Severity::Error, entry,
                    looked[size_t(it->second)].stored == look.stored
                        ? "Is stored under the same name as " + inQuotes(other) +
                              ": the package would hold two entries "
                              "of one name"
                        : "Differs from " + inQuotes(other) +
                              " only in letter case: Windows unpacks only one of the two",
                    at);
            }
            const uint64_t size = info.size;
            if (size == 0) add(Severity::Note, entry, "Is empty", at);
            if (size > MaxPlainZipSize)
                add(Severity::Warning, entry,
                    "Is larger than 4 GiB: the package needs zip64, which some older tools cannot open", at);
            const std::string ext = extensionOf(entry);
            if (ext == ".zip" || ext == ".7z" || ext == ".rar")
                add(Severity::Warning, entry, "Is an archive: the package would hold a package", at);
        }
    }

    // The files in the resource folders that the list leaves out: a finding
    // for each folder that has some.
    std::vector<Finding> forgottenFiles(const std::vector<Looked>& looked)
    {
        std::vector<Finding> out;
        if (fm_.FMDir.empty()) return out;
        std::pmr::monotonic_buffer_resource arena;                // the set's nodes, let go of at once
        std::pmr::unordered_set<std::string_view> listed(&arena); // views into looked
        listed.reserve(looked.size());
        for (const Looked& l : looked)
            if (!l.pathKey.empty()) listed.insert(l.pathKey);
        const std::string base = fm_.Game == GameThief2x ? "t2x\\" : "";
        for (const std::string& folder : ResourceFolders) {
            fs::path dir;
            try {
                dir = index_.Resolve(platform::PathFromUtf8(fm_.FMDir), base + folder);
            } catch (const std::exception&) {
                continue;
            }
            if (!IsDirectory(dir)) continue;
            std::vector<std::string> missing;
            unlistedFiles(platform::Utf8Of(dir), 0, listed, missing);
            if (missing.empty()) continue;
            std::sort(missing.begin(), missing.end());
            std::string names;
            for (size_t i = 0; i < missing.size() && i < kFirstNames; ++i) names += (i ? ", " : "") + missing[i];
            if (missing.size() > kFirstNames) names += ", …";
            const std::string shown = RelativeEntry(platform::PathFromUtf8(fm_.FMDir), dir);
            out.push_back({Severity::Warning, shown,
                           numbered(missing.size(), "file", "files") + " in this folder " +
                               (missing.size() == 1 ? "is" : "are") + " not listed: " + names,
                           -1});
        }
        return out;
    }

    // The files below dir (as the resolver gives it) that the list does not
    // name, as list entries. Folder links are not followed, as a loader's
    // unpacking would not make them.
    void unlistedFiles(const std::string& dir, int depth, const std::pmr::unordered_set<std::string_view>& listed,
                       std::vector<std::string>& missing)
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
            if (listed.count(key)) continue;
            missing.push_back(RelativeEntry(platform::PathFromUtf8(fm_.FMDir), platform::PathFromUtf8(path)));
        }
        for (const std::string& sub : subdirs) unlistedFiles(sub, depth + 1, listed, missing);
    }

    void checkChain()
    {
        const std::vector<int> chain = p_.Chain();
        const std::set<int> inChain(chain.begin(), chain.end());
        std::map<int, int> listed; // mission number -> entry
        bool flagFileListed = false;
        for (size_t i = 0; i < p_.Files.size(); ++i) {
            const std::string& entry = p_.Files[i];
            if (!fm_.MissFlagFile.empty() && EqualsNoCase(entry, fm_.MissFlagFile)) flagFileListed = true;
            if (!isRootMissionEntry(entry)) continue;
            const int n = MissNumber(entry);
            listed.emplace(n, int(i));
            if (!inChain.count(n))
                add(Severity::Error, entry, "Listed, but the mission flag file skips it: the game never plays it",
                    int(i));
        }
        if (listed.empty()) {
            add(Severity::Error, "", "No mission file (miss1.mis, miss2.mis, ...) is listed");
            return;
        }
        for (int n : chain)
            if (!listed.count(n))
                add(Severity::Error, "miss" + std::to_string(n) + ".mis",
                    "Mission " + std::to_string(n) + " is in play, but its file is not listed");
        if (listed.size() > 1 && !flagFileListed)
            add(Severity::Error, fm_.MissFlagFile.empty() ? "strings\\missflag.str" : fm_.MissFlagFile,
                numbered(listed.size(), "mission is", "missions are") +
                    " listed, but not the mission flag file: the game plays only the first");
    }

    void checkNames()
    {
        if (std::all_of(fm_.Names.begin(), fm_.Names.end(), [](const FileText& t) { return t.Text().empty(); }))
            add(Severity::Warning, "", "The FM has no name in any language");
        const std::string shortName = fm_.ShortName.Text();
        if (shortName.empty()) {
            add(Severity::Warning, "", "The FM has no short name (the archive's file name)");
        } else if (shortName.size() > kShortNameMax ||
                   shortName.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-") !=
                       std::string::npos) {
            add(Severity::Warning, "",
                "The short name " + inQuotes(shortName) +
                    " is longer than 30 characters or holds characters other than A-Z, a-z, 0-9, _ and -: "
                    "loaders rewrite it");
        }
        const size_t own = size_t(std::clamp(fm_.Language, 0, LangCount - 1));
        for (int k = 0; k < LangCount; ++k) {
            if (fm_.TitleFiles[size_t(k)].empty()) continue;
            for (int n : p_.Chain()) {
                const TMissInfo& m = p_.Missions[size_t(n)];
                // Titles fall back to the project language when written.
                if (!m.LongNames[size_t(k)].Text().empty() || !m.LongNames[own].Text().empty()) continue;
                add(Severity::Warning, "miss" + std::to_string(n) + ".mis",
                    "Mission " + std::to_string(n) + " has no long name in " + LangNames[size_t(k)] +
                        ": the game shows its number instead");
            }
        }
    }

    void checkInfoFile()
    {
        if (fm_.InfoFile.empty()) {
            add(Severity::Warning, "", "No info file (fminfo.txt) is listed: loaders have nothing to show of the FM");
            return;
        }
        const auto it = std::find(p_.Files.begin(), p_.Files.end(), fm_.InfoFile);
        const int at = it == p_.Files.end() ? -1 : int(it - p_.Files.begin());
        std::string bytes;
        try {
            bytes = ReadWholeFile(index_.Resolve(platform::PathFromUtf8(fm_.FMDir), fm_.InfoFile), kInfoReadLimit);
        } catch (const std::exception&) {
            return; // reported with the listed files
        }
        const std::string ext = extensionOf(fm_.InfoFile);
        if (ext == ".rtf" && bytes.rfind("{\\rtf", 0) != 0) {
            add(Severity::Error, fm_.InfoFile,
                bytes.rfind("\xEF\xBB\xBF", 0) == 0
                    ? "Starts with a byte-order mark before {\\rtf: loaders cannot read it as RTF"
                    : "Does not start with {\\rtf: loaders cannot read it as RTF",
                at);
        }
        const std::string text = PlainTextOf(LoadInfoDocument(bytes));
        for (const char* field : {"Title", "Author"})
            if (!hasField(text, field))
                add(Severity::Warning, fm_.InfoFile,
                    std::string("Has no \"") + field + ":\" line: loaders read the FM's " + AsciiLower(field) +
                        " from it",
                    at);
        if (ext == ".txt") {
            const bool bom = bytes.rfind("\xEF\xBB\xBF", 0) == 0 || bytes.rfind("\xFF\xFE", 0) == 0 ||
                             bytes.rfind("\xFE\xFF", 0) == 0;
            const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
            if (!bom && !ascii) {
                if (IsValidUtf8(bytes))
                    add(Severity::Warning, fm_.InfoFile,
                        "Is UTF-8 without a byte-order mark: loaders read it as Windows-1252 and show its accents "
                        "wrongly",
                        at);
                else if (hasUndefinedCp1252(bytes))
                    add(Severity::Warning, fm_.InfoFile,
                        "Holds bytes that are no characters of Windows-1252: loaders show them as boxes", at);
            }
        }
    }

    const Project& p_;
    const TFMInfo& fm_;
    std::vector<Finding> findings_;
    PathIndex index_;                      // each folder listed once for the whole check
    FolderCache* sharedFolders_ = nullptr; // what the run read before the check
};

// JSON text is UTF-8: a name read from the disk may hold other bytes,
// which become U+FFFD rather than make the whole line unreadable.
std::string jsonString(const std::string& raw)
{
    const std::string s = IsValidUtf8(raw) ? raw : SanitizeUtf8(raw);
    std::string out = "\"";
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (b < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", b);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace

std::vector<Finding> CheckProject(const Project& project, FolderCache* folders)
{
    return Checker(project, folders).Run();
}

int CountOf(const std::vector<Finding>& findings, Severity severity)
{
    return int(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "note";
}

std::string FindingLine(const Finding& f)
{
    std::string line = SeverityName(f.severity);
    line += ": ";
    if (!f.file.empty()) line += f.file + ": ";
    return line + f.message;
}

std::string FindingJson(const Finding& f)
{
    return "{\"severity\":" + jsonString(SeverityName(f.severity)) + ",\"file\":" + jsonString(f.file) +
           ",\"entry\":" + std::to_string(f.entry) + ",\"message\":" + jsonString(f.message) + "}";
}

std::string ZipAnywayText(const std::vector<Finding>& findings)
{
    const int errors = CountOf(findings, Severity::Error);
    std::string text = "The check found " + numbered(size_t(errors), "error", "errors") +
                       (errors == 1 ? " that keeps" : " that keep") +
                       " the package from installing or playing as meant:\n\n";
    int shown = 0;
    for (const Finding& f : findings) {
        if (f.severity != Severity::Error) continue;
        if (shown++ == 3) {
            text += "...\n";
            break;
        }
        text += (f.file.empty() ? "" : f.file + ": ") + f.message + "\n";
    }
    return text + "\nZip anyway?";
}

} // namespace lw
