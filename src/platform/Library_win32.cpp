#include "platform/Library.h"

#include "platform/Utf8.h"

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lw::platform {

std::string LibraryFileName(const std::string& name)
{
    return name + ".dll";
}

void* OpenLibrary(const std::string& path)
{
    // Forward slashes are fine for LoadLibraryExW only in some forms; the
    // system's own separator always is.
    std::wstring wide = WideOf(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    // A library named with its folder finds its own dependencies beside it.
    // One named alone is looked for beside the program and in the system's
    // folders, never in the current folder, where a file of that name in
    // whatever folder the program works on would be run in its place.
    const DWORD flags =
        wide.find(L'\\') != std::wstring::npos ? LOAD_WITH_ALTERED_SEARCH_PATH : LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    return reinterpret_cast<void*>(LoadLibraryExW(wide.c_str(), nullptr, flags));
}

void* LibrarySymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library)
{
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

namespace {

std::string moduleFile(HMODULE module)
{
    std::wstring buf(512, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buf.data(), DWORD(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            // Paths inside the program use "/", as Qt's do; Windows takes
            // either.
            std::string path = Utf8Of(buf);
            for (char& c : path)
                if (c == '\\') c = '/';
            return path;
        }
        buf.resize(buf.size() * 2);
    }
}

} // namespace

std::string LibraryPath(void* library)
{
    return moduleFile(static_cast<HMODULE>(library));
}

std::string ProgramDir()
{
    const std::string exe = moduleFile(nullptr);
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

} // namespace lw::platform
