// The option set of the folder chooser and the rules that keep it
// consistent, and the rules by which a typed path becomes the folder the
// chooser starts at. No widgets here, so the rules are testable alone.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace lw {

// Bit = ordinal. The first seven mirror the Windows folder browser's flags.
enum class FolderOption : std::uint8_t {
    FileSysDirsOnly = 0,
    DontGoBelowDomain,
    StatusText,
    FileSysAncestors,
    BrowseForComputer,
    BrowseForPrinter,
    BrowseIncludeFiles,
    ShowPathInStatusArea,
    SyncCustomButton,
    AlignCustomButton,
    ScreenCenter,
    ParentCenter,
    ResizeCustomButton,
};

class FolderOptions {
public:
    constexpr FolderOptions() = default;
    constexpr FolderOptions(std::initializer_list<FolderOption> options)
    {
        for (FolderOption o : options) bits_ |= Bit(o);
    }

    // The set a new chooser starts with.
    static constexpr FolderOptions Defaults()
    {
        return {FolderOption::FileSysDirsOnly,  FolderOption::StatusText,        FolderOption::ShowPathInStatusArea,
                FolderOption::SyncCustomButton, FolderOption::AlignCustomButton, FolderOption::ParentCenter};
    }

    constexpr bool Has(FolderOption o) const { return (bits_ & Bit(o)) != 0; }
    constexpr FolderOptions With(FolderOption o) const { return FromBits(bits_ | Bit(o)); }
    constexpr FolderOptions Without(FolderOption o) const { return FromBits(bits_ & ~Bit(o)); }
    constexpr std::uint16_t Bits() const { return bits_; }
    static constexpr FolderOptions FromBits(std::uint16_t bits)
    {
        FolderOptions s;
        s.bits_ = bits & 0x1FFF;
        return s;
    }
    // The Windows browser flags (BIF_*) of the first seven options.
    std::uint32_t ShellFlags() const;

    friend constexpr bool operator==(FolderOptions, FolderOptions) = default;

private:
    static constexpr std::uint16_t Bit(FolderOption o) { return std::uint16_t(1u << unsigned(o)); }
    std::uint16_t bits_ = 0;
};

// Root of the folder tree; the values are the Windows special-folder ids,
// DesktopExpanded meaning no root at all.
enum class ShellFolder : int {
    DesktopExpanded = -1,
    Desktop = 0,
    Programs = 2,
    ControlPanel = 3,
    Printers = 4,
    Personal = 5,
    Favorites = 6,
    Startup = 7,
    Recent = 8,
    Sendto = 9,
    RecycleBin = 10,
    StartMenu = 11,
    DesktopDirectory = 16,
    MyComputer = 17,
    Network = 18,
    NetworkNeighborhood = 19,
    Fonts = 20,
    Templates = 21,
    CommonStartMenu = 22,
    CommonPrograms = 23,
    CommonStartup = 24,
    CommonDesktopDirectory = 25,
    AppData = 26,
    PrintHood = 27,
};

struct FolderOptionsChange {
    FolderOptions options;
    bool rootBecomesNetwork = false; // browsing for computers starts at the network
};

// What assigning requested to a chooser whose options are current yields.
// Both centring options cannot hold at once (the newly asked one wins); a
// computer or printer browser drops the file-system options; showing the
// path needs the status line, and dropping the status line drops the path.
FolderOptionsChange ApplyFolderOptions(FolderOptions current, FolderOptions requested);

// The folder a chooser starts at for a typed path: the path itself when it
// names an existing directory (a drive root on Windows too), with a trailing
// "/." (or "\." on Windows) and trailing separators removed; "" otherwise.
std::string SelectableFolder(const std::string& path);

} // namespace lw
