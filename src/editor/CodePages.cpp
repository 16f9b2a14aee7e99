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

} // namespace lw
