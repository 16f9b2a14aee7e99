// The console program's start: the window program's command-line modes
// (--check, --pack, --convert) without a window or Qt, for batch files and
// build scripts, and for systems that have no Qt build of the windows.
#include "core/cli/CommandLine.h"
#include "core/fm/FMUtils.h"
#include "platform/File.h"
#include "platform/Locale.h"
#include "platform/Terminal.h"

#include <iostream>
#include <optional>

#ifndef LW_VERSION
#define LW_VERSION "0"
#endif

namespace {

using namespace lw;

int run(int argc, char** argv)
{
    const std::optional<CommandLine> line =
        ParseCommandLine(platform::Utf8Arguments(argc, argv), Program::Console, std::cerr);
    if (!line) return 2;
    // The language tag ranks info files, which the check looks at.
    SetUserLangTag(platform::UserLangTag());
    return RunHeadless(*line, Program::Console, LW_VERSION, std::cout, std::cerr, platform::StderrIsTerminal());
}

} // namespace

int main(int argc, char** argv)
{
    platform::WritesPastTheSizeLimitFail();
    const platform::Utf8Console console;
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << ProgramName(Program::Console) << ": " << e.what() << "\n";
    } catch (...) {
        std::cerr << ProgramName(Program::Console) << ": unexpected error\n";
    }
    return 1;
}
