#include "gui/editor/OLERichEdit.h"

#include "base/Errors.h"
#include "base/FileIO.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <filesystem>

namespace lw {

namespace {

// Picture files larger than this are not embedded from a drop.
constexpr qint64 kMaxDroppedFile = qint64(32) << 20;

const char* extensionOf(PictureKind k)
{
    switch (k) {
    case PictureKind::Png: return "png";
    case PictureKind::Jpeg: return "jpg";
    case PictureKind::Emf: return "emf";
    case PictureKind::Wmf: return "wmf";
    case PictureKind::Bitmap: return "bmp";
    case PictureKind::Other: break;
    }
    return "bin";
}

QByteArray bytesOf(const Picture& p)
{
    return QByteArray(p.data.data(), qsizetype(p.data.size()));
}

QList<QUrl> localFiles(const QMimeData* source)
{
    QList<QUrl> out;
    if (!source || !source->hasUrls()) return out;
    for (const QUrl& u : source->urls())
        if (u.isLocalFile()) out.append(u);
    return out;
}

std::shared_ptr<Picture> pictureFromFile(const QString& path)
{
    QFile f(path);
    if (f.size() > kMaxDroppedFile || !f.open(QIODevice::ReadOnly)) return nullptr;
    return PictureFromFileData(f.readAll());
}

// What the clipboard offers in a format RTF holds: the JPEG when it is the
// picture's own bytes (the PNG beside it then shows the same pixels, made
// from it), else the PNG, which loses nothing.
std::shared_ptr<Picture> pictureFromOffers(const QMimeData* source)
{
    const QByteArray png =
        source->hasFormat(QStringLiteral("image/png")) ? source->data(QStringLiteral("image/png")) : QByteArray();
    const QByteArray jpeg =
        source->hasFormat(QStringLiteral("image/jpeg")) ? source->data(QStringLiteral("image/jpeg")) : QByteArray();
    auto fromPng = png.isEmpty() ? nullptr : PictureFromFileData(png);
    auto fromJpeg = jpeg.isEmpty() ? nullptr : PictureFromFileData(jpeg);
    if (!fromPng || !fromJpeg) return fromPng ? fromPng : fromJpeg;
    const QImage a = PictureStore::Render(*fromPng).convertToFormat(QImage::Format_ARGB32);
    const QImage b = PictureStore::Render(*fromJpeg).convertToFormat(QImage::Format_ARGB32);
    return a == b ? fromJpeg : fromPng;
}

} // namespace

TOLEEdit::TOLEEdit(QWidget* parent) : TRichEdit2(parent)
{
    // An object deleted from the text is no longer the selected one.
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int) {
        if (removed > 0 && selObject_ && !holds(selObject_)) selObject_.reset();
    });
}

bool TOLEEdit::holds(const std::shared_ptr<const Picture>& picture) const
{
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.charFormat().isImageFormat() &&
                Pictures().Find(f.charFormat().toImageFormat().name()) == picture)
                return true;
        }
    return false;
}

TOLEEdit::~TOLEEdit()
{
    disconnect(document(), nullptr, this, nullptr);
    verbMenu_.reset();
    CloseObjects();
}

void TOLEEdit::dropVerbCache()
{
    selObject_.reset();
    verbMenu_.reset();
    verbs_.clear();
}

void TOLEEdit::CloseObjects()
{
    // Our objects hold no state of their own beyond the copies "Open"
    // handed to a viewer; those go, unsaved.
    dropVerbCache();
    tempDir_.reset();
}

void TOLEEdit::Clear()
{
    CloseObjects();
    TRichEdit2::Clear();
}

int TOLEEdit::ObjectCount() const
{
    int n = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.charFormat().isImageFormat() && Pictures().Find(f.charFormat().toImageFormat().name()))
                n += f.length();
        }
    return n;
}

std::shared_ptr<const Picture> TOLEEdit::selectedPicture() const
{
    const QTextCursor c = textCursor();
    if (c.selectionEnd() - c.selectionStart() != 1) return nullptr;
    return PictureAt(c.selectionStart());
}

void TOLEEdit::rebuildVerbs()
{
    verbMenu_.reset();
    verbs_.clear();
    // A picture whose bytes were not kept (too large) has nothing to offer.
    if (!selObject_ || selObject_->data.empty()) return;
    verbs_.append({tr("Open"), VerbOpen, 0});
    verbs_.append({tr("Save Picture As..."), VerbSaveAs, 0});
    verbs_.append({tr("Copy"), VerbCopy, 0});
}

QMenu* TOLEEdit::ContextMenuFor(const QPoint& pos)
{
    QMenu* normal = TRichEdit2::ContextMenuFor(pos);
    if (!autoVerbMenu_) return normal;
    const auto object = selectedPicture();
    if (!object) {
        dropVerbCache();
        return normal;
    }
    if (object == selObject_ && verbMenu_) return verbMenu_.get();
    selObject_ = object;
    rebuildVerbs();
    if (verbs_.isEmpty()) return nullptr;
    verbMenu_ = std::make_unique<QMenu>(this);
    for (int i = 0; i < verbs_.size(); ++i) {
        QAction* a = verbMenu_->addAction(verbs_[i].text);
        a->setData(i);
        if (verbs_[i].verb == 0) {
            QFont bold = a->font();
            bold.setBold(true);
            a->setFont(bold);
            verbMenu_->setDefaultAction(a);
        }
        connect(a, &QAction::triggered, this, [this, i] {
            try {
                DoVerb(i);
            } catch (const std::exception& e) {
                reportError(QString::fromStdString(e.what()));
            }
        });
    }
    return verbMenu_.get();
}

void TOLEEdit::DoVerb(int verb)
{
    if (!selObject_) return;
    if (verb > 0) {
        if (verbs_.isEmpty()) rebuildVerbs();
        if (verb >= verbs_.size()) throw EOleError("Invalid Verb");
        verb = verbs_[verb].verb;
    } else if (verb == OLEIVERB_PRIMARY_REQUEST) {
        verb = 0;
    }
    runVerb(verb);
}

void TOLEEdit::runVerb(int verb)
{
    const Picture& pic = *selObject_;
    if (pic.data.empty()) throw EOleError("Invalid Verb");
    switch (verb) {
    case VerbOpen:
    case -1:   // show
    case -2: { // open
        if (!tempDir_) tempDir_ = std::make_unique<QTemporaryDir>();
        if (!tempDir_->isValid()) throw EOleError("Cannot create a temporary folder for the picture.");
        const QString path =
            tempDir_->filePath(QStringLiteral("picture-%1.%2").arg(++opened_).arg(extensionOf(pic.kind)));
        WriteFileAtomic(std::filesystem::path(path.toStdU16String()), PictureFileBytes(pic));
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            throw EOleError("No program to show the picture was found.");
        return;
    }
    case VerbSaveAs: {
        const std::string ext = extensionOf(pic.kind);
        std::optional<std::string> name;
        if (questions_) {
            FileRequest req;
            req.title = "Save Picture As";
            req.filter = "Picture|*." + ext + "|Any File|*.*";
            req.defaultExt = ext;
            req.fileName = "picture." + ext;
            req.overwritePrompt = true;
            name = questions_->ChooseSaveFile(req);
        } else {
            const QString chosen = QFileDialog::getSaveFileName(
                this, tr("Save Picture As"), QStringLiteral("picture.%1").arg(QString::fromStdString(ext)),
                tr("Picture (*.%1);;Any File (*)").arg(QString::fromStdString(ext)));
            if (!chosen.isEmpty()) name = chosen.toStdString();
        }
        if (name)
            WriteFileAtomic(std::filesystem::path(QString::fromStdString(*name).toStdU16String()),
                            PictureFileBytes(pic));
        return;
    }
    case VerbCopy: {
        auto* data = new QMimeData;
        if (pic.kind == PictureKind::Png) data->setData(QStringLiteral("image/png"), bytesOf(pic));
        if (pic.kind == PictureKind::Jpeg) data->setData(QStringLiteral("image/jpeg"), bytesOf(pic));
        data->setImageData(PictureStore::Render(pic));
        QApplication::clipboard()->setMimeData(data);
        return;
    }
    default: throw EOleError("Invalid Verb");
    }
}

void TOLEEdit::reportError(const QString& text)
{
    if (questions_) questions_->ShowMessage(MessageKind::Error, "Lanternwright", text.toStdString());
    else
        QMessageBox::warning(this, QApplication::applicationName(), text);
}

Qt::DropAction TOLEEdit::DropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed, Qt::DropAction fallback)
{
    Qt::DropAction wanted = Qt::MoveAction;
    if ((keys & Qt::ControlModifier) && (keys & Qt::ShiftModifier)) wanted = Qt::LinkAction;
    else if (keys & Qt::ControlModifier)
        wanted = Qt::CopyAction;
    if (allowed & wanted) return wanted;
    if (allowed & fallback) return fallback;
    for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
        if (allowed & a) return a;
    return Qt::IgnoreAction;
}

bool TOLEEdit::canInsertFromMimeData(const QMimeData* source) const
{
    if (!source) return false;
    if (!PlainText() && (source->hasImage() || source->hasFormat(QStringLiteral("image/png")) ||
                         source->hasFormat(QStringLiteral("image/jpeg")) || !localFiles(source).isEmpty()))
        return true;
    return TRichEdit2::canInsertFromMimeData(source);
}

bool TOLEEdit::embedFrom(const QMimeData* source)
{
    if (PlainText()) return false;
    QString text = source->hasText() ? source->text() : QString();
    text.remove(QChar::ObjectReplacementCharacter);
    const bool pictureOnly = text.trimmed().isEmpty();
    // The picture's own bytes first, so a PNG or JPEG stays what it was.
    if (pictureOnly) {
        if (auto pic = pictureFromOffers(source)) {
            InsertPicture(std::move(pic));
            return true;
        }
    }
    if (pictureOnly && source->hasImage() && !source->hasHtml()) {
        if (auto pic = PictureFromImage(qvariant_cast<QImage>(source->imageData()))) {
            InsertPicture(std::move(pic));
            return true;
        }
    }
    const QList<QUrl> files = localFiles(source);
    if (!files.isEmpty() && files.size() == source->urls().size()) {
        std::vector<std::shared_ptr<Picture>> pictures;
        for (const QUrl& u : files) {
            auto pic = pictureFromFile(u.toLocalFile());
            if (!pic) return false;
            pictures.push_back(std::move(pic));
        }
        for (auto& p : pictures) InsertPicture(std::move(p));
        return true;
    }
    return false;
}

void TOLEEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source) return;
    // Our own copies carry RTF with every picture's bytes and format.
    if (!PlainText() &&
        (source->hasFormat(QStringLiteral("text/rtf")) || source->hasFormat(QStringLiteral("application/rtf")))) {
        TRichEdit2::insertFromMimeData(source);
        return;
    }
    if (embedFrom(source)) return;
    TRichEdit2::insertFromMimeData(source);
}

void TOLEEdit::dragEnterEvent(QDragEnterEvent* e)
{
    if (isReadOnly() || !canInsertFromMimeData(e->mimeData())) {
        e->ignore();
        return;
    }
    TRichEdit2::dragEnterEvent(e);
    e->setDropAction(DropEffect(e->modifiers(), e->possibleActions(), e->proposedAction()));
    e->accept();
}

void TOLEEdit::dragMoveEvent(QDragMoveEvent* e)
{
    if (isReadOnly() || !canInsertFromMimeData(e->mimeData())) {
        e->ignore();
        return;
    }
    TRichEdit2::dragMoveEvent(e);
    e->setDropAction(DropEffect(e->modifiers(), e->possibleActions(), e->proposedAction()));
    e->accept();
}

void TOLEEdit::dropEvent(QDropEvent* e)
{
    // Qt's own drop handling takes the proposed action; ours follows the keys.
    QDragLeaveEvent leave;
    TRichEdit2::dragLeaveEvent(&leave); // clears the drop caret
    const QMimeData* data = e->mimeData();
    const Qt::DropAction action = DropEffect(e->modifiers(), e->possibleActions(), e->proposedAction());
    if (isReadOnly() || action == Qt::IgnoreAction || !canInsertFromMimeData(data)) {
        e->ignore();
        return;
    }
    const bool internal = e->source() == this || e->source() == viewport();
    QTextCursor from = textCursor();
    QTextCursor target = cursorForPosition(e->position().toPoint());
    if (internal && from.hasSelection() && target.position() > from.selectionStart() &&
        target.position() < from.selectionEnd()) {
        e->ignore(); // dropped onto itself
        return;
    }
    target.beginEditBlock();
    setTextCursor(target);
    if (action == Qt::LinkAction && data->hasUrls()) {
        QTextCursor c = textCursor();
        for (const QUrl& u : data->urls()) {
            QTextCharFormat link;
            link.setAnchor(true);
            link.setAnchorHref(u.toString());
            link.setFontUnderline(true);
            c.insertText(u.toString(), link);
            c.insertText(QStringLiteral(" "), QTextCharFormat());
        }
        setTextCursor(c);
    } else {
        insertFromMimeData(data);
    }
    if (internal && action == Qt::MoveAction) from.removeSelectedText();
    target.endEditBlock();
    // An inner move is complete here; the drag source must not delete again.
    e->setDropAction(internal ? Qt::CopyAction : action);
    e->accept();
}

void TOLEEdit::mousePressEvent(QMouseEvent* e)
{
    // A right click on a picture selects it, so its verbs can be shown.
    if (e->button() == Qt::RightButton) {
        const QPoint p = e->position().toPoint();
        const int at = cursorForPosition(p).position();
        for (int q : {at - 1, at}) {
            if (!PictureAt(q)) continue;
            QTextCursor a(document()), b(document());
            a.setPosition(q);
            b.setPosition(q + 1);
            const QRect ra = cursorRect(a), rb = cursorRect(b);
            const QRect box(QPoint(std::min(ra.left(), rb.left()), std::min(ra.top(), rb.top())),
                            QPoint(std::max(ra.left(), rb.left()), std::max(ra.bottom(), rb.bottom())));
            if (!box.contains(p)) continue;
            QTextCursor sel(document());
            sel.setPosition(q);
            sel.setPosition(q + 1, QTextCursor::KeepAnchor);
            setTextCursor(sel);
            e->accept();
            return;
        }
        // Off the picture, text is under the mouse: the text's menu again.
        if (selectedPicture()) setTextCursor(cursorForPosition(p));
    }
    TRichEdit2::mousePressEvent(e);
}

void TOLEEdit::InsertPictureFile(const QString& path)
{
    const std::string name = QFileInfo(path).fileName().toStdString();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error("Cannot read \"" + name + "\": " + f.errorString().toStdString() + ".");
    if (f.size() > kMaxDroppedFile) throw Error("\"" + name + "\" is larger than 32 MB, too large to embed.");
    const QByteArray bytes = f.readAll();
    auto pic = PictureFromFileData(bytes);
    if (!pic) throw Error("\"" + name + "\" is not a PNG, JPEG, BMP or GIF picture.");
    InsertPicture(std::move(pic));
}

} // namespace lw
