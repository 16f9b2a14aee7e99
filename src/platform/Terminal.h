// The program's command line and error output.
#pragma once

#include <memory>
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

// While it lives, std::cout and std::cerr carry the program's UTF-8 text
// out as written. A Windows console reads bytes in its own code page, so
// there a console gets the text as characters, without changing the code
// page the console keeps after the program ends; files and pipes get the
// UTF-8 bytes with "\n" line ends, as on POSIX (where nothing needs doing).
// Flushes both streams when it ends.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace lw::platform
