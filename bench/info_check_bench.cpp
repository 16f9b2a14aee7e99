// The check's look into a large RTF info file: an FM whose fminfo.rtf is
// MB megabytes of formatted paragraphs with a picture now and then, checked
// in a process of its own, which prints the check's time and how far the
// process's peak memory grew. Goal: the peak grows by less than 1 MB
// whatever the file's size. "model" reads the same file into the document
// model instead, as the check once did to find two lines, for comparison.
//   info_check_bench [MB] [model]        (30 MB when not given)
#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/questions/NoQuestions.h"
#include "core/richtext/InfoConvert.h"
#include "core/richtext/RichDocument.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

long peakKb()
{
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Written a paragraph at a time, so that making it costs the process no
// memory of its size.
void writeRtf(const fs::path& file, size_t bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
           "{\\colortbl;\\red200\\green0\\blue0;}\\pard Title: The Long Night\\par Author: Someone\\par ";
    const std::string paragraph = "\\pard\\sa120 {\\b A heading} and then {\\i some words}, {\\cf1 coloured} and "
                                  "\\'e9crit, a line that goes on for a while like the text of a briefing.\\par ";
    const std::string picture = "{\\pict\\pngblip\\picw64\\pich64 " + std::string(4096, 'a') + "}\\par ";
    size_t written = 0;
    for (size_t i = 0; written < bytes; ++i) {
        const std::string& piece = i % 50 == 49 ? picture : paragraph;
        out << piece;
        written += piece.size();
    }
    out << "}";
}

} // namespace

int main(int argc, char** argv)
{
    const size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 30;
    const bool model = argc > 2 && std::string(argv[2]) == "model";
    const fs::path root = fs::temp_directory_path() / "lw-info-check-bench";
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "thief2.exe") << "x";
    std::ofstream(root / "miss1.mis") << "m";
    std::ofstream(root / "bench.lst", std::ios::binary) << "miss1.mis\r\nfminfo.rtf\r\n";
    writeRtf(root / "fminfo.rtf", mb << 20);

    lw::Project project;
    lw::NoQuestions none(1);
    if (!project.Open((root / "bench.lst").string(), none)) return 1;
    const long before = peakKb();
    const auto t0 = std::chrono::steady_clock::now();
    size_t shown = 0;
    if (model) {
        std::ifstream in(root / "fminfo.rtf", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        shown = lw::PlainTextOf(lw::LoadInfoDocument(bytes)).size();
    } else {
        for (const lw::Finding& f : lw::CheckProject(project)) std::printf("  %s\n", lw::FindingLine(f).c_str());
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double grownMb = double(peakKb() - before) / 1024;
    std::printf("fminfo.rtf of %zu MB: %s in %.2f s, peak memory grew by %.1f MB\n", mb,
                model ? "read into the document model" : "checked", s, grownMb);
    if (model) std::printf("  (%zu characters of text)\n", shown);
    fs::remove_all(root);
    return model || grownMb < 1 ? 0 : 1;
}
