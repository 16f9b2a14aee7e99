#include "core/cli/CommandLine.h"

#include "base/StrUtils.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Packaging.h"
#include "core/richtext/InfoConvert.h"

#include <ostream>

namespace lw {

namespace {

const char* const kModes = "       %1 --pack LISTFILE [--output ZIPFILE] [--force] [GAME OPTIONS]\n"
                           "       %1 --check LISTFILE [--json] [GAME OPTIONS]\n"
                           "       %1 --convert INPUT OUTPUT\n";

const char* const kOptions = "  --pack LISTFILE          write the string files and pack every listed file,\n"
                             "                           asking nothing; the archive is the FM directory's\n"
                             "                           short name + \".zip\" unless --output names it\n"
                             "  --output ZIPFILE         where --pack writes the archive\n"
                             "  --force                  pack even when the check finds errors\n"
                             "  --check LISTFILE         check the FM before it ships: missing, forgotten and\n"
                             "                           unpackable files, the mission chain, the names and\n"
                             "                           the info file; one finding a line; exit 0 without\n"
                             "                           errors, 1 with errors, 2 when the list cannot be read\n"
                             "  --json                   with --check: one JSON object a finding\n"
                             "  --game thief1|thief2|t2x with --pack or --check: the game the FM is for,\n"
                             "                           whatever the list, the folder or the missions say\n"
                             "  --game-dir DIR           with --pack or --check: the game's folder, whose .crf\n"
                             "                           archives hold the resources the FM need not ship;\n"
                             "                           else looked for at the FM folder and up to two\n"
                             "                           folders above it\n"
                             "  --convert INPUT OUTPUT   turn an info file into plain text (OUTPUT ends in\n"
                             "                           .txt) or RTF (any other name); \"-\" as OUTPUT writes\n"
                             "                           the text to standard output\n";

std::string replaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

} // namespace

const char* ProgramName(Program program)
{
    return program == Program::Window ? "lanternwright" : "lanternwright-cli";
}

std::string UsageText(Program program)
{
    const std::string name = ProgramName(program);
    std::string text = "Usage: ";
    if (program == Program::Window) {
        text += name + " [LISTFILE]\n" + replaceAll(kModes, "%1", name);
    } else {
        std::string modes = replaceAll(kModes, "%1", name);
        text += modes.substr(modes.find(name)); // the first mode on the "Usage:" line
    }
    text += "Packages a Thief fan mission: keeps its file list, mission names and flags,\n"
            "writes the game's string files and packs everything into one zip archive.\n"
            "\n";
    if (program == Program::Window) text += "  LISTFILE                 open this list file (.lst) in the window\n";
    text += kOptions;
    if (program == Program::Window)
        text += "  --                       what follows is a list file, even if it starts with -\n";
    text += "  --help                   show this help and exit\n"
            "  --version                show the version and exit\n";
    return text;
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, Program program, std::ostream& err)
{
    const std::string name = ProgramName(program);
    CommandLine line;
    bool optionsEnded = false; // after "--" a list file may start with "-"
    auto fail = [&](const std::string& reason) {
        err << name << ": " << reason << "\n";
        return std::nullopt;
    };
    const size_t count = args.size();
    for (size_t i = 1; i < count; ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= count) return false;
            into = args[++i];
            return true;
        };
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!optionsEnded && arg == "--" && program == Program::Window) {
            optionsEnded = true;
        } else if (!isOption) {
            if (program == Program::Console) return fail("unexpected argument " + arg + " (see --help)");
            if (!line.listFile.empty()) return fail("only one list file can be opened");
            line.listFile = arg;
        } else if (arg == "--pack") {
            if (line.pack) return fail(arg + " is given twice (see --help)");
            line.pack = true;
            if (!value(line.packList)) return fail(arg + " needs a value (see --help)");
        } else if (arg == "--check") {
            if (line.check) return fail(arg + " is given twice (see --help)");
            line.check = true;
            if (!value(line.checkList)) return fail(arg + " needs a value (see --help)");
        } else if (arg == "--json") {
            line.json = true;
        } else if (arg == "--game") {
            std::string game;
            if (!value(game)) return fail(arg + " needs a value (see --help)");
            const char* const names[GameCount] = {"thief1", "thief2", "t2x"};
            line.game = -1;
            for (int g = 0; g < GameCount; ++g)
                if (EqualsNoCase(game, names[g])) line.game = g;
            if (line.game < 0) return fail("--game takes thief1, thief2 or t2x, not " + game);
        } else if (arg == "--game-dir") {
            if (!value(line.gameDir)) return fail(arg + " needs a value (see --help)");
        } else if (arg == "--force") {
            line.force = true;
        } else if (arg == "--output" || arg == "-o") {
            if (!line.output.empty()) return fail(arg + " is given twice (see --help)");
            if (!value(line.output)) return fail(arg + " needs a value (see --help)");
        } else if (arg == "--convert") {
            if (line.convert) return fail(arg + " is given twice (see --help)");
            line.convert = true;
            if (!value(line.convertIn) || !value(line.convertOut)) return fail(arg + " needs a value (see --help)");
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else {
            return fail("unknown option " + arg + " (see --help)");
        }
    }
    if (line.help || line.version) return line;
    // What a mode would not use is a mistake to point out, not to pass over.
    const int modes = int(line.pack) + int(line.check) + int(line.convert);
    if (modes > 1) return fail("--pack, --check and --convert cannot go together (see --help)");
    if (modes > 0 && !line.listFile.empty()) return fail("unexpected argument " + line.listFile + " (see --help)");
    if (line.json && !line.check) return fail("--json goes with --check (see --help)");
    if (line.force && !line.pack) return fail("--force goes with --pack (see --help)");
    if (!line.output.empty() && !line.pack) return fail("--output goes with --pack (see --help)");
    if (line.game >= 0 && !line.pack && !line.check) return fail("--game goes with --pack or --check (see --help)");
    if (!line.gameDir.empty() && !line.pack && !line.check)
        return fail("--game-dir goes with --pack or --check (see --help)");
    if (modes > 0) return line;
    if (program == Program::Console) return fail("nothing to do (see --help)");
    return line;
}

int RunHeadless(const CommandLine& line, Program program, const char* version, std::ostream& out, std::ostream& err,
                bool showProgress)
{
    if (line.help) {
        out << UsageText(program);
        return 0;
    }
    if (line.version) {
        out << ProgramName(program) << " " << version << "\n";
        return 0;
    }
    if (line.convert) return ConvertInfoFile(line.convertIn, line.convertOut, out, err);
    const GameChoice game{line.game, line.gameDir};
    if (line.check) return RunCheck(line.checkList, line.json, out, err, game);
    if (line.pack) return RunPack(line.packList, line.output, out, err, showProgress, line.force, game);
    return 2;
}

} // namespace lw
