#include "base/Errors.h"

#include <cstring>

namespace lw {

void ThrowFileError(const std::string& what, const std::string& file, int err)
{
    std::string msg = "Cannot " + what + " \"" + file + "\"";
    if (err) {
        msg += ": ";
        msg += std::strerror(err);
    }
    msg += ".";
    throw Error(msg);
}

} // namespace lw
