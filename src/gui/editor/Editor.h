// The editor window: shows and edits the FM's info file, or any text or
// rich-text file of the FM, and saves it as RTF or plain text by the file
// name's extension. After each save it tells the main window which file it
// wrote, so the file can join the file list.
#pragma once

#include "gui/editor/ListEditing.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QToolBar;
class QToolButton;

namespace lw {

class GuiQuestions;
class TOLEEdit;

class TEditorForm : public QMainWindow {
    Q_OBJECT
public:
    TEditorForm(GuiQuestions& questions, QWidget* parent = nullptr);
    ~TEditorForm() override;

    // Loads a file (RTF, or plain text when it is not RTF); throws Error.
    void LoadFile(const QString& path);
    // A new, unsaved text in the fixed-pitch font, marked modified. It stays
    // untitled until it is saved: a file name set for it is only proposed in
    // the save dialog.
    void NewText(const QString& text);
    void SetFileName(const QString& path);
    bool Untitled() const { return FUntitled; }
    QString FileName() const { return FFileName; }
    // Writes the text to FFileName, asking for a name when the text is new
    // or no file of that name exists; false when the user cancels. Throws
    // Error when the file cannot be written (the text stays modified).
    bool SaveFile();

    // Save (asking for a name when needed), then close; the Save button.
    void SaveClick();
    // Close without saving or asking; the Cancel button.
    void CancelClick();

    // Raised after every save with the full path written.
    std::function<void(QObject* sender, const QString& name)> OnSaveFile;

    // The buttons and menus again from the text's selection and from the
    // clipboard.
    void SelectionChange();
    void UpdatePasteButtons();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class EditorFont { Proportional, FixedPitch };
    void ResetEditor(EditorFont font);
    void FillFontMenu();
    static void CheckMenuCaption(QMenu* menu, const QString& text);
    void EditTextChange();
    void setStyleFlag(unsigned flag, bool on);
    void FontSizeClick(int points);
    void ListClick(ListKind kind);
    void InsertPictureClick();
    void writeTo(const QString& path);
    void showTitle();
    // Runs a command of the window; an error it raises is shown and the
    // window stays as it was, the text still modified.
    void guarded(const std::function<void()>& command);
    void onTriggered(QAction* action, std::function<void()> command);

    QToolBar* EditBar;
    QToolBar* FormatBar;
    QToolBar* InsertBar;
    QAction* SaveButton;
    QAction* CancelButton;
    QAction* UndoButton;
    QAction* RedoButton;
    QAction* CutButton;
    QAction* CopyButton;
    QAction* PasteButton;
    QToolButton* FontButton;
    QToolButton* SizeButton;
    QAction* BoldButton;
    QAction* ItalicButton;
    QAction* ULineButton;
    QAction* LeftButton;
    QAction* CenterButton;
    QAction* RightButton;
    QAction* BulletsButton;
    QAction* NumberingButton;
    QAction* PictureButton;
    QMenu* FormatMenu;
    TOLEEdit* EditText;
    QMenu* TextMenu;
    QAction* UndoTextMenu;
    QAction* RedoTextMenu;
    QAction* CutTextMenu;
    QAction* CopyTextMenu;
    QAction* PasteTextMenu;
    QAction* ClearTextMenu;
    QMenu* FontMenu;
    QMenu* SizeMenu;
    QAction* SelectSizeMenu;

    GuiQuestions& questions_;
    QString FFileName;
    QString lastSaveDir_;
    QString lastPictureDir_;
    bool FUpdating = false;
    bool FUntitled = false; // a new text that has no file of its own yet
    QActionGroup* alignGroup_;
};

} // namespace lw
