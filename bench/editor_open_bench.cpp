// Opens a large info file in the editor window, as Info and Edit File do:
// one million short paragraphs (about 6 MB of RTF), then the same as plain
// text. Prints the time of each open, the paragraphs shown and the
// process's peak memory, against the goal of under 3 s for the RTF.
// Runs on the offscreen platform when no display is set.
//   build/bin/editor_open_bench [paragraphs]
#include "core/richtext/RtfReader.h"
#include "gui/editor/Editor.h"
#include "gui/editor/OLERichEdit.h"
#include "gui/main/QtQuestions.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Short paragraphs as an author's list of objectives or credits runs:
// mostly plain, a bold one every tenth.
std::string millionParagraphs(int paragraphs, bool rtf)
{
    std::string s = rtf ? "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs20 " : "";
    for (int p = 0; p < paragraphs; ++p) {
        const std::string n = std::to_string(p % 10);
        if (rtf) s += (p % 10 == 0 ? "{\\b " + n + "}" : n) + "\\par\n";
        else
            s += n + "\r\n";
    }
    if (rtf) s += "}";
    return s;
}

// Processor time of the process so far: on a busy machine the wall time
// says little.
double cpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

double peakMb()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int paragraphs = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    int failed = 0;
    for (const bool rtf : {true, false}) {
        const std::string bytes = millionParagraphs(paragraphs, rtf);
        const QString path = dir.filePath(rtf ? QStringLiteral("big.rtf") : QStringLiteral("big.txt"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            return 2;
        file.close();
        if (rtf) {
            // The reader alone, handing each paragraph on as the control takes it:
            // what of the open is not the text control's.
            const auto r0 = std::chrono::steady_clock::now();
            int seen = 0;
            lw::ReadRtf(bytes, {}, [&](const lw::Paragraph&, const lw::RichDocument&, bool) { ++seen; });
            std::printf("RTF reader alone: %d paragraphs, %.2f s\n", seen,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - r0).count());
        }
        lw::QtQuestions questions;
        lw::TEditorForm editor(questions);
        const double c0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        editor.LoadFile(path);
        const double cpu = cpuSeconds() - c0;
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const auto* text = editor.findChild<lw::TOLEEdit*>();
        std::printf("%s: %.2f MB, %d paragraphs shown, open %.2f s (processor %.2f s), peak %.0f MB%s\n",
                    rtf ? "RTF " : "text", bytes.size() / 1048576.0, text ? text->document()->blockCount() : -1, secs,
                    cpu, peakMb(), rtf && secs >= 3 ? "  (goal: under 3 s)" : "");
        if (rtf && secs >= 3) failed = 1;
    }
    return failed;
}
