#include "Harnesses.h"

#include "base/Errors.h"
#include "base/StrUtils.h"
#include "core/fm/ListFile.h"
#include "core/fm/Project.h"
#include "core/text/CfgFiles.h"
#include "core/text/TextCodec.h"
#include "core/zip/ZipArch.h"
#include "support/ScriptedQuestions.h"
#include "support/TempDir.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace lw::fuzz {

namespace {

// The lines a string file holds: up to the first Ctrl-Z, each ended by
// CR LF, CR or LF; text after the last line end is a line too.
size_t stringFileLines(std::string_view data)
{
    // A byte-order mark says the file is UTF-8; it is no text of a line.
    if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);
    data = data.substr(0, data.find('\x1A'));
    size_t lines = 0, i = 0;
    bool open = false;
    while (i < data.size()) {
        const char c = data[i++];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i < data.size() && data[i] == '\n') ++i;
            ++lines;
            open = false;
        } else {
            open = true;
        }
    }
    return lines + (open ? 1 : 0);
}

} // namespace

void CheckStringFile(std::string_view input)
{
    // The file is reached through a symbolic link, as authors who share a
    // strings folder between missions have it; directly where the system
    // lets no test make links.
    static const test::TempDir dir;
    static const bool linked = dir.SymlinksWork();
    static const std::string link = [] {
        fs::create_directories(dir.path() / "real");
        if (!linked) return dir / "real/titles.str";
        fs::create_symlink("real/titles.str", dir.path() / "titles.str");
        return dir / "titles.str";
    }();
    dir.write("real/titles.str", std::string(input));

    TCfgFile file = TCfgFile::StringFile(link);
    std::vector<TCfgFile::Entry> expected = file.Lines();
    Expect(expected.size() == stringFileLines(input), "read " + std::to_string(expected.size()) + " entries from " +
                                                          std::to_string(stringFileLines(input)) + " lines");

    // Which key and what value follow from the input, so both new and
    // existing keys are written; values as the program gives them hold no
    // control characters.
    const std::string key = "title_" + std::to_string(input.size() % 3);
    std::string value;
    for (char c : input.substr(0, 24))
        if (static_cast<unsigned char>(c) >= 0x20) value += c;
    bool found = false;
    for (TCfgFile::Entry& e : expected)
        if (!found && !e.key.empty() && EqualsNoCase(e.key, key)) {
            e.value = value;
            found = true;
        }
    // A key the file gains goes after every line, then a blank line; a
    // value changed in place adds nothing.
    if (!found) {
        expected.push_back(TCfgFile::Entry{});
        expected.back().key = key;
        expected.back().value = value;
        expected.push_back(TCfgFile::Entry{});
    }

    file.WriteString(key, value);
    const bool stillALink = !linked || fs::is_symlink(lw::platform::PathFromUtf8(link));
    const std::string saved = dir.read("real/titles.str");

    TCfgFile again = TCfgFile::StringFile(link);
    const auto& lines = again.Lines();
    auto shown = [](const std::string& v) {
        std::string out;
        for (const unsigned char c : v) {
            char hex[8];
            std::snprintf(hex, sizeof hex, c < 0x20 || c >= 0x7F ? "\\x%02X" : "%c", c);
            out += hex;
        }
        return out;
    };
    Expect(lines.size() == expected.size(),
           "saved " + std::to_string(expected.size()) + " entries, read back " + std::to_string(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        // A line the save did not write keeps its bytes, a NUL among them.
        Expect(lines[i].key == expected[i].key && lines[i].value == expected[i].value,
               "entry " + std::to_string(i) + " changed in the save: " + shown(lines[i].value) + " instead of " +
                   shown(expected[i].value));
    }
    // Untouched lines keep the bytes the first save gave them.
    again.WriteString(key, value);
    Expect(dir.read("real/titles.str") == saved, "a second save changed lines nobody wrote");
    Expect(stillALink, "the save replaced the symbolic link");
}

void CheckListFile(std::string_view input)
{
    static const test::TempDir dir;
    static const bool laid = [] {
        dir.write("thief2.exe");
        dir.write("fminfo.txt", "info");
        dir.write("miss1.mis");
        dir.write("miss2.mis");
        dir.write("strings/missflag.str", "miss_1:\"no_briefing\"\r\nmiss_2:\"end\"\r\n");
        dir.write("strings/english/titles.str", "title_0:\"Bell\"\r\ntitle_1:\"One\"\r\n");
        return true;
    }();
    (void)laid;
    const std::string list = dir.write("fuzz.lst", std::string(input));

    std::vector<std::string> lines;
    try {
        lines = ReadListFile(list);
    } catch (const Error&) {
        return; // too large to be a list file
    }
    WriteListFile(dir / "saved.lst", lines);
    Expect(ReadListFile(dir / "saved.lst") == lines, "a saved list file reads back as other lines");

    Project project;
    test::ScriptedQuestions questions; // asked for a folder or a game, it cancels
    try {
        project.Open(list, questions);
    } catch (const Error&) {
        return; // a message for the user, as the window shows it
    }
    for (const std::string& entry : project.Files)
        Expect(entry.find('\0') == std::string::npos, "a listed path with a NUL reached the file list");
}

void CheckZipDirectory(std::string_view input)
{
    static const test::TempDir dir;
    const std::string zip = dir.write("fuzz.zip", std::string(input));
    TZipArchiver archiver;
    archiver.SetUnattended(true);
    archiver.SetZipFileName(zip);
    // Every entry takes at least a 46-byte header of the directory, which
    // lies inside the file.
    Expect(uint64_t(archiver.Count() + archiver.DirOnlyCount()) * 46 <= input.size(),
           std::to_string(archiver.Count()) + " entries from " + std::to_string(input.size()) + " bytes");
    for (const ZipDirEntry& e : archiver.DirEntries())
        Expect(IsValidUtf8(e.EntryName), "an entry name that is not UTF-8");
}

} // namespace lw::fuzz
