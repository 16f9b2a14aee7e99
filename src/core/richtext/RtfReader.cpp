#include "core/richtext/RtfReader.h"

#include "core/richtext/RtfReaderState.h"

#include <algorithm>
#include <unordered_map>

namespace lw {

namespace rtfread {

bool isSkippedDestination(std::string_view w)
{
    // clang-format off
    static const char* const names[] = {
        "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "pntext", "pntxta", "pntxtb", "listtext", "pn",
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

void Reader::openGroup()
{
    ucSkip_ = 0;
    groupStart_ = true;
    if (int(stack_.size()) >= limits_.maxDepth) {
        if (overflow_.empty())
            doc_.loadWarnings.push_back("Parts nested deeper than " + std::to_string(limits_.maxDepth) +
                                        " groups kept their text but not their formatting.");
        overflow_.push_back(overflowSkips());
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
    if (!overflow_.empty()) {
        overflow_.pop_back();
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
    case State::Role::Note: finishNote(); break;
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
        if (!overflow_.empty()) {
            if (groupStart_) overflow_.back() = true;
            return;
        }
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
            if (stack_.empty() && overflow_.empty()) break; // the document's group ends
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
    if (note_) finishNote(); // a file cut off inside a note
    flush();
    if (st_.dest == Dest::Pict) finishPicture();
    if (afterPar_ && (doc_.paragraphs.size() > 1 || delivered_) && doc_.Last().Empty()) doc_.paragraphs.pop_back();
    if (sink_) {
        for (const Paragraph& p : doc_.paragraphs) (*sink_)(p, doc_, false);
        doc_.paragraphs.assign(1, Paragraph{});
    }
    doc_.ShrinkToFit();
    return std::move(doc_);
}

void Reader::deliver()
{
    // Every paragraph but the one being read is complete.
    if (!sink_ || note_ || doc_.paragraphs.size() < 2) return;
    for (size_t i = 0; i + 1 < doc_.paragraphs.size(); ++i) (*sink_)(doc_.paragraphs[i], doc_, false);
    doc_.paragraphs.erase(doc_.paragraphs.begin(), doc_.paragraphs.end() - 1);
    delivered_ = true;
}

void Reader::deliverPiece()
{
    // The last run stays, so text that comes in its format joins it.
    Paragraph& p = doc_.Last();
    if (!sink_ || note_ || p.cell.table >= 0 || p.runs.size() < kPieceRuns) return;
    std::vector<TextRun> rest;
    rest.push_back(std::move(p.runs.back()));
    p.runs.pop_back();
    (*sink_)(p, doc_, true);
    p.runs = std::move(rest);
    delivered_ = true;
}

} // namespace rtfread

bool LooksLikeRtf(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.remove_prefix(3);
    return bytes.size() >= 5 && bytes.compare(0, 5, "{\\rtf") == 0;
}

std::optional<RichDocument> ReadRtf(std::string_view bytes, const RtfReadLimits& limits)
{
    if (!LooksLikeRtf(bytes)) return std::nullopt;
    return rtfread::Reader(bytes, limits).Run();
}

std::optional<RichDocument> ReadRtf(std::string_view bytes, const RtfReadLimits& limits, const RtfParagraphSink& sink)
{
    if (!LooksLikeRtf(bytes)) return std::nullopt;
    return rtfread::Reader(bytes, limits, &sink).Run();
}

} // namespace lw
