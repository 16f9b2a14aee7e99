// The RTF reader's inner parts, shared by the units that make it up: the
// states a group carries, the reader itself, and the helpers of its tokens.
// The units are the reader's seams: RtfReader.cpp (the token loop, groups,
// destinations), RtfControlWords.cpp (what each control word does),
// RtfReaderText.cpp (characters, code pages, fonts and colours) and
// RtfReaderBlocks.cpp (paragraphs, lists, tables, pictures). Nothing
// outside them includes this.
#pragma once

#include "core/richtext/RtfReader.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw::rtfread {

enum class Dest : uint8_t {
    Text,    // body text
    Skip,    // ignored group
    UprSkip, // the ANSI half of \upr; its \ud half is read
    FontTable,
    ColorTable,
    Pict,
    FieldInst,
    ListText, // \pntext, \listtext: the label the writer saw
    Pn,       // an old-style paragraph numbering
    PnText,   // its text before or after the number
    ListTable,
    LevelText,
    ListOverrides,
};

struct Font {
    SharedString name; // shared by every run in the font
    int codePage = 0;  // 0: the document's code page
    int charset = 0;
    FontKind kind;
};

// The paragraph format that \pard resets.
struct ParaState {
    ParaAlign align = ParaAlign::Left;
    int fi = 0, li = 0, ri = 0, sb = 0, sa = 0, sl = 0;
    bool slmult = false;
    std::vector<TabStop> tabs;
    TabKind nextTab = TabKind::Left;
    bool inTable = false;
    int ls = 0; // \lsN; 0: none
    int ilvl = 0;
    int pnList = -1; // list of an old-style numbering
    int pnLevel = 0;
    bool rtl = false;    // \rtlpar
    bool pagebb = false; // \pagebb: a page break before the paragraph
};

struct State {
    Dest dest = Dest::Text;
    CharFormat fmt; // face is resolved from font when text is added
    int font = -1;  // -1: the default font (\deff); -2: no face
    int uc = 1;     // bytes of fallback after \uN
    ParaState para;
    bool star = false; // the group began with \*
    bool fieldResult = false;
    int fieldLink = -1; // index into links: the link the field's result gets
    int link = -1;
    // What the group holds in the list table or a numbering, to finish
    // when it closes.
    enum class Role : uint8_t { None, List, Level, Override, Pn, Note } role = Role::None;
};

// An old-style numbering being read: {\*\pn ...}.
struct PnState {
    bool bullet = false;
    bool numbered = false;
    int level = 0;
    ListStyle style = ListStyle::Decimal;
    int start = 1;
    int font = -1;
    bool after = false; // the text group being read is \pntxta
    std::string before, text;
};

// A list of the list table being read.
struct ListTableEntry {
    std::vector<ListLevel> levels;
};

struct PictState {
    PictureKind kind = PictureKind::Other;
    std::string data;
    bool overflow = false;
    bool highNibble = true;
    int nibble = 0;
    int picw = 0, pich = 0, goalw = 0, goalh = 0;
    int scalex = 100, scaley = 100;
    int mapMode = 8;
};

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

inline int clampInt(int64_t v, int lo, int hi)
{
    return int(std::clamp<int64_t>(v, lo, hi));
}

// Destinations whose content is not body text, whether or not they are
// marked with \*.
bool isSkippedDestination(std::string_view w);

class Reader {
public:
    Reader(std::string_view in, const RtfReadLimits& limits, const RtfParagraphSink* sink = nullptr)
        : in_(in), limits_(limits), sink_(sink)
    {
    }

    RichDocument Run();

private:
    void controlWord(std::string_view word, bool hasParam, int param, size_t& i);
    void controlSymbol(char c, size_t& i);
    void openGroup();
    void closeGroup();
    void emitChar(char32_t cp);
    void emitAscii(char c);
    void emitByte(unsigned char b);
    void flush();
    void endParagraph();
    void endRow();
    void finishPicture();
    void finishFontEntry();
    int codePage() const;
    const SharedString& faceOf(int font) const;
    bool skipping()
    {
        if (ucSkip_ > 0) {
            --ucSkip_;
            return true;
        }
        return false;
    }

    std::string_view in_;
    RtfReadLimits limits_;
    const RtfParagraphSink* sink_; // takes each paragraph once it is complete
    bool delivered_ = false;       // the sink has taken a paragraph
    void deliver();
    // A paragraph of this many runs goes to the sink in pieces.
    static constexpr size_t kPieceRuns = 1024;
    void deliverPiece();
    RichDocument doc_;
    State st_;
    std::vector<State> stack_;
    // Groups beyond maxDepth, read as part of the deepest one kept: for
    // each, whether it is a destination whose text is not body text.
    std::vector<bool> overflow_;
    bool overflowSkips() const { return !overflow_.empty() && overflow_.back(); }

    // Text waiting to become a run, and the format it was added in.
    std::string pending_;
    CharFormat pendingFmt_;
    int pendingFont_ = -1;
    int pendingLink_ = -1;
    bool afterPar_ = false; // the last paragraph was opened by a break

    int ansiCodePage_ = 1252;
    int defaultFont_ = 0;
    std::unordered_map<int, Font> fonts_;
    int fontIndex_ = -1; // font table entry being read
    Font fontEntry_;
    std::string fontName_; // its name so far
    bool fontEntryOpen_ = false;

    std::vector<RgbColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    PictState pict_;
    std::string fieldInst_;
    std::vector<SharedString> links_;

    int ucSkip_ = 0;
    // Paragraph formats, lists and tables.
    void applyPara();
    void endCell();
    int listOf(const ParaState& p, int& level);
    void finishPn();
    void finishListLevel();
    void emitSymbol(char32_t code);
    bool symbolFont() const;
    std::string label_; // \listtext of the paragraph being read
    PnState pn_;
    int lastPnList_ = -1; // the old-style list the last item was in
    bool lastParaPn_ = false;
    std::unordered_map<int, ListTableEntry> listDefs_; // by \listid
    ListTableEntry listEntry_;
    bool listEntryOpen_ = false;
    ListLevel level_;
    int levelFont_ = -1;
    std::u32string levelText_; // \leveltext, bytes and \u as read
    std::vector<bool> levelPlaceholder_;
    int overrideListId_ = 0, overrideLs_ = 0;
    int listId_ = 0;
    std::unordered_map<int, int> overrides_; // \ls -> \listid
    std::unordered_map<int, int> lsLists_;   // \ls -> index into doc lists
    int table_ = -1, row_ = 0, cell_ = 0;    // where the next table paragraph goes
    std::vector<int> rowEdges_;
    std::vector<CellMerge> rowMerges_;
    CellMerge nextMerge_;    // of the cell whose \cellx comes next
    bool pageBreak_ = false; // a \page before the paragraph being read

    // Notes: the body's paragraphs wait while a note's are read.
    void startNote();
    void finishNote();
    std::shared_ptr<Note> note_;
    std::vector<Paragraph> bodyParagraphs_;
    bool bodyAfterPar_ = false;
    std::string bodyLabel_;
    CharFormat noteMark_; // the reference's format, its face resolved
    // A \chftn in the body: the note that follows is numbered, and marked
    // in this format.
    bool chftn_ = false;
    CharFormat chftnMark_;
    bool faceless_ = false; // the character being added came from a symbol font

    // Nothing but the opening brace read in this group yet: only here does
    // \* mark the group as a destination; elsewhere it means nothing.
    bool groupStart_ = false;
    char32_t highSurrogate_ = 0;
    unsigned char leadByte_ = 0; // first byte of a double-byte character
    int leadCodePage_ = 0;
};

} // namespace lw::rtfread
