// The program's command line and error output.
#pragma once

#include <string>
#include <vector>

namespace lw::platform {

// Whether a person watches the program's error output, so progress may be
// drawn there in place.
bool StderrIsTerminal();

// The program's arguments, its own name first, as UTF-8 text. POSIX hands
// main() the bytes as typed, which are used as they are; Windows hands it
// the ANSI code page, which cannot hold every file name, so there they are
// taken again from the wide command line (argv only when that fails).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace lw::platform
