#include "platform/Directory.h"

#include "platform/File.h"
#include "platform/Utf8.h"

#include <cerrno>

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lw::platform {

int ListDirectory(const std::filesystem::path& dir, std::vector<DirEntry>& entries)
{
    entries.clear();
    std::wstring pattern = dir.empty() ? std::wstring(L".") : dir.native();
    if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW fd;
    // The basic information (no short names) in large batches: one call
    // brings many names, each with its attributes.
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND) { // no entries at all (a drive's empty root), or no folder
            const DWORD a = GetFileAttributesW(dir.empty() ? L"." : dir.c_str());
            if (a == INVALID_FILE_ATTRIBUTES) return ENOENT;
            return (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
        }
        if (e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME || e == ERROR_BAD_NETPATH) return ENOENT;
        if (e == ERROR_DIRECTORY) return ENOTDIR;
        if (e == ERROR_ACCESS_DENIED) return EACCES;
        return EIO;
    }
    do {
        const wchar_t* n = fd.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        DirEntry out;
        out.name = Utf8Of(std::wstring_view(n));
        const DWORD a = fd.dwFileAttributes;
        out.link = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        out.hidden = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if (out.link) {
            // The find data describe the link itself; what it leads to is
            // looked at through it (a link that leads nowhere is Unknown).
            FileInfo target;
            const std::wstring full = pattern.substr(0, pattern.size() - 1) + n;
            if (InfoOf(std::filesystem::path(full), target) != 0 || !target.exists) out.kind = EntryKind::Unknown;
            else
                out.kind = target.isDirectory ? EntryKind::Directory
                           : target.isRegular ? EntryKind::File
                                              : EntryKind::Other;
        } else {
            out.kind = (a & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Directory
                       : (a & FILE_ATTRIBUTE_DEVICE)  ? EntryKind::Other
                                                      : EntryKind::File;
        }
        entries.push_back(std::move(out));
    } while (FindNextFileW(h, &fd));
    const DWORD e = GetLastError();
    FindClose(h);
    if (e != ERROR_NO_MORE_FILES) {
        entries.clear();
        return EIO;
    }
    return 0;
}

} // namespace lw::platform
