// Reads and writes a 5 MB RTF of 20,000 formatted paragraphs and prints the
// times. Goal: under a second each.
#include "editor/RichDocument.h"
#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

std::string makeDocument(int paragraphs)
{
    std::string s = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                    "{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fmodern\\fcharset238 Courier New CE;}}\r\n"
                    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;}\r\n"
                    "\\viewkind4\\uc1\\pard\\f0\\fs20\r\n";
    for (int p = 0; p < paragraphs; ++p) {
        s += (p % 3 == 0) ? "\\pard\\qc " : (p % 3 == 1) ? "\\pard\\qj " : "\\pard ";
        s += "Paragraph " + std::to_string(p) + " of the mission briefing: ";
        s += "{\\b the guard patrols} the {\\i courtyard} at night, {\\ul\\cf1 watch out} for the ";
        s += "{\\f1\\fs28 lanterns} near the gate. Na\\'efve caf\\'e9 \\u8364? {\\f2 \\'9a\\'e8\\'ed} ";
        s += "{\\strike old text}{\\highlight2 marked} and {\\cf3\\b\\i blue bold italic} words ";
        s += "to fill the line with some more plain text so that it reaches a realistic length.\\par\r\n";
    }
    s += "}\r\n";
    return s;
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main()
{
    const std::string rtf = makeDocument(20000);
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
