// The check of what the missions use, on missions of 12 MB with a gamesys
// of 1.5 MB: one such mission, then an FM of ten, below a game folder whose
// .crf archives hold 20,000 names each. Prints the time of the open and
// the check (best of three) and the peak memory of the process that ran
// them, against the largest file it read; then the time to read one
// archive's 20,000 names and to look names up in it.
// Goals: each check under one second; the peak under the largest file
// read plus a small constant. The missions are made from the shared
// corpus's test_crossfade (../shared/mis-corpus, or the folder given), or
// by the test helper when the corpus is not there.
//
//   build-bench/bin/mission_bench [CORPUS_DIR]
#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/missions/GameResources.h"
#include "core/missions/MissionUses.h"
#include "core/missions/TagFile.h"
#include "core/questions/NoQuestions.h"
#include "platform/File.h"
#include "support/TagFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace lw;

namespace {

constexpr size_t kMission = 12u << 20, kGamesys = 1536u << 10, kArchiveNames = 20000;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

long peakKb()
{
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const std::string& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// A tag file with every chunk of from and a chunk of padding, size bytes in all.
std::string grown(const std::string& from, size_t size)
{
    const TagFile file(TagSource::FromBytes(from));
    test::TagFileWriter w;
    for (const TagChunk& c : file.Chunks()) w.Chunk(c.name, file.Read(c.name));
    const size_t have = w.Bytes().size();
    if (have + 44 < size) w.Chunk("PADDING", std::string(size - have - 44, '\x5A'));
    return w.Bytes();
}

// The mission and gamesys: the corpus's, grown; else made up.
std::pair<std::string, std::string> missionAndGamesys(const fs::path& corpus)
{
    const fs::path dir = corpus / "test_crossfade";
    if (fs::exists(dir / "test_crossfade.mis") && fs::exists(dir / "test_crossfade.gam")) {
        std::printf("missions from %s\n", platform::Utf8Of(dir).c_str());
        return {grown(readFile(dir / "test_crossfade.mis"), kMission),
                grown(readFile(dir / "test_crossfade.gam"), kGamesys)};
    }
    std::printf("no corpus at %s: missions made up\n", platform::Utf8Of(corpus).c_str());
    test::MissionSpec m;
    m.gamesys = "test_crossfade.gam";
    for (int i = 0; i < 60; ++i) m.textures.push_back("fam\\city\\tex" + std::to_string(i));
    for (int i = 0; i < 40; ++i) m.models.push_back({i + 1, "model" + std::to_string(i)});
    m.scripts = {"gen", "squirrel"};
    m.padding = std::string(kMission, '\x5A');
    test::MissionSpec g;
    g.gamesys.clear();
    for (int i = 0; i < 1500; ++i) g.models.push_back({-i - 1, "stock" + std::to_string(i)});
    g.padding = std::string(kGamesys, '\x5A');
    return {test::MissionBytes(m), test::MissionBytes(g)};
}

// The game's archives hold what the missions and gamesys name, and filler
// up to 20,000 names each.
void layGame(const fs::path& game, const std::string& mission, const std::string& gamesys)
{
    writeFile(game / "install.cfg", "resname_base .\\RES\r\n");
    std::map<std::string, std::vector<std::string>> archives;
    for (const std::string* bytes : {&mission, &gamesys}) {
        for (const UsedName& u : ReadMissionUses(TagFile(TagSource::FromBytes(*bytes))).names) {
            std::string name = u.name;
            for (char& c : name)
                if (c == '\\') c = '/';
            const size_t cut = name.find('/');
            switch (u.kind) {
            case UseKind::Texture:
            case UseKind::ObjectTexture: archives[name.substr(0, cut)].push_back(name.substr(cut + 1) + ".pcx"); break;
            case UseKind::Model:
                archives["obj"].push_back(name + ".bin");
                archives["mesh"].push_back(name + ".bin");
                break;
            case UseKind::MeshTexture: archives["mesh"].push_back("txt16/" + name); break;
            case UseKind::Book: archives["books"].push_back("english/" + name + ".str"); break;
            case UseKind::BookArt: archives["books"].push_back(name + "/book.pcx"); break;
            case UseKind::ScriptModule:
            case UseKind::Gamesys: writeFile(game / u.name, "x"); break;
            }
        }
    }
    for (const char* folder : {"fam", "obj", "mesh", "books"}) {
        std::vector<std::string>& names = archives[folder];
        for (size_t i = names.size(); i < kArchiveNames; ++i) names.push_back("filler/f" + std::to_string(i) + ".pcx");
        writeFile(game / "RES" / (std::string(folder) + ".crf"), test::CrfBytes(names));
    }
}

void layFM(const fs::path& fm, int missions, const std::string& mission, const std::string& gamesys)
{
    std::string list;
    for (int n = 1; n <= missions; ++n) {
        writeFile(fm / ("miss" + std::to_string(n) + ".mis"), mission);
        list += "miss" + std::to_string(n) + ".mis\r\n";
    }
    writeFile(fm / "test_crossfade.gam", gamesys);
    writeFile(fm / "fm.lst", list + "test_crossfade.gam\r\n");
}

// In a process of its own: open and check, best of three, and the peak.
int checkOne(const std::string& list)
{
    const long before = peakKb();
    double best = 1e9;
    size_t findings = 0, errors = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        Project p;
        NoQuestions q(-1, &std::cerr);
        if (!p.Open(list, q)) return 2;
        const std::vector<Finding> found = CheckProject(p);
        best = std::min(best, secondsSince(t0));
        findings = found.size();
        errors = size_t(CountOf(found, Severity::Error));
        if (run == 0)
            for (const Finding& f : found)
                if (f.severity == Severity::Error) std::printf("    %s\n", FindingLine(f).c_str());
    }
    std::printf("  open and check: %.3f s (goal < 1 s), %zu findings, %zu errors; peak %.1f MB, grew %.1f MB "
                "(the largest file read: %.1f MB)\n",
                best, findings, errors, double(peakKb()) / 1024, double(peakKb() - before) / 1024,
                double(kMission) / (1 << 20));
    return best < 1.0 ? 0 : 1;
}

int archiveLookups(const fs::path& game)
{
    auto t0 = Clock::now();
    GameResources res(game);
    const bool held = res.Holds("obj", "filler\\f19999", {".pcx"}) == Held::Yes;
    const double first = secondsSince(t0);
    t0 = Clock::now();
    size_t found = 0;
    for (int i = 0; i < 100000; ++i)
        found += res.Holds("obj", "filler\\f" + std::to_string(i % 40000), {".png", ".pcx"}) == Held::Yes;
    std::printf("  obj.crf of %zu names: found and read in %.3f s (%s); 100,000 lookups in %.3f s (%zu held)\n",
                kArchiveNames, first, held ? "the last name held" : "NOT HELD", secondsSince(t0), found);
    return held ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--check") return checkOne(argv[2]);
    fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(LW_SOURCE_DIR) / ".." / "shared" / "mis-corpus";
    if (argc == 1 && !fs::exists(corpus)) corpus = fs::path(LW_SOURCE_DIR) / ".." / ".." / "shared" / "mis-corpus";
    const fs::path root = fs::temp_directory_path() / ("lw-mission-bench-" + std::to_string(::getpid()));
    const auto [mission, gamesys] = missionAndGamesys(corpus);
    std::printf("a mission of %.1f MB, a gamesys of %.1f MB\n", double(mission.size()) / (1 << 20),
                double(gamesys.size()) / (1 << 20));
    const fs::path game = root / "Thief2";
    layGame(game, mission, gamesys);
    layFM(game / "FMs" / "one", 1, mission, gamesys);
    layFM(game / "FMs" / "ten", 10, mission, gamesys);

    const std::string self = std::string("'") + argv[0] + "'";
    int failed = 0;
    for (const char* fm : {"one", "ten"}) {
        std::printf("%s:\n", fm == std::string("one") ? "one mission" : "ten missions");
        std::fflush(stdout);
        failed +=
            std::system((self + " --check '" + platform::Utf8Of(game / "FMs" / fm / "fm.lst") + "'").c_str()) != 0;
    }
    failed += archiveLookups(game);
    std::error_code ec;
    fs::remove_all(root, ec);
    return failed ? 1 : 0;
}
