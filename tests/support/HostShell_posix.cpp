#include "support/HostShell.h"

#include <cstdio>
#include <sys/wait.h>

namespace lw::test {

std::string HostShellMissing()
{
    return {};
}

std::string HostPath(const std::filesystem::path& p)
{
    return p.string();
}

ShellResult RunHostShell(const std::string& command)
{
    ShellResult r;
    // A group, so a redirection inside command does not take the 2>&1.
    FILE* f = popen(("{ " + command + "\n} 2>&1").c_str(), "r");
    if (!f) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.output.append(buf, n);
    const int status = pclose(f);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool HostHasProgram(const std::string& program)
{
    return RunHostShell("command -v " + program + " >/dev/null").status == 0;
}

} // namespace lw::test
