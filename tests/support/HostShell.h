// Other programs as checkers of what the program writes (unzip, 7z,
// Python's zipfile, LibreOffice), run through the POSIX shell of the
// machine the tests run on. A Windows build of the tests reaches that shell
// only under Wine, which starts the host's own programs when asked to run a
// Unix file; on a real Windows machine there is none and the callers skip.
#pragma once

#include <filesystem>
#include <string>

namespace lw::test {

// Why no host shell can be reached here; empty when one can.
std::string HostShellMissing();

// The name the host's programs know the file by: the path itself on POSIX,
// the Unix path behind a Wine drive letter under Wine.
std::string HostPath(const std::filesystem::path& p);

struct ShellResult {
    int status = -1;    // the command's exit status; -1 when it could not run or never ended
    std::string output; // standard output and error together
};
// Runs command with the host's /bin/sh -c.
ShellResult RunHostShell(const std::string& command);

// Whether the host's shell finds program on its PATH.
bool HostHasProgram(const std::string& program);

// Why program cannot be run here, in words for a skipped test; empty when
// it can.
inline std::string HostProgramMissing(const std::string& program)
{
    if (std::string why = HostShellMissing(); !why.empty()) return program + " not run: " + why;
    if (!HostHasProgram(program)) return program + " is not installed";
    return {};
}

} // namespace lw::test
