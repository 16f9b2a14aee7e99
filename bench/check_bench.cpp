// The check on a large FM: 20,000 small files in 40 resource folders, a
// list that names them all (a third in another letter case, as lists
// written on Windows do), and a few hundred files the list forgot. Prints
// the time to open the list and the time of the check.
#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/questions/NoQuestions.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "lw-check-bench";
    const int files = argc > 2 ? std::atoi(argv[2]) : 20000;
    const char* folders[] = {"fam", "obj", "mesh", "bitmap", "snd", "song", "books", "intrface"};
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "thief2.exe") << "x";
    std::ofstream list(root / "big.lst", std::ios::binary);
    std::ofstream(root / "miss1.mis") << "m";
    list << "miss1.mis\r\n";
    const std::string block(256, 'b');
    for (int i = 0; i < files + files / 50; ++i) {
        const int folder = i % 40;
        const std::string dir = std::string(folders[folder % 8]) + "/set" + std::to_string(folder);
        const std::string name = "file" + std::to_string(i) + ".bin";
        fs::create_directories(root / dir);
        std::ofstream(root / dir / name, std::ios::binary) << block;
        if (i >= files) continue; // forgotten
        std::string entry = dir + "\\" + name;
        for (char& c : entry)
            if (c == '/') c = '\\';
        if (i % 3 == 0)
            for (char& c : entry) c = char(std::toupper(static_cast<unsigned char>(c)));
        list << entry << "\r\n";
    }
    list.close();

    lw::Project project;
    lw::NoQuestions none(1, &std::cerr);
    auto start = Clock::now();
    if (!project.Open((root / "big.lst").string(), none)) return 1;
    const double open = secondsSince(start);
    start = Clock::now();
    const std::vector<lw::Finding> findings = lw::CheckProject(project);
    const double check = secondsSince(start);
    std::printf("%zu listed files: open %.3f s, check %.3f s, %zu findings\n", project.Files.size(), open, check,
                findings.size());
    for (size_t i = 0; i < findings.size() && i < 5; ++i) std::printf("  %s\n", lw::FindingLine(findings[i]).c_str());
    fs::remove_all(root);
    return 0;
}
