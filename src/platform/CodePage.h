// The system's converter for the East Asian double-byte code pages (932,
// 936, 949, 950 and Mac Japanese), whose tables are too large to carry:
// iconv on POSIX, MultiByteToWideChar on Windows. Single-byte pages are
// tabled in components/CodePages.
#pragma once

#include <cstddef>

namespace lw::platform {

// The one character that n (1 or 2) bytes of codePage stand for; U+FFFD
// when they stand for none or the system has no such converter.
char32_t DecodeWithSystem(int codePage, const char* bytes, size_t n);

} // namespace lw::platform
