#include "platform/Terminal.h"

#include <iostream>

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

struct Utf8Console::State {};

Utf8Console::Utf8Console() = default;

Utf8Console::~Utf8Console()
{
    std::cout.flush();
    std::cerr.flush();
}

} // namespace lw::platform
