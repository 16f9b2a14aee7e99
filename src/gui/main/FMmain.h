// The main window: the toolbar of commands, the file list and the name and
// flag boxes. It shows the project and hands every action to it.
#pragma once

#include "core/check/Preflight.h"
#include "core/fm/Project.h"
#include "core/zip/ZipArch.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QActionGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

namespace lw {

class GuiQuestions;
class StatusText;
class TCheckDialog;
class TCreateDialog;
class TEditorForm;
class THEdit;
class TZipProgress;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    TMainForm(GuiQuestions& questions, Project& project, QWidget* parent = nullptr);
    ~TMainForm() override;

    void SetCreateDialog(TCreateDialog* dialog) { createDialog_ = dialog; }
    // The editor window; its saves come back through InfoFileSaved.
    void SetEditor(TEditorForm* editor);
    // Opens a list file as Open does, without its file dialog.
    bool OpenListFile(const QString& path);

    // The check's window, once the check has run.
    TCheckDialog* CheckDialog() const { return checkDialog_; }
    // The progress window, while an archive is being written.
    TZipProgress* Progress() const { return FProgress; }

    TZipArchiver FMZipper;

protected:
    // Only the file list's drops: they arrive at the list's viewport.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The parts of the window, built in this order by the constructor.
    void buildToolBar();
    void buildZipper();
    void buildFileList();
    void buildNameBoxes();
    void buildFlags();
    void buildLayout();

    // Runs a command; an error it raises is shown, the project and the
    // window return to where they were before it, and the command ends.
    void guarded(const std::function<void()>& command);
    // Connects a signal to a command of the window, run through guarded().
    template <class Sender, class Signal>
    void onSignal(Sender* sender, Signal signal, std::function<void()> command)
    {
        connect(sender, signal, this, [this, command = std::move(command)] { guarded(command); });
    }

    void CreateButtonClick();
    void OpenButtonClick();
    // false when nothing was saved (the list dialog was cancelled).
    bool SaveButtonClick();
    void AddFileButtonClick();
    void AddFolderButtonClick();
    // Adds the files below a folder and tells what it added and left out.
    void addFolder(const std::string& folder);
    void RemFileButtonClick();
    void FileListBoxClick();
    void LangMenuPopup();
    void LangMenuClick(int lang);
    void FMNameChange();
    void FMShortNameChange();
    void MissNameChange(THEdit* sender);
    void MissFlagCheckClick(QCheckBox* sender);
    void ZipButtonClick();
    void CheckButtonClick();
    void AddUsedClick();
    void GameFolderClick();
    void FMInfoButtonClick();
    void ReleaseButtonClick();
    void ThumbButtonClick();
    void InfoButtonClick();
    void InfoFileSaved(QObject* sender, const QString& name);
    void FMZipperProgress(ProgressType kind, const std::string& fileName, uint64_t size);
    void ShowZipProgress();
    void HideZipProgress();

    bool keepChanges();
    ConfirmOverwrite confirmOverwrite();
    bool refuseName(THEdit* edit, const FileText& shown, int lang);
    void showJoinedNames(const QLineEdit* typing);
    bool listDropEvent(QEvent* event);
    bool editorVisible() const;
    bool closeEditor();
    bool saveEditor();
    // The window again from the project, after a command was undone.
    void showAgain(bool project);
    void fillFileList();
    void appendListEntries(size_t from);
    void refreshCheck();
    void showCheck(const std::vector<Finding>& findings);
    void showProject();
    void showNoProject();
    void showMissionBox();
    void showThumbnail();
    // Save and Zip write fm.ini after the string files; the list shows it.
    void writeRelease(bool zipping);
    void setLangImage();
    QString viewText(const FileText& t) const;
    std::vector<int> selectedRows() const;

    QToolBar* MainToolBar;
    QAction* CreateButton;
    QAction* OpenButton;
    QAction* SaveButton;
    QAction* FMInfoButton;
    QAction* ZipButton;
    QAction* CheckButton;
    QToolButton* LangButton;
    QMenu* LangMenu;
    QActionGroup* LangGroup;
    QListWidget* FileListBox;
    QPushButton* AddFileButton;
    QPushButton* AddFolderButton;
    QPushButton* RemFileButton;
    QGroupBox* FMInfoBox;
    THEdit* FMName;
    THEdit* FMShortName;
    QLabel* ThumbView; // the thumbnail, small
    QPushButton* ReleaseButton;
    QPushButton* ThumbButton;
    QGroupBox* MissInfoBox;
    THEdit* MissName;
    THEdit* MissShortName;
    QCheckBox* BriefingCheck;
    QCheckBox* CutsceneCheck;
    QCheckBox* LoadoutCheck;
    QPushButton* InfoButton;

    GuiQuestions& questions_;
    Project& project_;
    TCreateDialog* createDialog_ = nullptr;
    TEditorForm* editor_ = nullptr;
    bool FBusy = false;
    bool hasProject_ = false; // the window shows a project
    // Files the editor saved during the running command (outermost first):
    // a rollback keeps them, since they are on disk whatever else failed.
    std::vector<std::string> editorSaves_;
    int commandDepth_ = 0;
    TZipProgress* FProgress = nullptr;
    TCheckDialog* checkDialog_ = nullptr;
    StatusText* statusLabel_ = nullptr;
    QString openDir_;  // the initial directory of the list dialogs
    QString listFile_; // the list the project was opened from or last saved to
};

} // namespace lw
