// Loads the benchmark RTF into the rich text control and saves it again,
// printing the times: what the editor window costs on top of the reader
// and the writer. Runs on the offscreen platform when no display is set.
#include "gui/editor/RichEdit2.h"
#include "rtf_bench_document.h"

#include <QApplication>
#include <QBuffer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::string rtf = lw::bench::MakeRtfDocument(20000);
    QByteArray in(rtf.data(), qsizetype(rtf.size()));
    lw::TRichEdit2 edit;
    double bestLoad = 1e9, bestSave = 1e9;
    QByteArray out;
    for (int round = 0; round < 3; ++round) {
        QBuffer source(&in);
        source.open(QIODevice::ReadOnly);
        const auto t0 = std::chrono::steady_clock::now();
        edit.Lines().LoadFromStream(source);
        const auto t1 = std::chrono::steady_clock::now();
        out.clear();
        QBuffer target(&out);
        target.open(QIODevice::WriteOnly);
        edit.Lines().SaveToStream(target);
        const auto t2 = std::chrono::steady_clock::now();
        bestLoad = std::min(bestLoad, std::chrono::duration<double>(t1 - t0).count());
        bestSave = std::min(bestSave, std::chrono::duration<double>(t2 - t1).count());
    }
    std::printf("input %.2f MB, %d paragraphs in the control\n", rtf.size() / 1e6, edit.document()->blockCount());
    std::printf("control load %.3f s\ncontrol save %.3f s, %.2f MB\n", bestLoad, bestSave, out.size() / 1e6);
    return 0;
}
