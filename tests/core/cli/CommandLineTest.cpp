#include "core/cli/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

using namespace lw;

namespace {

auto fields(const CommandLine& l)
{
    return std::tie(l.listFile, l.packList, l.checkList, l.output, l.convertIn, l.convertOut, l.pack, l.check,
                    l.convert, l.json, l.force, l.help, l.version);
}

constexpr Program W = Program::Window, C = Program::Console;

struct Case {
    std::vector<Program> programs;
    std::vector<std::string> args; // after the program's name
    CommandLine want;              // when the line is taken
    std::string reason = {};       // else: the one line on err, after "<program>: "
};

} // namespace

// Both programs take the same modes with the same values and refuse the
// same mistakes; only the window program opens a list file.
TEST(CommandLine, ParsesBothPrograms)
{
    const std::vector<Case> cases = {
        {{W}, {}, {}},
        {{W}, {"bell.lst"}, {.listFile = "bell.lst"}},
        {{W}, {"--", "-odd.lst"}, {.listFile = "-odd.lst"}},
        {{W}, {"a.lst", "b.lst"}, {}, "only one list file can be opened"},
        {{C}, {}, {}, "nothing to do (see --help)"},
        {{C}, {"bell.lst"}, {}, "unexpected argument bell.lst (see --help)"},
        {{C}, {"--", "bell.lst"}, {}, "unknown option -- (see --help)"},
        {{W, C},
         {"--pack", "Fässer 夜.lst", "--output", "out.zip", "--force"},
         {.packList = "Fässer 夜.lst", .output = "out.zip", .pack = true, .force = true}},
        {{W, C}, {"--pack", "a.lst", "-o", "-"}, {.packList = "a.lst", .output = "-", .pack = true}},
        {{W, C}, {"--check", "a.lst", "--json"}, {.checkList = "a.lst", .check = true, .json = true}},
        {{W, C}, {"--convert", "in.rtf", "-"}, {.convertIn = "in.rtf", .convertOut = "-", .convert = true}},
        {{W, C}, {"--help"}, {.help = true}},
        {{W, C}, {"-h"}, {.help = true}},
        {{W, C}, {"--version"}, {.version = true}},
        {{W, C}, {"--pack"}, {}, "--pack needs a value (see --help)"},
        {{W, C}, {"--convert", "in.rtf"}, {}, "--convert needs a value (see --help)"},
        {{W, C}, {"--check", "a.lst", "--output"}, {}, "--output needs a value (see --help)"},
        {{W, C}, {"--json"}, {}, "--json goes with --check (see --help)"},
        {{W, C}, {"--force"}, {}, "--force goes with --pack (see --help)"},
        {{W, C}, {"-o", "x.zip"}, {}, "--output goes with --pack (see --help)"},
        {{W, C}, {"--frobnicate"}, {}, "unknown option --frobnicate (see --help)"},
    };
    for (const Case& c : cases) {
        for (const Program program : c.programs) {
            std::vector<std::string> args = {ProgramName(program)};
            args.insert(args.end(), c.args.begin(), c.args.end());
            std::ostringstream err;
            const std::optional<CommandLine> line = ParseCommandLine(args, program, err);
            const std::string where = std::string(ProgramName(program)) + " " + ::testing::PrintToString(c.args);
            if (c.reason.empty()) {
                ASSERT_TRUE(line) << where << ": " << err.str();
                EXPECT_EQ(fields(*line), fields(c.want)) << where;
                EXPECT_EQ(err.str(), "") << where;
            } else {
                EXPECT_FALSE(line) << where;
                EXPECT_EQ(err.str(), std::string(ProgramName(program)) + ": " + c.reason + "\n") << where;
            }
        }
    }
}

// Each program's help offers what it takes, and the console program's
// nothing of the window's.
TEST(CommandLine, UsageNamesWhatEachProgramTakes)
{
    const std::string window = UsageText(W), console = UsageText(C);
    for (const char* option : {"--pack LISTFILE", "--output", "--force", "--check LISTFILE", "--json",
                               "--convert INPUT OUTPUT", "--help", "--version"}) {
        EXPECT_NE(window.find(option), std::string::npos) << option;
        EXPECT_NE(console.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(console.rfind("Usage: lanternwright-cli --pack", 0), 0u) << console;
    EXPECT_NE(window.find("lanternwright [LISTFILE]"), std::string::npos) << window;
    EXPECT_EQ(console.find("[LISTFILE]"), std::string::npos) << console;
    EXPECT_EQ(console.find("\n  --  "), std::string::npos) << console;
}
