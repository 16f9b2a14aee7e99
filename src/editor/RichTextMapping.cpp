#include "editor/RichTextMapping.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace lw {

namespace {

// Twips per pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

const char* kindName(PictureKind k)
{
    switch (k) {
    case PictureKind::Png: return "PNG";
    case PictureKind::Jpeg: return "JPEG";
    case PictureKind::Emf: return "EMF";
    case PictureKind::Wmf: return "WMF";
    case PictureKind::Bitmap: return "BMP";
    case PictureKind::Other: break;
    }
    return "Picture";
}

Qt::Alignment toQt(ParaAlign a)
{
    switch (a) {
    case ParaAlign::Right: return Qt::AlignRight | Qt::AlignAbsolute;
    case ParaAlign::Center: return Qt::AlignHCenter;
    case ParaAlign::Justify: return Qt::AlignJustify;
    case ParaAlign::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignAbsolute;
}

ParaAlign fromQt(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter) return ParaAlign::Center;
    if (a & Qt::AlignJustify) return ParaAlign::Justify;
    if (a & Qt::AlignRight) return ParaAlign::Right;
    return ParaAlign::Left;
}

uint32_t rgbOf(const QColor& c) { return uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue()); }

} // namespace

QSize PictureStore::DisplaySize(const Picture& p)
{
    int w = p.widthTwips / kTwipsPerPixel, h = p.heightTwips / kTwipsPerPixel;
    if (w <= 0 || h <= 0) {
        int pw = 0, ph = 0;
        if (PictureDimensions(p, pw, ph)) { w = pw; h = ph; }
    }
    if (w <= 0 || h <= 0) { w = 32; h = 32; }
    return QSize(std::clamp(w, 1, 4000), std::clamp(h, 1, 4000));
}

QImage PictureStore::Render(const Picture& p)
{
    if ((p.kind == PictureKind::Png || p.kind == PictureKind::Jpeg || p.kind == PictureKind::Bitmap) && !p.data.empty()) {
        QByteArray bytes = bytesOf(p.data);
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        // Bound what a hostile header can make us allocate.
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() <= qint64(64) << 20) {
            QImage image = reader.read();
            if (!image.isNull()) return image;
        }
    }
    const QSize size = DisplaySize(p);
    QImage box(size, QImage::Format_ARGB32_Premultiplied);
    box.fill(Qt::white);
    QPainter painter(&box);
    painter.setPen(QPen(Qt::gray, 1));
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    if (size.width() > 24 && size.height() > 12) {
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QString::fromLatin1(kindName(p.kind)));
    }
    return box;
}

QString PictureStore::Add(std::shared_ptr<const Picture> picture, QTextDocument& doc)
{
    const QString name = QStringLiteral("lwpic:%1").arg(++next_);
    doc.addResource(QTextDocument::ImageResource, QUrl(name), Render(*picture));
    pictures_.insert(name, std::move(picture));
    return name;
}

std::shared_ptr<const Picture> PictureStore::Find(const QString& name) const
{
    return pictures_.value(name);
}

void PictureStore::Clear()
{
    pictures_.clear();
}

std::shared_ptr<Picture> PictureFromImage(const QImage& image)
{
    if (image.isNull()) return nullptr;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return nullptr;
    auto pic = std::make_shared<Picture>();
    pic->kind = PictureKind::Png;
    pic->data.assign(png.constData(), size_t(png.size()));
    pic->pixelWidth = image.width();
    pic->pixelHeight = image.height();
    pic->widthTwips = image.width() * kTwipsPerPixel;
    pic->heightTwips = image.height() * kTwipsPerPixel;
    return pic;
}

std::shared_ptr<Picture> PictureFromFileData(const QByteArray& bytes)
{
    Picture probe;
    probe.data.assign(bytes.constData(), size_t(bytes.size()));
    int w = 0, h = 0;
    if (PictureDimensions(probe, w, h)) {
        auto pic = std::make_shared<Picture>(std::move(probe));
        pic->kind = bytes.startsWith("\x89PNG") ? PictureKind::Png : PictureKind::Jpeg;
        pic->pixelWidth = w;
        pic->pixelHeight = h;
        pic->widthTwips = w * kTwipsPerPixel;
        pic->heightTwips = h * kTwipsPerPixel;
        return pic;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > qint64(64) << 20) return nullptr;
    return PictureFromImage(reader.read());
}

QTextCharFormat ToQtFormat(const CharFormat& f, const std::string& link)
{
    QTextCharFormat q;
    if (!f.face.empty()) q.setFontFamilies(QStringList{QString::fromStdString(f.face)});
    if (f.halfPoints > 0) q.setFontPointSize(f.halfPoints / 2.0);
    q.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    q.setFontItalic(f.italic);
    q.setFontUnderline(f.underline);
    q.setFontStrikeOut(f.strike);
    if (!f.color.automatic) q.setForeground(QColor::fromRgb(QRgb(f.color.rgb)));
    if (!f.background.automatic) q.setBackground(QColor::fromRgb(QRgb(f.background.rgb)));
    if (!link.empty()) {
        q.setAnchor(true);
        q.setAnchorHref(QString::fromStdString(link));
    }
    return q;
}

CharFormat FromQtFormat(const QTextCharFormat& q, const QFont& defaults)
{
    CharFormat f;
    const QStringList families = q.fontFamilies().toStringList();
    f.face = (families.isEmpty() ? defaults.family() : families.first()).toStdString();
    const double points = q.hasProperty(QTextFormat::FontPointSize) ? q.fontPointSize() : defaults.pointSizeF();
    f.halfPoints = points > 0 ? int(std::lround(points * 2)) : 0;
    f.bold = q.hasProperty(QTextFormat::FontWeight) ? q.fontWeight() >= QFont::DemiBold : defaults.bold();
    f.italic = q.hasProperty(QTextFormat::FontItalic) ? q.fontItalic() : defaults.italic();
    f.underline = q.hasProperty(QTextFormat::TextUnderlineStyle) || q.hasProperty(QTextFormat::FontUnderline)
                      ? q.fontUnderline()
                      : defaults.underline();
    f.strike = q.hasProperty(QTextFormat::FontStrikeOut) ? q.fontStrikeOut() : defaults.strikeOut();
    if (q.hasProperty(QTextFormat::ForegroundBrush) && q.foreground().style() != Qt::NoBrush)
        f.color = RgbColor::Rgb(rgbOf(q.foreground().color()));
    if (q.hasProperty(QTextFormat::BackgroundBrush) && q.background().style() != Qt::NoBrush)
        f.background = RgbColor::Rgb(rgbOf(q.background().color()));
    return f;
}

void InsertRichDocument(QTextCursor& cursor, const RichDocument& doc, PictureStore& store)
{
    QTextDocument* target = cursor.document();
    // Documents repeat a handful of formats: build each Qt format once.
    std::unordered_map<std::string, QTextCharFormat> formats;
    auto formatOf = [&](const CharFormat& f, const std::string& link) -> const QTextCharFormat& {
        std::string key = f.face;
        key += '\0';
        key += std::to_string(f.halfPoints);
        key += char('0' + (f.bold | f.italic << 1 | f.underline << 2 | f.strike << 3));
        key += f.color.automatic ? std::string("a") : std::to_string(f.color.rgb);
        key += ',';
        key += f.background.automatic ? std::string("a") : std::to_string(f.background.rgb);
        key += '\0';
        key += link;
        auto it = formats.find(key);
        if (it == formats.end()) it = formats.emplace(std::move(key), ToQtFormat(f, link)).first;
        return it->second;
    };
    cursor.beginEditBlock();
    bool first = true;
    for (const auto& p : doc.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(toQt(p.align));
        if (first) cursor.setBlockFormat(block);
        else cursor.insertBlock(block);
        first = false;
        for (const auto& r : p.runs) {
            if (r.IsPicture()) {
                QTextImageFormat image;
                image.merge(formatOf(r.format, {}));
                image.setName(store.Add(r.picture, *target));
                const QSize size = PictureStore::DisplaySize(*r.picture);
                image.setWidth(size.width());
                image.setHeight(size.height());
                cursor.insertImage(image);
                continue;
            }
            QString text = QString::fromUtf8(r.text.data(), qsizetype(r.text.size()));
            if (r.text.find_first_of("\v\n") != std::string::npos) {
                text.replace(QChar('\v'), QChar::LineSeparator);
                text.replace(QChar('\n'), QChar::LineSeparator);
            }
            cursor.insertText(text, formatOf(r.format, r.link));
        }
        if (p.runs.empty()) {
            // The block's own format carries the face of an empty line.
            cursor.setBlockCharFormat(QTextCharFormat());
        }
    }
    cursor.endEditBlock();
}

RichDocument ToRichDocument(const QTextDocument& doc, const PictureStore& store)
{
    RichDocument out;
    const QFont defaults = doc.defaultFont();
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!first) out.NewParagraph();
        first = false;
        out.Last().align = fromQt(b.blockFormat().alignment());
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            const QTextCharFormat cf = frag.charFormat();
            const CharFormat f = FromQtFormat(cf, defaults);
            if (cf.isImageFormat()) {
                const auto pic = store.Find(cf.toImageFormat().name());
                // An image pasted from elsewhere as HTML has no bytes of ours.
                if (!pic) continue;
                auto shown = std::make_shared<Picture>(*pic);
                const QTextImageFormat img = cf.toImageFormat();
                const QSize natural = PictureStore::DisplaySize(*pic);
                if (img.width() > 0 && img.height() > 0 &&
                    (std::lround(img.width()) != natural.width() || std::lround(img.height()) != natural.height())) {
                    shown->widthTwips = int(std::lround(img.width() * kTwipsPerPixel));
                    shown->heightTwips = int(std::lround(img.height() * kTwipsPerPixel));
                }
                // One fragment can hold several copies of the same picture.
                for (int i = 0; i < frag.length(); ++i) out.AppendPicture(shown, f);
                continue;
            }
            QString text = frag.text();
            text.replace(QChar::LineSeparator, QChar('\v'));
            text.remove(QChar::ObjectReplacementCharacter);
            const std::string link = cf.isAnchor() ? cf.anchorHref().toStdString() : std::string();
            out.AppendText(text.toStdString(), f, link);
        }
    }
    return out;
}

} // namespace lw
