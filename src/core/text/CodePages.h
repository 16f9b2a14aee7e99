// Every code page the program meets, in one place: the tables and
// converters of the single- and double-byte Windows code pages that RTF
// text and plain text arrive in, and the game's code page 850.
#pragma once

#include <string>
#include <string_view>

namespace lw {

// Bytes 0x80..0xFF of a single-byte code page (437, 850, 874, 1250 to 1258,
// 10000), or nullptr for a code page without a table here.
const char16_t* CodePageHighHalf(int codePage);

// The code page that an RTF \fcharset value stands for; 0 when the charset
// names no code page of its own (DEFAULT_CHARSET, symbol fonts).
int CodePageOfCharset(int charset);

// The character a byte stands for in codePage. Code pages without a table
// read as Windows-1252; unassigned bytes give the C1 control of that value.
char32_t DecodeByte(int codePage, unsigned char byte);

// Double-byte code pages (932, 936, 949, 950, 10001): whether a byte starts
// a two-byte character, and the character of a pair (U+FFFD when the
// platform cannot convert it).
bool IsDoubleByteCodePage(int codePage);
bool IsLeadByte(int codePage, unsigned char byte);
char32_t DecodeDoubleByte(int codePage, unsigned char lead, unsigned char trail);
// A byte of such a code page that stands alone (half-width katakana).
char32_t DecodeDoubleByteSingle(int codePage, unsigned char byte);

// The character a byte of a symbol font (\fcharset2) shows: Symbol's
// Greek letters and signs, Wingdings' bullets, boxes and arrows as their
// Unicode equivalents, other symbol fonts' ASCII as it is; a byte with none
// gives U+F000 + byte, the private-use place such fonts keep their glyphs at.
char32_t SymbolFontChar(std::string_view face, unsigned char byte);

// The game's string files hold code page 850; these convert them byte by
// byte to and from Windows-1252. The mapping is lossy on purpose: box
// drawing and the characters one side lacks get the fixed replacements
// ("+", "-", "¦", " ") that authors' tools have always written, so a
// string file reads and writes as it always has. Everything else converts
// through the code-page tables above.
std::string DosToWin(std::string_view text);
std::string WinToDos(std::string_view text);

} // namespace lw
