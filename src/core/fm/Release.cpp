#include "core/fm/Release.h"

#include "base/EntryName.h"
#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/fm/Project.h"
#include "core/richtext/InfoConvert.h"
#include "core/richtext/RichDocument.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace lw {

namespace {

constexpr uint64_t kIniReadLimit = 4ull << 20;
constexpr uint64_t kInfoReadLimit = 64ull << 20;

// The loaders' names of the project's languages, in language order.
constexpr const char* kTagLanguages[LangCount] = {"English", "French", "German", "Italian", "Spanish"};

// A hand-written file may be in Windows-1252; the window shows UTF-8.
std::string textOf(const std::string& raw)
{
    return IsValidUtf8(raw) ? raw : Cp1252ToUtf8(raw);
}

std::optional<std::string> textValue(const FMIniFile& file, const char* key)
{
    auto v = file.Value(key);
    if (v) *v = textOf(*v);
    return v;
}

std::string fmName(const Project& p)
{
    return p.FMInfo.Names[size_t(std::clamp(p.FMInfo.Language, 0, LangCount - 1))].Text();
}

ReleaseInfo valuesOf(const Project& p, const FMIniFile& file)
{
    ReleaseInfo v;
    v.niceName = textValue(file, NiceNameKey).value_or("");
    if (v.niceName == fmName(p)) v.niceName.clear();
    if (const auto date = file.Value(ReleaseDateKey)) v.releaseDate = ParseHexTime(*date);
    v.descr = UnescapeDescr(textValue(file, DescrKey).value_or(""));
    v.tags = SplitTags(textValue(file, TagsKey).value_or(""));
    return v;
}

fs::path iniPath(const Project& p)
{
    return ResolvePath(platform::PathFromUtf8(p.FMInfo.FMDir), FMIniName);
}

// The keys whose values differ from what file holds: the author's values,
// or the project's defaults where the author set none.
std::vector<FMIniFile::Change> changesFor(const Project& p, const FMIniFile& file, bool zipping)
{
    const ReleaseInfo& v = p.Release.values;
    std::vector<FMIniFile::Change> changes;

    const std::string name = v.niceName.empty() ? fmName(p) : v.niceName;
    if (!name.empty() && textValue(file, NiceNameKey) != name) changes.push_back({NiceNameKey, name});

    // A date that does not read is the author's own writing: the check
    // points at it, nothing here replaces it.
    const auto dateText = file.Value(ReleaseDateKey);
    const auto date = dateText ? ParseHexTime(*dateText) : std::nullopt;
    if (v.releaseDate) {
        if (date != v.releaseDate) changes.push_back({ReleaseDateKey, HexTime(*v.releaseDate)});
    } else if (!dateText || dateText->empty() || date) {
        // None yet, or the author took it away: the first Zip gives it.
        if (zipping) changes.push_back({ReleaseDateKey, HexTime(TodaysReleaseTime())});
        else if (date)
            changes.push_back({ReleaseDateKey, std::nullopt});
    }

    // A name that some listed file is stored under was chosen by someone:
    // only a missing or stale one follows the project's info file.
    if (!p.FMInfo.InfoFile.empty()) {
        const auto named = file.Value(InfoFileKey);
        const bool stands = named && std::any_of(p.Files.begin(), p.Files.end(), [&](const std::string& f) {
                                return EqualsNoCase(ToSlashes(f), *named) && StoredName(p, f) == *named;
                            });
        if (!stands) changes.push_back({InfoFileKey, StoredName(p, p.FMInfo.InfoFile)});
    }

    if (!SameTags(SplitTags(textValue(file, TagsKey).value_or("")), v.tags))
        changes.push_back({TagsKey, v.tags.empty() ? std::nullopt : std::optional(JoinTags(v.tags))});

    if (UnescapeDescr(textValue(file, DescrKey).value_or("")) != v.descr)
        changes.push_back({DescrKey, v.descr.empty() ? std::nullopt : std::optional(EscapeDescr(v.descr))});
    return changes;
}

} // namespace

void ReadRelease(Project& p)
{
    FMRelease& r = p.Release;
    r = FMRelease{};
    const fs::path path = iniPath(p);
    if (!IsRegularFile(path)) return;
    r.file = FMIniFile::Parse(ReadWholeFile(path, kIniReadLimit));
    r.exists = true;
    r.values = valuesOf(p, r.file);
}

std::optional<std::string> ReleaseText(const Project& p, bool zipping)
{
    if (!p.Release.Makes()) return std::nullopt;
    return p.Release.file.With(changesFor(p, p.Release.file, zipping));
}

bool WriteRelease(Project& p, bool zipping, const ConfirmOverwrite& confirm)
{
    FMRelease& r = p.Release;
    if (!r.Makes()) return true;
    const fs::path path = iniPath(p);
    std::optional<std::string> disk;
    if (IsRegularFile(path)) disk = ReadWholeFile(path, kIniReadLimit);
    const std::vector<FMIniFile::Change> changes = changesFor(p, r.file, zipping);
    // Changed by another program since: its text is the base, and only the
    // author's own changes (against what was read) go onto it. A value both
    // changed is the author's to decide.
    FMIniFile base = r.file;
    if (disk && *disk != r.file.Bytes()) {
        base = FMIniFile::Parse(*disk);
        const bool clash = std::any_of(changes.begin(), changes.end(), [&](const FMIniFile::Change& c) {
            return base.Value(c.key) != r.file.Value(c.key);
        });
        const std::string shown = platform::Utf8Of(path);
        if (clash && !confirm)
            throw Error(ChangedOnDiskText(shown) + " Its changes are kept; nothing was written over it.");
        if (clash && !confirm(shown)) return false;
    }
    std::string text = base.With(changes);
    if (!disk && text.empty()) { // nothing to say
        r.unsaved = false;
        return true;
    }
    if (!disk || text != *disk) WriteFileAtomic(path, text);
    p.AddFiles({platform::Utf8Of(path)});
    r.file = FMIniFile::Parse(std::move(text));
    r.exists = true;
    r.values = valuesOf(p, r.file);
    r.unsaved = false;
    return true;
}

std::optional<int64_t> ReleaseTime(const Project& p)
{
    if (!p.Release.Makes()) return std::nullopt;
    const auto date = p.Release.file.Value(ReleaseDateKey);
    return date ? ParseHexTime(*date) : std::nullopt;
}

std::vector<std::string> ProposedTags(const Project& p)
{
    std::vector<std::string> tags;
    try {
        if (!p.FMInfo.InfoFile.empty()) {
            const std::string bytes =
                ReadWholeFile(platform::PathFromUtf8(p.FullPath(p.FMInfo.InfoFile)), kInfoReadLimit);
            const std::string text = PlainTextOf(LoadInfoDocument(bytes));
            // The first line "Author:", as loaders read it; several authors
            // are several tags.
            size_t pos = 0;
            while (pos < text.size()) {
                const size_t end = std::min(text.find('\n', pos), text.size());
                std::string_view line(text.data() + pos, end - pos);
                pos = end + 1;
                while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
                if (!StartsWithNoCase(line, "author")) continue;
                line.remove_prefix(6);
                while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
                if (line.empty() || line.front() != ':') continue;
                for (const std::string& name : SplitTags(line.substr(1)))
                    if (const std::string clean = CleanTagText(name); !clean.empty()) tags.push_back("author:" + clean);
                break;
            }
        }
    } catch (const std::exception&) {
        // An info file that does not read offers no author.
    }
    for (int k = 0; k < LangCount; ++k)
        if (!p.FMInfo.TitleFiles[size_t(k)].empty()) tags.push_back(std::string("language:") + kTagLanguages[k]);
    return tags;
}

std::string StoredName(const Project& p, const std::string& entry)
{
    std::string rel = entry;
    try {
        const fs::path dir = platform::PathFromUtf8(p.FMInfo.FMDir);
        rel = RelativeEntry(dir, ResolvePath(dir, entry));
    } catch (const Error&) {
        // A path over the resolver's limits is stored as listed, if at all.
    }
    return StoredEntryName(rel);
}

} // namespace lw
