// Loading a shared library at run time and finding its entry points: the
// zip engine is one, found beside the program or in its private folder.
#pragma once

#include <string>

namespace lw::platform {

// The file name the system gives a library named "zipeng":
// "libzipeng.so" on POSIX, "zipeng.dll" on Windows.
std::string LibraryFileName(const std::string& name);

// nullptr when the library cannot be loaded. A path without a folder is
// looked for where the system looks for libraries, but never in the
// current folder.
void* OpenLibrary(const std::string& path);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);
// The full path of the file the system loaded; "" when it cannot say.
std::string LibraryPath(void* library);

// The folder the running program is in (UTF-8); "." when unknown.
std::string ProgramDir();

} // namespace lw::platform
