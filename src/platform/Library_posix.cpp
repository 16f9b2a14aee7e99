#include "platform/Library.h"

#include <dlfcn.h>
#include <filesystem>
#include <link.h>

namespace fs = std::filesystem;

namespace lw::platform {

std::string LibraryFileName(const std::string& name)
{
    return "lib" + name + ".so";
}

void* OpenLibrary(const std::string& path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* library, const char* name)
{
    return dlsym(library, name);
}

void CloseLibrary(void* library)
{
    if (library) dlclose(library);
}

std::string LibraryPath(void* library)
{
    link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name) return {};
    std::error_code ec;
    const fs::path full = fs::canonical(map->l_name, ec);
    return ec ? std::string(map->l_name) : full.string();
}

std::string ProgramDir()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

} // namespace lw::platform
