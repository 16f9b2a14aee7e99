// Program start: the command-line modes that need no window, then the
// windows in their order (main window, editor, new fan mission dialog).
#include "core/fm/FMUtils.h"
#include "core/fm/Packaging.h"
#include "core/fm/Project.h"
#include "core/richtext/InfoConvert.h"
#include "gui/controls/Hintctrl.h"
#include "gui/controls/Icons.h"
#include "gui/dialogs/CreateFM.h"
#include "gui/editor/Editor.h"
#include "gui/main/Application.h"
#include "gui/main/FMmain.h"
#include "gui/main/QtQuestions.h"
#include "platform/File.h"
#include "platform/Locale.h"
#include "platform/Terminal.h"

#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#ifndef LW_VERSION
#define LW_VERSION "0"
#endif

namespace {

using namespace lw;

const char* kUsage = "Usage: lanternwright [LISTFILE]\n"
                     "       lanternwright --pack LISTFILE [--output ZIPFILE] [--force]\n"
                     "       lanternwright --check LISTFILE [--json]\n"
                     "       lanternwright --convert INPUT OUTPUT\n"
                     "Packages a Thief fan mission: keeps its file list, mission names and flags,\n"
                     "writes the game's string files and packs everything into one zip archive.\n"
                     "\n"
                     "  LISTFILE                 open this list file (.lst) in the window\n"
                     "  --pack LISTFILE          write the string files and pack every listed file,\n"
                     "                           asking nothing; the archive is the FM directory's\n"
                     "                           short name + \".zip\" unless --output names it\n"
                     "  --output ZIPFILE         where --pack writes the archive\n"
                     "  --force                  pack even when the check finds errors\n"
                     "  --check LISTFILE         check the FM before it ships: missing, forgotten and\n"
                     "                           unpackable files, the mission chain, the names and\n"
                     "                           the info file; one finding a line; exit 0 without\n"
                     "                           errors, 1 with errors, 2 when the list cannot be read\n"
                     "  --json                   with --check: one JSON object a finding\n"
                     "  --convert INPUT OUTPUT   turn an info file into plain text (OUTPUT ends in\n"
                     "                           .txt) or RTF (any other name); \"-\" as OUTPUT writes\n"
                     "                           the text to standard output\n"
                     "  --                       what follows is a list file, even if it starts with -\n"
                     "  --help                   show this help and exit\n"
                     "  --version                show the version and exit\n";

int run(int argc, char** argv)
{
    std::string listFile, packList, checkList, output, convertIn, convertOut;
    bool pack = false, convert = false, check = false, json = false, force = false;
    bool optionsEnded = false; // after "--" a list file may start with "-"
    // File names among them reach the system as UTF-8 (see PathFromUtf8).
    const std::vector<std::string> args = lw::platform::Utf8Arguments(argc, argv);
    const int count = int(args.size());
    for (int i = 1; i < count; ++i) {
        const std::string arg = args[size_t(i)];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded) {
            if (!listFile.empty()) {
                std::cerr << "lanternwright: only one list file can be opened\n";
                return 2;
            }
            listFile = arg;
            continue;
        }
        auto value = [&](std::string& into) {
            if (i + 1 >= count) {
                std::cerr << "lanternwright: " << arg << " needs a value (see --help)\n";
                std::exit(2);
            }
            into = args[size_t(++i)];
        };
        if (arg == "--pack") {
            pack = true;
            value(packList);
            continue;
        }
        if (arg == "--check") {
            check = true;
            value(checkList);
            continue;
        }
        if (arg == "--json") {
            json = true;
            continue;
        }
        if (arg == "--force") {
            force = true;
            continue;
        }
        if (arg == "--output" || arg == "-o") {
            value(output);
            continue;
        }
        if (arg == "--convert") {
            convert = true;
            value(convertIn);
            value(convertOut);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "lanternwright " << LW_VERSION << "\n";
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "lanternwright: unknown option " << arg << " (see --help)\n";
            return 2;
        }
        if (!listFile.empty()) {
            std::cerr << "lanternwright: only one list file can be opened\n";
            return 2;
        }
        listFile = arg;
    }

    // The language tag ranks info files; it is known before any window.
    lw::SetUserLangTag(lw::platform::UserLangTag());

    // The command-line modes need no display.
    if (convert) return lw::ConvertInfoFile(convertIn, convertOut, std::cout, std::cerr);
    if (check) return lw::RunCheck(checkList, json, std::cout, std::cerr);
    if (pack) return lw::RunPack(packList, output, std::cout, std::cerr, lw::platform::StderrIsTerminal(), force);
    if (json) {
        std::cerr << "lanternwright: --json goes with --check (see --help)\n";
        return 2;
    }
    if (force) {
        std::cerr << "lanternwright: --force goes with --pack (see --help)\n";
        return 2;
    }
    if (!output.empty()) {
        std::cerr << "lanternwright: --output goes with --pack (see --help)\n";
        return 2;
    }

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanternwright"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lanternwright"));
    QApplication::setApplicationVersion(QStringLiteral(LW_VERSION));
    QApplication::setWindowIcon(lw::LoadIcon(QStringLiteral("lanternwright")));
    QApplication::setDesktopFileName(QStringLiteral("io.github.lanternwright.Lanternwright"));

    lw::THintController::Instance(); // before any window, as the name edits expect
    lw::Project project;
    lw::QtQuestions questions;
    lw::TMainForm mainForm(questions, project);
    questions.SetParent(&mainForm);
    // The editor's questions (save dialog, close question, pictures) belong
    // to the editor window.
    lw::QtQuestions editorQuestions;
    lw::TEditorForm editor(editorQuestions);
    editorQuestions.SetParent(&editor);
    mainForm.SetEditor(&editor);
    lw::TCreateDialog createDialog(questions, &mainForm);
    mainForm.SetCreateDialog(&createDialog);
    app.SetErrorHandler([&questions](const std::string& text) {
        questions.ShowMessage(lw::MessageKind::Error, "Lanternwright", text);
    });

    mainForm.show();
    if (!listFile.empty()) mainForm.OpenListFile(QFileInfo(QString::fromStdString(listFile)).absoluteFilePath());
    const int rc = app.exec();
    lw::SetUserLangTag({});
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    platform::WritesPastTheSizeLimitFail();
    // Every window guards its commands and the application its event
    // handlers; this is for what happens outside the event loop.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "lanternwright: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "lanternwright: unexpected error\n";
    }
    return 1;
}
