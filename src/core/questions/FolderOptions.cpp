#include "core/questions/FolderOptions.h"

#include "platform/File.h"

#include <filesystem>
#include <system_error>

namespace lw {

std::uint32_t FolderOptions::ShellFlags() const
{
    static constexpr std::uint32_t flags[] = {0x0001, 0x0002, 0x0004, 0x0008, 0x1000, 0x2000, 0x4000};
    std::uint32_t result = 0;
    for (unsigned i = 0; i < 7; ++i)
        if (bits_ & (1u << i)) result |= flags[i];
    return result;
}

FolderOptionsChange ApplyFolderOptions(FolderOptions current, FolderOptions requested)
{
    using O = FolderOption;
    FolderOptionsChange change;
    FolderOptions v = requested;

    if (v.Has(O::ScreenCenter) && v.Has(O::ParentCenter)) {
        if (current.Has(O::ScreenCenter)) v = v.Without(O::ScreenCenter);
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

    if (v.Has(O::ShowPathInStatusArea) && !current.Has(O::ShowPathInStatusArea) && !v.Has(O::StatusText))
        v = v.With(O::StatusText);

    if (!v.Has(O::StatusText) && current.Has(O::StatusText) && v.Has(O::ShowPathInStatusArea))
        v = v.Without(O::ShowPathInStatusArea);

    change.options = v;
    return change;
}

namespace {

// "/" everywhere, "\\" too on Windows.
bool IsSeparator(char c)
{
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
}

// "/" on Linux; "C:\", "C:/" or "C:" on Windows.
bool IsRoot(const std::string& p)
{
    if (p == "/") return true;
    const std::filesystem::path fp = platform::PathFromUtf8(p);
    return fp.has_root_name() && !fp.has_relative_path() && p.size() <= 3;
}

} // namespace

std::string SelectableFolder(const std::string& path)
{
    std::string p = path;
    if (p.size() >= 2 && p.back() == '.' && IsSeparator(p[p.size() - 2])) p.pop_back();
    while (p.size() > 1 && IsSeparator(p.back()) && !IsRoot(p)) p.pop_back();
    if (p.empty()) return {};
    std::error_code ec;
    const std::filesystem::path fp = platform::PathFromUtf8(p);
    if (!std::filesystem::is_directory(fp, ec)) return {};
    // A bare drive ("C:") is that drive's current folder to Windows; the
    // chooser starts at its root.
    if (fp.has_root_name() && !fp.has_root_directory() && !fp.has_relative_path())
        p += static_cast<char>(std::filesystem::path::preferred_separator);
    return p;
}

} // namespace lw
