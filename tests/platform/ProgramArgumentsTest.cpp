// The command line's file names as the command-line modes get them. POSIX
// hands them over unchanged; Windows gives main() the ANSI code page, so the
// test starts this very program again with names outside it and reads back
// what the child got.
#include "platform/File.h"
#include "platform/Terminal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#if defined(_WIN32)
#include "platform/Utf8.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::string u8(const char8_t* s)
{
    return reinterpret_cast<const char*>(s);
}

} // namespace
#endif

TEST(ProgramArguments, FileNamesOutsideTheCodePageArriveAsUtf8)
{
#if !defined(_WIN32)
    GTEST_SKIP() << "POSIX hands the arguments over as typed; only Windows converts them";
#else
    // The child: what it was given, one argument a line, into the file
    // the parent named (a wide name: the temporary folder may lie outside
    // the code page too).
    if (const wchar_t* out = _wgetenv(L"LW_ARGUMENTS_PROBE")) {
        std::ofstream o(std::filesystem::path(out), std::ios::binary);
        for (const std::string& a : lw::platform::Utf8Arguments(__argc, __argv)) o << a << "\n";
        return;
    }

    const lw::test::TempDir tmp;
    const std::filesystem::path out = tmp.path() / "arguments.txt";
    const std::vector<std::string> given = {u8(u8"Tëst Фм 夜 🏮.lst"), "--output", u8(u8"C:\\Архив\\ü.zip")};
    std::wstring exe(1024, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size())));
    std::wstring line = L"\"" + exe + L"\" --gtest_filter=ProgramArguments.*";
    for (const std::string& a : given) line += L" \"" + lw::platform::WideOf(a) + L"\"";

    SetEnvironmentVariableW(L"LW_ARGUMENTS_PROBE", out.wstring().c_str());
    // The child's own test report would only clutter this one.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"LW_ARGUMENTS_PROBE", nullptr);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    ASSERT_TRUE(started) << "error " << GetLastError();
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    std::ifstream in(out, std::ios::binary);
    std::vector<std::string> got;
    for (std::string s; std::getline(in, s);) got.push_back(s);
    ASSERT_EQ(got.size(), 2 + given.size());
    EXPECT_EQ(lw::platform::PathFromUtf8(got[0]), std::filesystem::path(exe)); // the program itself
    EXPECT_EQ(got[1], "--gtest_filter=ProgramArguments.*");
    for (size_t i = 0; i < given.size(); ++i) EXPECT_EQ(got[2 + i], given[i]);
#endif
}
