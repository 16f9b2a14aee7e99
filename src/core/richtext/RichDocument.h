// The document that the RTF reader builds and the writer writes: paragraphs
// with an alignment, each a sequence of runs, a run being text in one
// character format, one picture or one footnote or endnote. It is the
// widget-free form of what the rich text control shows, so reading, writing
// and plain text need no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Numbered as the control's paragraph attributes number them.
enum class ParaAlign { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct RgbColor {
    bool automatic = true; // the system's text (or background) colour
    uint32_t rgb = 0;      // 0xRRGGBB when not automatic
    static RgbColor Rgb(uint32_t v) { return {false, v & 0xFFFFFF}; }
    bool operator==(const RgbColor&) const = default;
};

// An immutable string whose copies share one buffer. Font names and link
// targets repeat on every run that a font or a link covers; sharing them
// keeps a document's size in proportion to its text, however many runs a
// file packs into one field or one font.
class SharedString {
public:
    SharedString() = default;
    SharedString(std::string text) : p_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text)))
    {
    }
    SharedString(const char* text) : SharedString(std::string(text)) {}

    const std::string& str() const { return p_ ? *p_ : emptyString(); }
    operator const std::string&() const { return str(); }
    bool empty() const { return !p_; }
    size_t size() const { return str().size(); }
    std::string::const_iterator begin() const { return str().begin(); }
    std::string::const_iterator end() const { return str().end(); }

    friend bool operator==(const SharedString& a, const SharedString& b) { return a.p_ == b.p_ || a.str() == b.str(); }
    friend bool operator==(const SharedString& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const SharedString& a, const char* b) { return a.str() == b; }

private:
    static const std::string& emptyString()
    {
        static const std::string none;
        return none;
    }
    std::shared_ptr<const std::string> p_;
};

// The reader keeps this much of a font name, and the writer writes no more.
inline constexpr size_t MaxFaceNameBytes = 256;

// Where a run's text stands against the line.
enum class VerticalAlign : uint8_t { Normal, Superscript, Subscript };

struct CharFormat {
    SharedString face;  // empty: the control's default face
    int halfPoints = 0; // 0: the control's default size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    RgbColor color;
    RgbColor background;
    VerticalAlign vertical = VerticalAlign::Normal;
    bool hidden = false; // kept and saved; the editor marks it
    bool operator==(const CharFormat&) const = default;
};

enum class PictureKind { Png, Jpeg, Emf, Wmf, Bitmap, Other };

struct Picture {
    PictureKind kind = PictureKind::Other;
    std::string data;   // the picture's own bytes (a PNG file, ...)
    int widthTwips = 0; // shown size; 0 when the picture does not say
    int heightTwips = 0;
    int pixelWidth = 0; // \picw / \pich as the file gave them
    int pixelHeight = 0;
    int wmfMapMode = 8; // \wmetafileN
};

struct Note;

// Text runs hold UTF-8; '\t' is a tab and '\v' a line break inside the
// paragraph. A picture run and a note run hold no text: a note run stands
// where the note's reference mark stands, in the mark's format.
struct TextRun {
    std::string text;
    CharFormat format;
    SharedString link;                      // hyperlink target, if any
    std::shared_ptr<const Picture> picture; // set for a picture run
    std::shared_ptr<const Note> note;       // set for a note run
    bool IsPicture() const { return picture != nullptr; }
    bool IsNote() const { return note != nullptr; }
};

enum class TabKind : uint8_t { Left, Center, Right, Decimal };

struct TabStop {
    int position = 0; // twips from the left indent's origin
    TabKind kind = TabKind::Left;
    bool operator==(const TabStop&) const = default;
};

enum class ListStyle : uint8_t { Bullet, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman };

// How one level of a list labels its items.
struct ListLevel {
    ListStyle style = ListStyle::Bullet;
    int start = 1;
    std::string bullet = "\u2022"; // UTF-8, for a bullet list
    std::string prefix;            // around the number of a numbered list
    std::string suffix = ".";
    // Alike when they label alike: a bullet level's number text and a
    // numbered level's bullet do not count.
    bool operator==(const ListLevel& o) const
    {
        return style == o.style && start == o.start &&
               (style == ListStyle::Bullet ? bullet == o.bullet : prefix == o.prefix && suffix == o.suffix);
    }
};

// A list: its items number on from one another, whatever stands between.
struct ListDefinition {
    std::vector<ListLevel> levels; // 1 to MaxListLevels
    bool operator==(const ListDefinition&) const = default;
};
inline constexpr int MaxListLevels = 9;

// A paragraph in a table: which table, row and cell. Cells hold one or
// more paragraphs in a row; a table's rows follow one another.
struct CellPlace {
    int table = -1; // index into RichDocument::tables; -1: not in a table
    int row = 0;
    int cell = 0;
    bool operator==(const CellPlace&) const = default;
};

// How a cell joins its neighbours: the first cell of a merged range, or one
// merged into the cell before it (to its left, or above it). A merged-in
// cell keeps its place in the row, empty, as the files hold it.
enum class MergeKind : uint8_t { None, First, Continued };

struct CellMerge {
    MergeKind across = MergeKind::None; // \clmgf, \clmrg
    MergeKind down = MergeKind::None;   // \clvmgf, \clvmrg
    bool operator==(const CellMerge&) const = default;
};

struct TableDefinition {
    // Per row, the right edge of each cell in twips from the row's start.
    std::vector<std::vector<int>> rowEdges;
    // Per row, each cell's merge; rows and cells not here merge with nothing.
    std::vector<std::vector<CellMerge>> rowMerges;
    CellMerge MergeOf(int row, int cell) const;
};

struct Paragraph {
    ParaAlign align = ParaAlign::Left;
    // Indents and spacing in twips; firstIndent is relative to leftIndent.
    int firstIndent = 0;
    int leftIndent = 0;
    int rightIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    // 0: single; with lineMultiple 240 is single; else > 0 at least that
    // height, < 0 exactly its magnitude.
    int lineSpacing = 0;
    bool lineMultiple = false;
    std::vector<TabStop> tabs;
    int list = -1; // index into RichDocument::lists; -1: no list item
    int listLevel = 0;
    CellPlace cell;
    bool rightToLeft = false;     // \rtlpar
    bool pageBreakBefore = false; // a page break ends the page before it
    std::vector<TextRun> runs;
    bool Empty() const { return runs.empty(); }
    // The same paragraph format, the runs aside.
    bool SameFormat(const Paragraph& o) const;
};

// A footnote or endnote: its text, read and written where its reference
// stands. Its paragraphs keep their formats but stand in no list or table.
struct Note {
    bool endnote = false;
    // Marked by its number, which readers count (\chftn); otherwise the text
    // before the note is its mark, as the author wrote it.
    bool numbered = true;
    std::vector<Paragraph> paragraphs{1};
};

enum class FontFamily : uint8_t { Nil, Roman, Swiss, Modern, Script, Decor, Tech };

// What a font table says of a face beside its name.
struct FontKind {
    FontFamily family = FontFamily::Nil;
    int pitch = 0;       // 0 default, 1 fixed, 2 variable
    bool symbol = false; // a symbol font (charset 2)
    bool operator==(const FontKind&) const = default;
};

// The kind of a well-known face (Courier New is fixed-pitch modern, Arial
// variable swiss ...); Nil with default pitch for faces it does not know.
FontKind KnownFontKind(std::string_view face);

struct RichDocument {
    std::vector<Paragraph> paragraphs; // never empty once built
    std::vector<ListDefinition> lists;
    std::vector<TableDefinition> tables;
    // Font kinds as the file gave them, by face; faces not here are looked
    // up with KnownFontKind.
    std::map<std::string, FontKind> fontKinds;
    // What reading the file could not keep, in words for the author; empty
    // when it kept everything.
    std::vector<std::string> loadWarnings;
    RichDocument() : paragraphs(1) {}

    FontKind KindOf(std::string_view face) const;

    // Appends text in a format, merging with the last run when it matches.
    void AppendText(std::string_view text, const CharFormat& format, const SharedString& link = {});
    void AppendPicture(std::shared_ptr<const Picture> picture, const CharFormat& format);
    void AppendNote(std::shared_ptr<const Note> note, const CharFormat& format);
    Paragraph& NewParagraph(ParaAlign align = ParaAlign::Left);
    Paragraph& Last() { return paragraphs.back(); }
    // Gives back what growth left unused in every vector and text: a file
    // of many tiny runs or paragraphs would keep up to twice its size.
    void ShrinkToFit();
};

// What a list level's text before or after its number holds in a file:
// up to 20 characters of the Basic Multilingual Plane, none of them ';'
// (which ends the text there) or a control character (those stand for
// the levels' numbers). Labels read in other forms are held to it too, so
// a saved document reads back as it was.
constexpr size_t kMaxLevelLabelChars = 20;
bool FitsLevelLabel(char32_t c);
std::string LevelLabelText(std::string_view utf8);

// The label each paragraph shows ("•", "3.", "iv)"), empty for paragraphs
// outside lists; numbers count on through each list and level, and restart
// below a level when a higher level's item comes.
std::vector<std::string> ListLabels(const RichDocument& doc);

// The same, one paragraph after another, for a document that is read or
// written a paragraph at a time: Next gives each paragraph's label in turn.
class ListCounter {
public:
    std::string Next(const RichDocument& doc, const Paragraph& p);

private:
    std::vector<std::array<int, MaxListLevels>> counts_; // per list, -1: not started
};

// The mark a numbered note shows: footnotes count 1, 2, 3, endnotes i, ii,
// iii, each kind on its own.
class NoteCounter {
public:
    std::string Next(const Note& note);

private:
    int footnotes_ = 0, endnotes_ = 0;
};

// The plain text: paragraphs joined by "\n" (every table cell's paragraphs
// too), list items after their label and a tab, line breaks as "\n", tabs
// kept, pictures left out. Hidden text is text, as a word processor's text
// export gives it. A numbered note shows its mark where it stands; the
// notes' texts follow the body after an empty line, each after its mark.
std::string PlainTextOf(const RichDocument& doc);

// The same a paragraph at a time.
class PlainTextBuilder {
public:
    // continues: the paragraph goes on in the next call (a reader's piece).
    void Add(const RichDocument& doc, const Paragraph& p, bool continues = false);
    // The text of every paragraph added, the notes after them.
    std::string Finish();

private:
    void addRuns(const Paragraph& p);
    void addNote(const Note& note);
    std::string out_;
    std::string notes_;
    bool first_ = true;
    bool continuing_ = false;
    ListCounter lists_;
    NoteCounter marks_;
};

// A document of plain text: every CR LF, LF and CR ends a paragraph.
RichDocument DocumentFromPlainText(std::string_view utf8);

// The picture as a file of its own that viewers open: a device-independent
// bitmap with the bitmap file header before it, a metafile with the
// placeable header (its size from the shown size), others as they are.
std::string PictureFileBytes(const Picture& pic);

// The pixel size a PNG or JPEG header gives; false when it gives none.
bool PictureDimensions(const Picture& pic, int& width, int& height);

// A face as readers know it: fontconfig's foundry after the family
// ("Nimbus Sans [urw]", "Serif [UKWN]") is no part of the name.
std::string FontFamilyName(std::string_view face);

} // namespace lw
