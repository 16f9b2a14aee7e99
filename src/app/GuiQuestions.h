// The questions of the windows: those of core, plus running one of our own
// modal dialogs. The program shows the real dialogs; tests fill them in and
// press their buttons through a scripted implementation.
#pragma once

#include "components/Questions.h"

#include <QString>

class QDialog;
class QWidget;

namespace lw {

class GuiQuestions : public Questions {
public:
    // Runs a dialog modally and returns its result (QDialog::Accepted or
    // Rejected).
    virtual int ExecDialog(QDialog& dialog) = 0;
    // A whole number between min and max; nothing when cancelled.
    virtual std::optional<int> AskNumber(const std::string& caption, const std::string& label, int value, int min,
                                         int max) = 0;
};

// The real dialogs, parented to a window.
class QtQuestions : public GuiQuestions {
public:
    explicit QtQuestions(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> ChooseFolder(const FolderRequest& req) override;
    std::optional<std::string> ChooseOpenFile(const FileRequest& req) override;
    std::vector<std::string> ChooseOpenFiles(const FileRequest& req) override;
    std::optional<std::string> ChooseSaveFile(const FileRequest& req) override;
    int ChooseGame() override;
    void ShowMessage(MessageKind kind, const std::string& caption, const std::string& text) override;
    Answer AskYesNoCancel(const std::string& caption, const std::string& text) override;
    void Beep() override;
    int ExecDialog(QDialog& dialog) override;
    std::optional<int> AskNumber(const std::string& caption, const std::string& label, int value, int min,
                                 int max) override;

private:
    QWidget* parent_;
};

// "File List|*.lst|Any File|*.*" as Qt's "File List (*.lst);;Any File (*.*)".
QString QtFilter(const std::string& filter);

} // namespace lw
