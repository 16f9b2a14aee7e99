// fm.ini: the file in an FM's root from which loaders take what they show
// players beyond titles.str: the name, the release date, tags, a short
// description and which file is the info file. Lines "Key=Value", keys
// without regard to case, ";" opening a comment. Like the string files it
// is read and written line by line: a key whose value did not change keeps
// its bytes, and every other line (comments, keys we do not know) stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lw {

inline constexpr const char* FMIniName = "fm.ini";

// The keys loaders read, as we write them.
inline constexpr const char* NiceNameKey = "NiceName";
inline constexpr const char* ReleaseDateKey = "ReleaseDate";
inline constexpr const char* InfoFileKey = "InfoFile";
inline constexpr const char* TagsKey = "Tags";
inline constexpr const char* DescrKey = "Descr";
inline constexpr const char* FMIniKeys[] = {NiceNameKey, ReleaseDateKey, InfoFileKey, TagsKey, DescrKey};

// The one loader that shows Descr cuts it there: characters of the line as
// written, escapes included.
inline constexpr size_t MaxDescrLength = 1500;

// The values the author sets in the window.
struct ReleaseInfo {
    std::string niceName;               // empty: the FM name in the project's language
    std::optional<int64_t> releaseDate; // Unix time; none: the day of the first Zip
    std::string descr;                  // with its line breaks and tabs
    std::vector<std::string> tags;      // "category:tag", or a tag without a category
    bool operator==(const ReleaseInfo&) const = default;
};

// An fm.ini as read: its bytes and its lines.
class FMIniFile {
public:
    FMIniFile() = default;
    // Lines may end with CR LF, LF or CR; a byte-order mark is no part of the
    // first key. A file saved as UTF-16 (with its mark, as editors write it)
    // is read as its text: taken byte by byte, its lines would be torn apart
    // and every key lost.
    static FMIniFile Parse(std::string bytes);

    const std::string& Bytes() const { return bytes_; }
    bool HasBom() const { return bom_; }
    bool IsUtf16() const { return utf16_; }
    // The value of the first line holding key (without regard to case),
    // trimmed of blanks; none when no line does.
    std::optional<std::string> Value(std::string_view key) const;

    // A change of one key: its new value, or nothing to take its line out.
    struct Change {
        std::string key;
        std::optional<std::string> value;
    };
    // The file with the changes made: the first line of each key gets the
    // new value under the key's own spelling, a key the file lacks is
    // added at the end; every other line keeps its bytes. Lines end with
    // CR LF, in UTF-8 without a byte-order mark. Without changes: Bytes().
    std::string With(const std::vector<Change>& changes) const;

private:
    std::string bytes_;
    std::vector<std::string> lines_; // without their ends
    bool bom_ = false;
    bool utf16_ = false;
};

// ReleaseDate: a Unix time in upper-case hexadecimal without "0x"
// (17 May 2024 12:00 UTC is "664746C0"). Never a decimal date: a loader
// reads 20240517 as hexadecimal.
std::string HexTime(int64_t t);
// None unless text is 1 to 16 hexadecimal digits (either case).
std::optional<int64_t> ParseHexTime(std::string_view text);
// A day as a release time: 12:00 UTC, which is that same day from UTC-11
// to UTC+11, wherever the player's loader shows it.
int64_t ReleaseTimeOfDay(int year, int month, int day);
// The day (UTC) of a release time.
void DayOfReleaseTime(int64_t t, int& year, int& month, int& day);
// Today's date on this machine as a release time.
int64_t TodaysReleaseTime();

// Descr is one line: a line break written "\n", a tab "\t", a double quote
// "\"" and a backslash "\\". Reading also takes CR LF and CR for a line
// break, and drops double quotes around the whole value.
std::string EscapeDescr(std::string_view text);
std::string UnescapeDescr(std::string_view value);
// Characters (not bytes) of UTF-8 text.
size_t Utf8Length(std::string_view text);

// Tags: items separated by commas, "category:tag" or a tag of its own.
std::vector<std::string> SplitTags(std::string_view value);
std::string JoinTags(const std::vector<std::string>& tags);
// The same tags, in any order and letter case.
bool SameTags(std::vector<std::string> a, std::vector<std::string> b);

// The categories loaders offer; those without presets take free text.
struct TagCategory {
    const char* name;
    std::vector<const char*> presets;
};
extern const std::vector<TagCategory> TagCategories; // author, contest, genre, language, series
extern const std::vector<const char*> PlainTags;     // tags without a category
// What a tag may not hold; one ":" separates the category.
inline constexpr std::string_view ForbiddenTagChars = ":*;,/\"\\<>[]{}";
// The category of "genre:horror" ("genre"); empty for a tag without one.
std::string TagCategoryOf(std::string_view tag);
// Whether a tag lies in one of the categories, or is one of the plain
// tags; without regard to case.
bool IsKnownTag(std::string_view tag);
// text without the characters a tag may not hold, blanks trimmed.
std::string CleanTagText(std::string_view text);

// Tags as the Release dialog shows them: the presets it checks, the free
// text of each free-text category ("A, B" for author:A and author:B) and
// whatever else the tags hold.
struct TagSheet {
    std::vector<std::string> checked;                          // "genre:horror", "campaign", as the presets spell them
    std::vector<std::pair<std::string, std::string>> freeText; // category, text: author, contest, series
    std::string other;                                         // "foo:bar, baz"
};
TagSheet SortTags(const std::vector<std::string>& tags);
// The tags of a sheet, in the categories' order; none when a text holds a
// character a tag may not (other's tags may hold one ":"), badField then
// naming the category ("other" for other).
std::optional<std::vector<std::string>> TagsOf(const TagSheet& sheet, std::string* badField = nullptr);
// Whether a description stays within the one loader's limit when written.
bool DescrFits(std::string_view text);

} // namespace lw
