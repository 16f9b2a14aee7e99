#include "core/text/TextCodec.h"

#include "base/StrUtils.h"
#include "core/text/CodePages.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace lw {

namespace {

// The five bytes Windows-1252 leaves unassigned decode to the C1 control
// of the same value (as Windows' own converter does), and encode back.
char32_t cp1252ToCode(uint8_t b)
{
    return DecodeByte(1252, b);
}

int codeToCp1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    const char16_t* high = CodePageHighHalf(1252);
    for (int i = 0; i < 32; ++i)
        if (high[i] == cp || (high[i] == 0 && cp == char32_t(0x80 + i))) return 0x80 + i;
    return -1;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

char32_t NextUtf8(std::string_view s, size_t& pos, bool* valid)
{
    auto bad = [&] {
        ++pos;
        if (valid) *valid = false;
        return char32_t(0xFFFD);
    };
    const auto b0 = static_cast<uint8_t>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else
        return bad();
    if (pos + len > s.size()) return bad();
    for (int i = 1; i < len; ++i) {
        const auto b = static_cast<uint8_t>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return bad();
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return bad();
    pos += len;
    return cp;
}

bool IsValidUtf8(std::string_view s)
{
    bool valid = true;
    size_t pos = 0;
    while (pos < s.size() && valid) NextUtf8(s, pos, &valid);
    return valid;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) AppendUtf8(out, cp1252ToCode(static_cast<uint8_t>(c)));
    return out;
}

std::string Utf8ToCp1252(std::string_view text, bool* ok)
{
    std::string out;
    out.reserve(text.size());
    if (ok) *ok = true;
    size_t pos = 0;
    while (pos < text.size()) {
        const int b = codeToCp1252(NextUtf8(text, pos));
        if (b < 0) {
            out += '?';
            if (ok) *ok = false;
        } else {
            out += char(b);
        }
    }
    return out;
}

std::string Cp850ToUtf8(std::string_view bytes)
{
    return Cp1252ToUtf8(DosToWin(bytes));
}
std::string Utf8ToCp850(std::string_view text)
{
    return WinToDos(Utf8ToCp1252(text));
}

std::string DecodeCodePage(int codePage, std::string_view bytes)
{
    if (codePage == Utf8CodePage) return IsValidUtf8(bytes) ? std::string(bytes) : SanitizeUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) AppendUtf8(out, DecodeByte(codePage, static_cast<uint8_t>(c)));
    return out;
}

bool EncodeCodePage(int codePage, std::string_view utf8, std::string& out, char32_t* refused)
{
    out.clear();
    if (codePage == Utf8CodePage) {
        out.assign(utf8);
        return true;
    }
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = NextUtf8(utf8, pos);
        int byte = cp < 0x80 ? int(cp) : -1;
        for (int b = 0x80; byte < 0 && b <= 0xFF; ++b)
            if (DecodeByte(codePage, static_cast<unsigned char>(b)) == cp) byte = b;
        if (byte < 0) {
            if (refused) *refused = cp;
            return false;
        }
        out += char(byte);
    }
    return true;
}

std::string CharacterName(char32_t c)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
    std::string text = "\"";
    AppendUtf8(text, c);
    return text + "\" (" + code + ")";
}

std::string SanitizeUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) AppendUtf8(out, NextUtf8(bytes, pos));
    return out;
}

std::string DecodePlainText(std::string_view bytes)
{
    // The mark promises UTF-8; what breaks the promise still must not
    // reach the program as invalid text.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        return IsValidUtf8(bytes) ? std::string(bytes) : SanitizeUtf8(bytes);
    }
    const bool le = bytes.substr(0, 2) == "\xFF\xFE";
    const bool be = bytes.substr(0, 2) == "\xFE\xFF";
    if (le || be) {
        std::string out;
        out.reserve(bytes.size());
        char32_t pendingHigh = 0;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto lo = static_cast<uint8_t>(bytes[i + (le ? 0 : 1)]);
            const auto hi = static_cast<uint8_t>(bytes[i + (le ? 1 : 0)]);
            const char32_t u = char32_t(hi) << 8 | lo;
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (pendingHigh) AppendUtf8(out, 0xFFFD);
                pendingHigh = u;
                continue;
            }
            if (u >= 0xDC00 && u <= 0xDFFF && pendingHigh) {
                AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (u - 0xDC00));
                pendingHigh = 0;
                continue;
            }
            if (pendingHigh) {
                AppendUtf8(out, 0xFFFD);
                pendingHigh = 0;
            }
            AppendUtf8(out, u);
        }
        if (pendingHigh) AppendUtf8(out, 0xFFFD);
        return out;
    }
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Cp1252ToUtf8(bytes);
}

std::string EncodePlainText(std::string_view utf8)
{
    bool fits = true;
    std::string cp = Utf8ToCp1252(utf8, &fits);
    // Windows-1252 bytes that would read back as something else (they form
    // valid UTF-8, or begin like a byte-order mark) go out as marked UTF-8.
    if (fits && DecodePlainText(cp) == utf8) return cp;
    return "\xEF\xBB\xBF" + std::string(utf8);
}

std::string ToCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace lw
