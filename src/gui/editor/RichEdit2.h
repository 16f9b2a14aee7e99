// The rich text control of the editor window, on QTextEdit: formatted text,
// loading as RTF with a fall back to plain text, saving as RTF or plain text
// by its PlainText flag, undo and redo, selection and format access, and the
// change, selection-change and link notices as callbacks.
//
// Lines are the control's paragraphs. Character positions count one for
// every character, picture and paragraph break, as the platform's rich edit
// control counts them.
#pragma once

#include "core/richtext/RichDocument.h"
#include "gui/editor/ListEditing.h"
#include "gui/editor/RichEditStrings.h"
#include "gui/editor/RichTextMapping.h"
#include "gui/editor/TextAttributes.h"

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTextEdit>

#include <functional>
#include <memory>
#include <string_view>

namespace lw {

class TRichEdit2 : public QTextEdit {
    Q_OBJECT
public:
    explicit TRichEdit2(QWidget* parent = nullptr);
    ~TRichEdit2() override;

    TRichEdit2Strings& Lines() { return lines_; }
    void SetLines(const QStringList& lines) { lines_.Assign(lines); }
    TTextAttributes2& SelAttributes() { return selAttributes_; }
    TTextAttributes2& DefAttributes() { return defAttributes_; }
    TParaAttributes2& Paragraph() { return paragraph_; }

    // Empties the text and clears the modified flag.
    virtual void Clear();
    void Undo() { undo(); }
    void Redo() { redo(); }
    bool CanUndo() const;
    bool CanRedo() const;
    bool Modified() const;
    void SetModified(bool modified);

    int SelStart() const;
    void SetSelStart(int position);
    int SelLength() const;
    void SetSelLength(int length);
    QString SelText() const;
    // Replaces the selection, as far as the text limit allows; the caret
    // ends after what was inserted.
    void ReplaceSel(const QString& text);
    void ClearSelection(); // deletes the selected text
    void CutToClipboard() { cut(); }
    void CopyToClipboard() { copy(); }
    void PasteFromClipboard() { paste(); }
    // Whether clipboard data of this MIME type could be pasted.
    virtual bool CanPaste(const QString& mimeType) const;

    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length < 0 ? 0 : length; } // 0: no limit

    bool PlainText() const { return plainText_; }
    void SetPlainText(bool value);
    bool AutoURLDetect() const { return autoURLDetect_; }
    void SetAutoURLDetect(bool value);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value);
    bool HideScrollBars() const { return hideScrollBars_; }
    void SetHideScrollBars(bool value);
    QColor Color() const;
    void SetColor(const QColor& color);

    // The normal context menu (not owned); none: Qt's standard edit menu.
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    // Saves the content and the modified flag, rebuilds the widget's
    // state and loads them back, as a platform window re-creation does.
    void RecreateWnd();

    // The content as the widget-free document, and back.
    RichDocument ToDocument() const;
    void LoadDocument(const RichDocument& doc);
    // Loads RTF as it is read, a paragraph at a time; false (and the text
    // as it was) when the bytes are not RTF.
    bool LoadRtf(std::string_view bytes);
    // Loads UTF-8 plain text a line at a time, each line end (CR, LF or
    // CR LF) a paragraph's end: no model of the whole text is built.
    void LoadPlainText(std::string_view utf8);
    // What the last load could not keep, in words; empty when it kept all.
    const QStringList& LoadWarnings() const { return loadWarnings_; }
    PictureStore& Pictures() { return pictures_; }
    const PictureStore& Pictures() const { return pictures_; }
    // Inserts a picture at the caret, replacing the selection.
    void InsertPicture(std::shared_ptr<const Picture> picture);
    // The picture at a character position, if one stands there.
    std::shared_ptr<const Picture> PictureAt(int position) const;
    // The note at a character position, if one stands there.
    const StoredNote* NoteAt(int position) const;

    // Bullets or numbering for the selected paragraphs, on or off; the kind
    // of list at the caret; the selected items a level deeper or higher.
    // Tab at the start of a list item (or over several paragraphs) and
    // Shift+Tab in one change the level too.
    void ToggleList(ListKind kind);
    ListKind CurrentListKind() const;
    bool ChangeListLevel(int delta);

    // Events, called only when assigned; the first argument is the sender.
    std::function<void(QObject* sender)> OnChange;
    std::function<void(QObject* sender)> OnSelectionChange;
    std::function<void(QObject* sender, const QRect& rect)> OnResizeRequest;
    std::function<void(QObject* sender, int startPos, int endPos, bool& allowChange)> OnProtectChange;
    std::function<void(QObject* sender, int numObjects, int numChars, bool& saveClipboard)> OnSaveClipboard;
    std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, bool doubleClick, int x,
                       int y, int startPos, int endPos, bool& success)>
        OnURLClick;

    // Default character count limit of the line model's checks.
    int TextLength() const;

protected:
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

    // The menu a right click shows; nullptr: none. The caller does not own it.
    virtual QMenu* ContextMenuFor(const QPoint& pos);
    // Inserts text at the cursor as far as the text limit allows.
    void insertLimited(QTextCursor& cursor, const QString& text);

private:
    friend class TTextAttributes2;
    friend class TRichEdit2Strings;
    void notifyChange();
    void notifySelection();
    void load(const std::function<void(QTextCursor&)>& insert);
    bool linkAt(const QPoint& pos, int& start, int& end) const;
    bool urlClick(QMouseEvent* e, bool doubleClick);
    void updateLinkHighlight();
    void applySelectionPalette();
    bool listKey(QKeyEvent* e);
    void forgetNoteFormat(const QTextCharFormat& format);

    TRichEdit2Strings lines_;
    TTextAttributes2 selAttributes_;
    TTextAttributes2 defAttributes_;
    TParaAttributes2 paragraph_;
    PictureStore pictures_;
    NoteMarks* noteMarks_;
    QStringList loadWarnings_;

    bool plainText_ = false;
    bool autoURLDetect_ = false;
    bool hideSelection_ = true;
    bool hideScrollBars_ = true;
    int maxLength_ = 0;
    bool changeNotices_ = true;
    int lastSelStart_ = -1, lastSelEnd_ = -1;
    QColor defBackColor_;
    int defCharset_ = 1; // DEFAULT_CHARSET
    QPointer<QMenu> popupMenu_;
    std::unique_ptr<QMenu> standardMenu_;
};

} // namespace lw
