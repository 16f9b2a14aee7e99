#include "platform/Terminal.h"

#include <unistd.h>

namespace lw::platform {

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

} // namespace lw::platform
