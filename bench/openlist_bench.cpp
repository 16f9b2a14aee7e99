// openlist_bench LISTFILE...: opens each list file as the main window's Open
// does, through the project code and then in the window itself (file list
// filled, project shown), and prints the best of three times for each.
// Runs on the offscreen platform when no display is set.
#include "core/fm/Project.h"
#include "gui/main/FMmain.h"
#include "gui/main/QtQuestions.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: openlist_bench LISTFILE...\n");
        return 2;
    }
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int rc = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string list = std::filesystem::absolute(argv[i]).string();
        double core = 1e9, window = 1e9;
        size_t files = 0;
        for (int round = 0; round < 3; ++round) {
            {
                lw::Project project;
                lw::QtQuestions questions; // a list whose files are all there asks nothing
                const auto t0 = std::chrono::steady_clock::now();
                const bool ok = project.Open(list, questions);
                core = std::min(core, seconds(std::chrono::steady_clock::now() - t0));
                files = project.Files.size();
                if (!ok) rc = 1;
            }
            {
                lw::Project project;
                lw::QtQuestions questions;
                lw::TMainForm form(questions, project);
                const auto t0 = std::chrono::steady_clock::now();
                if (!form.OpenListFile(QString::fromStdString(list))) rc = 1;
                window = std::min(window, seconds(std::chrono::steady_clock::now() - t0));
            }
        }
        std::printf("%s: %zu files; project open %.3f s, window open %.3f s (target < 1 s)\n", argv[i], files, core,
                    window);
    }
    return rc;
}
