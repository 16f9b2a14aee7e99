#include "platform/Terminal.h"

#include <unistd.h>

namespace lw::platform {

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace lw::platform
