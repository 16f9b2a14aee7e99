// The rich text control itself: editing, selection, links, the clipboard,
// pictures and the conversion to and from the widget-free document.
#include "gui/editor/RichEdit2.h"

#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QToolTip>

#include <optional>
#include <string_view>

namespace lw {

namespace {

const QRegularExpression& urlPattern()
{
    static const QRegularExpression re(QStringLiteral(R"((?:(?:https?|ftp|file)://|mailto:|www\.)[^\s<>"]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

// ---- TRichEdit2 -------------------------------------------------------------

TRichEdit2::TRichEdit2(QWidget* parent)
    : QTextEdit(parent), lines_(this), selAttributes_(this, TAttributeType::atSelected),
      defAttributes_(this, TAttributeType::atDefaultText), paragraph_(this), noteMarks_(new NoteMarks(this))
{
    setFocusPolicy(Qt::StrongFocus);
    document()->documentLayout()->registerHandler(kNoteObject, noteMarks_);
    connect(this, &QTextEdit::currentCharFormatChanged, this,
            [this](const QTextCharFormat& f) { forgetNoteFormat(f); });
    resize(185, 89);
    setTabChangesFocus(false);
    connect(this, &QTextEdit::textChanged, this, [this] { notifyChange(); });
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { notifySelection(); });
    connect(this, &QTextEdit::selectionChanged, this, [this] { notifySelection(); });
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this](const QSizeF& size) {
                if (OnResizeRequest) OnResizeRequest(this, QRect(0, 0, int(size.width()), int(size.height())));
            });
    applySelectionPalette();
}

TRichEdit2::~TRichEdit2() = default;

void TRichEdit2::notifyChange()
{
    if (autoURLDetect_) updateLinkHighlight();
    if (changeNotices_ && OnChange) OnChange(this);
}

void TRichEdit2::notifySelection()
{
    const QTextCursor c = textCursor();
    if (c.selectionStart() == lastSelStart_ && c.selectionEnd() == lastSelEnd_) return;
    lastSelStart_ = c.selectionStart();
    lastSelEnd_ = c.selectionEnd();
    if (OnSelectionChange) OnSelectionChange(this);
}

void TRichEdit2::Clear()
{
    clear();
    pictures_.Clear();
    document()->setModified(false);
}

bool TRichEdit2::CanUndo() const
{
    return document()->isUndoAvailable();
}
bool TRichEdit2::CanRedo() const
{
    return document()->isRedoAvailable();
}
bool TRichEdit2::Modified() const
{
    return document()->isModified();
}
void TRichEdit2::SetModified(bool modified)
{
    document()->setModified(modified);
}

int TRichEdit2::TextLength() const
{
    return document()->characterCount() - 1;
}

int TRichEdit2::SelStart() const
{
    return textCursor().selectionStart();
}

void TRichEdit2::SetSelStart(int position)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(position, 0, TextLength()));
    setTextCursor(c);
}

int TRichEdit2::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TRichEdit2::SetSelLength(int length)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + length, 0, TextLength()), QTextCursor::KeepAnchor);
    setTextCursor(c);
    ensureCursorVisible();
}

QString TRichEdit2::SelText() const
{
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return s;
}

void TRichEdit2::insertLimited(QTextCursor& cursor, const QString& text)
{
    QString piece = text;
    if (maxLength_ > 0) {
        const int room = maxLength_ - (TextLength() - (cursor.selectionEnd() - cursor.selectionStart()));
        piece = piece.left(std::max(room, 0));
    }
    cursor.insertText(piece);
}

void TRichEdit2::ReplaceSel(const QString& text)
{
    QTextCursor c = textCursor();
    insertLimited(c, NormaliseBreaks(text));
    setTextCursor(c);
}

void TRichEdit2::ClearSelection()
{
    QTextCursor c = textCursor();
    c.removeSelectedText();
    setTextCursor(c);
}

bool TRichEdit2::CanPaste(const QString& mimeType) const
{
    if (isReadOnly()) return false;
    if (mimeType.startsWith(QLatin1String("text/"))) return true;
    if (mimeType == QLatin1String("application/x-qt-richtext")) return true;
    if (mimeType.startsWith(QLatin1String("image/")) || mimeType == QLatin1String("application/x-qt-image"))
        return !plainText_;
    return false;
}

void TRichEdit2::SetPlainText(bool value)
{
    if (value == plainText_) return;
    // Like the platform control, the mode switches only while it is empty;
    // the streams follow the flag regardless.
    if (document()->isEmpty()) setAcceptRichText(!value);
    plainText_ = value;
}

void TRichEdit2::SetAutoURLDetect(bool value)
{
    if (value == autoURLDetect_) return;
    autoURLDetect_ = value;
    viewport()->setMouseTracking(value);
    if (!value) viewport()->setCursor(Qt::IBeamCursor);
    updateLinkHighlight();
}

void TRichEdit2::SetHideSelection(bool value)
{
    if (value == hideSelection_) return;
    hideSelection_ = value;
    applySelectionPalette();
}

void TRichEdit2::applySelectionPalette()
{
    QPalette p = palette();
    const QPalette app = QApplication::palette(this);
    if (hideSelection_) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, app.color(QPalette::Inactive, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   app.color(QPalette::Inactive, QPalette::HighlightedText));
    }
    setPalette(p);
}

void TRichEdit2::SetHideScrollBars(bool value)
{
    if (value == hideScrollBars_) return;
    hideScrollBars_ = value;
    setVerticalScrollBarPolicy(value ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn);
    if (lineWrapMode() == QTextEdit::NoWrap)
        setHorizontalScrollBarPolicy(value ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn);
    RecreateWnd();
}

QColor TRichEdit2::Color() const
{
    return palette().color(QPalette::Base);
}

void TRichEdit2::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
    applySelectionPalette();
}

void TRichEdit2::RecreateWnd()
{
    const bool modified = Modified();
    QByteArray saved;
    {
        QBuffer out(&saved);
        out.open(QIODevice::WriteOnly);
        lines_.SaveToStream(out);
    }
    QBuffer in(&saved);
    in.open(QIODevice::ReadOnly);
    lines_.LoadFromStream(in);
    SetModified(modified);
}

RichDocument TRichEdit2::ToDocument() const
{
    return ToRichDocument(*document(), pictures_);
}

void TRichEdit2::LoadDocument(const RichDocument& doc)
{
    load([&](QTextCursor& c) {
        for (const std::string& w : doc.loadWarnings) loadWarnings_ << QString::fromStdString(w);
        InsertRichDocument(c, doc, pictures_);
    });
}

bool TRichEdit2::LoadRtf(std::string_view bytes)
{
    if (!LooksLikeRtf(bytes)) return false;
    load([&](QTextCursor& c) {
        RichTextInserter inserter(c, pictures_);
        const auto rest = ReadRtf(bytes, {}, [&](const lw::Paragraph& p, const RichDocument& soFar, bool continues) {
            inserter.Add(p, soFar, continues);
        });
        inserter.Finish(*rest);
        for (const std::string& w : rest->loadWarnings) loadWarnings_ << QString::fromStdString(w);
    });
    return true;
}

void TRichEdit2::LoadPlainText(std::string_view utf8)
{
    load([&](QTextCursor& c) {
        const RichDocument none;
        RichTextInserter inserter(c, pictures_);
        lw::Paragraph line;
        size_t start = 0;
        for (size_t i = 0;; ++i) {
            if (i < utf8.size() && utf8[i] != '\r' && utf8[i] != '\n') continue;
            line.runs.clear();
            if (i > start) line.runs.push_back(TextRun{std::string(utf8.substr(start, i - start)), {}, {}, {}, {}});
            inserter.Add(line, none);
            if (i >= utf8.size()) break;
            if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
            start = i + 1;
        }
        inserter.Finish(none);
    });
}

void TRichEdit2::load(const std::function<void(QTextCursor&)>& insert)
{
    const bool notices = changeNotices_;
    changeNotices_ = false;
    QTextDocument* d = document();
    d->setUndoRedoEnabled(false);
    QTextCursor c(d);
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    c.setBlockFormat(QTextBlockFormat());
    c.setCharFormat(QTextCharFormat());
    pictures_.Clear();
    loadWarnings_.clear();
    try {
        insert(c);
    } catch (...) {
        c.endEditBlock();
        d->setUndoRedoEnabled(true);
        changeNotices_ = notices;
        throw;
    }
    c.endEditBlock();
    d->setUndoRedoEnabled(true);
    QTextCursor start(d);
    setTextCursor(start);
    changeNotices_ = notices;
    d->setModified(false);
    if (autoURLDetect_) updateLinkHighlight();
}

void TRichEdit2::InsertPicture(std::shared_ptr<const Picture> picture)
{
    if (!picture) return;
    const QSize size = PictureStore::DisplaySize(*picture);
    QTextImageFormat f;
    f.setName(pictures_.Add(std::move(picture), *document()));
    f.setWidth(size.width());
    f.setHeight(size.height());
    QTextCursor c = textCursor();
    c.insertImage(f);
    setTextCursor(c);
}

const StoredNote* TRichEdit2::NoteAt(int position) const
{
    if (position < 0 || position >= TextLength()) return nullptr;
    if (document()->characterAt(position) != QChar::ObjectReplacementCharacter) return nullptr;
    QTextCursor c(document());
    c.setPosition(position + 1);
    const QTextCharFormat f = c.charFormat();
    if (f.objectType() != kNoteObject) return nullptr;
    return pictures_.FindNote(f.stringProperty(kNoteName));
}

void TRichEdit2::forgetNoteFormat(const QTextCharFormat& f)
{
    // Text typed after a note would take the note's character format; it
    // takes the text's around it.
    if (textCursor().hasSelection() || (f.objectType() != kNoteObject && !f.hasProperty(kNoteName))) return;
    QTextCharFormat text = f;
    text.clearProperty(QTextFormat::ObjectType);
    text.clearProperty(kNoteName);
    text.clearProperty(kNoteLabel);
    setCurrentCharFormat(text);
}

void TRichEdit2::ToggleList(ListKind kind)
{
    QTextCursor c = textCursor();
    lw::ToggleList(c, kind);
}

ListKind TRichEdit2::CurrentListKind() const
{
    return ListKindAt(textCursor());
}

bool TRichEdit2::ChangeListLevel(int delta)
{
    QTextCursor c = textCursor();
    return lw::ChangeListLevel(c, delta);
}

std::shared_ptr<const Picture> TRichEdit2::PictureAt(int position) const
{
    if (position < 0 || position >= TextLength()) return nullptr;
    if (document()->characterAt(position) != QChar::ObjectReplacementCharacter) return nullptr;
    QTextCursor c(document());
    c.setPosition(position + 1);
    const QTextCharFormat f = c.charFormat();
    if (!f.isImageFormat()) return nullptr;
    return pictures_.Find(f.toImageFormat().name());
}

void TRichEdit2::changeEvent(QEvent* e)
{
    QTextEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange) defAttributes_.Assign(font());
}

bool TRichEdit2::listKey(QKeyEvent* e)
{
    const bool deeper = e->key() == Qt::Key_Tab && !(e->modifiers() & ~Qt::KeypadModifier);
    const bool higher = e->key() == Qt::Key_Backtab || (e->key() == Qt::Key_Tab && e->modifiers() == Qt::ShiftModifier);
    if ((!deeper && !higher) || isReadOnly()) return false;
    const QTextCursor c = textCursor();
    const bool severalParagraphs = document()->findBlock(c.selectionStart()) != document()->findBlock(c.selectionEnd());
    if (!c.currentList() && !severalParagraphs) return false;
    // Within an item's text a tab is a tab.
    if (deeper && !severalParagraphs && !(c.atBlockStart() && !c.hasSelection())) return false;
    return ChangeListLevel(deeper ? 1 : -1) || higher;
}

void TRichEdit2::keyPressEvent(QKeyEvent* e)
{
    if (listKey(e)) {
        e->accept();
        return;
    }
    if (maxLength_ > 0 && !isReadOnly()) {
        const QString t = e->text();
        const bool inserts = (!t.isEmpty() && (t.at(0).isPrint() || t.at(0) == QLatin1Char('\t'))) ||
                             e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        if (inserts && !(e->modifiers() & Qt::ControlModifier) && TextLength() - SelLength() >= maxLength_) {
            e->accept();
            return;
        }
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // The paragraph split off stands after the page break, not before another.
        const QTextBlock was = textCursor().block();
        const bool breakBefore = was.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
        QTextEdit::keyPressEvent(e);
        const QTextBlock now = textCursor().block();
        if (breakBefore && now != was && now.previous() == was) {
            // One step to undo with the break itself.
            QTextCursor c = textCursor();
            QTextBlockFormat f = now.blockFormat();
            f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            c.joinPreviousEditBlock();
            c.setBlockFormat(f);
            c.endEditBlock();
        }
        return;
    }
    QTextEdit::keyPressEvent(e);
}

bool TRichEdit2::viewportEvent(QEvent* e)
{
    // A note shows its text while the mouse rests on its mark.
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int at = cursorForPosition(help->pos()).position();
        const StoredNote* note = nullptr;
        for (int q : {at, at - 1})
            if (!note) note = NoteAt(q);
        if (note) QToolTip::showText(help->globalPos(), NoteText(*note->note), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QTextEdit::viewportEvent(e);
}

void TRichEdit2::paintEvent(QPaintEvent* e)
{
    QTextEdit::paintEvent(e);
    // A page break shows as a dashed line above the paragraph it stands
    // before; only the paragraphs in view are looked at.
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::Mid));
    pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock b = cursorForPosition(QPoint(0, 0)).block(); b.isValid(); b = b.next()) {
        const QRectF r = layout->blockBoundingRect(b).translated(-scroll);
        if (r.top() > viewport()->height()) break;
        if (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            painter.drawLine(QPointF(0, r.top()), QPointF(viewport()->width(), r.top()));
    }
}

bool TRichEdit2::linkAt(const QPoint& pos, int& start, int& end) const
{
    const QTextCursor c = cursorForPosition(pos);
    const QTextBlock b = c.block();
    if (!b.isValid()) return false;
    const int at = c.position();
    // Hyperlink text of the document first, then addresses in the text.
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.isValid() || !f.charFormat().isAnchor()) continue;
        if (at >= f.position() && at < f.position() + f.length()) {
            start = f.position();
            end = f.position() + f.length();
            return true;
        }
    }
    const QString text = b.text();
    auto matches = urlPattern().globalMatch(text);
    while (matches.hasNext()) {
        const auto m = matches.next();
        const int s = b.position() + int(m.capturedStart());
        const int e = b.position() + int(m.capturedEnd());
        if (at >= s && at < e) {
            start = s;
            end = e;
            return true;
        }
    }
    return false;
}

bool TRichEdit2::urlClick(QMouseEvent* e, bool doubleClick)
{
    if (!autoURLDetect_) return false;
    const Qt::MouseButton b = e->button();
    if (b != Qt::LeftButton && b != Qt::RightButton && b != Qt::MiddleButton) return false;
    int start = 0, end = 0;
    if (!linkAt(e->position().toPoint(), start, end)) return false;
    bool success = false;
    if (OnURLClick)
        OnURLClick(this, b, e->modifiers(), doubleClick, e->position().toPoint().x(), e->position().toPoint().y(),
                   start, end, success);
    return !success;
}

void TRichEdit2::mousePressEvent(QMouseEvent* e)
{
    if (urlClick(e, false)) {
        e->accept();
        return;
    }
    QTextEdit::mousePressEvent(e);
}

void TRichEdit2::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (urlClick(e, true)) {
        e->accept();
        return;
    }
    QTextEdit::mouseDoubleClickEvent(e);
}

void TRichEdit2::mouseMoveEvent(QMouseEvent* e)
{
    if (autoURLDetect_ && e->buttons() == Qt::NoButton) {
        int s = 0, en = 0;
        viewport()->setCursor(linkAt(e->position().toPoint(), s, en) ? Qt::PointingHandCursor : Qt::IBeamCursor);
    }
    QTextEdit::mouseMoveEvent(e);
}

void TRichEdit2::updateLinkHighlight()
{
    QList<QTextEdit::ExtraSelection> selections;
    if (autoURLDetect_) {
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
            auto matches = urlPattern().globalMatch(b.text());
            while (matches.hasNext()) {
                const auto m = matches.next();
                QTextEdit::ExtraSelection sel;
                sel.cursor = QTextCursor(document());
                sel.cursor.setPosition(b.position() + int(m.capturedStart()));
                sel.cursor.setPosition(b.position() + int(m.capturedEnd()), QTextCursor::KeepAnchor);
                sel.format.setFontUnderline(true);
                sel.format.setForeground(palette().color(QPalette::Link));
                selections.append(sel);
            }
        }
    }
    setExtraSelections(selections);
}

QMenu* TRichEdit2::ContextMenuFor(const QPoint&)
{
    if (popupMenu_) return popupMenu_;
    standardMenu_.reset(createStandardContextMenu());
    return standardMenu_.get();
}

void TRichEdit2::contextMenuEvent(QContextMenuEvent* e)
{
    if (QMenu* menu = ContextMenuFor(e->pos())) menu->exec(e->globalPos());
    e->accept();
}

namespace {

const QStringList& rtfMimeTypes()
{
    static const QStringList types{QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                   QStringLiteral("text/richtext")};
    return types;
}

} // namespace

bool TRichEdit2::canInsertFromMimeData(const QMimeData* source) const
{
    if (source)
        for (const QString& type : rtfMimeTypes())
            if (source->hasFormat(type)) return true;
    return QTextEdit::canInsertFromMimeData(source);
}

void TRichEdit2::insertFromMimeData(const QMimeData* source)
{
    if (!source) return;
    if (plainText_ || maxLength_ > 0 || !acceptRichText()) {
        if (!source->hasText()) return;
        QTextCursor c = textCursor();
        insertLimited(c, NormaliseBreaks(source->text()));
        setTextCursor(c);
        return;
    }
    // Whatever comes in goes through the document model, so the text holds
    // only what a save keeps: what the author sees after a paste is what the
    // file will hold. RTF first, as it carries most (and our pictures).
    std::optional<RichDocument> doc;
    for (const QString& type : rtfMimeTypes()) {
        if (!source->hasFormat(type)) continue;
        const QByteArray bytes = source->data(type);
        doc = ReadRtf(std::string_view(bytes.constData(), size_t(bytes.size())));
        if (doc) break;
    }
    if (!doc && source->hasHtml()) {
        QTextDocument html;
        html.setDefaultFont(document()->defaultFont());
        html.setHtml(source->html());
        doc = ToRichDocument(html, pictures_);
    }
    if (!doc) {
        if (!source->hasText()) {
            QTextEdit::insertFromMimeData(source);
            return;
        }
        doc = DocumentFromPlainText(source->text().toStdString());
    }
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.removeSelectedText();
    // An empty line takes the format of what comes; a line with text keeps its own.
    InsertRichDocument(c, *doc, pictures_, c.block().length() > 1);
    c.endEditBlock();
    setTextCursor(c);
}

QMimeData* TRichEdit2::createMimeDataFromSelection() const
{
    // RTF of the selection, with the pictures' own bytes, so a paste (here,
    // in another info text, after this one is closed, or in another
    // program) keeps what was copied; and plain text.
    const QTextCursor sel = textCursor();
    QTextDocument part;
    part.setDefaultFont(document()->defaultFont());
    QTextCursor into(&part);
    into.insertFragment(sel.selection());
    const RichDocument doc = ToRichDocument(part, pictures_);
    auto* data = new QMimeData;
    RtfWriteOptions options;
    options.defaultFace = document()->defaultFont().family().toStdString();
    const std::string rtf = WriteRtf(doc, options);
    data->setData(QStringLiteral("text/rtf"), QByteArray(rtf.data(), qsizetype(rtf.size())));
    data->setData(QStringLiteral("application/rtf"), QByteArray(rtf.data(), qsizetype(rtf.size())));
    data->setText(QString::fromStdString(PlainTextOf(doc)));
    // A picture alone also travels as an image, for other programs.
    const QTextCursor c = textCursor();
    if (c.selectionEnd() - c.selectionStart() == 1) {
        if (auto pic = PictureAt(c.selectionStart())) {
            if (pic->kind == PictureKind::Png || pic->kind == PictureKind::Jpeg)
                data->setData(pic->kind == PictureKind::Png ? QStringLiteral("image/png")
                                                            : QStringLiteral("image/jpeg"),
                              QByteArray(pic->data.data(), qsizetype(pic->data.size())));
            data->setImageData(PictureStore::Render(*pic));
        }
    }
    return data;
}

} // namespace lw
