// Text helpers of the string files and the main window: quoting, character
// search, the code page 850 <-> Windows-1252 byte tables and path helpers.
// Everything here works on bytes; conversion to Unicode lives in TextCodec.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// 1-based position of the first byte of text that is one of chars, 0 if none.
int CharsPos(std::string_view text, std::string_view chars);

// q (or nothing when q is 0), text with TAB, LF, CR, '"' and '\' escaped, q.
std::string QuoteStr(std::string_view text, char q);
std::string UnquoteStr(std::string_view text, char q);

// File name of path without directory and extension; either slash separates.
std::string FileBaseName(std::string_view path);
std::string ToBackslashes(std::string_view text);
std::string ToSlashes(std::string_view text);

// Removes bytes 0x00..0x20 from both ends.
std::string TrimControl(std::string_view text);

// ASCII-only lower case (letters A to Z).
// Letter case as the game's names know it: A-Z only, whatever the locale.
constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
std::string AsciiLower(std::string_view text);
// A hash of text as AsciiLower gives it, without making that text
// (FNV-1a over the lowered bytes): the same for every spelling.
uint64_t FoldedHash(std::string_view text);
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The default extension a save dialog's filter entry gives: its pattern
// ("*.rtf", "*.txt;*.text") cut at the first ";", what follows the first
// "."; "*" means none. So "*.rtf" gives "rtf" and "*.*" gives "".
std::string FilterDefaultExt(std::string_view pattern);

// The entry of a filter ("Rich Text|*.rtf|Text Files|*.txt|Any File|*.*")
// that a save dialog shows for the name it proposes, counted from 0: the
// first whose patterns hold the name's extension, else the first "*.*"
// entry, else the first. The type shown and the name proposed then agree.
int FilterIndexFor(std::string_view filter, std::string_view fileName);

// The characters an FM short name must not hold.
inline constexpr std::string_view ForbiddenNameChars = "\t /\\:*?\"<>|";

} // namespace lw
