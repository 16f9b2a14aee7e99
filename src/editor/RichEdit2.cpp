#include "editor/RichEdit2.h"

#include "components/FileIO.h"
#include "editor/InfoConvert.h"
#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace lw {

namespace {

// Where the character set of selected text is kept: Qt fonts have none.
constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;
// Bytes asked of the converter per read and handed to it per write.
constexpr qint64 kStreamBlock = 16384;

std::filesystem::path toPath(const QString& name) { return std::filesystem::path(name.toStdU16String()); }

struct ConversionFormat {
    QString extension;
    TConversionClass conversionClass;
};

std::vector<ConversionFormat>& conversionFormats()
{
    static std::vector<ConversionFormat> formats = {
        {QStringLiteral("txt"), [] { return std::make_unique<TConversion>(); }},
        {QStringLiteral("rtf"), [] { return std::make_unique<TConversion>(); }},
    };
    return formats;
}

Qt::Alignment qtAlignment(int a)
{
    switch (a) {
    case taRightJustify: return Qt::AlignRight | Qt::AlignAbsolute;
    case taCenter: return Qt::AlignHCenter;
    case taJustify: return Qt::AlignJustify;
    default: return Qt::AlignLeft | Qt::AlignAbsolute;
    }
}

int pointsToPixels(int points) { return points * 4 / 3; }
int pixelsToPoints(qreal px) { return int(px * 3 / 4); }

const QRegularExpression& urlPattern()
{
    static const QRegularExpression re(
        QStringLiteral(R"((?:(?:https?|ftp|file)://|mailto:|www\.)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

// A clipboard or drop text with every line break as one paragraph break.
QString normaliseBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

// ---- TTextAttributes2 -------------------------------------------------------

QTextCharFormat TTextAttributes2::read() const
{
    if (type_ == TAttributeType::atDefaultText) {
        QTextCharFormat f;
        f.setFont(owner_->document()->defaultFont(), QTextCharFormat::FontPropertiesAll);
        return f;
    }
    const QTextCursor c = owner_->textCursor();
    if (!c.hasSelection()) return owner_->currentCharFormat();
    QTextCursor first(owner_->document());
    first.setPosition(c.selectionStart() + 1);
    return first.charFormat();
}

void TTextAttributes2::write(const QTextCharFormat& change)
{
    owner_->mergeCurrentCharFormat(change);
}

QColor TTextAttributes2::Color() const
{
    if (type_ == TAttributeType::atDefaultText) {
        const QColor c = owner_->palette().color(QPalette::Text);
        return c == QApplication::palette(owner_).color(QPalette::Text) ? QColor() : c;
    }
    const QTextCharFormat f = read();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) return f.foreground().color();
    return QColor();
}

void TTextAttributes2::SetColor(const QColor& c)
{
    if (type_ == TAttributeType::atDefaultText) {
        QPalette p = owner_->palette();
        const QColor text = c.isValid() ? c : QApplication::palette(owner_).color(QPalette::Text);
        p.setColor(QPalette::Active, QPalette::Text, text);
        p.setColor(QPalette::Inactive, QPalette::Text, text);
        owner_->setPalette(p);
        return;
    }
    QTextCharFormat f;
    if (c.isValid()) f.setForeground(c);
    else f.setForeground(QBrush(Qt::NoBrush));
    write(f);
}

QColor TTextAttributes2::BackColor() const
{
    if (type_ == TAttributeType::atDefaultText) return owner_->defBackColor_;
    const QTextCharFormat f = read();
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) return f.background().color();
    return QColor();
}

void TTextAttributes2::SetBackColor(const QColor& c)
{
    if (type_ == TAttributeType::atDefaultText) {
        owner_->defBackColor_ = c;
        return;
    }
    QTextCharFormat f;
    if (c.isValid()) f.setBackground(c);
    else f.setBackground(QBrush(Qt::NoBrush));
    write(f);
}

QString TTextAttributes2::Name() const
{
    const QStringList families = read().fontFamilies().toStringList();
    return families.isEmpty() ? owner_->document()->defaultFont().family() : families.first();
}

void TTextAttributes2::SetName(const QString& name)
{
    const QString face = name.left(32);
    if (type_ == TAttributeType::atDefaultText) {
        QFont font = owner_->document()->defaultFont();
        font.setFamilies(QStringList{face});
        owner_->document()->setDefaultFont(font);
        return;
    }
    QTextCharFormat f;
    f.setFontFamilies(QStringList{face});
    write(f);
}

int TTextAttributes2::Charset() const
{
    if (type_ == TAttributeType::atDefaultText) return owner_->defCharset_;
    const QTextCharFormat f = read();
    return f.hasProperty(kCharsetProperty) ? f.intProperty(kCharsetProperty) : owner_->defCharset_;
}

void TTextAttributes2::SetCharset(int charset)
{
    if (type_ == TAttributeType::atDefaultText) {
        owner_->defCharset_ = charset & 0xFF;
        return;
    }
    QTextCharFormat f;
    f.setProperty(kCharsetProperty, charset & 0xFF);
    write(f);
}

TFontStyles TTextAttributes2::Style() const
{
    const QTextCharFormat f = read();
    const QFont def = owner_->document()->defaultFont();
    TFontStyles s = 0;
    if (f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : def.bold()) s |= fsBold;
    if (f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : def.italic()) s |= fsItalic;
    if (f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline) ? f.fontUnderline()
                                                                                                     : def.underline())
        s |= fsUnderline;
    if (f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : def.strikeOut()) s |= fsStrikeOut;
    return s;
}

void TTextAttributes2::SetStyle(TFontStyles s)
{
    if (type_ == TAttributeType::atDefaultText) {
        QFont font = owner_->document()->defaultFont();
        font.setBold(s & fsBold);
        font.setItalic(s & fsItalic);
        font.setUnderline(s & fsUnderline);
        font.setStrikeOut(s & fsStrikeOut);
        owner_->document()->setDefaultFont(font);
        return;
    }
    QTextCharFormat f;
    f.setFontWeight(s & fsBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s & fsItalic);
    f.setFontUnderline(s & fsUnderline);
    f.setFontStrikeOut(s & fsStrikeOut);
    write(f);
}

int TTextAttributes2::Size() const
{
    const QTextCharFormat f = read();
    if (f.hasProperty(QTextFormat::FontPointSize)) return int(f.fontPointSize());
    const QFont def = owner_->document()->defaultFont();
    if (def.pointSize() > 0) return def.pointSize();
    return pixelsToPoints(def.pixelSize());
}

void TTextAttributes2::SetSize(int points)
{
    if (points <= 0) return;
    if (type_ == TAttributeType::atDefaultText) {
        QFont font = owner_->document()->defaultFont();
        font.setPointSize(points);
        owner_->document()->setDefaultFont(font);
        return;
    }
    QTextCharFormat f;
    f.setFontPointSize(points);
    write(f);
}

TFontPitch TTextAttributes2::Pitch() const
{
    const QTextCharFormat f = read();
    if (type_ == TAttributeType::atDefaultText || !f.hasProperty(QTextFormat::FontFixedPitch))
        return owner_->document()->defaultFont().fixedPitch() ? TFontPitch::fpFixed : TFontPitch::fpDefault;
    return f.fontFixedPitch() ? TFontPitch::fpFixed : TFontPitch::fpVariable;
}

void TTextAttributes2::SetPitch(TFontPitch pitch)
{
    if (type_ == TAttributeType::atDefaultText) {
        QFont font = owner_->document()->defaultFont();
        font.setFixedPitch(pitch == TFontPitch::fpFixed);
        owner_->document()->setDefaultFont(font);
        return;
    }
    QTextCharFormat f;
    f.setFontFixedPitch(pitch == TFontPitch::fpFixed);
    write(f);
}

int TTextAttributes2::Weight() const
{
    const QTextCharFormat f = read();
    if (f.hasProperty(QTextFormat::FontWeight)) return f.fontWeight();
    return owner_->document()->defaultFont().weight();
}

void TTextAttributes2::SetWeight(int weight)
{
    weight = std::clamp(weight, 1, 1000);
    if (type_ == TAttributeType::atDefaultText) {
        QFont font = owner_->document()->defaultFont();
        font.setWeight(QFont::Weight(weight));
        owner_->document()->setDefaultFont(font);
        return;
    }
    QTextCharFormat f;
    f.setFontWeight(weight);
    write(f);
}

void TTextAttributes2::Assign(const QFont& font)
{
    SetName(font.family());
    TFontStyles s = 0;
    if (font.bold()) s |= fsBold;
    if (font.italic()) s |= fsItalic;
    if (font.underline()) s |= fsUnderline;
    if (font.strikeOut()) s |= fsStrikeOut;
    SetStyle(s);
    SetSize(font.pointSize() > 0 ? font.pointSize() : pixelsToPoints(font.pixelSize()));
    SetPitch(font.fixedPitch() || QFontInfo(font).fixedPitch() ? TFontPitch::fpFixed : TFontPitch::fpDefault);
    SetWeight(font.weight());
}

// ---- TParaAttributes2 -------------------------------------------------------

int TParaAttributes2::Alignment() const
{
    const Qt::Alignment a = owner_->textCursor().blockFormat().alignment();
    if (a & Qt::AlignHCenter) return taCenter;
    if (a & Qt::AlignJustify) return taJustify;
    if (a & Qt::AlignRight) return taRightJustify;
    return taLeftJustify;
}

void TParaAttributes2::SetAlignment(int alignment)
{
    owner_->setAlignment(qtAlignment(alignment));
}

#define LW_PARA_PROPERTY(Getter, Setter, qtGet, qtSet)            \
    int TParaAttributes2::Getter() const                          \
    {                                                             \
        return pixelsToPoints(owner_->textCursor().blockFormat().qtGet()); \
    }                                                             \
    void TParaAttributes2::Setter(int points)                     \
    {                                                             \
        QTextBlockFormat f;                                       \
        f.qtSet(pointsToPixels(points));                          \
        QTextCursor c = owner_->textCursor();                     \
        c.mergeBlockFormat(f);                                    \
    }

LW_PARA_PROPERTY(FirstIndent, SetFirstIndent, textIndent, setTextIndent)
LW_PARA_PROPERTY(LeftIndent, SetLeftIndent, leftMargin, setLeftMargin)
LW_PARA_PROPERTY(RightIndent, SetRightIndent, rightMargin, setRightMargin)
LW_PARA_PROPERTY(SpaceBefore, SetSpaceBefore, topMargin, setTopMargin)
LW_PARA_PROPERTY(SpaceAfter, SetSpaceAfter, bottomMargin, setBottomMargin)
#undef LW_PARA_PROPERTY

// ---- Conversions ------------------------------------------------------------

qint64 TConversion::ConvertReadStream(QIODevice& stream, char* buffer, qint64 bufferSize)
{
    return stream.read(buffer, bufferSize);
}

qint64 TConversion::ConvertWriteStream(QIODevice& stream, const char* buffer, qint64 size)
{
    return stream.write(buffer, size);
}

void RegisterConversionFormat(const QString& extension, TConversionClass conversionClass)
{
    auto& formats = conversionFormats();
    formats.insert(formats.begin(), ConversionFormat{extension.toLower(), std::move(conversionClass)});
}

// ---- TRichEdit2Strings ------------------------------------------------------

int TRichEdit2Strings::Count() const
{
    const QTextDocument* d = owner_->document();
    const int lines = d->blockCount();
    return d->lastBlock().length() <= 1 ? lines - 1 : lines;
}

QString TRichEdit2Strings::Get(int index) const
{
    if (index < 0) return QString();
    const QTextBlock b = owner_->document()->findBlockByNumber(index);
    return b.isValid() ? b.text() : QString();
}

void TRichEdit2Strings::Put(int index, const QString& text)
{
    if (index < 0) return;
    const QTextBlock b = owner_->document()->findBlockByNumber(index);
    if (!b.isValid()) return;
    QTextCursor c(owner_->document());
    c.setPosition(b.position());
    c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    owner_->insertLimited(c, normaliseBreaks(text));
}

void TRichEdit2Strings::Insert(int index, const QString& text)
{
    if (index < 0) return;
    QTextDocument* d = owner_->document();
    const QString line = normaliseBreaks(text);
    int position;
    QString inserted;
    const QTextBlock b = d->findBlockByNumber(index);
    if (b.isValid()) {
        position = b.position();
        inserted = line + QChar::ParagraphSeparator;
    } else {
        const QTextBlock prev = d->findBlockByNumber(index - 1);
        if (!prev.isValid() || prev.length() <= 1) return;
        position = prev.position() + prev.length() - 1;
        inserted = QChar::ParagraphSeparator + line;
    }
    QTextCursor c(d);
    c.setPosition(position);
    owner_->insertLimited(c, inserted);
    if (c.position() != position + inserted.size()) throw EOutOfResources("RichEdit line insertion error");
}

void TRichEdit2Strings::Delete(int index)
{
    if (index < 0) return;
    QTextDocument* d = owner_->document();
    const QTextBlock b = d->findBlockByNumber(index);
    if (!b.isValid()) return;
    QTextCursor c(d);
    c.setPosition(b.position());
    const QTextBlock next = b.next();
    c.setPosition(next.isValid() ? next.position() : b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void TRichEdit2Strings::Clear()
{
    owner_->Clear();
}

QString TRichEdit2Strings::Text() const
{
    QString out;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        out += Get(i);
        out += QLatin1String("\r\n");
    }
    return out;
}

void TRichEdit2Strings::SetText(const QString& text)
{
    const bool notices = owner_->changeNotices_;
    owner_->changeNotices_ = false;
    try {
        owner_->Clear();
        // One line per line break; a final break makes no extra line.
        QStringList lines = normaliseBreaks(text).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        // Like replacing a window's text, this is not a step to undo.
        owner_->document()->setUndoRedoEnabled(false);
        if (!lines.isEmpty()) {
            QTextCursor c(owner_->document());
            owner_->insertLimited(c, lines.join(QChar::ParagraphSeparator) + QChar::ParagraphSeparator);
        }
        owner_->document()->setUndoRedoEnabled(true);
        owner_->setTextCursor(QTextCursor(owner_->document()));
    } catch (...) {
        owner_->document()->setUndoRedoEnabled(true);
        owner_->changeNotices_ = notices;
        throw;
    }
    owner_->changeNotices_ = notices;
}

void TRichEdit2Strings::AddStrings(const QStringList& lines)
{
    auto onSelection = std::move(owner_->OnSelectionChange);
    owner_->OnSelectionChange = nullptr;
    try {
        for (const QString& s : lines) Add(s);
    } catch (...) {
        owner_->OnSelectionChange = std::move(onSelection);
        throw;
    }
    owner_->OnSelectionChange = std::move(onSelection);
}

void TRichEdit2Strings::Assign(const QStringList& lines)
{
    BeginUpdate();
    try {
        Clear();
        AddStrings(lines);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TRichEdit2Strings::BeginUpdate()
{
    if (updateCount_++ == 0) owner_->setUpdatesEnabled(false);
}

void TRichEdit2Strings::EndUpdate()
{
    if (updateCount_ == 0 || --updateCount_ > 0) return;
    owner_->setUpdatesEnabled(true);
    owner_->viewport()->update();
    owner_->notifyChange();
}

QByteArray TRichEdit2Strings::readThrough(TConversion& conv, QIODevice& stream, bool& failed)
{
    QByteArray all;
    QByteArray block(kStreamBlock, Qt::Uninitialized);
    failed = false;
    for (;;) {
        qint64 n = 0;
        try {
            n = conv.ConvertReadStream(stream, block.data(), block.size());
        } catch (...) {
            failed = true;
            break;
        }
        if (n < 0) { failed = true; break; }
        if (n == 0) break;
        all.append(block.constData(), qsizetype(std::min(n, qint64(block.size()))));
    }
    return all;
}

void TRichEdit2Strings::LoadFromStream(QIODevice& stream)
{
    std::unique_ptr<TConversion> temporary;
    TConversion* conv = converter_.get();
    if (!conv) {
        temporary = std::make_unique<TConversion>();
        conv = temporary.get();
    }
    const qint64 start = stream.pos();
    bool failed = false;
    QByteArray bytes = readThrough(*conv, stream, failed);
    RichDocument doc;
    if (owner_->plainText_) {
        // A failed plain read keeps what came before the failure.
        doc = PlainTextDocument(std::string_view(bytes.constData(), size_t(bytes.size())));
    } else {
        std::optional<RichDocument> rtf;
        if (!failed) rtf = ReadRtf(std::string_view(bytes.constData(), size_t(bytes.size())));
        if (rtf) {
            doc = std::move(*rtf);
        } else {
            if (!stream.isSequential() && stream.seek(start)) bytes = readThrough(*conv, stream, failed);
            else failed = true;
            if (failed) throw EOutOfResources("Failed to Load Stream");
            doc = PlainTextDocument(std::string_view(bytes.constData(), size_t(bytes.size())));
        }
    }
    owner_->LoadDocument(doc);
}

void TRichEdit2Strings::SaveToStream(QIODevice& stream)
{
    std::unique_ptr<TConversion> temporary;
    TConversion* conv = converter_.get();
    if (!conv) {
        temporary = std::make_unique<TConversion>();
        conv = temporary.get();
    }
    const RichDocument doc = owner_->ToDocument();
    std::string bytes;
    if (owner_->plainText_) {
        bytes = PlainTextFileBytes(doc);
    } else {
        RtfWriteOptions options;
        options.defaultFace = owner_->document()->defaultFont().family().toStdString();
        bytes = WriteRtf(doc, options);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const qint64 n = qint64(std::min<size_t>(size_t(kStreamBlock), bytes.size() - done));
        qint64 written = -1;
        try {
            written = conv->ConvertWriteStream(stream, bytes.data() + done, n);
        } catch (...) {
            written = -1;
        }
        if (written != n) throw EOutOfResources("Failed to Save Stream");
        done += size_t(n);
    }
}

void TRichEdit2Strings::useConverterFor(const QString& fileName)
{
    const QString name = fileName.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    const auto& formats = conversionFormats();
    const ConversionFormat* found = nullptr;
    for (const auto& f : formats)
        if (f.extension == ext) { found = &f; break; }
    if (!found)
        for (const auto& f : formats)
            if (f.extension == QLatin1String("txt")) { found = &f; break; }
    converter_ = found ? found->conversionClass() : std::make_unique<TConversion>();
}

void TRichEdit2Strings::LoadFromFile(const QString& fileName)
{
    useConverterFor(fileName);
    try {
        const std::string data = ReadWholeFile(toPath(fileName));
        QByteArray bytes(data.data(), qsizetype(data.size()));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        LoadFromStream(buffer);
    } catch (...) {
        converter_.reset();
        throw;
    }
}

void TRichEdit2Strings::SaveToFile(const QString& fileName)
{
    useConverterFor(fileName);
    try {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        SaveToStream(buffer);
        WriteFileAtomic(toPath(fileName), bytes.toStdString());
    } catch (...) {
        converter_.reset();
        throw;
    }
}

// ---- TRichEdit2 -------------------------------------------------------------

TRichEdit2::TRichEdit2(QWidget* parent)
    : QTextEdit(parent),
      lines_(this),
      selAttributes_(this, TAttributeType::atSelected),
      defAttributes_(this, TAttributeType::atDefaultText),
      paragraph_(this)
{
    setFocusPolicy(Qt::StrongFocus);
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

bool TRichEdit2::CanUndo() const { return document()->isUndoAvailable(); }
bool TRichEdit2::CanRedo() const { return document()->isRedoAvailable(); }
bool TRichEdit2::Modified() const { return document()->isModified(); }
void TRichEdit2::SetModified(bool modified) { document()->setModified(modified); }

int TRichEdit2::TextLength() const { return document()->characterCount() - 1; }

int TRichEdit2::SelStart() const { return textCursor().selectionStart(); }

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
    insertLimited(c, normaliseBreaks(text));
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

QColor TRichEdit2::Color() const { return palette().color(QPalette::Base); }

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
    InsertRichDocument(c, doc, pictures_);
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

void TRichEdit2::keyPressEvent(QKeyEvent* e)
{
    if (maxLength_ > 0 && !isReadOnly()) {
        const QString t = e->text();
        const bool inserts = (!t.isEmpty() && (t.at(0).isPrint() || t.at(0) == QLatin1Char('\t'))) ||
                             e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        if (inserts && !(e->modifiers() & Qt::ControlModifier) && TextLength() - SelLength() >= maxLength_) {
            e->accept();
            return;
        }
    }
    QTextEdit::keyPressEvent(e);
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
        insertLimited(c, normaliseBreaks(source->text()));
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
                data->setData(pic->kind == PictureKind::Png ? QStringLiteral("image/png") : QStringLiteral("image/jpeg"),
                              QByteArray(pic->data.data(), qsizetype(pic->data.size())));
            data->setImageData(PictureStore::Render(*pic));
        }
    }
    return data;
}

} // namespace lw
