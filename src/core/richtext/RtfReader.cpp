#include "core/richtext/RtfReader.h"

#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace lw {

namespace {

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
    enum class Role : uint8_t { None, List, Level, Override, Pn } role = Role::None;
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

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int clampInt(int64_t v, int lo, int hi)
{
    return int(std::clamp<int64_t>(v, lo, hi));
}

// Destinations whose content is not body text, whether or not they are
// marked with \*.
bool isSkippedDestination(std::string_view w)
{
    // clang-format off
    static const char* const names[] = {
        "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "pntext", "pntxta", "pntxtb", "listtext", "pn",
        "xe", "tc", "txe", "annotation", "atnid", "atnauthor", "atndate", "atnref",
        "atnparent", "atntime", "atrfstart", "atrfend", "template", "filetbl", "revtbl",
        "listtable", "listoverridetable", "rsidtbl", "generator", "themedata",
        "colorschememapping", "latentstyles", "datastore", "fchars", "lchars", "pgdsctbl",
        "mmathPr", "userprops", "xmlnstbl", "bkmkstart", "bkmkend", "protusertbl", "docvar",
        "pnseclvl", "nesttableprops", "shpinst", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
        "aftnsepc", "aftncn", "objdata", "objclass", "objname", "objalias", "objsect",
        "objtime", "nonshppict", "author", "operator", "title", "subject", "keywords",
        "comment", "doccomm", "company", "category", "manager", "hlinkbase", "creatim",
        "revtim", "printim", "buptim", "falt", "panose", "fname", "fontemb", "fontfile",
        "blipuid", "picprop", "sp", "sn", "sv", "do", "wgrffmtfilter", "pgptbl", "oldcprops",
        "oldpprops", "oldsprops", "oldtprops", "ffname", "ffdeftext", "ffformat", "ffhelptext",
        "ffstattext", "ffentrymcr", "ffexitmcr", "ffl", "formfield", "datafield", "bkmkcolf",
        "bkmkcoll", "passwordhash", "password", "mhtmltag", "htmltag", "mmath", "xmlopen",
        "xmlclose", "xmlattrname", "xmlattrvalue", "factoidname", "wgrffmtfilter", "listpicture",
        "background", "shpgrp", "svb", "private", "ebcstart", "ebcend", "rxe", "tcn", "bxe",
        "ixe", "xef", "list", "listoverride", "listlevel", "leveltext", "levelnumbers", "listname",
    };
    // clang-format on
    static const std::unordered_map<std::string_view, bool> set = [] {
        std::unordered_map<std::string_view, bool> m;
        for (const char* n : names) m.emplace(n, true);
        return m;
    }();
    return set.count(w) != 0;
}

class Reader {
public:
    Reader(std::string_view in, const RtfReadLimits& limits) : in_(in), limits_(limits) {}

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
    RichDocument doc_;
    State st_;
    std::vector<State> stack_;
    int overflow_ = 0; // groups beyond maxDepth, read as part of their parent

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
    bool faceless_ = false; // the character being added came from a symbol font

    // Nothing but the opening brace read in this group yet: only here does
    // \* mark the group as a destination; elsewhere it means nothing.
    bool groupStart_ = false;
    char32_t highSurrogate_ = 0;
    unsigned char leadByte_ = 0; // first byte of a double-byte character
    int leadCodePage_ = 0;
};

int Reader::codePage() const
{
    const int f = st_.font >= 0 ? st_.font : defaultFont_;
    auto it = fonts_.find(f);
    if (it != fonts_.end() && it->second.codePage) return it->second.codePage;
    return ansiCodePage_;
}

const SharedString& Reader::faceOf(int font) const
{
    static const SharedString none;
    if (font == -2) return none;
    auto it = fonts_.find(font >= 0 ? font : defaultFont_);
    return it != fonts_.end() ? it->second.name : none;
}

void Reader::flush()
{
    if (pending_.empty()) return;
    CharFormat fmt = pendingFmt_;
    fmt.face = faceOf(pendingFont_);
    doc_.AppendText(pending_, fmt, pendingLink_ >= 0 ? links_[size_t(pendingLink_)] : SharedString());
    pending_.clear();
}

void Reader::emitChar(char32_t cp)
{
    if (highSurrogate_) {
        // A high surrogate not followed by its low half stands for nothing valid.
        highSurrogate_ = 0;
        emitChar(0xFFFD);
    }
    if (cp == 0) return;
    if (st_.dest == Dest::FontTable) {
        if (fontName_.size() < MaxFaceNameBytes) AppendUtf8(fontName_, cp);
        return;
    }
    if (st_.dest == Dest::FieldInst) {
        if (fieldInst_.size() < 4096) AppendUtf8(fieldInst_, cp);
        return;
    }
    if (st_.dest == Dest::ListText) {
        if (label_.size() < 256) AppendUtf8(label_, cp);
        return;
    }
    if (st_.dest == Dest::PnText) {
        std::string& t = pn_.after ? pn_.text : pn_.before;
        if (t.size() < 64) AppendUtf8(t, cp);
        return;
    }
    if (st_.dest == Dest::LevelText) {
        if (levelText_.size() < 64) {
            levelText_ += cp;
            levelPlaceholder_.push_back(false);
        }
        return;
    }
    if (st_.dest != Dest::Text) return;
    // The paragraph takes its format when its first content comes (that
    // places it in a table or a list) and again when it ends.
    if (pending_.empty() && doc_.Last().Empty()) applyPara();
    const int font = faceless_ ? -2 : st_.font;
    if (!pending_.empty() && (!(pendingFmt_ == st_.fmt) || pendingFont_ != font || pendingLink_ != st_.link)) flush();
    if (pending_.empty()) {
        pendingFmt_ = st_.fmt;
        pendingFont_ = font;
        pendingLink_ = st_.link;
    }
    AppendUtf8(pending_, cp);
    afterPar_ = false;
}

void Reader::emitAscii(char c)
{
    if (st_.dest == Dest::FontTable) {
        if (c == ';') finishFontEntry();
        else if (fontName_.size() < MaxFaceNameBytes)
            fontName_ += c;
        return;
    }
    if (st_.dest == Dest::ColorTable) {
        if (c == ';') {
            colors_.push_back(colorSet_ ? RgbColor::Rgb(uint32_t(red_) << 16 | uint32_t(green_) << 8 | uint32_t(blue_))
                                        : RgbColor{});
            red_ = green_ = blue_ = 0;
            colorSet_ = false;
        }
        return;
    }
    emitChar(char32_t(uint8_t(c)));
}

void Reader::emitByte(unsigned char b)
{
    if (st_.dest == Dest::LevelText) {
        // Numbers below 10 stand for levels' numbers; the first byte is the length.
        if (levelText_.size() < 64) {
            levelText_ += char32_t(b);
            levelPlaceholder_.push_back(true);
        }
        return;
    }
    if ((st_.dest == Dest::Text || st_.dest == Dest::ListText || st_.dest == Dest::PnText) && symbolFont() &&
        b >= 0x20) {
        emitSymbol(b);
        return;
    }
    if (leadByte_) {
        const unsigned char lead = leadByte_;
        leadByte_ = 0;
        emitChar(DecodeDoubleByte(leadCodePage_, lead, b));
        return;
    }
    if (b >= 0x80 && st_.dest == Dest::Text) {
        const int cp = codePage();
        if (IsDoubleByteCodePage(cp)) {
            if (IsLeadByte(cp, b)) {
                leadByte_ = b;
                leadCodePage_ = cp;
            } else {
                emitChar(DecodeDoubleByteSingle(cp, b));
            }
            return;
        }
    }
    if (b < 0x80) {
        emitAscii(char(b));
        return;
    }
    if (st_.dest == Dest::FontTable) {
        const int cp = fontEntry_.codePage ? fontEntry_.codePage : ansiCodePage_;
        emitChar(DecodeByte(cp, b));
        return;
    }
    emitChar(DecodeByte(codePage(), b));
}

void Reader::endParagraph()
{
    applyPara();
    flush();
    lastParaPn_ = doc_.Last().list >= 0 && doc_.Last().list == lastPnList_;
    doc_.NewParagraph(st_.para.align);
    label_.clear();
    afterPar_ = true;
}

void Reader::endRow()
{
    flush();
    // A row whose last cell was not ended still ends it.
    if (!doc_.Last().Empty() || !label_.empty()) endCell();
    if (table_ >= 0) {
        auto& rows = doc_.tables[size_t(table_)].rowEdges;
        if (rows.size() <= size_t(row_)) rows.resize(size_t(row_) + 1);
        rows[size_t(row_)] = rowEdges_;
        ++row_;
        cell_ = 0;
    }
}

void Reader::endCell()
{
    st_.para.inTable = true;
    applyPara();
    endParagraph();
    ++cell_;
}

bool Reader::symbolFont() const
{
    auto it = fonts_.find(st_.font >= 0 ? st_.font : defaultFont_);
    return it != fonts_.end() && it->second.kind.symbol;
}

void Reader::emitSymbol(char32_t code)
{
    auto it = fonts_.find(st_.font >= 0 ? st_.font : defaultFont_);
    const char32_t cp = SymbolFontChar(it != fonts_.end() ? it->second.name.str() : std::string(), uint8_t(code));
    if (cp >= 0xF000 && cp <= 0xF0FF) {
        emitChar(cp); // no Unicode equivalent: kept in its font
        return;
    }
    faceless_ = true;
    emitChar(cp);
    faceless_ = false;
}

int Reader::listOf(const ParaState& p, int& level)
{
    if (p.pnList >= 0) {
        level = p.pnLevel;
        return p.pnList;
    }
    if (p.ls <= 0) return -1;
    level = std::clamp(p.ilvl, 0, MaxListLevels - 1);
    auto found = lsLists_.find(p.ls);
    if (found != lsLists_.end()) return found->second;
    auto o = overrides_.find(p.ls);
    if (o == overrides_.end()) return -1;
    auto d = listDefs_.find(o->second);
    if (d == listDefs_.end() || d->second.levels.empty()) return -1;
    ListDefinition def;
    def.levels = d->second.levels;
    doc_.lists.push_back(std::move(def));
    const int index = int(doc_.lists.size()) - 1;
    lsLists_.emplace(p.ls, index);
    return index;
}

// The paragraph being read takes the current paragraph format, its list
// and its place in a table.
void Reader::applyPara()
{
    Paragraph& para = doc_.Last();
    const ParaState& p = st_.para;
    para.align = p.align;
    para.firstIndent = p.fi;
    para.leftIndent = p.li;
    para.rightIndent = p.ri;
    para.spaceBefore = p.sb;
    para.spaceAfter = p.sa;
    para.lineSpacing = p.sl;
    para.lineMultiple = p.slmult && p.sl != 0;
    if (para.tabs != p.tabs) para.tabs = p.tabs;
    int level = 0;
    para.list = listOf(p, level);
    para.listLevel = para.list >= 0 ? level : 0;
    if (para.list < 0 && !label_.empty() && para.Empty() && pending_.empty()) {
        // No list to rebuild: the label the writer showed becomes text.
        std::string label = std::move(label_);
        label_.clear();
        CharFormat fmt = st_.fmt;
        fmt.face = faceOf(st_.font);
        doc_.AppendText(label, fmt);
    }
    if (p.inTable) {
        if (table_ < 0) {
            doc_.tables.emplace_back();
            table_ = int(doc_.tables.size()) - 1;
            row_ = cell_ = 0;
        }
        para.cell = CellPlace{table_, row_, cell_};
    } else {
        // A paragraph outside ends the table; the next one starts anew.
        table_ = -1;
        para.cell = CellPlace{};
    }
}

void Reader::finishPn()
{
    ListLevel lv;
    if (pn_.bullet) {
        lv.style = ListStyle::Bullet;
        lv.bullet = LevelLabelText(pn_.before);
        if (lv.bullet.empty()) lv.bullet = "\u2022";
    } else {
        lv.style = pn_.style;
        lv.start = pn_.start;
        lv.prefix = LevelLabelText(pn_.before);
        lv.suffix = LevelLabelText(pn_.text);
    }
    const int level = pn_.bullet ? 0 : pn_.level;
    // Items of one kind in a row number on; anything else starts a list.
    int index = -1;
    if (lastParaPn_ && lastPnList_ >= 0) {
        auto& levels = doc_.lists[size_t(lastPnList_)].levels;
        if (size_t(level) < levels.size() && levels[size_t(level)] == lv) index = lastPnList_;
        else if (size_t(level) >= levels.size() && level > 0) {
            levels.resize(size_t(level) + 1, lv);
            levels[size_t(level)] = lv;
            index = lastPnList_;
        }
    }
    if (index < 0) {
        ListDefinition def;
        def.levels.assign(size_t(level) + 1, lv);
        doc_.lists.push_back(std::move(def));
        index = int(doc_.lists.size()) - 1;
    }
    lastPnList_ = index;
    st_.para.pnList = index;
    st_.para.pnLevel = level;
}

void Reader::finishListLevel()
{
    // \leveltext: a length, then text with the levels' numbers as 0..8.
    std::string before, after;
    int beforeChars = 0, afterChars = 0;
    bool sawNumber = false;
    const size_t n =
        levelText_.empty() ? 0 : std::min<size_t>(levelText_.size() - 1, levelPlaceholder_[0] ? levelText_[0] : 64);
    const auto lf = fonts_.find(levelFont_);
    const bool symbol = lf != fonts_.end() && lf->second.kind.symbol;
    for (size_t i = 1; i <= n; ++i) {
        char32_t c = levelText_[i];
        if (levelPlaceholder_[i] && c < 10) {
            sawNumber = true;
            after.clear();
            afterChars = 0;
            continue;
        }
        if (symbol && (c < 0x100 || (c >= 0xF000 && c <= 0xF0FF)))
            c = SymbolFontChar(lf->second.name.str(), uint8_t(c & 0xFF));
        else if (levelPlaceholder_[i] && c >= 0x80)
            c = DecodeByte(lf != fonts_.end() && lf->second.codePage ? lf->second.codePage : ansiCodePage_, uint8_t(c));
        if (!FitsLevelLabel(c)) continue;
        int& count = sawNumber ? afterChars : beforeChars;
        if (size_t(count) >= kMaxLevelLabelChars) continue;
        ++count;
        AppendUtf8(sawNumber ? after : before, c);
    }
    ListLevel lv = level_;
    if (lv.style == ListStyle::Bullet) lv.bullet = before + after;
    else {
        lv.prefix = before;
        lv.suffix = after;
    }
    if (listEntry_.levels.size() < size_t(MaxListLevels)) listEntry_.levels.push_back(std::move(lv));
    level_ = ListLevel{};
    levelFont_ = -1;
    levelText_.clear();
    levelPlaceholder_.clear();
}

void Reader::finishFontEntry()
{
    if (!fontEntryOpen_) return;
    std::string name = std::move(fontName_);
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (fontEntry_.charset == 2) fontEntry_.kind.symbol = true;
    if (!name.empty() &&
        (fontEntry_.kind.family != FontFamily::Nil || fontEntry_.kind.pitch != 0 || fontEntry_.kind.symbol))
        doc_.fontKinds.emplace(name, fontEntry_.kind);
    fontEntry_.name = std::move(name);
    fonts_[fontIndex_] = fontEntry_;
    fontEntryOpen_ = false;
    fontEntry_ = Font{};
    fontName_.clear();
}

void Reader::finishPicture()
{
    auto pic = std::make_shared<Picture>();
    pic->kind = pict_.kind;
    if (!pict_.overflow) pic->data = std::move(pict_.data);
    pic->pixelWidth = pict_.picw;
    pic->pixelHeight = pict_.pich;
    pic->wmfMapMode = pict_.mapMode;
    int w = pict_.goalw, h = pict_.goalh;
    if (w <= 0 || h <= 0) {
        int pw = 0, ph = 0;
        if ((pic->kind == PictureKind::Png || pic->kind == PictureKind::Jpeg) && PictureDimensions(*pic, pw, ph)) {
            w = pw * 15;
            h = ph * 15;
        } else if (pic->kind == PictureKind::Wmf || pic->kind == PictureKind::Emf) {
            // Metafiles give \picw and \pich in hundredths of a millimetre.
            w = int(int64_t(pict_.picw) * 1440 / 2540);
            h = int(int64_t(pict_.pich) * 1440 / 2540);
        } else {
            w = pict_.picw * 15;
            h = pict_.pich * 15;
        }
    }
    // A scale that shrinks a side to nothing leaves it one twip: a size of 0
    // means "none given", which the next read would fill in anew.
    const int scaledW = int(int64_t(w) * pict_.scalex / 100);
    const int scaledH = int(int64_t(h) * pict_.scaley / 100);
    pic->widthTwips = std::clamp(scaledW, w > 0 ? 1 : 0, 31680);
    pic->heightTwips = std::clamp(scaledH, h > 0 ? 1 : 0, 31680);
    pict_ = PictState{};
    if (pic->data.empty() && (pic->widthTwips == 0 || pic->heightTwips == 0)) return;

    applyPara();
    flush();
    CharFormat fmt = st_.fmt;
    fmt.face = faceOf(st_.font);
    doc_.AppendPicture(std::move(pic), fmt);
    afterPar_ = false;
}

void Reader::openGroup()
{
    ucSkip_ = 0;
    groupStart_ = true;
    if (int(stack_.size()) >= limits_.maxDepth) {
        ++overflow_;
        return;
    }
    stack_.push_back(st_);
    st_.star = false;
    st_.role = State::Role::None;
    groupStart_ = true;
}

void Reader::closeGroup()
{
    ucSkip_ = 0;
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.empty()) return;
    const Dest was = st_.dest;
    if (was == Dest::FontTable && stack_.back().dest != Dest::FontTable) finishFontEntry();
    if (was == Dest::FontTable && fontEntryOpen_ && !fontName_.empty()) finishFontEntry();
    const bool pictureEnds = was == Dest::Pict && stack_.back().dest != Dest::Pict;
    const bool fieldInstEnds = was == Dest::FieldInst && stack_.back().dest != Dest::FieldInst;
    const State::Role role = st_.role;
    State parent = std::move(stack_.back());
    stack_.pop_back();
    st_ = std::move(parent);
    switch (role) {
    case State::Role::None: break;
    case State::Role::Level: finishListLevel(); break;
    case State::Role::List:
        if (listId_ != 0 && !listEntry_.levels.empty()) listDefs_[listId_] = std::move(listEntry_);
        listEntry_ = ListTableEntry{};
        listId_ = 0;
        break;
    case State::Role::Override:
        if (overrideLs_ != 0) overrides_[overrideLs_] = overrideListId_;
        overrideLs_ = overrideListId_ = 0;
        break;
    case State::Role::Pn:
        if (st_.dest == Dest::Text && (pn_.bullet || pn_.numbered)) finishPn();
        break;
    }
    if (pictureEnds) {
        // The picture stands where its group stood, in that group's format.
        if (st_.dest == Dest::Text) finishPicture();
        else
            pict_ = PictState{};
    }
    if (fieldInstEnds) {
        // HYPERLINK "target" gives the field's result a link.
        std::string_view s = fieldInst_;
        const size_t h = s.find("HYPERLINK");
        if (h != std::string_view::npos) {
            std::string_view rest = s.substr(h + 9);
            std::string target;
            const size_t q = rest.find('"');
            if (q != std::string_view::npos) {
                const size_t e = rest.find('"', q + 1);
                target =
                    std::string(rest.substr(q + 1, e == std::string_view::npos ? std::string_view::npos : e - q - 1));
            } else {
                size_t a = rest.find_first_not_of(' ');
                if (a != std::string_view::npos) target = std::string(rest.substr(a, rest.find(' ', a) - a));
            }
            if (!target.empty()) {
                links_.push_back(target);
                st_.fieldLink = int(links_.size()) - 1;
            }
        }
        fieldInst_.clear();
    }
}

void Reader::controlSymbol(char c, size_t& i)
{
    switch (c) {
    case '\'': {
        int hi = i + 1 < in_.size() ? hexValue(in_[i + 1]) : -1;
        int lo = i + 2 < in_.size() ? hexValue(in_[i + 2]) : -1;
        if (hi < 0) return;
        if (lo < 0) {
            ++i;
            return;
        } // a cut-off escape stands for nothing
        i += 2;
        if (skipping()) return;
        if (st_.dest == Dest::Pict) return;
        emitByte(static_cast<unsigned char>(hi * 16 + lo));
        return;
    }
    case '*':
        // "{\loch\f2\*\cs7 text}" is text with a style mark inside, not
        // a destination to drop.
        st_.star = groupStart_;
        return;
    case '\\':
    case '{':
    case '}':
        if (skipping()) return;
        emitByte(static_cast<unsigned char>(c));
        return;
    case '~':
        if (skipping()) return;
        emitChar(0xA0);
        return;
    case '_':
        if (skipping()) return;
        emitChar(0x2011);
        return;
    case '\r':
    case '\n':
        if (skipping()) return;
        if (st_.dest == Dest::Text) endParagraph();
        return;
    case '\t':
        if (skipping()) return;
        emitAscii('\t');
        return;
    default: skipping(); return;
    }
}

void Reader::controlWord(std::string_view w, bool hasParam, int param, size_t& i)
{
    // \bin's data follows whatever the destination.
    if (w == "bin") {
        const size_t n = hasParam && param > 0 ? std::min<size_t>(size_t(param), in_.size() - i) : 0;
        if (st_.dest == Dest::Pict && !pict_.overflow) {
            if (pict_.data.size() + n > limits_.maxPictureBytes) pict_.overflow = true;
            else
                pict_.data.append(in_.substr(i, n));
        }
        i += n;
        skipping();
        return;
    }

    const bool star = st_.star;
    st_.star = false;
    leadByte_ = 0;

    if (st_.dest == Dest::Skip) return;
    if (st_.dest == Dest::UprSkip) {
        if (w == "ud") st_.dest = Dest::Text;
        return;
    }

    if (w == "u") {
        if (st_.dest != Dest::Text && st_.dest != Dest::FontTable && st_.dest != Dest::FieldInst &&
            st_.dest != Dest::ListText && st_.dest != Dest::PnText && st_.dest != Dest::LevelText)
            return;
        if (skipping()) return;
        int64_t v = param;
        if (v < 0) v += 65536;
        const char32_t cp = char32_t(std::clamp<int64_t>(v, 0, 0x10FFFF));
        if (cp >= 0xF020 && cp <= 0xF0FF && st_.dest != Dest::FontTable && st_.dest != Dest::FieldInst &&
            st_.dest != Dest::LevelText && symbolFont()) {
            // Word gives a symbol font's characters in the private use area.
            emitSymbol(cp & 0xFF);
            ucSkip_ = st_.uc;
            return;
        }
        if (cp >= 0xDC00 && cp <= 0xDFFF && highSurrogate_) {
            const char32_t high = highSurrogate_;
            highSurrogate_ = 0;
            emitChar(0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00));
        } else if (cp >= 0xD800 && cp <= 0xDBFF) {
            emitChar(0); // an earlier unpaired half
            highSurrogate_ = cp;
        } else {
            emitChar(cp); // a lone low half becomes U+FFFD there
        }
        ucSkip_ = st_.uc;
        return;
    }
    if (skipping()) return;

    if (st_.dest == Dest::Pict) {
        if (w == "pngblip") pict_.kind = PictureKind::Png;
        else if (w == "jpegblip")
            pict_.kind = PictureKind::Jpeg;
        else if (w == "emfblip")
            pict_.kind = PictureKind::Emf;
        else if (w == "wmetafile") {
            pict_.kind = PictureKind::Wmf;
            pict_.mapMode = hasParam ? param : 8;
        } else if (w == "dibitmap" || w == "wbitmap")
            pict_.kind = PictureKind::Bitmap;
        else if (w == "picw")
            pict_.picw = clampInt(param, 0, 1 << 20);
        else if (w == "pich")
            pict_.pich = clampInt(param, 0, 1 << 20);
        else if (w == "picwgoal")
            pict_.goalw = clampInt(param, 0, 1 << 20);
        else if (w == "pichgoal")
            pict_.goalh = clampInt(param, 0, 1 << 20);
        else if (w == "picscalex")
            pict_.scalex = clampInt(param, 1, 1000);
        else if (w == "picscaley")
            pict_.scaley = clampInt(param, 1, 1000);
        else if (star || isSkippedDestination(w))
            st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::FontTable) {
        if (w == "f") {
            finishFontEntry();
            fontIndex_ = param;
            fontEntry_ = Font{};
            fontName_.clear();
            fontEntryOpen_ = true;
        } else if (w == "fcharset") {
            fontEntry_.charset = param;
            if (!fontEntry_.codePage) fontEntry_.codePage = CodePageOfCharset(param);
        } else if (w == "cpg") {
            fontEntry_.codePage = param;
        } else if (w == "fnil" || w == "froman" || w == "fswiss" || w == "fmodern" || w == "fscript" || w == "fdecor" ||
                   w == "ftech") {
            static const std::pair<const char*, FontFamily> families[] = {
                {"fnil", FontFamily::Nil},       {"froman", FontFamily::Roman},   {"fswiss", FontFamily::Swiss},
                {"fmodern", FontFamily::Modern}, {"fscript", FontFamily::Script}, {"fdecor", FontFamily::Decor},
                {"ftech", FontFamily::Tech}};
            for (const auto& [name, family] : families)
                if (w == name) fontEntry_.kind.family = family;
        } else if (w == "fprq") {
            fontEntry_.kind.pitch = clampInt(param, 0, 2);
        } else if (star || isSkippedDestination(w)) {
            st_.dest = Dest::Skip;
        }
        return;
    }

    if (st_.dest == Dest::ColorTable) {
        if (w == "red") {
            red_ = clampInt(param, 0, 255);
            colorSet_ = true;
        } else if (w == "green") {
            green_ = clampInt(param, 0, 255);
            colorSet_ = true;
        } else if (w == "blue") {
            blue_ = clampInt(param, 0, 255);
            colorSet_ = true;
        } else if (star)
            st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::FieldInst) {
        if (star || isSkippedDestination(w)) st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::ListText || st_.dest == Dest::PnText) {
        if (w == "tab") emitAscii('\t');
        else if (w == "f")
            st_.font = hasParam ? std::max(param, 0) : -1;
        else if (w == "bullet")
            emitChar(0x2022);
        else if (w == "endash")
            emitChar(0x2013);
        else if (w == "emdash")
            emitChar(0x2014);
        else if (star)
            st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::Pn) {
        if (w == "pnlvlblt") pn_.bullet = true;
        else if (w == "pnlvlbody")
            pn_.numbered = true;
        else if (w == "pnlvl") {
            pn_.numbered = true;
            pn_.level = clampInt(param - 1, 0, MaxListLevels - 1);
        } else if (w == "pndec" || w == "pnord" || w == "pncard" || w == "pnordt" || w == "pncardtext")
            pn_.style = ListStyle::Decimal;
        else if (w == "pnucltr")
            pn_.style = ListStyle::UpperAlpha;
        else if (w == "pnlcltr")
            pn_.style = ListStyle::LowerAlpha;
        else if (w == "pnucrm")
            pn_.style = ListStyle::UpperRoman;
        else if (w == "pnlcrm")
            pn_.style = ListStyle::LowerRoman;
        else if (w == "pnstart")
            pn_.start = clampInt(param, 0, 32767);
        else if (w == "pnf") {
            pn_.font = param;
            st_.font = std::max(param, 0);
        } else if (w == "pntxtb") {
            st_.dest = Dest::PnText;
            pn_.after = false;
        } else if (w == "pntxta") {
            st_.dest = Dest::PnText;
            pn_.after = true;
        } else if (star)
            st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::ListTable) {
        if (w == "list") {
            st_.role = State::Role::List;
            listEntry_ = ListTableEntry{};
            listId_ = 0;
        } else if (w == "listid")
            listId_ = param;
        else if (w == "listlevel") {
            st_.role = State::Role::Level;
            level_ = ListLevel{};
            level_.style = ListStyle::Decimal;
            levelFont_ = -1;
            levelText_.clear();
            levelPlaceholder_.clear();
        } else if (w == "levelnfc" || w == "levelnfcn") {
            switch (param) {
            case 1: level_.style = ListStyle::UpperRoman; break;
            case 2: level_.style = ListStyle::LowerRoman; break;
            case 3: level_.style = ListStyle::UpperAlpha; break;
            case 4: level_.style = ListStyle::LowerAlpha; break;
            case 23:
            case 255: level_.style = ListStyle::Bullet; break;
            default: level_.style = ListStyle::Decimal; break;
            }
        } else if (w == "levelstartat")
            level_.start = clampInt(param, 0, 32767);
        else if (w == "f")
            levelFont_ = param;
        else if (w == "leveltext") {
            st_.dest = Dest::LevelText;
            levelText_.clear();
            levelPlaceholder_.clear();
        } else if (star || w == "listname" || w == "levelnumbers" || isSkippedDestination(w))
            st_.dest = Dest::Skip;
        return;
    }
    if (st_.dest == Dest::LevelText) {
        if (star) st_.dest = Dest::Skip;
        return;
    }
    if (st_.dest == Dest::ListOverrides) {
        if (w == "listoverride") {
            st_.role = State::Role::Override;
            overrideLs_ = overrideListId_ = 0;
        } else if (w == "listid")
            overrideListId_ = param;
        else if (w == "ls")
            overrideLs_ = param;
        else if (star || isSkippedDestination(w))
            st_.dest = Dest::Skip;
        return;
    }

    // Body text.
    auto color = [&](int index) -> RgbColor {
        if (index <= 0 || size_t(index) >= colors_.size()) return {};
        return colors_[size_t(index)];
    };
    const bool on = !hasParam || param != 0;

    if (w == "par") endParagraph();
    else if (w == "line")
        emitAscii('\v');
    else if (w == "tab")
        emitAscii('\t');
    else if (w == "cell")
        endCell();
    // A nested table's cells and rows stay paragraphs of the outer cell.
    else if (w == "nestcell" || w == "nestrow") {
        if (!doc_.Last().Empty() || !pending_.empty() || w == "nestcell") endParagraph();
    } else if (w == "row")
        endRow();
    else if (w == "trowd")
        rowEdges_.clear();
    else if (w == "cellx") {
        if (rowEdges_.size() < 64) rowEdges_.push_back(clampInt(param, 0, 31680));
    } else if (w == "intbl")
        st_.para.inTable = true;
    else if (w == "fi")
        st_.para.fi = clampInt(param, -31680, 31680);
    else if (w == "li" || w == "lin")
        st_.para.li = clampInt(param, -31680, 31680);
    else if (w == "ri" || w == "rin")
        st_.para.ri = clampInt(param, -31680, 31680);
    else if (w == "sb")
        st_.para.sb = clampInt(param, 0, 31680);
    else if (w == "sa")
        st_.para.sa = clampInt(param, 0, 31680);
    else if (w == "sl")
        st_.para.sl = clampInt(param, -31680, 31680);
    else if (w == "slmult")
        st_.para.slmult = on;
    else if (w == "tqc")
        st_.para.nextTab = TabKind::Center;
    else if (w == "tqr")
        st_.para.nextTab = TabKind::Right;
    else if (w == "tqdec")
        st_.para.nextTab = TabKind::Decimal;
    else if (w == "tx" || w == "tb") {
        if (w == "tx" && st_.para.tabs.size() < 64)
            st_.para.tabs.push_back({clampInt(param, 0, 31680), st_.para.nextTab});
        st_.para.nextTab = TabKind::Left;
    } else if (w == "ls")
        st_.para.ls = param;
    else if (w == "ilvl")
        st_.para.ilvl = clampInt(param, 0, MaxListLevels - 1);
    else if (w == "pntext" || w == "listtext") {
        flush();
        label_.clear();
        st_.dest = Dest::ListText;
    } else if (w == "pn") {
        st_.dest = Dest::Pn;
        st_.role = State::Role::Pn;
        pn_ = PnState{};
    } else if (w == "listtable")
        st_.dest = Dest::ListTable;
    else if (w == "listoverridetable")
        st_.dest = Dest::ListOverrides;
    else if (w == "super")
        st_.fmt.vertical = on ? VerticalAlign::Superscript : VerticalAlign::Normal;
    else if (w == "sub")
        st_.fmt.vertical = on ? VerticalAlign::Subscript : VerticalAlign::Normal;
    else if (w == "nosupersub")
        st_.fmt.vertical = VerticalAlign::Normal;
    else if (w == "v")
        st_.fmt.hidden = on;
    else if (w == "sect") {
        if (!doc_.Last().Empty() || !pending_.empty()) endParagraph();
    } else if (w == "page") {
        if (!doc_.Last().Empty() || !pending_.empty()) endParagraph();
    } else if (w == "pard")
        st_.para = ParaState{};
    else if (w == "ql")
        st_.para.align = ParaAlign::Left;
    else if (w == "qr")
        st_.para.align = ParaAlign::Right;
    else if (w == "qc")
        st_.para.align = ParaAlign::Center;
    else if (w == "qj" || w == "qd")
        st_.para.align = ParaAlign::Justify;
    else if (w == "plain") {
        st_.fmt = CharFormat{};
        st_.font = -1;
    } else if (w == "b")
        st_.fmt.bold = on;
    else if (w == "i")
        st_.fmt.italic = on;
    else if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" || w == "uldb" ||
             w == "ulth" || w == "ulw" || w == "ulwave" || w == "ulhwave" || w == "ululdbwave" || w == "ulthd" ||
             w == "ulthdash" || w == "ulldash" || w == "ulthldash" || w == "ulthdashd" || w == "ulthdashdd")
        st_.fmt.underline = on;
    else if (w == "ulnone")
        st_.fmt.underline = false;
    else if (w == "strike" || w == "striked")
        st_.fmt.strike = on;
    else if (w == "fs")
        st_.fmt.halfPoints = hasParam && param > 0 ? clampInt(param, 2, 3276) : 0;
    else if (w == "f")
        st_.font = hasParam ? std::max(param, 0) : -1;
    else if (w == "cf")
        st_.fmt.color = color(param);
    else if (w == "cb" || w == "highlight" || w == "chcbpat")
        st_.fmt.background = color(param);
    else if (w == "uc")
        st_.uc = clampInt(param, 0, 16);
    else if (w == "ansicpg") {
        if (param > 0) ansiCodePage_ = param;
    } else if (w == "ansi")
        ansiCodePage_ = 1252;
    else if (w == "mac")
        ansiCodePage_ = 10000;
    else if (w == "pc")
        ansiCodePage_ = 437;
    else if (w == "pca")
        ansiCodePage_ = 850;
    else if (w == "deff")
        defaultFont_ = std::max(param, 0);
    else if (w == "fonttbl")
        st_.dest = Dest::FontTable;
    else if (w == "colortbl") {
        st_.dest = Dest::ColorTable;
        colors_.clear();
    } else if (w == "pict") {
        st_.dest = Dest::Pict;
        pict_ = PictState{};
    } else if (w == "fldinst") {
        st_.dest = Dest::FieldInst;
        fieldInst_.clear();
    } else if (w == "fldrslt")
        st_.link = st_.fieldLink;
    else if (w == "field")
        st_.fieldLink = -1;
    else if (w == "upr")
        st_.dest = Dest::UprSkip;
    else if (w == "ud" || w == "shppict" || w == "shprslt" || w == "result" || w == "object" || w == "shp" ||
             w == "shptxt" || w == "field" || w == "rtf")
        ;
    else if (w == "emdash")
        emitChar(0x2014);
    else if (w == "endash")
        emitChar(0x2013);
    else if (w == "bullet")
        emitChar(0x2022);
    else if (w == "lquote")
        emitChar(0x2018);
    else if (w == "rquote")
        emitChar(0x2019);
    else if (w == "ldblquote")
        emitChar(0x201C);
    else if (w == "rdblquote")
        emitChar(0x201D);
    else if (w == "emspace")
        emitChar(0x2003);
    else if (w == "enspace")
        emitChar(0x2002);
    else if (w == "qmspace")
        emitChar(0x2005);
    else if (w == "zwj")
        emitChar(0x200D);
    else if (w == "zwnj")
        emitChar(0x200C);
    else if (star || isSkippedDestination(w)) {
        flush();
        st_.dest = Dest::Skip;
    }
}

RichDocument Reader::Run()
{
    size_t i = 0;
    if (in_.size() >= 3 && in_.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    bool started = false;
    while (i < in_.size()) {
        const char c = in_[i];
        if (c == '{') {
            ++i;
            if (!started) {
                started = true;
                continue;
            } // the document's own group
            openGroup();
        } else if (c == '}') {
            ++i;
            groupStart_ = false;
            if (stack_.empty() && overflow_ == 0) break; // the document's group ends
            closeGroup();
        } else if (c == '\\') {
            ++i;
            if (i >= in_.size()) break;
            const bool atStart = groupStart_;
            groupStart_ = false;
            const char d = in_[i];
            if (isLetter(d)) {
                const size_t ws = i;
                while (i < in_.size() && isLetter(in_[i])) ++i;
                std::string_view word = in_.substr(ws, std::min<size_t>(i - ws, 32));
                bool neg = false, hasParam = false;
                int64_t v = 0;
                if (i < in_.size() && in_[i] == '-' && i + 1 < in_.size() && isDigit(in_[i + 1])) {
                    neg = true;
                    ++i;
                }
                while (i < in_.size() && isDigit(in_[i])) {
                    hasParam = true;
                    if (v < (int64_t(1) << 40)) v = v * 10 + (in_[i] - '0');
                    ++i;
                }
                if (neg) v = -v;
                if (i < in_.size() && in_[i] == ' ') ++i;
                controlWord(word, hasParam, clampInt(v, INT32_MIN + 1, INT32_MAX), i);
            } else {
                groupStart_ = atStart; // only \* itself looks at it
                controlSymbol(d, i);
                groupStart_ = false;
                ++i;
            }
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (st_.dest == Dest::Pict) {
            groupStart_ = false;
            // Hex digits of the picture; everything else between them is noise.
            const size_t end = in_.find_first_of("{}\\", i);
            const size_t stop = end == std::string_view::npos ? in_.size() : end;
            for (; i < stop; ++i) {
                const int h = hexValue(in_[i]);
                if (h < 0) continue;
                if (pict_.highNibble) {
                    pict_.nibble = h;
                    pict_.highNibble = false;
                } else {
                    pict_.highNibble = true;
                    if (pict_.overflow) continue;
                    if (pict_.data.size() >= limits_.maxPictureBytes) {
                        pict_.overflow = true;
                        continue;
                    }
                    pict_.data += char(pict_.nibble << 4 | h);
                }
            }
        } else if (st_.dest == Dest::Skip || st_.dest == Dest::UprSkip) {
            groupStart_ = false;
            const size_t end = in_.find_first_of("{}\\", i);
            i = end == std::string_view::npos ? in_.size() : end;
        } else {
            ++i;
            groupStart_ = false;
            if (skipping()) continue;
            emitByte(static_cast<unsigned char>(c));
        }
    }
    flush();
    if (st_.dest == Dest::Pict) finishPicture();
    if (afterPar_ && doc_.paragraphs.size() > 1 && doc_.Last().Empty()) doc_.paragraphs.pop_back();
    doc_.ShrinkToFit();
    return std::move(doc_);
}

} // namespace

bool LooksLikeRtf(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.remove_prefix(3);
    return bytes.size() >= 5 && bytes.compare(0, 5, "{\\rtf") == 0;
}

std::optional<RichDocument> ReadRtf(std::string_view bytes, const RtfReadLimits& limits)
{
    if (!LooksLikeRtf(bytes)) return std::nullopt;
    return Reader(bytes, limits).Run();
}

} // namespace lw
