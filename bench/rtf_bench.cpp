// Reads and writes a 5 MB RTF of 20,000 formatted paragraphs and prints the
// times. Goal: under a second each.
#include "core/richtext/RichDocument.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "rtf_bench_document.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main()
{
    const std::string rtf = lw::bench::MakeRtfDocument(20000);
    double bestRead = 1e9, bestWrite = 1e9;
    size_t paragraphs = 0, written = 0;
    for (int round = 0; round < 3; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        auto doc = lw::ReadRtf(rtf);
        const auto t1 = std::chrono::steady_clock::now();
        const std::string out = lw::WriteRtf(*doc);
        const auto t2 = std::chrono::steady_clock::now();
        bestRead = std::min(bestRead, seconds(t0, t1));
        bestWrite = std::min(bestWrite, seconds(t1, t2));
        paragraphs = doc->paragraphs.size();
        written = out.size();
    }
    std::printf("input %.2f MB, %zu paragraphs\n", rtf.size() / 1e6, paragraphs);
    std::printf("read  %.3f s (goal < 1 s)\n", bestRead);
    std::printf("write %.3f s (goal < 1 s), %.2f MB\n", bestWrite, written / 1e6);
    return bestRead < 1.0 && bestWrite < 1.0 ? 0 : 1;
}
