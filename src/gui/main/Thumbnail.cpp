#include "gui/main/Thumbnail.h"

#include "base/Errors.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace lw {

std::string PictureFilter()
{
    std::string patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns += (patterns.empty() ? "*." : ";*.") + format.toStdString();
    return "Pictures|" + patterns + "|Any File|*.*";
}

QByteArray MakeThumbnail(const QString& picture)
{
    QImageReader reader(picture);
    reader.setAutoTransform(true); // a photo's orientation as its camera meant it
    // Large pictures are read at the size they end up: a photo of tens of
    // megapixels would otherwise be decoded whole first.
    const QSize size = reader.size();
    if (size.isValid() && size.width() > ThumbMaxWidth * 2 &&
        reader.transformation() == QImageIOHandler::TransformationNone)
        reader.setScaledSize(size.scaled(ThumbMaxWidth * 2, size.height(), Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        throw Error("Cannot read the picture \"" + picture.toStdString() + "\": " + reader.errorString().toStdString());
    if (image.width() > ThumbMaxWidth) image = image.scaledToWidth(ThumbMaxWidth, Qt::SmoothTransformation);
    // JPEG has no transparency: what a picture leaves clear shows white, not black.
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(ThumbQuality);
    if (!writer.write(flat))
        throw Error("Cannot make a JPEG picture of \"" + picture.toStdString() +
                    "\": " + writer.errorString().toStdString());
    return bytes;
}

} // namespace lw
