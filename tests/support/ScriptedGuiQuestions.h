// Scripted answers for the windows: the core questions, plus our own modal
// dialogs, which a test fills in and closes instead of a person.
#pragma once

#include "gui/main/GuiQuestions.h"
#include "support/ScriptedQuestions.h"

#include <QDialog>

#include <deque>
#include <functional>

namespace lw::test {

class ScriptedGuiQuestions : public GuiQuestions {
public:
    ScriptedQuestions core;
    // Each runs one dialog: it sets the controls, presses buttons and
    // returns; the dialog's result is what ExecDialog answers.
    std::deque<std::function<void(QDialog&)>> dialogs;
    int dialogsRun = 0;
    std::deque<std::optional<int>> numbers;

    std::optional<std::string> ChooseFolder(const FolderRequest& r) override { return core.ChooseFolder(r); }
    std::optional<std::string> ChooseOpenFile(const FileRequest& r) override { return core.ChooseOpenFile(r); }
    std::vector<std::string> ChooseOpenFiles(const FileRequest& r) override { return core.ChooseOpenFiles(r); }
    std::optional<std::string> ChooseSaveFile(const FileRequest& r) override { return core.ChooseSaveFile(r); }
    int ChooseGame() override { return core.ChooseGame(); }
    void ShowMessage(MessageKind k, const std::string& c, const std::string& t) override { core.ShowMessage(k, c, t); }
    Answer AskYesNoCancel(const std::string& c, const std::string& t) override { return core.AskYesNoCancel(c, t); }
    void Beep() override { core.Beep(); }
    std::optional<int> AskNumber(const std::string&, const std::string&, int, int, int) override
    {
        if (numbers.empty()) return std::nullopt;
        auto n = numbers.front();
        numbers.pop_front();
        return n;
    }
    int ExecDialog(QDialog& dialog) override
    {
        ++dialogsRun;
        dialog.setResult(QDialog::Rejected);
        if (dialogs.empty()) return QDialog::Rejected;
        auto script = dialogs.front();
        dialogs.pop_front();
        script(dialog);
        return dialog.result();
    }
};

} // namespace lw::test
