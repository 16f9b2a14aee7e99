// The real dialogs behind the questions interface. Each window that asks
// something has its own instance, parented to it, so a question always
// belongs to the window the author is working in.
#pragma once

#include "gui/main/GuiQuestions.h"

#include <QPointer>
#include <QString>

class QWidget;

namespace lw {

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
    Answer AskYesNo(const std::string& caption, const std::string& text) override;
    void Beep() override;
    int ExecDialog(QDialog& dialog) override;
    std::optional<int> AskNumber(const std::string& caption, const std::string& label, int value, int min,
                                 int max) override;

private:
    // The active modal dialog when one is open (a question asked from the
    // new-mission dialog belongs to it), else the window this instance is for.
    QWidget* owner() const;

    QPointer<QWidget> parent_;
};

// "File List|*.lst|Any File|*.*" as Qt's "File List (*.lst);;Any File (*.*)".
QString QtFilter(const std::string& filter);

} // namespace lw
