// Conversions between the program's UTF-8 text and the byte encodings that
// files use: Windows-1252 (the "system code page" of list and info files),
// code page 850 (the game's string files), and the one rule for plain text.
#pragma once

#include <string>
#include <string_view>

namespace lw {

bool IsValidUtf8(std::string_view bytes);

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters Windows-1252 lacks become '?'. ok (optional) is cleared then.
std::string Utf8ToCp1252(std::string_view text, bool* ok = nullptr);

// Game string-file bytes (code page 850) <-> UTF-8, through Windows-1252.
std::string Cp850ToUtf8(std::string_view bytes);
std::string Utf8ToCp850(std::string_view text);

// UTF-8 as a code page number, beside the single-byte ones of CodePages.h.
inline constexpr int Utf8CodePage = 65001;

// Bytes of a single-byte code page, or of UTF-8 (invalid sequences become
// U+FFFD), as UTF-8 text.
std::string DecodeCodePage(int codePage, std::string_view bytes);
// text in codePage, strictly: no character is replaced by another. False
// when the code page lacks one; refused (when given) is then the first.
bool EncodeCodePage(int codePage, std::string_view utf8, std::string& out, char32_t* refused = nullptr);
// "U+015B" and the character itself, for messages that name it.
std::string CharacterName(char32_t c);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// Plain text files (info files, list files). Reading: a byte-order mark
// decides (UTF-8, UTF-16 LE or BE); otherwise valid UTF-8 is UTF-8;
// otherwise Windows-1252. Returns valid UTF-8 without a mark.
std::string DecodePlainText(std::string_view bytes);
// Writing: Windows-1252 when every character fits and those bytes read
// back as the same text, otherwise UTF-8 with a byte-order mark, so every
// save reopens as it was saved. Line ends are left as given.
std::string EncodePlainText(std::string_view utf8);

// Every line break (CR LF, LF, CR) as CR LF.
std::string ToCrLf(std::string_view text);

// Appends the UTF-8 form of a code point (invalid ones as U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one code point at pos and advances pos; an invalid byte gives
// U+FFFD and clears valid (when given).
char32_t NextUtf8(std::string_view text, size_t& pos, bool* valid = nullptr);

} // namespace lw
