// The one exception type of core: a message that names the file (or thing)
// and the reason, ready to be shown to the user as it stands.
#pragma once

#include <stdexcept>
#include <string>

namespace lw {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Cannot <what> "<file>": <reason from errno>."
[[noreturn]] void ThrowFileError(const std::string& what, const std::string& file, int err);

} // namespace lw
