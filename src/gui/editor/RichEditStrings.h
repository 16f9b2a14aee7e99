// The text of a rich edit control as a list of lines (TRichEdit2Strings),
// with loading and saving through converters registered by extension.
#pragma once

#include "base/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

namespace lw {

class TRichEdit2;

// "Failed to Load Stream", "Failed to Save Stream", "RichEdit line insertion error".
class EOutOfResources : public Error {
public:
    using Error::Error;
};

// A conversion between a stream's bytes and what the control reads or
// writes. The base passes bytes through unchanged; an exception ends the
// transfer with an error.
class TConversion {
public:
    virtual ~TConversion() = default;
    virtual qint64 ConvertReadStream(QIODevice& stream, char* buffer, qint64 bufferSize);
    virtual qint64 ConvertWriteStream(QIODevice& stream, const char* buffer, qint64 size);
};
using TConversionClass = std::function<std::unique_ptr<TConversion>()>;

// Registers a converter for an extension (lower case, without the dot). A
// later registration of the same extension is found first. "txt" and "rtf"
// are registered from the start with the pass-through TConversion.
void RegisterConversionFormat(const QString& extension, TConversionClass conversionClass);

// The control's text as a list of lines, with loading and saving.
class TRichEdit2Strings {
public:
    explicit TRichEdit2Strings(TRichEdit2* owner) : owner_(owner) {}

    int Count() const;
    QString Get(int index) const;
    void Put(int index, const QString& text);
    void Insert(int index, const QString& text);
    void Delete(int index);
    void Add(const QString& text) { Insert(Count(), text); }
    void Clear();
    // Each line followed by CR LF.
    QString Text() const;
    // Replaces the whole text without change notices.
    void SetText(const QString& text);
    void AddStrings(const QStringList& lines);
    // Replaces the lines by a copy of the list.
    void Assign(const QStringList& lines);
    void BeginUpdate();
    void EndUpdate();

    // RTF (falling back to plain text) or plain text, by the control's
    // PlainText flag; throw EOutOfResources on failure.
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream);
    // The converter comes from the file's extension; file errors are lw::Error.
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);

    TConversion* Converter() const { return converter_.get(); }
    void SetConverter(std::unique_ptr<TConversion> converter) { converter_ = std::move(converter); }

private:
    QByteArray readThrough(TConversion& conv, QIODevice& stream, bool& failed);
    void useConverterFor(const QString& fileName);
    TRichEdit2* owner_;
    std::unique_ptr<TConversion> converter_;
    int updateCount_ = 0;
};

// A clipboard or drop text with every line break as one paragraph break.
QString NormaliseBreaks(QString text);

} // namespace lw
