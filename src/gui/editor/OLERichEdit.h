// The rich text control with embedded objects. Our objects are pictures: an
// image pasted from the clipboard or a picture file dropped on the control
// embeds as one, keeps its own bytes, and offers its verbs ("Open", "Save
// Picture As...", "Copy") as the context menu while it is selected.
#pragma once

#include "core/questions/Questions.h"
#include "gui/editor/RichEdit2.h"

#include <QList>
#include <QString>

#include <memory>

class QMenu;
class QTemporaryDir;

namespace lw {

// A verb that cannot run ("Invalid Verb", a failed "Open").
class EOleError : public Error {
public:
    using Error::Error;
};

struct TObjectVerb {
    QString text;
    int verb = 0;  // 0 is the primary verb
    int flags = 0; // menu flags
};

class TOLEEdit : public TRichEdit2 {
    Q_OBJECT
public:
    // The verbs every picture offers.
    enum : int { VerbOpen = 0, VerbSaveAs = 1, VerbCopy = 2 };
    // The primary verb when passed to DoVerb.
    static constexpr int OLEIVERB_PRIMARY_REQUEST = -65536;

    explicit TOLEEdit(QWidget* parent = nullptr);
    ~TOLEEdit() override;

    bool AutoVerbMenu() const { return autoVerbMenu_; }
    void SetAutoVerbMenu(bool value) { autoVerbMenu_ = value; }

    // Closes every object without saving, then empties the text.
    void Clear() override;
    void CloseObjects();
    int ObjectCount() const;

    // The object whose verbs are listed; nullptr when none is selected.
    std::shared_ptr<const Picture> SelObject() const { return selObject_; }
    const QList<TObjectVerb>& ObjectVerbs() const { return verbs_; }
    QMenu* VerbMenu() const { return verbMenu_.get(); }

    // verb > 0: an index into ObjectVerbs; OLEIVERB_PRIMARY_REQUEST: the
    // primary verb; 0 or less: that verb number. Throws EOleError.
    void DoVerb(int verb);

    // The menu a right click at pos shows: the selected object's verbs, or
    // the normal menu; nullptr for an object without usable verbs.
    QMenu* ContextMenuFor(const QPoint& pos) override;

    // Link with Ctrl and Shift, copy with Ctrl, move otherwise, each only
    // when the source allows it; otherwise fallback.
    static Qt::DropAction DropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed, Qt::DropAction fallback);

    // Where "Save Picture As..." asks for a name; none: Qt's file dialog.
    void SetQuestions(Questions* questions) { questions_ = questions; }

    // Inserts a picture file at the caret: PNG and JPEG as they are, BMP
    // and GIF as PNG, which RTF holds. Throws Error naming the file when it
    // cannot be read, is too large or is no such picture.
    void InsertPictureFile(const QString& path);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    std::shared_ptr<const Picture> selectedPicture() const;
    bool holds(const std::shared_ptr<const Picture>& picture) const;
    void rebuildVerbs();
    void dropVerbCache();
    void runVerb(int verb);
    bool embedFrom(const QMimeData* source);
    void reportError(const QString& text);

    bool autoVerbMenu_ = true;
    std::shared_ptr<const Picture> selObject_;
    QList<TObjectVerb> verbs_;
    std::unique_ptr<QMenu> verbMenu_;
    std::unique_ptr<QTemporaryDir> tempDir_;
    int opened_ = 0;
    Questions* questions_ = nullptr;
};

} // namespace lw
