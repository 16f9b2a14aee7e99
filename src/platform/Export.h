// Marks the C entry points a shared library exports; everything else in it
// stays hidden.
#pragma once

#if defined(_WIN32)
#define LW_EXPORT __declspec(dllexport)
#else
#define LW_EXPORT __attribute__((visibility("default")))
#endif
