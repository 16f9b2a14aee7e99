// Between the widget-free RichDocument and Qt's QTextDocument. Pictures sit
// in the QTextDocument as image resources named "lwpic:<n>"; the store keeps
// each one's own bytes, so a PNG or JPEG is saved as it came and a metafile,
// shown as a framed placeholder, is saved back unchanged.
#pragma once

#include "core/richtext/RichDocument.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QTextCharFormat>

#include <memory>

class QTextDocument;
class QTextCursor;

namespace lw {

class PictureStore {
public:
    // Registers the picture with the document and returns its resource name.
    QString Add(std::shared_ptr<const Picture> picture, QTextDocument& doc);
    std::shared_ptr<const Picture> Find(const QString& name) const;
    void Clear();
    int Count() const { return int(pictures_.size()); }

    // What the picture looks like on screen: PNG and JPEG decoded, anything
    // else (or a picture that does not decode) a framed box of its size.
    static QImage Render(const Picture& picture);
    // The size the picture is shown at, in pixels.
    static QSize DisplaySize(const Picture& picture);

private:
    QHash<QString, std::shared_ptr<const Picture>> pictures_;
    int next_ = 0;
};

// A picture made from an image that came without a file of its own (a
// clipboard image): encoded as PNG.
std::shared_ptr<Picture> PictureFromImage(const QImage& image);
// A picture made from a file's bytes: PNG and JPEG kept as they are, other
// formats Qt can read converted to PNG; nullptr when they are no picture.
std::shared_ptr<Picture> PictureFromFileData(const QByteArray& bytes);

QTextCharFormat ToQtFormat(const CharFormat& format, const std::string& link = {});
// defaults: the document's font, for what the format does not set.
CharFormat FromQtFormat(const QTextCharFormat& format, const QFont& defaults);

// Inserts the document at the cursor. intoBlock: the first paragraph's
// text joins the block at the cursor, which keeps its own format (a paste);
// otherwise the block takes the first paragraph's format (a load).
void InsertRichDocument(QTextCursor& cursor, const RichDocument& doc, PictureStore& store, bool intoBlock = false);
RichDocument ToRichDocument(const QTextDocument& doc, const PictureStore& store);

} // namespace lw
