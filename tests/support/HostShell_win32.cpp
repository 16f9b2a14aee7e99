#include "support/HostShell.h"

#include "platform/File.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"

#include <chrono>
#include <fstream>
#include <thread>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace fs = std::filesystem;

namespace lw::test {

namespace {

// Wine's own entry points for crossing between its drive letters and the
// host's file names; absent on Windows itself.
using UnixNameOf = char*(CDECL*)(const wchar_t*);
using DosNameOf = wchar_t*(CDECL*)(const char*);

UnixNameOf unixNameOf()
{
    return reinterpret_cast<UnixNameOf>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
}

DosNameOf dosNameOf()
{
    return reinterpret_cast<DosNameOf>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
}

// The Windows name of the host's /bin/sh; empty when there is none.
std::wstring hostShell()
{
    const DosNameOf dos = dosNameOf();
    if (!dos) return {};
    wchar_t* name = dos("/bin/sh");
    if (!name) return {};
    std::wstring s = name;
    HeapFree(GetProcessHeap(), 0, name);
    return GetFileAttributesW(s.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : s;
}

// One argument of a Windows command line, quoted so that the usual
// splitting (which Wine applies before starting a Unix program) gives it
// back unchanged.
std::wstring quoted(const std::wstring& arg)
{
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

std::string HostShellMissing()
{
    if (!unixNameOf() || !dosNameOf())
        return "needs the host's POSIX shell, which a Windows build of the tests reaches only under Wine";
    if (hostShell().empty()) return "the host has no /bin/sh for Wine to start";
    return {};
}

std::string HostPath(const fs::path& p)
{
    const UnixNameOf unix = unixNameOf();
    if (!unix) return platform::Utf8Of(p);
    char* name = unix(fs::absolute(p).wstring().c_str());
    if (!name) return platform::Utf8Of(p);
    std::string s = name;
    HeapFree(GetProcessHeap(), 0, name);
    return s;
}

ShellResult RunHostShell(const std::string& command)
{
    ShellResult r;
    const std::wstring sh = hostShell();
    if (sh.empty()) return r;
    // Wine starts a Unix program without a process Windows can wait for or
    // pipes it can read, so the command leaves its output and then its
    // exit status in files, the status last and renamed into place whole.
    const TempDir dir;
    const fs::path out = dir.path() / "output", status = dir.path() / "status";
    const std::string script = "( " + command + "\n) >'" + HostPath(out) + "' 2>&1; echo $? >'" + HostPath(status) +
                               ".part'; mv '" + HostPath(status) + ".part' '" + HostPath(status) + "'";
    std::wstring line = L"sh -c " + quoted(platform::WideOf(script));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(sh.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return r;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    // The checkers bound their own time (LibreOffice runs under timeout);
    // this only keeps a lost child from holding the test program forever.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    std::error_code ec;
    while (!fs::exists(status, ec)) {
        if (std::chrono::steady_clock::now() > giveUp) return r;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream o(out, std::ios::binary);
    r.output.assign(std::istreambuf_iterator<char>(o), {});
    std::ifstream s(status);
    if (!(s >> r.status)) r.status = -1;
    return r;
}

bool HostHasProgram(const std::string& program)
{
    return RunHostShell("command -v " + program + " >/dev/null").status == 0;
}

} // namespace lw::test
