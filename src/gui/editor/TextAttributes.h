// The character format (TTextAttributes2) and paragraph format
// (TParaAttributes2) of a rich edit control. Nothing is stored here: every
// read asks the control, every write changes the one property.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextCharFormat>

namespace lw {

class TRichEdit2;

enum class TAttributeType { atSelected, atDefaultText };

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// Paragraph alignment as the control reports it.
enum TAlignment2 : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2, taJustify = 3 };

// Character format of the selection (at the caret: of new typing) or of the
// control's default text. Nothing is stored here: every read asks the
// control, every write changes the one property.
class TTextAttributes2 {
public:
    TTextAttributes2(TRichEdit2* owner, TAttributeType type) : owner_(owner), type_(type) {}

    // An invalid QColor stands for the automatic colour (the window's text,
    // or no background).
    QColor Color() const;
    void SetColor(const QColor& c);
    QColor BackColor() const;
    void SetBackColor(const QColor& c);
    QString Name() const;
    void SetName(const QString& name);
    int Charset() const;
    void SetCharset(int charset);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    int Size() const; // points
    void SetSize(int points);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch pitch);
    int Weight() const; // 100..900
    void SetWeight(int weight);

    // Colour, face, style, size and pitch of a font, then its weight.
    void Assign(const QFont& font);

private:
    QTextCharFormat read() const;
    void write(const QTextCharFormat& change);
    TRichEdit2* owner_;
    TAttributeType type_;
};

// Paragraph format of the selection.
class TParaAttributes2 {
public:
    explicit TParaAttributes2(TRichEdit2* owner) : owner_(owner) {}
    int Alignment() const; // TAlignment2
    void SetAlignment(int alignment);
    // Indents and spacing in points.
    int FirstIndent() const;
    void SetFirstIndent(int points);
    int LeftIndent() const;
    void SetLeftIndent(int points);
    int RightIndent() const;
    void SetRightIndent(int points);
    int SpaceBefore() const;
    void SetSpaceBefore(int points);
    int SpaceAfter() const;
    void SetSpaceAfter(int points);

private:
    TRichEdit2* owner_;
};

} // namespace lw
