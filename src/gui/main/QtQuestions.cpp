#include "gui/main/QtQuestions.h"

#include "base/StrUtils.h"
#include "gui/dialogs/FoldrDlg.h"
#include "gui/dialogs/GameTypeDlg.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

namespace lw {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

QString startPath(const FileRequest& req)
{
    if (req.fileName.empty()) return q(req.initialDir);
    if (req.initialDir.empty()) return q(req.fileName);
    return QDir(q(req.initialDir)).filePath(q(req.fileName));
}

} // namespace

QWidget* QtQuestions::owner() const
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return parent_;
}

QString QtFilter(const std::string& filter)
{
    const QStringList parts = q(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    return out.join(QStringLiteral(";;"));
}

std::optional<std::string> QtQuestions::ChooseFolder(const FolderRequest& req)
{
    TFolderDialog dialog(owner());
    dialog.SetOptions(req.options);
    dialog.SetTitle(q(req.title));
    dialog.SetText(q(req.text));
    dialog.SetDirectory(q(req.startDir));
    if (!dialog.Execute()) return std::nullopt;
    return dialog.Directory().toStdString();
}

std::optional<std::string> QtQuestions::ChooseOpenFile(const FileRequest& req)
{
    const QString file = QFileDialog::getOpenFileName(owner(), q(req.title), startPath(req), QtFilter(req.filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::vector<std::string> QtQuestions::ChooseOpenFiles(const FileRequest& req)
{
    std::vector<std::string> out;
    for (const QString& f : QFileDialog::getOpenFileNames(owner(), q(req.title), startPath(req), QtFilter(req.filter)))
        out.push_back(f.toStdString());
    return out;
}

std::optional<std::string> QtQuestions::ChooseSaveFile(const FileRequest& req)
{
    QFileDialog dialog(owner(), q(req.title), q(req.initialDir), QtFilter(req.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(q(req.defaultExt));
    // The file type chosen sets the extension added to a name typed without one.
    const QStringList parts = q(req.filter).split('|');
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, parts](const QString& chosen) {
        for (int i = 0; i + 1 < parts.size(); i += 2)
            if (chosen.startsWith(parts[i] + " (")) {
                dialog.setDefaultSuffix(QString::fromStdString(FilterDefaultExt(parts[i + 1].toStdString())));
                return;
            }
    });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !req.overwritePrompt);
    if (!req.fileName.empty()) {
        // The type shown is the proposed name's, so Enter writes what both say.
        const int entry = FilterIndexFor(req.filter, req.fileName);
        if (entry < dialog.nameFilters().size() && 2 * entry + 1 < parts.size()) {
            dialog.selectNameFilter(dialog.nameFilters()[entry]);
            dialog.setDefaultSuffix(QString::fromStdString(FilterDefaultExt(parts[2 * entry + 1].toStdString())));
        }
        dialog.selectFile(q(req.fileName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

int QtQuestions::ChooseGame()
{
    TGameTypeDialog dialog(owner());
    if (dialog.exec() != QDialog::Accepted) return -1;
    return dialog.SelectedGame();
}

void QtQuestions::ShowMessage(MessageKind kind, const std::string& caption, const std::string& text)
{
    switch (kind) {
    case MessageKind::Information: QMessageBox::information(owner(), q(caption), q(text)); break;
    case MessageKind::Warning: QMessageBox::warning(owner(), q(caption), q(text)); break;
    case MessageKind::Error: QMessageBox::critical(owner(), q(caption), q(text)); break;
    }
}

Answer QtQuestions::AskYesNoCancel(const std::string& caption, const std::string& text)
{
    const auto b = QMessageBox::question(owner(), q(caption), q(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (b == QMessageBox::Yes) return Answer::Yes;
    if (b == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

Answer QtQuestions::AskYesNo(const std::string& caption, const std::string& text)
{
    const auto b =
        QMessageBox::question(owner(), q(caption), q(text), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtQuestions::Beep()
{
    QApplication::beep();
}

int QtQuestions::ExecDialog(QDialog& dialog)
{
    return dialog.exec();
}

std::optional<int> QtQuestions::AskNumber(const std::string& caption, const std::string& label, int value, int min,
                                          int max)
{
    bool ok = false;
    const int n = QInputDialog::getInt(owner(), q(caption), q(label), value, min, max, 1, &ok);
    if (!ok) return std::nullopt;
    return n;
}

} // namespace lw
