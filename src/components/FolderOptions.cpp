#include "components/FolderOptions.h"

#include <filesystem>
#include <system_error>

namespace lw {

std::uint32_t FolderOptions::ShellFlags() const
{
    static constexpr std::uint32_t flags[] = {0x0001, 0x0002, 0x0004, 0x0008,
                                              0x1000, 0x2000, 0x4000};
    std::uint32_t result = 0;
    for (unsigned i = 0; i < 7; ++i)
        if (bits_ & (1u << i))
            result |= flags[i];
    return result;
}

FolderOptionsChange ApplyFolderOptions(FolderOptions current, FolderOptions requested)
{
    using O = FolderOption;
    FolderOptionsChange change;
    FolderOptions v = requested;

    if (v.Has(O::ScreenCenter) && v.Has(O::ParentCenter)) {
        if (current.Has(O::ScreenCenter))
            v = v.Without(O::ScreenCenter);
        else if (current.Has(O::ParentCenter))
            v = v.Without(O::ParentCenter);
    }

    if (v.Has(O::BrowseForComputer) && !current.Has(O::BrowseForComputer)) {
        change.rootBecomesNetwork = true;
        v = v.Without(O::FileSysDirsOnly).Without(O::FileSysAncestors).Without(O::BrowseForPrinter);
    } else if (v.Has(O::BrowseForPrinter) && !current.Has(O::BrowseForPrinter)) {
        v = v.Without(O::FileSysDirsOnly)
                .Without(O::DontGoBelowDomain)
                .Without(O::FileSysAncestors)
                .Without(O::BrowseForComputer);
    }

    if (v.Has(O::ShowPathInStatusArea) && !current.Has(O::ShowPathInStatusArea) &&
        !v.Has(O::StatusText))
        v = v.With(O::StatusText);

    if (!v.Has(O::StatusText) && current.Has(O::StatusText) && v.Has(O::ShowPathInStatusArea))
        v = v.Without(O::ShowPathInStatusArea);

    change.options = v;
    return change;
}

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// "/" on Linux; "C:\", "C:/" or "C:" on Windows.
bool IsRoot(const std::string& p)
{
#ifdef _WIN32
    return (p.size() == 2 || (p.size() == 3 && IsSeparator(p[2]))) && p[1] == ':';
#else
    return p == "/";
#endif
}

} // namespace

std::string SelectableFolder(const std::string& path)
{
    std::string p = path;
    if (p.size() >= 2 && p.back() == '.' && IsSeparator(p[p.size() - 2]))
        p.pop_back();
    while (p.size() > 1 && IsSeparator(p.back()) && !IsRoot(p))
        p.pop_back();
    if (p.empty())
        return {};
    std::error_code ec;
    const std::u8string utf8(p.begin(), p.end());
    if (!std::filesystem::is_directory(std::filesystem::path(utf8), ec))
        return {};
#ifdef _WIN32
    if (p.size() == 2 && p[1] == ':')
        p += '\\';
#endif
    return p;
}

} // namespace lw
