#include "platform/Terminal.h"

#include "platform/Utf8.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

namespace lw::platform {

bool StderrIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    args.reserve(size_t(n));
    for (int i = 0; i < n; ++i) args.push_back(Utf8Of(std::wstring_view(wide[i])));
    LocalFree(wide);
    return args;
}

} // namespace lw::platform
