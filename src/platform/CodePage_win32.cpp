#include "platform/CodePage.h"

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lw::platform {

char32_t DecodeWithSystem(int codePage, const char* bytes, size_t n)
{
    if (n == 0 || n > 2) return 0xFFFD;
    wchar_t out[2] = {};
    const int got = MultiByteToWideChar(UINT(codePage), MB_ERR_INVALID_CHARS, bytes, int(n), out, 2);
    return got == 1 ? char32_t(out[0]) : char32_t(0xFFFD);
}

} // namespace lw::platform
