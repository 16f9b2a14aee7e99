// The control's text as lines, its loading and saving, and the registry
// of stream converters by file extension.
#include "gui/editor/RichEditStrings.h"

#include "base/FileIO.h"
#include "core/richtext/InfoConvert.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "core/text/TextCodec.h"
#include "gui/editor/RichEdit2.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace lw {

namespace {

// Bytes asked of the converter per read and handed to it per write.
constexpr qint64 kStreamBlock = 16384;

std::filesystem::path toPath(const QString& name)
{
    return std::filesystem::path(name.toStdU16String());
}

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

} // namespace

QString NormaliseBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

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
    owner_->insertLimited(c, NormaliseBreaks(text));
}

void TRichEdit2Strings::Insert(int index, const QString& text)
{
    if (index < 0) return;
    QTextDocument* d = owner_->document();
    const QString line = NormaliseBreaks(text);
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
        QStringList lines = NormaliseBreaks(text).split(QLatin1Char('\n'));
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
        if (n < 0) {
            failed = true;
            break;
        }
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
    const std::string_view read(bytes.constData(), size_t(bytes.size()));
    // RTF goes into the text as it is read; anything else is plain text.
    // A failed plain read keeps what came before the failure.
    if (owner_->plainText_) {
        owner_->LoadPlainText(DecodePlainText(read));
        return;
    }
    if (!failed && owner_->LoadRtf(read)) return;
    if (!stream.isSequential() && stream.seek(start)) bytes = readThrough(*conv, stream, failed);
    else
        failed = true;
    if (failed) throw EOutOfResources("Failed to Load Stream");
    owner_->LoadPlainText(DecodePlainText(std::string_view(bytes.constData(), size_t(bytes.size()))));
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
        if (f.extension == ext) {
            found = &f;
            break;
        }
    if (!found)
        for (const auto& f : formats)
            if (f.extension == QLatin1String("txt")) {
                found = &f;
                break;
            }
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

} // namespace lw
