// The character and paragraph formats of a rich edit control's selection.
#include "gui/editor/TextAttributes.h"

#include "gui/editor/RichEdit2.h"

#include <QApplication>
#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace lw {

namespace {

// Where the character set of selected text is kept: Qt fonts have none.
constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;

Qt::Alignment qtAlignment(int a)
{
    switch (a) {
    case taRightJustify: return Qt::AlignRight | Qt::AlignAbsolute;
    case taCenter: return Qt::AlignHCenter;
    case taJustify: return Qt::AlignJustify;
    default: return Qt::AlignLeft | Qt::AlignAbsolute;
    }
}

int pointsToPixels(int points)
{
    return points * 4 / 3;
}
int pixelsToPoints(qreal px)
{
    return int(px * 3 / 4);
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
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        return f.foreground().color();
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
    else
        f.setForeground(QBrush(Qt::NoBrush));
    write(f);
}

QColor TTextAttributes2::BackColor() const
{
    if (type_ == TAttributeType::atDefaultText) return owner_->defBackColor_;
    const QTextCharFormat f = read();
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        return f.background().color();
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
    else
        f.setBackground(QBrush(Qt::NoBrush));
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

#define LW_PARA_PROPERTY(Getter, Setter, qtGet, qtSet)                     \
    int TParaAttributes2::Getter() const                                   \
    {                                                                      \
        return pixelsToPoints(owner_->textCursor().blockFormat().qtGet()); \
    }                                                                      \
    void TParaAttributes2::Setter(int points)                              \
    {                                                                      \
        QTextBlockFormat f;                                                \
        f.qtSet(pointsToPixels(points));                                   \
        QTextCursor c = owner_->textCursor();                              \
        c.mergeBlockFormat(f);                                             \
    }

LW_PARA_PROPERTY(FirstIndent, SetFirstIndent, textIndent, setTextIndent)
LW_PARA_PROPERTY(LeftIndent, SetLeftIndent, leftMargin, setLeftMargin)
LW_PARA_PROPERTY(RightIndent, SetRightIndent, rightMargin, setRightMargin)
LW_PARA_PROPERTY(SpaceBefore, SetSpaceBefore, topMargin, setTopMargin)
LW_PARA_PROPERTY(SpaceAfter, SetSpaceAfter, bottomMargin, setBottomMargin)
#undef LW_PARA_PROPERTY

} // namespace lw
