#include "core/richtext/RtfReaderState.h"

#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <algorithm>

namespace lw::rtfread {

void Reader::endParagraph()
{
    applyPara();
    flush();
    lastParaPn_ = doc_.Last().list >= 0 && doc_.Last().list == lastPnList_;
    doc_.NewParagraph(st_.para.align);
    label_.clear();
    afterPar_ = true;
    chftn_ = false;
    deliver();
}

void Reader::endRow()
{
    flush();
    if (note_) return; // a note holds no table
    // A row whose last cell was not ended still ends it.
    if (!doc_.Last().Empty() || !label_.empty()) endCell();
    if (table_ >= 0) {
        TableDefinition& table = doc_.tables[size_t(table_)];
        auto& rows = table.rowEdges;
        if (rows.size() <= size_t(row_)) rows.resize(size_t(row_) + 1);
        rows[size_t(row_)] = rowEdges_;
        // Merges only where a row has one, so tables without stay small.
        if (std::any_of(rowMerges_.begin(), rowMerges_.end(), [](const CellMerge& m) { return m != CellMerge{}; })) {
            if (table.rowMerges.size() <= size_t(row_)) table.rowMerges.resize(size_t(row_) + 1);
            table.rowMerges[size_t(row_)] = rowMerges_;
        }
        ++row_;
        cell_ = 0;
    }
}

void Reader::endCell()
{
    if (note_) {
        endParagraph();
        return;
    }
    st_.para.inTable = true;
    applyPara();
    endParagraph();
    ++cell_;
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
    para.rightToLeft = p.rtl;
    int level = 0;
    para.list = note_ ? -1 : listOf(p, level);
    para.listLevel = para.list >= 0 ? level : 0;
    if (para.list < 0 && !label_.empty() && para.Empty() && pending_.empty()) {
        // No list to rebuild: the label the writer showed becomes text.
        std::string label = std::move(label_);
        label_.clear();
        CharFormat fmt = st_.fmt;
        fmt.face = faceOf(st_.font);
        doc_.AppendText(label, fmt);
    }
    if (note_) {
        para.cell = CellPlace{};
        return;
    }
    if (!p.inTable && (pageBreak_ || p.pagebb)) para.pageBreakBefore = true;
    pageBreak_ = false;
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

void Reader::startNote()
{
    flush();
    // The mark: the \chftn's format when one came, else the text's around it.
    if (chftn_) noteMark_ = chftnMark_;
    else {
        noteMark_ = st_.fmt;
        noteMark_.face = faceOf(st_.font);
    }
    note_ = std::make_shared<Note>();
    note_->numbered = chftn_;
    chftn_ = false;
    st_.role = State::Role::Note;
    // The body waits; the note's paragraphs are read in its place.
    bodyParagraphs_ = std::move(doc_.paragraphs);
    doc_.paragraphs.assign(1, Paragraph{});
    bodyAfterPar_ = afterPar_;
    afterPar_ = false;
    bodyLabel_ = std::move(label_);
    label_.clear();
}

void Reader::finishNote()
{
    if (!note_) return;
    flush();
    if (afterPar_ && doc_.paragraphs.size() > 1 && doc_.Last().Empty()) doc_.paragraphs.pop_back();
    note_->paragraphs = std::move(doc_.paragraphs);
    for (Paragraph& p : note_->paragraphs) {
        for (TextRun& r : p.runs) r.text.shrink_to_fit();
        p.runs.shrink_to_fit();
    }
    std::shared_ptr<const Note> note = std::move(note_);
    note_.reset();
    doc_.paragraphs = std::move(bodyParagraphs_);
    bodyParagraphs_.clear();
    afterPar_ = bodyAfterPar_;
    label_ = std::move(bodyLabel_);
    bodyLabel_.clear();
    // The reference stands in the body like a character.
    if (doc_.Last().Empty()) applyPara();
    doc_.AppendNote(std::move(note), noteMark_);
    afterPar_ = false;
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
    const bool tooLarge = pict_.overflow;
    pict_ = PictState{};
    if (tooLarge) {
        const std::string warning = "A picture too large to keep was left out; its place is kept.";
        if (std::find(doc_.loadWarnings.begin(), doc_.loadWarnings.end(), warning) == doc_.loadWarnings.end())
            doc_.loadWarnings.push_back(warning);
    }
    if (pic->data.empty() && (pic->widthTwips == 0 || pic->heightTwips == 0)) return;

    applyPara();
    flush();
    CharFormat fmt = st_.fmt;
    fmt.face = faceOf(st_.font);
    doc_.AppendPicture(std::move(pic), fmt);
    afterPar_ = false;
}

} // namespace lw::rtfread
