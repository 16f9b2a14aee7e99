#include "gui/editor/RichTextMapping.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>

namespace lw {

namespace {

// Twips per pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

QByteArray bytesOf(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

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

// What Qt's formats have no place for, kept beside them so it is saved
// again: a list's identity in the document, its level, its bullet and start;
// a table's cell widths; hidden text.
enum : int {
    kListId = QTextFormat::UserProperty + 1,
    kListLevel,
    kListBullet,
    kListStart,
    kTableEdges,
    kHidden,
    kBeforeTable, // the empty block Qt keeps before a table that opens the text
};

double toPixels(int twips)
{
    return double(twips) / kTwipsPerPixel;
}
int toTwips(double pixels)
{
    return int(std::lround(pixels * kTwipsPerPixel));
}

QTextListFormat::Style qtListStyle(const ListLevel& lv)
{
    switch (lv.style) {
    case ListStyle::Decimal: return QTextListFormat::ListDecimal;
    case ListStyle::LowerAlpha: return QTextListFormat::ListLowerAlpha;
    case ListStyle::UpperAlpha: return QTextListFormat::ListUpperAlpha;
    case ListStyle::LowerRoman: return QTextListFormat::ListLowerRoman;
    case ListStyle::UpperRoman: return QTextListFormat::ListUpperRoman;
    case ListStyle::Bullet: break;
    }
    // Qt draws three bullets; the nearest stands in, the real one is kept.
    if (lv.bullet == "o" || lv.bullet == "\u25CB" || lv.bullet == "\u25E6") return QTextListFormat::ListCircle;
    if (lv.bullet == "\u25AA" || lv.bullet == "\u25A0" || lv.bullet == "\u00A7" || lv.bullet == "\uF0A7")
        return QTextListFormat::ListSquare;
    return QTextListFormat::ListDisc;
}

} // namespace

ListLevel LevelOfList(const QTextListFormat& f)
{
    ListLevel lv;
    switch (f.style()) {
    case QTextListFormat::ListDecimal: lv.style = ListStyle::Decimal; break;
    case QTextListFormat::ListLowerAlpha: lv.style = ListStyle::LowerAlpha; break;
    case QTextListFormat::ListUpperAlpha: lv.style = ListStyle::UpperAlpha; break;
    case QTextListFormat::ListLowerRoman: lv.style = ListStyle::LowerRoman; break;
    case QTextListFormat::ListUpperRoman: lv.style = ListStyle::UpperRoman; break;
    case QTextListFormat::ListCircle: lv.bullet = "o"; break;
    case QTextListFormat::ListSquare: lv.bullet = "\u25AA"; break;
    default: break;
    }
    if (lv.style != ListStyle::Bullet) {
        lv.prefix = f.numberPrefix().toStdString();
        lv.suffix = f.hasProperty(QTextFormat::ListNumberSuffix) ? f.numberSuffix().toStdString() : std::string(".");
    } else if (f.hasProperty(kListBullet)) {
        lv.bullet = f.stringProperty(kListBullet).toStdString();
    }
    if (f.hasProperty(kListStart)) lv.start = f.intProperty(kListStart);
    return lv;
}

int NewListIds(int count)
{
    static int next = 0;
    const int first = next;
    next += std::max(count, 1);
    return first;
}

QTextListFormat QtListFormat(const ListLevel& lv, int listId, int levelIndex)
{
    QTextListFormat lf;
    lf.setStyle(qtListStyle(lv));
    // The paragraph's own margins place the item; the list adds none.
    lf.setIndent(0);
    if (lv.style != ListStyle::Bullet) {
        lf.setNumberPrefix(QString::fromStdString(lv.prefix));
        lf.setNumberSuffix(QString::fromStdString(lv.suffix));
    } else {
        lf.setProperty(kListBullet, QString::fromStdString(lv.bullet));
    }
    lf.setProperty(kListStart, lv.start);
    lf.setProperty(kListId, listId);
    lf.setProperty(kListLevel, levelIndex);
    return lf;
}

bool ListPlace(const QTextListFormat& f, int& listId, int& level)
{
    if (!f.hasProperty(kListId)) return false;
    listId = f.intProperty(kListId);
    level = std::clamp(f.intProperty(kListLevel), 0, MaxListLevels - 1);
    return true;
}

namespace {

QTextOption::TabType qtTab(TabKind k)
{
    switch (k) {
    case TabKind::Center: return QTextOption::CenterTab;
    case TabKind::Right: return QTextOption::RightTab;
    case TabKind::Decimal: return QTextOption::DelimiterTab;
    case TabKind::Left: break;
    }
    return QTextOption::LeftTab;
}

QTextBlockFormat blockFormatOf(const Paragraph& p)
{
    QTextBlockFormat block;
    block.setAlignment(toQt(p.align));
    if (p.leftIndent) block.setLeftMargin(toPixels(p.leftIndent));
    if (p.rightIndent) block.setRightMargin(toPixels(p.rightIndent));
    if (p.firstIndent) block.setTextIndent(toPixels(p.firstIndent));
    if (p.spaceBefore) block.setTopMargin(toPixels(p.spaceBefore));
    if (p.spaceAfter) block.setBottomMargin(toPixels(p.spaceAfter));
    if (p.lineSpacing != 0) {
        if (p.lineMultiple) block.setLineHeight(p.lineSpacing * 100.0 / 240, QTextBlockFormat::ProportionalHeight);
        else if (p.lineSpacing > 0)
            block.setLineHeight(toPixels(p.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            block.setLineHeight(toPixels(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (p.rightToLeft) block.setLayoutDirection(Qt::RightToLeft);
    if (p.pageBreakBefore) block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (!p.tabs.empty()) {
        QList<QTextOption::Tab> tabs;
        for (const TabStop& t : p.tabs)
            tabs.append(QTextOption::Tab(toPixels(t.position), qtTab(t.kind),
                                         t.kind == TabKind::Decimal ? QChar('.') : QChar()));
        block.setTabPositions(tabs);
    }
    return block;
}

void readBlockFormat(const QTextBlockFormat& b, Paragraph& p)
{
    p.align = fromQt(b.alignment());
    p.rightToLeft = b.layoutDirection() == Qt::RightToLeft;
    p.pageBreakBefore = b.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
    p.leftIndent = toTwips(b.leftMargin());
    p.rightIndent = toTwips(b.rightMargin());
    p.firstIndent = toTwips(b.textIndent());
    p.spaceBefore = toTwips(b.topMargin());
    p.spaceAfter = toTwips(b.bottomMargin());
    switch (b.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (std::lround(b.lineHeight()) != 100 && b.lineHeight() > 0) {
            p.lineSpacing = int(std::lround(b.lineHeight() * 240 / 100));
            p.lineMultiple = true;
        }
        break;
    case QTextBlockFormat::MinimumHeight: p.lineSpacing = toTwips(b.lineHeight()); break;
    case QTextBlockFormat::FixedHeight: p.lineSpacing = -toTwips(b.lineHeight()); break;
    default: break;
    }
    for (const QTextOption::Tab& t : b.tabPositions()) {
        TabKind k = TabKind::Left;
        if (t.type == QTextOption::CenterTab) k = TabKind::Center;
        else if (t.type == QTextOption::RightTab)
            k = TabKind::Right;
        else if (t.type == QTextOption::DelimiterTab)
            k = TabKind::Decimal;
        p.tabs.push_back({toTwips(t.position), k});
    }
}

uint32_t rgbOf(const QColor& c)
{
    return uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
}

} // namespace

QSize PictureStore::DisplaySize(const Picture& p)
{
    int w = p.widthTwips / kTwipsPerPixel, h = p.heightTwips / kTwipsPerPixel;
    if (w <= 0 || h <= 0) {
        int pw = 0, ph = 0;
        if (PictureDimensions(p, pw, ph)) {
            w = pw;
            h = ph;
        }
    }
    if (w <= 0 || h <= 0) {
        w = 32;
        h = 32;
    }
    return QSize(std::clamp(w, 1, 4000), std::clamp(h, 1, 4000));
}

QImage PictureStore::Render(const Picture& p)
{
    if ((p.kind == PictureKind::Png || p.kind == PictureKind::Jpeg || p.kind == PictureKind::Bitmap) &&
        !p.data.empty()) {
        // A bitmap from RTF lacks the file header a reader looks for.
        QByteArray bytes = bytesOf(p.kind == PictureKind::Bitmap ? PictureFileBytes(p) : p.data);
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

QString PictureStore::AddNote(std::shared_ptr<const Note> note, const CharFormat& mark)
{
    const QString name = QStringLiteral("lwnote:%1").arg(++next_);
    notes_.insert(name, StoredNote{std::move(note), mark});
    return name;
}

const StoredNote* PictureStore::FindNote(const QString& name) const
{
    auto it = notes_.constFind(name);
    return it == notes_.constEnd() ? nullptr : &it.value();
}

void PictureStore::Clear()
{
    pictures_.clear();
    notes_.clear();
}

namespace {

QFont markFont(const QTextFormat& format)
{
    QFont f = format.toCharFormat().font();
    f.setPointSizeF(std::max(f.pointSizeF(), 6.0) * 0.7);
    return f;
}

} // namespace

QSizeF NoteMarks::intrinsicSize(QTextDocument*, int, const QTextFormat& format)
{
    const QFontMetricsF m(markFont(format));
    const QFontMetricsF line(format.toCharFormat().font());
    return QSizeF(m.horizontalAdvance(format.stringProperty(kNoteLabel)) + 2, line.height());
}

void NoteMarks::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format)
{
    painter->save();
    const QFont font = markFont(format);
    painter->setFont(font);
    painter->setPen(QGuiApplication::palette().color(QPalette::Link));
    const QFontMetricsF m(font);
    const QString label = format.stringProperty(kNoteLabel);
    const QPointF base(rect.left() + 1, rect.top() + m.ascent());
    painter->drawText(base, label);
    QPen dots(painter->pen());
    dots.setStyle(Qt::DotLine);
    painter->setPen(dots);
    painter->drawLine(QPointF(rect.left() + 1, base.y() + 2), QPointF(rect.right() - 1, base.y() + 2));
    painter->restore();
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
    if (f.vertical == VerticalAlign::Superscript) q.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (f.vertical == VerticalAlign::Subscript) q.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (f.hidden) {
        // Shown, so the author sees what the file holds, and marked.
        q.setProperty(kHidden, true);
        if (!f.underline) q.setUnderlineStyle(QTextCharFormat::DotLine);
    }
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
    if (q.verticalAlignment() == QTextCharFormat::AlignSuperScript) f.vertical = VerticalAlign::Superscript;
    if (q.verticalAlignment() == QTextCharFormat::AlignSubScript) f.vertical = VerticalAlign::Subscript;
    f.hidden = q.boolProperty(kHidden);
    return f;
}

QString NoteText(const Note& note)
{
    QStringList paragraphs;
    for (const Paragraph& p : note.paragraphs) {
        std::string text;
        for (const TextRun& r : p.runs) text += r.text;
        paragraphs << QString::fromStdString(text).trimmed().replace(QChar('\v'), QChar('\n'));
    }
    return paragraphs.join(QChar('\n'));
}

namespace {

// A table's widths, kept from the file, and its merges, which the cells'
// spans give.
TableDefinition tableDefinitionOf(const QTextTable& table)
{
    TableDefinition def;
    const QVariantList edges = table.format().property(kTableEdges).toList();
    for (int r = 0; r < table.rows(); ++r) {
        std::vector<int> row;
        if (edges.size() == table.rows())
            for (const QVariant& e : edges[r].toList()) row.push_back(e.toInt());
        if (int(row.size()) != table.columns()) {
            // Rows and columns added in the editor share the width.
            row.clear();
            for (int c = 1; c <= table.columns(); ++c) row.push_back(9360 * c / table.columns());
        }
        def.rowEdges.push_back(std::move(row));
        std::vector<CellMerge> merges(size_t(table.columns()));
        bool any = false;
        for (int c = 0; c < table.columns(); ++c) {
            const QTextTableCell cell = table.cellAt(r, c);
            if (!cell.isValid()) continue;
            CellMerge& m = merges[size_t(c)];
            if (c > cell.column()) m.across = MergeKind::Continued;
            else if (cell.columnSpan() > 1)
                m.across = MergeKind::First;
            if (r > cell.row()) m.down = MergeKind::Continued;
            else if (cell.rowSpan() > 1)
                m.down = MergeKind::First;
            any = any || m != CellMerge{};
        }
        if (any) {
            def.rowMerges.resize(size_t(r) + 1);
            def.rowMerges[size_t(r)] = std::move(merges);
        }
    }
    return def;
}

} // namespace

RichTextInserter::RichTextInserter(QTextCursor& cursor, PictureStore& store, bool intoBlock)
    : cursor_(cursor), store_(store), intoBlock_(intoBlock)
{
}

RichTextInserter::~RichTextInserter() = default;

const QTextCharFormat& RichTextInserter::formatOf(const CharFormat& f, const std::string& link)
{
    // Documents repeat a handful of formats: each Qt format is built once.
    std::string key = f.face;
    key += '\0';
    key += std::to_string(f.halfPoints);
    key += char('0' + (f.bold | f.italic << 1 | f.underline << 2 | f.strike << 3));
    key += char('0' + (int(f.vertical) | f.hidden << 2));
    key += f.color.automatic ? std::string("a") : std::to_string(f.color.rgb);
    key += ',';
    key += f.background.automatic ? std::string("a") : std::to_string(f.background.rgb);
    key += '\0';
    key += link;
    auto it = formats_.find(key);
    if (it == formats_.end()) it = formats_.emplace(std::move(key), ToQtFormat(f, link)).first;
    return it->second;
}

void RichTextInserter::joinList(const Paragraph& p, const RichDocument& doc)
{
    if (p.list < 0 || size_t(p.list) >= doc.lists.size() || doc.lists[size_t(p.list)].levels.empty()) return;
    const auto& levels = doc.lists[size_t(p.list)].levels;
    const int level = std::clamp(p.listLevel, 0, int(levels.size()) - 1);
    // One Qt list per list and level; Qt numbers each on its own. Ids new
    // to every text keep the lists of one paste apart from those already
    // in the text.
    auto [id, added] = listIds_.emplace(p.list, 0);
    if (added) id->second = NewListIds();
    QTextList*& list = lists_[{p.list, level}];
    if (list) list->add(cursor_.block());
    else
        list = cursor_.createList(QtListFormat(levels[size_t(level)], id->second, level));
}

void RichTextInserter::addText(const QString& text, const QTextCharFormat& format)
{
    if (!text_.isEmpty() && !(textFormat_ == format)) flushText();
    textFormat_ = format;
    text_ += text;
}

void RichTextInserter::flushText()
{
    if (text_.isEmpty()) return;
    cursor_.insertText(text_, textFormat_);
    text_.clear();
}

void RichTextInserter::insertRuns(const Paragraph& p)
{
    for (const auto& r : p.runs) {
        if (r.IsNote()) {
            flushText();
            // The character takes the format of the text around it, so what
            // is typed after it is plain text; the mark's own format stays
            // with the note.
            CharFormat around = r.format;
            around.vertical = VerticalAlign::Normal;
            around.hidden = false;
            QTextCharFormat note = formatOf(around, {});
            note.setObjectType(kNoteObject);
            note.setProperty(kNoteName, store_.AddNote(r.note, r.format));
            const QString label = QString::fromStdString(marks_.Next(*r.note));
            note.setProperty(kNoteLabel, label.isEmpty() ? QStringLiteral("\u2020") : label);
            cursor_.insertText(QString(QChar::ObjectReplacementCharacter), note);
            continue;
        }
        if (r.IsPicture()) {
            flushText();
            QTextImageFormat image;
            image.merge(formatOf(r.format, {}));
            image.setName(store_.Add(r.picture, *cursor_.document()));
            const QSize size = PictureStore::DisplaySize(*r.picture);
            image.setWidth(size.width());
            image.setHeight(size.height());
            cursor_.insertImage(image);
            continue;
        }
        QString text = QString::fromUtf8(r.text.data(), qsizetype(r.text.size()));
        if (r.text.find_first_of("\v\n") != std::string::npos) {
            text.replace(QChar('\v'), QChar::LineSeparator);
            text.replace(QChar('\n'), QChar::LineSeparator);
        }
        addText(text, formatOf(r.format, r.link));
    }
}

void RichTextInserter::Add(const Paragraph& p, const RichDocument& doc, bool continues)
{
    const bool continued = continuing_;
    continuing_ = continues;
    if (p.cell.table >= 0) {
        flushText();
        if (!table_.empty() && table_.front().cell.table != p.cell.table) insertTable(doc);
        if (table_.empty()) tableOpensText_ = atStart_;
        atStart_ = false;
        if (continued && !table_.empty())
            table_.back().runs.insert(table_.back().runs.end(), p.runs.begin(), p.runs.end());
        else
            table_.push_back(p);
        return;
    }
    if (!table_.empty()) insertTable(doc);
    if (continued) {
        insertRuns(p);
        return;
    }
    if (atStart_ && intoBlock_) {
        // The first paragraph's text joins the block at the cursor.
        atStart_ = fresh_ = false;
        insertRuns(p);
        return;
    }
    atStart_ = false;
    // Paragraphs of one format in a row are one text with paragraph breaks:
    // Qt gives each break the format of the block before it, and inserts a
    // long text far faster than as many blocks one by one.
    if (!fresh_ && p.list < 0 && last_ && last_->SameFormat(p)) {
        if (p.runs.empty()) {
            addText(QString(QChar::ParagraphSeparator), textFormat_);
        } else {
            addText(QString(QChar::ParagraphSeparator), formatOf(p.runs.front().format, p.runs.front().link));
            insertRuns(p);
        }
        return;
    }
    flushText();
    const QTextBlockFormat block = blockFormatOf(p);
    if (fresh_) cursor_.setBlockFormat(block);
    else
        cursor_.insertBlock(block, QTextCharFormat());
    fresh_ = false;
    // A block keeps the list of the one it came from until told not to.
    if (QTextList* was = cursor_.currentList()) was->remove(cursor_.block());
    joinList(p, doc);
    insertRuns(p);
    if (p.runs.empty()) {
        // The block's own format carries the face of an empty line.
        cursor_.setBlockCharFormat(QTextCharFormat());
    }
    // A break after a list item would make its paragraph an item too.
    if (p.list >= 0) {
        last_.reset();
        return;
    }
    last_ = std::make_unique<Paragraph>(p);
    last_->runs.clear();
}

void RichTextInserter::insertTable(const RichDocument& doc)
{
    // The table's paragraphs, its rows in order of appearance.
    std::vector<std::pair<size_t, size_t>> rows; // paragraph ranges
    int columns = 1;
    for (size_t k = 0; k < table_.size(); ++k) {
        if (rows.empty() || table_[k].cell.row != table_[rows.back().first].cell.row) rows.push_back({k, k});
        rows.back().second = k + 1;
        columns = std::max(columns, std::clamp(table_[k].cell.cell, 0, 63) + 1);
    }
    // The table goes at the cursor; the rest of its block, if any, after it.
    QTextTableFormat tf;
    tf.setBorder(1);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setCellPadding(2);
    tf.setCellSpacing(0);
    tf.setAlignment(Qt::AlignLeft);
    QVariantList allEdges;
    const int tableIndex = table_.front().cell.table;
    const TableDefinition* def = size_t(tableIndex) < doc.tables.size() ? &doc.tables[size_t(tableIndex)] : nullptr;
    auto rowOf = [&](size_t r) { return table_[rows[r].first].cell.row; };
    for (size_t r = 0; r < rows.size(); ++r) {
        QVariantList edges;
        if (def && rowOf(r) >= 0 && size_t(rowOf(r)) < def->rowEdges.size())
            for (int e : def->rowEdges[size_t(rowOf(r))]) edges.append(e);
        allEdges.append(QVariant(edges));
    }
    tf.setProperty(kTableEdges, allEdges);
    if (!allEdges.isEmpty()) {
        const QVariantList firstRow = allEdges.first().toList();
        if (firstRow.size() == columns) {
            QList<QTextLength> widths;
            int left = 0;
            for (const QVariant& e : firstRow) {
                widths.append(QTextLength(QTextLength::FixedLength, toPixels(std::max(e.toInt() - left, 150))));
                left = std::max(left, e.toInt());
            }
            tf.setColumnWidthConstraints(widths);
        }
    }
    QTextTable* table = cursor_.insertTable(int(rows.size()), columns, tf);
    if (tableOpensText_) {
        QTextBlock before = table->firstCursorPosition().block().previous();
        if (before.isValid() && before.length() <= 1) {
            QTextBlockFormat mark = before.blockFormat();
            mark.setProperty(kBeforeTable, true);
            QTextCursor(before).setBlockFormat(mark);
        }
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        int lastCell = -1;
        for (size_t k = rows[r].first; k < rows[r].second; ++k) {
            const Paragraph& cp = table_[k];
            const int cell = std::max(std::clamp(cp.cell.cell, 0, 63), lastCell);
            const bool firstInCell = cell != lastCell;
            if (firstInCell) cursor_ = table->cellAt(int(r), cell).firstCursorPosition();
            const QTextBlockFormat block = blockFormatOf(cp);
            if (firstInCell) cursor_.setBlockFormat(block);
            else
                cursor_.insertBlock(block, QTextCharFormat());
            if (QTextList* was = cursor_.currentList()) was->remove(cursor_.block());
            joinList(cp, doc);
            insertRuns(cp);
            flushText();
            if (cp.runs.empty()) cursor_.setBlockCharFormat(QTextCharFormat());
            lastCell = cell;
        }
    }
    // Each first cell of a merge spans the cells merged into it, which the
    // files hold empty.
    for (size_t r = 0; def && r < rows.size(); ++r)
        for (int col = 0; col < columns; ++col) {
            const CellMerge m = def->MergeOf(rowOf(r), col);
            int colSpan = 1, rowSpan = 1;
            if (m.across == MergeKind::First)
                while (col + colSpan < columns && def->MergeOf(rowOf(r), col + colSpan).across == MergeKind::Continued)
                    ++colSpan;
            if (m.down == MergeKind::First)
                while (r + size_t(rowSpan) < rows.size() &&
                       def->MergeOf(rowOf(r + size_t(rowSpan)), col).down == MergeKind::Continued)
                    ++rowSpan;
            if (colSpan > 1 || rowSpan > 1) table->mergeCells(int(r), col, rowSpan, colSpan);
        }
    cursor_ = table->lastCursorPosition();
    cursor_.movePosition(QTextCursor::NextBlock);
    // What follows fills the block after the table.
    fresh_ = true;
    last_.reset();
    table_.clear();
}

void RichTextInserter::Finish(const RichDocument& doc)
{
    flushText();
    if (!table_.empty()) insertTable(doc);
}

void InsertRichDocument(QTextCursor& cursor, const RichDocument& doc, PictureStore& store, bool intoBlock)
{
    cursor.beginEditBlock();
    RichTextInserter inserter(cursor, store, intoBlock);
    for (const Paragraph& p : doc.paragraphs) inserter.Add(p, doc);
    inserter.Finish(doc);
    cursor.endEditBlock();
}

RichDocument ToRichDocument(const QTextDocument& doc, const PictureStore& store)
{
    RichDocument out;
    const QFont defaults = doc.defaultFont();
    // Lists by their id (or, for lists made elsewhere, by the Qt list),
    // tables by the Qt table.
    std::map<int, int> listIndex;
    std::map<const QTextList*, int> plainLists;
    std::map<const QTextTable*, int> tableIndex;
    bool first = true;
    auto newParagraph = [&]() -> Paragraph& {
        Paragraph& p = first ? out.Last() : out.NewParagraph();
        first = false;
        return p;
    };
    // The table being walked, and its next place row by row: a cell merged
    // into another has no block, and goes out as the empty cell the files
    // hold there.
    const QTextTable* walked = nullptr;
    int walkedIndex = -1, nextRow = 0, nextColumn = 0;
    auto fillMergedUpTo = [&](int row, int column) {
        while (walked && (nextRow < row || (nextRow == row && nextColumn < column))) {
            const QTextTableCell at = walked->cellAt(nextRow, nextColumn);
            if (at.isValid() && (at.row() != nextRow || at.column() != nextColumn))
                newParagraph().cell = CellPlace{walkedIndex, nextRow, nextColumn};
            if (++nextColumn >= walked->columns()) {
                nextColumn = 0;
                ++nextRow;
            }
        }
    };
    auto endWalk = [&] {
        if (walked) fillMergedUpTo(walked->rows(), 0);
        walked = nullptr;
    };
    const QTextTable* lastTable = nullptr;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextTable* table = QTextCursor(b).currentTable();
        // The block Qt keeps after a table at the end is nothing of ours.
        if (!table && lastTable && !b.next().isValid() && b.length() <= 1) break;
        // Nor the one before a table that opens the text, while it is empty.
        if (b == doc.begin() && !table && b.length() <= 1 && b.blockFormat().boolProperty(kBeforeTable)) continue;
        lastTable = table;
        CellPlace place;
        if (table) {
            auto [it, added] = tableIndex.emplace(table, int(out.tables.size()));
            if (added) out.tables.push_back(tableDefinitionOf(*table));
            const QTextTableCell cell = table->cellAt(b.position());
            place = CellPlace{it->second, cell.row(), cell.column()};
            if (table != walked) {
                endWalk();
                walked = table;
                walkedIndex = it->second;
                nextRow = nextColumn = 0;
            }
            if (b.position() == cell.firstPosition()) {
                fillMergedUpTo(cell.row(), cell.column());
                nextRow = cell.row();
                nextColumn = cell.column() + 1;
                if (nextColumn >= table->columns()) {
                    nextColumn = 0;
                    ++nextRow;
                }
            }
        } else {
            endWalk();
        }
        Paragraph& para = newParagraph();
        readBlockFormat(b.blockFormat(), para);
        para.cell = place;
        if (const QTextList* list = b.textList()) {
            const QTextListFormat lf = list->format();
            int index = -1, level = 0, id = 0;
            if (ListPlace(lf, id, level)) {
                auto [it, added] = listIndex.emplace(id, int(out.lists.size()));
                if (added) out.lists.emplace_back();
                index = it->second;
            } else {
                level = std::clamp(lf.indent() - 1, 0, MaxListLevels - 1);
                auto [it, added] = plainLists.emplace(list, int(out.lists.size()));
                if (added) out.lists.emplace_back();
                index = it->second;
            }
            auto& levels = out.lists[size_t(index)].levels;
            if (levels.size() <= size_t(level)) {
                const size_t had = levels.size();
                levels.resize(size_t(level) + 1);
                for (size_t l = had; l < levels.size(); ++l) levels[l] = LevelOfList(lf);
            }
            levels[size_t(level)] = LevelOfList(lf);
            para.list = index;
            para.listLevel = level;
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            const QTextCharFormat cf = frag.charFormat();
            if (cf.objectType() == kNoteObject) {
                if (const StoredNote* note = store.FindNote(cf.stringProperty(kNoteName)))
                    for (int i = 0; i < frag.length(); ++i) out.AppendNote(note->note, note->mark);
                continue;
            }
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
    endWalk();
    return out;
}

} // namespace lw
