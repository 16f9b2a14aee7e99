// What the program knows of the three games and the five languages, and the
// rules that recognise a fan mission's files: the game of a directory, a
// mission file's number, the flag text of missflag.str, string files and
// info files. Paths given here are relative to the FM directory with
// backslashes, as the file list holds them; every name test ignores case.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

using LocalString = std::array<std::string, 5>;

inline constexpr int GameThief1 = 0, GameThief2 = 1, GameThief2x = 2;
inline constexpr int GameCount = 3, LangCount = 5;

extern const std::array<const char*, GameCount> GameLabels;     // "Thief 1" ...
extern const std::array<const char*, GameCount> GameNames;      // "Thief: The Dark Project" ...
extern const std::array<const char*, GameCount> GameStringDirs; // "strings\" ...
extern const std::array<const char*, LangCount> LangDirs;       // "english\" ...
extern const std::array<const char*, LangCount> LangNames;      // "English" ... (UTF-8)

// Mission numbers run from 1 to this bound. A file such as miss99999999.mis
// is no mission file, and "next" links beyond it are not followed, so the
// mission table never grows past a few thousand slots.
inline constexpr int MaxMissionNumber = 999;

enum TMissFlag : uint8_t {
    mfSkip = 1,
    mfNoBriefing = 2,
    mfNoLoadout = 4,
    mfCutscene = 8,
    mfEnd = 16,
};
using TMissFlags = uint8_t;

int DetectGame(const std::string& dir);
int MissNumber(std::string_view name);
TMissFlags ParseMissFlags(std::string_view text);
std::string FormatMissFlags(TMissFlags flags);

void FindStringFile(const std::string& dir, const std::string& subDir, const std::string& fileName,
                    std::string& relPath, int& lang);
bool IsStringFilePath(const std::string& subDir, std::string_view relPath, int& lang);

std::string FindInfoFile(const std::string& dir, const std::string& shortName);
int InfoFileRank(std::string_view name, std::string_view shortName);

// Wildcard match without regard to case: "?" is one character, "*" any run.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The process-wide language tag ("en", "de", ...; empty when unknown).
const std::string& UserLangTag();
void SetUserLangTag(std::string tag);

} // namespace lw
