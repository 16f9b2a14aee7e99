#include "Harnesses.h"

#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/missions/MissionUses.h"
#include "core/missions/ModelFile.h"
#include "core/missions/TagFile.h"
#include "support/ScriptedQuestions.h"
#include "support/TempDir.h"

namespace lw::fuzz {

void CheckTagFile(std::string_view input)
{
    // Every read the reader makes is counted: a size or count it believed
    // would show as more bytes read than a few passes over the file.
    uint64_t read = 0;
    TagSource bytes = TagSource::FromBytes(input);
    TagSource counted;
    counted.size = bytes.size;
    counted.read = [&](uint64_t off, void* buf, size_t n) {
        read += n;
        return bytes.read(off, buf, n);
    };
    try {
        const TagFile file(counted);
        for (const TagChunk& c : file.Chunks())
            Expect(c.offset + 24 + c.size <= input.size(), "chunk " + c.name + " reaches past the file");
        const MissionUses uses = ReadMissionUses(file);
        for (const UsedName& u : uses.names)
            Expect(IsPlainRelativeName(u.name), "a used name that is no plain relative path: " + u.name);
        Expect(uses.gamesys.empty() || IsPlainRelativeName(uses.gamesys), "a gamesys name that leaves the FM");
    } catch (const TagFileError&) { // damage, said as such
    }
    Expect(read <= 32 * uint64_t(input.size()) + 4096,
           std::to_string(read) + " bytes read from a file of " + std::to_string(input.size()));

    try {
        Expect(ReadModelTextures(input).size() <= 255, "more textures than a model's table holds");
    } catch (const Error&) {
    }

    // The same bytes as a FM's mission, gamesys and model, through the
    // check: findings, never an exception, and nothing to add from
    // outside the FM folder.
    static const test::TempDir dir;
    static const bool laid = [] {
        dir.write("fm/thief2.exe");
        dir.write("fm/fm.lst", "miss1.mis\r\n");
        dir.write("fm/fam/core/stone.pcx");
        dir.write("fm/books/parch/book.pcx");
        return true;
    }();
    (void)laid;
    dir.write("fm/miss1.mis", std::string(input));
    dir.write("fm/dark.gam", std::string(input));
    dir.write("fm/obj/lamp.bin", std::string(input));
    Project project;
    test::ScriptedQuestions questions;
    if (!project.Open(dir / "fm/fm.lst", questions)) return;
    for (const Finding& f : CheckProject(project))
        Expect(f.add.empty() || IsPlainRelativeName(f.add), "a file to add from outside the FM: " + f.add);
}

} // namespace lw::fuzz
