#include "RtfReader.h"

#include "CodePages.h"
#include "components/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace lw {

namespace {

enum class Dest : uint8_t {
    Text,        // body text
    Skip,        // ignored group
    UprSkip,     // the ANSI half of \upr; its \ud half is read
    FontTable,
    ColorTable,
    Pict,
    FieldInst,
};

struct Font {
    SharedString name;       // shared by every run in the font
    int codePage = 0;  // 0: the document's code page
    int charset = 0;
    FontKind kind;
};

struct State {
    Dest dest = Dest::Text;
    CharFormat fmt;          // face is resolved from font when text is added
    int font = -1;           // -1: the default font (\deff)
    int uc = 1;              // bytes of fallback after \uN
    ParaAlign align = ParaAlign::Left;
    bool star = false;       // the group began with \*
    bool fieldResult = false;
    int fieldLink = -1;      // index into links: the link the field's result gets
    int link = -1;
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

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int clampInt(int64_t v, int lo, int hi) { return int(std::clamp<int64_t>(v, lo, hi)); }

// Destinations whose content is not body text, whether or not they are
// marked with \*.
bool isSkippedDestination(std::string_view w)
{
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
    bool skipping() { if (ucSkip_ > 0) { --ucSkip_; return true; } return false; }

    std::string_view in_;
    RtfReadLimits limits_;
    RichDocument doc_;
    State st_;
    std::vector<State> stack_;
    int overflow_ = 0;       // groups beyond maxDepth, read as part of their parent

    // Text waiting to become a run, and the format it was added in.
    std::string pending_;
    CharFormat pendingFmt_;
    int pendingFont_ = -1;
    int pendingLink_ = -1;
    bool afterPar_ = false;  // the last paragraph was opened by a break

    int ansiCodePage_ = 1252;
    int defaultFont_ = 0;
    std::unordered_map<int, Font> fonts_;
    int fontIndex_ = -1;     // font table entry being read
    Font fontEntry_;
    std::string fontName_;   // its name so far
    bool fontEntryOpen_ = false;

    std::vector<RgbColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    PictState pict_;
    std::string fieldInst_;
    std::vector<SharedString> links_;

    int ucSkip_ = 0;
    // Nothing but the opening brace read in this group yet: only here does
    // \* mark the group as a destination; elsewhere it means nothing.
    bool groupStart_ = false;
    char32_t highSurrogate_ = 0;
    unsigned char leadByte_ = 0;  // first byte of a double-byte character
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
    if (st_.dest != Dest::Text) return;
    if (!pending_.empty() &&
        (!(pendingFmt_ == st_.fmt) || pendingFont_ != st_.font || pendingLink_ != st_.link))
        flush();
    if (pending_.empty()) {
        pendingFmt_ = st_.fmt;
        pendingFont_ = st_.font;
        pendingLink_ = st_.link;
    }
    AppendUtf8(pending_, cp);
    doc_.Last().align = st_.align;
    afterPar_ = false;
}

void Reader::emitAscii(char c)
{
    if (st_.dest == Dest::FontTable) {
        if (c == ';') finishFontEntry();
        else if (fontName_.size() < MaxFaceNameBytes) fontName_ += c;
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
    flush();
    doc_.Last().align = st_.align;
    doc_.NewParagraph(st_.align);
    afterPar_ = true;
}

void Reader::endRow()
{
    flush();
    // The row's last cell already added its separator.
    auto& runs = doc_.Last().runs;
    if (!runs.empty() && !runs.back().IsPicture() && !runs.back().text.empty() && runs.back().text.back() == '\t') {
        runs.back().text.pop_back();
        if (runs.back().text.empty()) runs.pop_back();
    }
    endParagraph();
}

void Reader::finishFontEntry()
{
    if (!fontEntryOpen_) return;
    std::string name = std::move(fontName_);
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (fontEntry_.charset == 2) fontEntry_.kind.symbol = true;
    if (!name.empty() && (fontEntry_.kind.family != FontFamily::Nil || fontEntry_.kind.pitch != 0 || fontEntry_.kind.symbol))
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
    w = int(int64_t(w) * pict_.scalex / 100);
    h = int(int64_t(h) * pict_.scaley / 100);
    pic->widthTwips = std::clamp(w, 0, 31680);
    pic->heightTwips = std::clamp(h, 0, 31680);
    pict_ = PictState{};
    if (pic->data.empty() && (pic->widthTwips == 0 || pic->heightTwips == 0)) return;

    flush();
    CharFormat fmt = st_.fmt;
    fmt.face = faceOf(st_.font);
    doc_.Last().align = st_.align;
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
    State parent = std::move(stack_.back());
    stack_.pop_back();
    st_ = std::move(parent);
    if (pictureEnds) {
        // The picture stands where its group stood, in that group's format.
        if (st_.dest == Dest::Text) finishPicture();
        else pict_ = PictState{};
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
                target = std::string(rest.substr(q + 1, e == std::string_view::npos ? std::string_view::npos : e - q - 1));
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
        if (lo < 0) { ++i; return; }  // a cut-off escape stands for nothing
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
    case '\\': case '{': case '}':
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
    case '\r': case '\n':
        if (skipping()) return;
        if (st_.dest == Dest::Text) endParagraph();
        return;
    case '\t':
        if (skipping()) return;
        emitAscii('\t');
        return;
    default:
        skipping();
        return;
    }
}

void Reader::controlWord(std::string_view w, bool hasParam, int param, size_t& i)
{
    // \bin's data follows whatever the destination.
    if (w == "bin") {
        const size_t n = hasParam && param > 0 ? std::min<size_t>(size_t(param), in_.size() - i) : 0;
        if (st_.dest == Dest::Pict && !pict_.overflow) {
            if (pict_.data.size() + n > limits_.maxPictureBytes) pict_.overflow = true;
            else pict_.data.append(in_.substr(i, n));
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
        if (st_.dest != Dest::Text && st_.dest != Dest::FontTable && st_.dest != Dest::FieldInst) return;
        if (skipping()) return;
        int64_t v = param;
        if (v < 0) v += 65536;
        const char32_t cp = char32_t(std::clamp<int64_t>(v, 0, 0x10FFFF));
        if (cp >= 0xDC00 && cp <= 0xDFFF && highSurrogate_) {
            const char32_t high = highSurrogate_;
            highSurrogate_ = 0;
            emitChar(0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00));
        } else if (cp >= 0xD800 && cp <= 0xDBFF) {
            emitChar(0);  // an earlier unpaired half
            highSurrogate_ = cp;
        } else {
            emitChar(cp);  // a lone low half becomes U+FFFD there
        }
        ucSkip_ = st_.uc;
        return;
    }
    if (skipping()) return;

    if (st_.dest == Dest::Pict) {
        if (w == "pngblip") pict_.kind = PictureKind::Png;
        else if (w == "jpegblip") pict_.kind = PictureKind::Jpeg;
        else if (w == "emfblip") pict_.kind = PictureKind::Emf;
        else if (w == "wmetafile") { pict_.kind = PictureKind::Wmf; pict_.mapMode = hasParam ? param : 8; }
        else if (w == "dibitmap" || w == "wbitmap") pict_.kind = PictureKind::Bitmap;
        else if (w == "picw") pict_.picw = clampInt(param, 0, 1 << 20);
        else if (w == "pich") pict_.pich = clampInt(param, 0, 1 << 20);
        else if (w == "picwgoal") pict_.goalw = clampInt(param, 0, 1 << 20);
        else if (w == "pichgoal") pict_.goalh = clampInt(param, 0, 1 << 20);
        else if (w == "picscalex") pict_.scalex = clampInt(param, 1, 1000);
        else if (w == "picscaley") pict_.scaley = clampInt(param, 1, 1000);
        else if (star || isSkippedDestination(w)) st_.dest = Dest::Skip;
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
        } else if (w == "fnil" || w == "froman" || w == "fswiss" || w == "fmodern" || w == "fscript" ||
                   w == "fdecor" || w == "ftech") {
            static const std::pair<const char*, FontFamily> families[] = {
                {"fnil", FontFamily::Nil}, {"froman", FontFamily::Roman}, {"fswiss", FontFamily::Swiss},
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
        if (w == "red") { red_ = clampInt(param, 0, 255); colorSet_ = true; }
        else if (w == "green") { green_ = clampInt(param, 0, 255); colorSet_ = true; }
        else if (w == "blue") { blue_ = clampInt(param, 0, 255); colorSet_ = true; }
        else if (star) st_.dest = Dest::Skip;
        return;
    }

    if (st_.dest == Dest::FieldInst) {
        if (star || isSkippedDestination(w)) st_.dest = Dest::Skip;
        return;
    }

    // Body text.
    auto color = [&](int index) -> RgbColor {
        if (index <= 0 || size_t(index) >= colors_.size()) return {};
        return colors_[size_t(index)];
    };
    const bool on = !hasParam || param != 0;

    if (w == "par") endParagraph();
    else if (w == "line") emitAscii('\v');
    else if (w == "tab" || w == "cell" || w == "nestcell") emitAscii('\t');
    else if (w == "row" || w == "nestrow") endRow();
    else if (w == "sect") { if (!doc_.Last().Empty() || !pending_.empty()) endParagraph(); }
    else if (w == "page") { if (!doc_.Last().Empty() || !pending_.empty()) endParagraph(); }
    else if (w == "pard") st_.align = ParaAlign::Left;
    else if (w == "ql") st_.align = ParaAlign::Left;
    else if (w == "qr") st_.align = ParaAlign::Right;
    else if (w == "qc") st_.align = ParaAlign::Center;
    else if (w == "qj" || w == "qd") st_.align = ParaAlign::Justify;
    else if (w == "plain") { st_.fmt = CharFormat{}; st_.font = -1; }
    else if (w == "b") st_.fmt.bold = on;
    else if (w == "i") st_.fmt.italic = on;
    else if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" || w == "uldb" ||
             w == "ulth" || w == "ulw" || w == "ulwave" || w == "ulhwave" || w == "ululdbwave" ||
             w == "ulthd" || w == "ulthdash" || w == "ulldash" || w == "ulthldash" || w == "ulthdashd" ||
             w == "ulthdashdd")
        st_.fmt.underline = on;
    else if (w == "ulnone") st_.fmt.underline = false;
    else if (w == "strike" || w == "striked") st_.fmt.strike = on;
    else if (w == "fs") st_.fmt.halfPoints = hasParam && param > 0 ? clampInt(param, 2, 3276) : 0;
    else if (w == "f") st_.font = hasParam ? std::max(param, 0) : -1;
    else if (w == "cf") st_.fmt.color = color(param);
    else if (w == "cb" || w == "highlight" || w == "chcbpat") st_.fmt.background = color(param);
    else if (w == "uc") st_.uc = clampInt(param, 0, 16);
    else if (w == "ansicpg") { if (param > 0) ansiCodePage_ = param; }
    else if (w == "ansi") ansiCodePage_ = 1252;
    else if (w == "mac") ansiCodePage_ = 10000;
    else if (w == "pc") ansiCodePage_ = 437;
    else if (w == "pca") ansiCodePage_ = 850;
    else if (w == "deff") defaultFont_ = std::max(param, 0);
    else if (w == "fonttbl") st_.dest = Dest::FontTable;
    else if (w == "colortbl") { st_.dest = Dest::ColorTable; colors_.clear(); }
    else if (w == "pict") { st_.dest = Dest::Pict; pict_ = PictState{}; }
    else if (w == "fldinst") { st_.dest = Dest::FieldInst; fieldInst_.clear(); }
    else if (w == "fldrslt") st_.link = st_.fieldLink;
    else if (w == "field") st_.fieldLink = -1;
    else if (w == "upr") st_.dest = Dest::UprSkip;
    else if (w == "ud" || w == "shppict" || w == "shprslt" || w == "result" || w == "object" ||
             w == "shp" || w == "shptxt" || w == "field" || w == "rtf")
        ;
    else if (w == "emdash") emitChar(0x2014);
    else if (w == "endash") emitChar(0x2013);
    else if (w == "bullet") emitChar(0x2022);
    else if (w == "lquote") emitChar(0x2018);
    else if (w == "rquote") emitChar(0x2019);
    else if (w == "ldblquote") emitChar(0x201C);
    else if (w == "rdblquote") emitChar(0x201D);
    else if (w == "emspace") emitChar(0x2003);
    else if (w == "enspace") emitChar(0x2002);
    else if (w == "qmspace") emitChar(0x2005);
    else if (w == "zwj") emitChar(0x200D);
    else if (w == "zwnj") emitChar(0x200C);
    else if (star || isSkippedDestination(w)) { flush(); st_.dest = Dest::Skip; }
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
            if (!started) { started = true; continue; }  // the document's own group
            openGroup();
        } else if (c == '}') {
            ++i;
            groupStart_ = false;
            if (stack_.empty() && overflow_ == 0) break;  // the document's group ends
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
                if (i < in_.size() && in_[i] == '-' && i + 1 < in_.size() && isDigit(in_[i + 1])) { neg = true; ++i; }
                while (i < in_.size() && isDigit(in_[i])) {
                    hasParam = true;
                    if (v < (int64_t(1) << 40)) v = v * 10 + (in_[i] - '0');
                    ++i;
                }
                if (neg) v = -v;
                if (i < in_.size() && in_[i] == ' ') ++i;
                controlWord(word, hasParam, clampInt(v, INT32_MIN + 1, INT32_MAX), i);
            } else {
                groupStart_ = atStart;  // only \* itself looks at it
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
                    if (pict_.data.size() >= limits_.maxPictureBytes) { pict_.overflow = true; continue; }
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
