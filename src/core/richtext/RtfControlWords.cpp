#include "core/richtext/RtfReaderState.h"

#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <algorithm>

namespace lw::rtfread {

namespace {

// What a group nested beyond the limit still does: it adds characters and
// breaks. Formats and destinations there could not be undone when the
// group ends, so they are not taken.
bool keptBeyondLimit(std::string_view w)
{
    static const char* const words[] = {"u",       "par",     "line",   "tab",       "emdash",    "endash",
                                        "bullet",  "lquote",  "rquote", "ldblquote", "rdblquote", "emspace",
                                        "enspace", "qmspace", "zwj",    "zwnj"};
    return std::any_of(std::begin(words), std::end(words), [&](const char* k) { return w == k; });
}

} // namespace

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
    if (!overflow_.empty()) {
        if (isSkippedDestination(w) || w == "fldinst" || w == "pict" || w == "fonttbl" || w == "colortbl")
            overflow_.back() = true;
        if (overflowSkips() || !keptBeyondLimit(w)) {
            skipping();
            return;
        }
    }

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
    else if (w == "trowd") {
        rowEdges_.clear();
        rowMerges_.clear();
        nextMerge_ = CellMerge{};
    } else if (w == "cellx") {
        if (rowEdges_.size() < 64) {
            rowEdges_.push_back(clampInt(param, 0, 31680));
            rowMerges_.push_back(nextMerge_);
        }
        nextMerge_ = CellMerge{};
    } else if (w == "clmgf")
        nextMerge_.across = MergeKind::First;
    else if (w == "clmrg")
        nextMerge_.across = MergeKind::Continued;
    else if (w == "clvmgf")
        nextMerge_.down = MergeKind::First;
    else if (w == "clvmrg")
        nextMerge_.down = MergeKind::Continued;
    else if (w == "rtlpar")
        st_.para.rtl = true;
    else if (w == "ltrpar")
        st_.para.rtl = false;
    else if (w == "pagebb")
        st_.para.pagebb = on;
    else if (w == "footnote") {
        if (!note_) startNote(); // a note in a note stays text of the outer one
    } else if (w == "ftnalt") {
        if (note_) note_->endnote = true;
    } else if (w == "chftn") {
        // The number of a note: in the body it marks the note that follows;
        // in the note's own text it is the note's mark again, written anew.
        if (!note_) {
            chftn_ = true;
            chftnMark_ = st_.fmt;
            chftnMark_.face = faceOf(st_.font);
        }
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
        // The break stands before the paragraph that comes; tables and
        // notes hold none.
        if (!st_.para.inTable && !note_) pageBreak_ = true;
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

} // namespace lw::rtfread
