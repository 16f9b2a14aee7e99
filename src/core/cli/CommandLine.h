// The program's command line: the modes that need no window (--pack,
// --check, --convert, --help, --version) and the list file to open in the
// window. The window program and the console program read their arguments
// and run these modes here, so both say and do the same.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace lw {

struct CommandLine {
    std::string listFile = {}; // to open in the window
    std::string packList = {}, checkList = {}, output = {}, convertIn = {}, convertOut = {};
    bool pack = false, check = false, convert = false, json = false, force = false;
    bool help = false, version = false;
    int game = -1;            // --game, a game of FMUtils' table
    std::string gameDir = {}; // --game-dir

    // A mode that runs without a window and ends the program.
    bool Headless() const { return pack || check || convert || help || version; }
};

// Who reads the command line: the window program takes a list file to open,
// the console program does not.
enum class Program { Window, Console };

// The program's name as it introduces its messages and its usage.
const char* ProgramName(Program program);

// args: the arguments as UTF-8, the program's name first. nullopt after a
// one-line reason on err (the exit code is then 2).
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, Program program, std::ostream& err);

// Runs a headless mode and gives its exit code; progress goes to err when
// showProgress (a terminal).
int RunHeadless(const CommandLine& line, Program program, const char* version, std::ostream& out, std::ostream& err,
                bool showProgress);

// --help's text.
std::string UsageText(Program program);

} // namespace lw
