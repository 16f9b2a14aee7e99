// Reads RTF files of many short runs inside one hyperlink field, each run
// in a long-named font, and prints the time and the process's peak memory.
// Goal: 2 MB of input read in under a second, the peak under 64 times the
// input.
#include "core/richtext/RichDocument.h"
#include "core/richtext/RtfReader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

std::string makeRtf(size_t bytes)
{
    std::string rtf = "{\\rtf1{\\fonttbl{\\f1 " + std::string(250, 'N') +
                      ";}}\\f1{\\field{\\*\\fldinst HYPERLINK \"https://example.org/" + std::string(4000, 'L') +
                      "\"}{\\fldrslt ";
    while (rtf.size() < bytes) rtf += "\\b a\\b0 a";
    return rtf + "}}}";
}

long peakKb()
{
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Reads one file of mb megabytes in this process; true when both goals hold.
bool measure(size_t mb)
{
    const std::string rtf = makeRtf(mb << 20);
    const long before = peakKb();
    const auto t0 = std::chrono::steady_clock::now();
    const auto doc = lw::ReadRtf(rtf);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double grownMb = double(peakKb() - before) / 1024;
    size_t runs = 0;
    for (const auto& p : doc->paragraphs) runs += p.runs.size();
    std::printf("%zu MB, %zu runs: read %.3f s (goal < 1 s), peak grew %.1f MB (goal < %zu MB)\n", mb, runs, s, grownMb,
                64 * mb);
    std::fflush(stdout);
    return s < 1.0 && grownMb < 64.0 * double(mb);
}

} // namespace

// Each size is read by a process of its own (this program, started again
// with --one), so each peak is its own.
int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--one") return measure(std::stoul(argv[2])) ? 0 : 1;
    const std::string self = std::string("'") + argv[0] + "'";
    const bool one = std::system((self + " --one 1").c_str()) == 0;
    const bool two = std::system((self + " --one 2").c_str()) == 0;
    return one && two ? 0 : 1;
}
