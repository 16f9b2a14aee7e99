// TFolderDialog: picks a directory. Qt's own (non-native) directory chooser
// sits in a small dialog of ours that adds the caption, an instruction text
// above the folders, a status line with the current path and placement over
// the owner window. Callers set Directory, call Execute and read Directory
// when it returned true.
#pragma once

#include "core/questions/FolderOptions.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

class QFileDialog;
class QLabel;
class QWidget;

namespace lw {

class TFolderDialog : public QObject {
    Q_OBJECT
public:
    // owner: the window the dialog belongs to and is centred over; without
    // one the application's active window is used.
    explicit TFolderDialog(QWidget* owner = nullptr);
    ~TFolderDialog() override;

    // Caption; "Browse for Folder" unless set.
    QString Title() const;
    void SetTitle(const QString& title);

    // Instruction shown above the folders; none when empty.
    QString Text() const { return text_; }
    void SetText(const QString& text);

    // Before Execute: the folder to start at. After Execute: the chosen
    // folder without a trailing separator, or empty when cancelled. While
    // the dialog is open: the folder currently selected in it.
    QString Directory() const;
    void SetDirectory(const QString& directory);

    // The folder the next Execute starts at: Directory when it names an
    // existing directory ("/." and trailing separators dropped), else empty.
    QString Selection() const { return selection_; }

    FolderOptions Options() const { return options_; }
    void SetOptions(FolderOptions options);

    // Where the tree starts when no Directory is given; a root without a
    // local folder (network, printers, ...) means the default start, the
    // home folder.
    ShellFolder RootFolder() const { return root_; }
    void SetRootFolder(ShellFolder root) { root_ = root; }

    // Position over the owner window when neither centring option is set.
    int Left() const { return left_; }
    int Top() const { return top_; }
    void SetLeft(int left);
    void SetTop(int top);

    // Modal. True when a folder was chosen.
    bool Execute();

    // The open dialog, or nullptr when closed.
    QDialog* Dialog() const { return dialog_; }

signals:
    void shown();                      // the dialog is set up and about to show
    void closed();                     // the dialog has closed
    void changed(const QString& path); // the selection moved to a real folder

private:
    QWidget* ParentWindow() const;
    QString RootPath() const;
    void Place();
    void KeepOnScreen();
    void SelectionMoved(const QString& path);

    QPointer<QWidget> owner_;
    QString title_;
    QString text_;
    QString directory_;
    QString selection_;
    FolderOptions options_ = FolderOptions::Defaults();
    ShellFolder root_ = ShellFolder::DesktopExpanded;
    int left_ = 0;
    int top_ = 0;

    // While open.
    QPointer<QDialog> dialog_;
    QFileDialog* chooser_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace lw
