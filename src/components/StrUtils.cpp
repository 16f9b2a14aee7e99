#include "StrUtils.h"

#include <array>
#include <cstdint>

namespace lw {

int CharsPos(std::string_view text, std::string_view chars)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (chars.find(text[i]) != std::string_view::npos)
            return int(i) + 1;
    return 0;
}

std::string QuoteStr(std::string_view text, char q)
{
    std::string out;
    out.reserve(text.size() + 2);
    if (q) out += q;
    for (char c : text) {
        if (c == '\0') break;
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    if (q) out += q;
    return out;
}

std::string UnquoteStr(std::string_view text, char q)
{
    std::string out;
    if (text.empty()) return out;
    const bool quoted = q && text.front() == q;
    std::string_view rest = quoted ? text.substr(1) : text;
    for (;;) {
        const size_t bs = rest.find('\\');
        if (bs == std::string_view::npos) break;
        out.append(rest.substr(0, bs));
        rest.remove_prefix(bs + 1);
        if (rest.empty()) break;
        const char c = rest.front();
        rest.remove_prefix(1);
        switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\n': break;
        case '\r':
            if (!rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
            break;
        default: out += c;
        }
    }
    if (quoted) {
        const size_t end = rest.find(q);
        out.append(rest.substr(0, end));
    } else {
        out.append(rest);
    }
    return out;
}

std::string FileBaseName(std::string_view path)
{
    const size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string ToBackslashes(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string ToSlashes(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

namespace {

// Code page 850 bytes 0x80..0xFF as Windows-1252 bytes; characters that
// Windows-1252 lacks have the fixed replacements authors have always seen.
constexpr std::array<uint8_t, 128> kDosToWin = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5, // 80
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x83, // 90
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB, // A0
    0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xC1, 0xC2, 0xC0, 0xA9, 0xA6, 0xA6, 0x2B, 0x2B, 0xA2, 0xA5, 0x2B, // B0
    0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xE3, 0xC3, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0xA4, // C0
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x69, 0xCD, 0xCE, 0xCF, 0x2B, 0x2B, 0xA6, 0x5F, 0xA6, 0xCC, 0xAF, // D0
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4, // E0
    0xAD, 0xB1, 0x3D, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0xA6, 0xA0, // F0
};

// Windows-1252 bytes 0x80..0xFF as code page 850 bytes.
constexpr std::array<uint8_t, 128> kWinToDos = {
    0xCF, 0x20, 0x2C, 0x9F, 0x2C, 0x20, 0x20, 0x20, 0x5E, 0x25, 0x53, 0x3C, 0x4F, 0x20, 0x5A, 0x20, // 80
    0x20, 0x27, 0x27, 0x22, 0x22, 0xFA, 0x2D, 0xC4, 0x7E, 0x20, 0x73, 0x3E, 0x6F, 0x20, 0x7A, 0x59, // 90
    0xFF, 0xAD, 0xBD, 0x9C, 0xCF, 0xBE, 0xDD, 0xF5, 0xF9, 0xB8, 0xA6, 0xAE, 0xAA, 0xF0, 0xA9, 0xEE, // A0
    0xF8, 0xF1, 0xFD, 0xFC, 0xEF, 0xE6, 0xF4, 0xFA, 0xF7, 0xFB, 0xA7, 0xAF, 0xAC, 0xAB, 0xF3, 0xA8, // B0
    0xB7, 0xB5, 0xB6, 0xC7, 0x8E, 0x8F, 0x92, 0x80, 0xD4, 0x90, 0xD2, 0xD3, 0xDE, 0xD6, 0xD7, 0xD8, // C0
    0xD1, 0xA5, 0xE3, 0xE0, 0xE2, 0xE5, 0x99, 0x9E, 0x9D, 0xEB, 0xE9, 0xEA, 0x9A, 0xED, 0xE8, 0xE1, // D0
    0x85, 0xA0, 0x83, 0xC6, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B, // E0
    0xD0, 0xA4, 0x95, 0xA2, 0x93, 0xE4, 0x94, 0xF6, 0x9B, 0x97, 0xA3, 0x96, 0x81, 0xEC, 0xE7, 0x98, // F0
};

std::string mapHigh(std::string_view text, const std::array<uint8_t, 128>& table)
{
    std::string out(text);
    for (char& c : out) {
        const auto b = static_cast<uint8_t>(c);
        if (b >= 0x80) c = static_cast<char>(table[b - 0x80]);
    }
    return out;
}

} // namespace

std::string DosToWin(std::string_view text) { return mapHigh(text, kDosToWin); }
std::string WinToDos(std::string_view text) { return mapHigh(text, kWinToDos); }

std::string TrimControl(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<uint8_t>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<uint8_t>(text[e - 1]) <= 0x20) --e;
    return std::string(text.substr(b, e - b));
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string FilterDefaultExt(std::string_view pattern)
{
    pattern = pattern.substr(0, pattern.find(';'));
    const size_t dot = pattern.find('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view ext = pattern.substr(dot + 1);
    return ext == "*" ? std::string() : std::string(ext);
}

} // namespace lw
