#include "core/check/LoaderRules.h"

#include "base/StrUtils.h"
#include "core/fm/FMIni.h"
#include "core/fm/Packaging.h"
#include "core/fm/Project.h"
#include "core/fm/Release.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr size_t kInstallFolderMax = 30;
constexpr uint64_t kThumbMax = 1ull << 20;
constexpr const char* kThumbName = "fmthumb.jpg";
// A date before Thief's year is no FM's: likely a decimal date read as hex.
constexpr int64_t kFirstFMYear = 1998;

// One loader never opens a file whose name holds one of these.
constexpr const char* kSpoilerWords[] = {"loot",    "walkthrough", "walkthru", "secret",
                                         "spoiler", "tips",        "cheat",    "notes"};

const char* spoilerWordIn(const std::string& entry)
{
    const std::string lower = AsciiLower(entry);
    for (const char* w : kSpoilerWords)
        if (lower.find(w) != std::string::npos) return w;
    return nullptr;
}

bool inRoot(const std::string& entry)
{
    return entry.find_first_of("\\/") == std::string::npos;
}

// How a loader ranks an entry as the info file: 0 fminfo (or fminfo-en),
// 1 fminfo in another language, 2 any other text; -1 never.
int loaderRank(const std::string& entry)
{
    const std::string ext = ExtensionOf(entry);
    if (!inRoot(entry) || (ext != ".txt" && ext != ".rtf" && ext != ".wri") || spoilerWordIn(entry)) return -1;
    const std::string base = AsciiLower(entry.substr(0, entry.size() - ext.size()));
    if (base == "fminfo" || base == "fminfo-en") return 0;
    if (base.rfind("fminfo-", 0) == 0) return 1;
    return 2;
}

int entryOf(const CheckContext& check, const std::string& name)
{
    const auto& files = check.project.Files;
    const auto it =
        std::find_if(files.begin(), files.end(), [&](const std::string& f) { return EqualsNoCase(f, name); });
    return it == files.end() ? -1 : int(it - files.begin());
}

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

void checkInfoFileName(CheckContext& check)
{
    const std::string& info = check.fm.InfoFile;
    if (info.empty()) return; // the info file's own rules say so
    const std::string pick = LoaderInfoFile(check.project.Files);
    const int rank = loaderRank(info);
    if (rank >= 0 && (pick.empty() || rank <= loaderRank(pick))) return;
    const std::string instead =
        pick.empty() ? ": loaders show no info file of this package" : ": loaders open " + InQuotes(pick) + " instead";
    std::string why;
    if (const char* word = spoilerWordIn(info))
        why = std::string("Its name holds \"") + word + "\", and one loader never opens such a file";
    else if (!inRoot(info))
        why = "Lies in a folder, and loaders look for the info file in the FM's root";
    else if (rank < 0)
        why = "Is not a .txt, .rtf or .wri file";
    else
        why = "Loaders prefer fminfo.* in the root, then fminfo-<language>.*";
    check.Add(Severity::Warning, info, why + instead, entryOf(check, info));
}

void checkThumbnails(CheckContext& check)
{
    const auto& files = check.project.Files;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& entry = files[i];
        if (!inRoot(entry) || !StartsWithNoCase(entry, "fmthumb.")) continue;
        if (entry != kThumbName)
            check.Add(Severity::Warning, entry,
                      "The loader that shows a thumbnail looks for \"fmthumb.jpg\", in lower case, and reads only JPEG",
                      int(i));
        std::error_code ec;
        fs::path path;
        try {
            path = check.index.Resolve(platform::PathFromUtf8(check.fm.FMDir), entry);
        } catch (const std::exception&) {
            continue; // reported with the listed files
        }
        const uint64_t size = fs::file_size(path, ec);
        if (ec) continue; // as above
        std::ifstream in(path, std::ios::binary);
        char head[3] = {};
        if (!in.read(head, sizeof head) || std::string_view(head, 3) != "\xFF\xD8\xFF")
            check.Add(Severity::Warning, entry,
                      "Is not a JPEG picture: the loader that shows fmthumb.jpg reads only JPEG", int(i));
        if (size > kThumbMax)
            check.Add(Severity::Warning, entry,
                      "Is over 1 MB (" + std::to_string(size) + " bytes): too large for a thumbnail loaders show",
                      int(i));
    }
}

void checkFMIni(CheckContext& check)
{
    const Project& p = check.project;
    const auto text = ReleaseText(p, true);
    if (!text) return;
    const FMIniFile ini = FMIniFile::Parse(*text);
    const int at = entryOf(check, FMIniName);
    const std::string file = at >= 0 ? p.Files[size_t(at)] : FMIniName;
    auto warn = [&](const std::string& message) { check.Add(Severity::Warning, file, message, at); };

    if (ini.HasBom()) warn("Starts with a byte-order mark, which one loader reads as part of the first key");
    if (ini.IsUtf16())
        warn("Is UTF-16 text: loaders read fm.ini as UTF-8 or in the system's code page, and find no key");
    std::vector<std::string> withEquals, nonAscii;
    for (const char* key : FMIniKeys) {
        const auto v = ini.Value(key);
        if (!v) continue;
        if (v->find('=') != std::string::npos) withEquals.push_back(key);
        if (std::any_of(v->begin(), v->end(), [](char c) { return (c & 0x80) != 0; })) nonAscii.push_back(key);
    }
    if (!withEquals.empty()) warn("The value of " + joined(withEquals) + " holds \"=\": one loader drops such a value");
    if (!nonAscii.empty())
        warn("The value of " + joined(nonAscii) +
             " holds characters outside ASCII: one loader reads fm.ini in the system's code page and shows them "
             "wrongly");

    if (const auto info = ini.Value(InfoFileKey); info && !info->empty()) {
        const bool stored = std::any_of(p.Files.begin(), p.Files.end(), [&](const std::string& f) {
            return EqualsNoCase(ToSlashes(f), *info) && StoredName(p, f) == *info;
        });
        if (!stored)
            warn("InfoFile names " + InQuotes(*info) +
                 ", which is not listed under that name: one loader matches it letter case and all");
    }

    if (const auto date = ini.Value(ReleaseDateKey)) {
        const auto t = ParseHexTime(*date);
        int y = 0, m = 0, d = 0;
        if (t) DayOfReleaseTime(*t, y, m, d);
        if (!t)
            warn("ReleaseDate " + InQuotes(*date) +
                 " is not a hexadecimal Unix time: loaders show no release date or a wrong one");
        else if (y < kFirstFMYear)
            warn("ReleaseDate " + InQuotes(*date) + " reads as " + std::to_string(y) + "-" + (m < 10 ? "0" : "") +
                 std::to_string(m) + "-" + (d < 10 ? "0" : "") + std::to_string(d) +
                 ", before any FM: loaders read it as a hexadecimal Unix time, never as a decimal date");
    }

    std::vector<std::string> odd;
    for (const std::string& tag : SplitTags(ini.Value(TagsKey).value_or("")))
        if (!IsKnownTag(tag)) odd.push_back(InQuotes(tag));
    if (!odd.empty())
        warn("The tags " + joined(odd) +
             " lie outside the categories loaders offer (author, contest, genre, language, series, or campaign, "
             "demo, long, other protagonist, short, unknown author)");
}

} // namespace

std::string InstallFolderName(std::string_view name)
{
    if (const size_t sep = name.find_last_of("\\/"); sep != std::string_view::npos) name.remove_prefix(sep + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    std::string out;
    size_t chars = 0;
    for (char c : name) {
        const bool lead = (c & 0xC0) != 0x80;
        if (lead && chars++ == kInstallFolderMax) break;
        out += std::string_view("+;:.,<>?*~| ").find(c) == std::string_view::npos ? c : '_';
    }
    return out;
}

std::optional<Finding> ArchiveNameFinding(const std::string& archivePath)
{
    std::string_view name(archivePath);
    if (const size_t sep = name.find_last_of("\\/"); sep != std::string_view::npos) name.remove_prefix(sep + 1);
    std::string_view stem = name;
    if (const size_t dot = stem.rfind('.'); dot != std::string_view::npos && dot > 0) stem = stem.substr(0, dot);
    const std::string folder = InstallFolderName(name);
    if (folder == stem) return std::nullopt;
    return Finding{Severity::Warning, std::string(name),
                   "Loaders install this archive into the folder " + InQuotes(folder) +
                       ", where the players' saves live: a name of at most 30 characters without + ; : . , < > ? * "
                       "~ | or spaces keeps that folder's name the archive's, version after version",
                   -1};
}

std::string LoaderInfoFile(const std::vector<std::string>& entries)
{
    const std::string* best = nullptr;
    int bestRank = 3;
    for (const std::string& e : entries) {
        const int rank = loaderRank(e);
        if (rank >= 0 && rank < bestRank) {
            best = &e;
            bestRank = rank;
        }
    }
    return best ? *best : std::string();
}

void CheckLoaderView(CheckContext& check)
{
    checkFMIni(check);
    checkThumbnails(check);
    // The archive Zip proposes, and --pack makes without --output.
    if (auto f = ArchiveNameFinding(DefaultArchivePath(check.project))) check.findings.push_back(std::move(*f));
    checkInfoFileName(check);
}

} // namespace lw
