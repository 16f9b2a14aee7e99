#include "CodePages.h"

#include <cstring>
#include <map>
#include <string>

#if defined(_WIN32)
#define NOMINMAX
#include <windows.h>
#elif __has_include(<iconv.h>)
#include <iconv.h>
#define LW_HAVE_ICONV 1
#endif

namespace lw {

int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;  // ANSI means Windows-1252 whatever the document's code page
    case 77: return 10000;
    case 78: return 10001;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

char32_t DecodeByte(int codePage, unsigned char byte)
{
    if (byte < 0x80) return byte;
    const char16_t* high = CodePageHighHalf(codePage);
    if (!high) high = CodePageHighHalf(1252);
    const char16_t u = high[byte - 0x80];
    return u ? char32_t(u) : char32_t(byte);
}

bool IsDoubleByteCodePage(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 10001;
}

bool IsLeadByte(int codePage, unsigned char b)
{
    switch (codePage) {
    case 932: case 10001: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: case 949: case 950: return b >= 0x81 && b <= 0xFE;
    default: return false;
    }
}

namespace {

// The only platform call here: the system's converter for East Asian code
// pages (the C library's iconv, or Windows' own). Single-byte pages use the
// tables.
char32_t convert(int codePage, const char* bytes, size_t n)
{
#ifdef LW_HAVE_ICONV
    // Opened once per thread and code page, closed when the thread ends.
    struct Converters : std::map<int, iconv_t> {
        ~Converters()
        {
            for (auto& [cp, cd] : *this)
                if (cd != iconv_t(-1)) iconv_close(cd);
        }
    };
    thread_local Converters converters;
    auto it = converters.find(codePage);
    if (it == converters.end()) {
        const char* name = codePage == 932 ? "CP932" : codePage == 936 ? "CP936" : codePage == 949 ? "CP949"
                         : codePage == 950 ? "CP950" : "SHIFT_JIS";
        it = converters.emplace(codePage, iconv_open("UTF-32LE", name)).first;
    }
    if (it->second == iconv_t(-1)) return 0xFFFD;
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);
    char in[2];
    std::memcpy(in, bytes, n);
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = n, ol = sizeof out;
    if (iconv(it->second, &ip, &il, &op, &ol) == size_t(-1) || ol != 4) return 0xFFFD;
    return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
#elif defined(_WIN32)
    wchar_t out[2] = {};
    const int got = MultiByteToWideChar(UINT(codePage), MB_ERR_INVALID_CHARS, bytes, int(n), out, 2);
    return got == 1 ? char32_t(out[0]) : char32_t(0xFFFD);
#else
    (void)codePage; (void)bytes; (void)n;
    return 0xFFFD;
#endif
}

} // namespace

char32_t DecodeDoubleByte(int codePage, unsigned char lead, unsigned char trail)
{
    const char pair[2] = {char(lead), char(trail)};
    return convert(codePage, pair, 2);
}

char32_t DecodeDoubleByteSingle(int codePage, unsigned char b)
{
    if (b < 0x80) return b;
    const char one[1] = {char(b)};
    return convert(codePage, one, 1);
}

namespace {

// Symbol, 0x20..0xFF (0 where the font has no Unicode equivalent).
constexpr char16_t kSymbol[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

// Wingdings: the characters lists and forms use.
char32_t wingdings(unsigned char b)
{
    switch (b) {
    case 0x20: return 0x0020;
    case 0x21: return 0x1F589;  case 0x22: return 0x2702;  case 0x23: return 0x2701;
    case 0x28: return 0x260E;   case 0x29: return 0x2706;  case 0x2A: return 0x2709;
    case 0x36: return 0x231B;   case 0x37: return 0x2328;  case 0x3E: return 0x2707;
    case 0x3F: return 0x270D;   case 0x41: return 0x270C;  case 0x45: return 0x261C;
    case 0x46: return 0x261E;   case 0x47: return 0x261D;  case 0x48: return 0x261F;
    case 0x4A: return 0x263A;   case 0x4B: return 0x1F610; case 0x4C: return 0x2639;
    case 0x4E: return 0x2620;   case 0x52: return 0x263C;  case 0x54: return 0x2744;
    case 0x58: return 0x2720;   case 0x59: return 0x2721;  case 0x5B: return 0x262F;
    case 0x6C: return 0x25CF;   case 0x6D: return 0x274D;  case 0x6E: return 0x25A0;
    case 0x6F: return 0x25A1;   case 0x70: return 0x1F790; case 0x71: return 0x2751;
    case 0x72: return 0x2752;   case 0x73: return 0x2B27;  case 0x74: return 0x29EB;
    case 0x75: return 0x25C6;   case 0x76: return 0x2756;  case 0x77: return 0x2B25;
    case 0x78: return 0x2327;   case 0x79: return 0x2BB9;  case 0x7A: return 0x2318;
    case 0x9E: return 0x00B7;   case 0x9F: return 0x2022;  case 0xA0: return 0x25AA;
    case 0xA1: return 0x25CB;   case 0xA7: return 0x25AA;  case 0xA8: return 0x25FB;
    case 0xAB: return 0x2605;   case 0xD8: return 0x27A2;  case 0xE8: return 0x2794;
    case 0xEF: return 0x21E6;   case 0xF0: return 0x21E8;  case 0xF1: return 0x21E7;
    case 0xF2: return 0x21E9;   case 0xFB: return 0x2717;  case 0xFC: return 0x2713;
    case 0xFD: return 0x2612;   case 0xFE: return 0x2611;
    default: return 0;
    }
}

bool sameFace(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

} // namespace

char32_t SymbolFontChar(std::string_view face, unsigned char byte)
{
    char32_t cp = 0;
    if (sameFace(face, "Wingdings")) cp = wingdings(byte);
    else if (sameFace(face, "Symbol")) cp = byte >= 0x20 ? kSymbol[byte - 0x20] : 0;
    // Other fonts that call themselves symbol fonts often hold plain ASCII.
    else if (byte >= 0x20 && byte < 0x7F) cp = byte;
    return cp ? cp : char32_t(0xF000 + byte);
}

} // namespace lw
