// Whether a person watches the program's error output, so progress may be
// drawn there in place.
#pragma once

namespace lw::platform {

bool StderrIsTerminal();

} // namespace lw::platform
