// Program start: the command-line modes that need no window, then the
// windows in their order (main window, editor, new fan mission dialog).
#include "core/cli/CommandLine.h"
#include "core/fm/FMUtils.h"
#include "core/fm/Project.h"
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

#include <iostream>
#include <optional>

#ifndef LW_VERSION
#define LW_VERSION "0"
#endif

namespace {

using namespace lw;

int run(int argc, char** argv)
{
    // File names among them reach the system as UTF-8 (see PathFromUtf8).
    const std::optional<CommandLine> line =
        ParseCommandLine(platform::Utf8Arguments(argc, argv), Program::Window, std::cerr);
    if (!line) return 2;

    // The language tag ranks info files; it is known before any window.
    SetUserLangTag(platform::UserLangTag());

    // The command-line modes need no display.
    if (line->Headless())
        return RunHeadless(*line, Program::Window, LW_VERSION, std::cout, std::cerr, platform::StderrIsTerminal());

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
    if (!line->listFile.empty())
        mainForm.OpenListFile(QFileInfo(QString::fromStdString(line->listFile)).absoluteFilePath());
    const int rc = app.exec();
    lw::SetUserLangTag({});
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    platform::WritesPastTheSizeLimitFail();
    const platform::Utf8Console console;
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
