#include "core/richtext/RtfWriter.h"

#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace lw {

namespace {

// Unicode -> Windows-1252 byte for the upper half; -1 when it has none.
int toCp1252(char32_t cp)
{
    if (cp >= 0xA0 && cp <= 0xFF) return int(cp);
    static const std::unordered_map<char32_t, int> table = [] {
        std::unordered_map<char32_t, int> m;
        const char16_t* high = CodePageHighHalf(1252);
        for (int b = 0x80; b < 0xA0; ++b)
            if (high[b - 0x80]) m.emplace(high[b - 0x80], b);
        return m;
    }();
    auto it = table.find(cp);
    return it == table.end() ? -1 : it->second;
}

const char kHex[] = "0123456789abcdef";

void appendUnicode(std::string& out, char32_t cp)
{
    auto one = [&](int v) {
        if (v > 32767) v -= 65536;
        out += "\\u";
        out += std::to_string(v);
        out += '?';
    };
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        one(int(0xD800 + (cp >> 10)));
        one(int(0xDC00 + (cp & 0x3FF)));
    } else {
        one(int(cp));
    }
}

// Text as RTF; the caller has ended any control word with a space. In a
// symbol font a reader maps the font's bytes to its own characters, so
// there every character goes as \u, which it takes as it stands.
void appendText(std::string& out, std::string_view text, bool symbolFont = false)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (symbolFont && b >= 0x20) {
            appendUnicode(out, NextUtf8(text, i));
            continue;
        }
        if (b < 0x80) {
            ++i;
            switch (b) {
            case '\\': out += "\\\\"; break;
            case '{': out += "\\{"; break;
            case '}': out += "\\}"; break;
            case '\t': out += "\\tab "; break;
            case '\v':
            case '\n': out += "\\line "; break;
            default:
                if (b >= 0x20) out += char(b);
            }
            continue;
        }
        const char32_t cp = NextUtf8(text, i);
        const int w = toCp1252(cp);
        if (w >= 0) {
            out += "\\'";
            out += kHex[w >> 4];
            out += kHex[w & 15];
        } else {
            appendUnicode(out, cp);
        }
    }
}

void appendPicture(std::string& out, const Picture& pic)
{
    const char* kind = nullptr;
    switch (pic.kind) {
    case PictureKind::Png: kind = "\\pngblip"; break;
    case PictureKind::Jpeg: kind = "\\jpegblip"; break;
    case PictureKind::Emf: kind = "\\emfblip"; break;
    case PictureKind::Wmf: kind = "\\wmetafile"; break;
    case PictureKind::Bitmap: kind = "\\dibitmap0"; break;
    case PictureKind::Other: return;
    }
    if (pic.data.empty()) return;
    int pw = pic.pixelWidth, ph = pic.pixelHeight;
    if (pic.kind == PictureKind::Png || pic.kind == PictureKind::Jpeg) PictureDimensions(pic, pw, ph);
    out += "{\\pict";
    out += kind;
    if (pic.kind == PictureKind::Wmf) out += std::to_string(pic.wmfMapMode);
    out += "\\picw" + std::to_string(pw) + "\\pich" + std::to_string(ph);
    if (pic.widthTwips > 0 && pic.heightTwips > 0)
        out += "\\picwgoal" + std::to_string(pic.widthTwips) + "\\pichgoal" + std::to_string(pic.heightTwips);
    out += "\r\n";
    const std::string& d = pic.data;
    out.reserve(out.size() + d.size() * 2 + d.size() / 64 * 2 + 8);
    for (size_t i = 0; i < d.size(); ++i) {
        const auto b = static_cast<unsigned char>(d[i]);
        out += kHex[b >> 4];
        out += kHex[b & 15];
        if (i % 64 == 63) out += "\r\n";
    }
    out += "}";
}

// A font name as the reader will give it back and other readers know it:
// the family alone, no ';' (it ends the entry), no control characters (the
// text writer drops them, and a tab or a line break becomes a control word
// that a font table ignores), no spaces at either end, no more than the
// reader keeps.
std::string writtenFace(std::string_view decorated)
{
    const std::string family = FontFamilyName(decorated);
    const std::string_view face = family;
    std::string name;
    size_t i = 0;
    while (i < face.size() && name.size() < MaxFaceNameBytes) {
        const char32_t cp = NextUtf8(face, i);
        if (cp >= 0x20 && cp != ';') AppendUtf8(name, cp);
    }
    const size_t b = name.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return name.substr(b, name.find_last_not_of(' ') - b + 1);
}

// The field instruction the reader keeps is this long at most.
constexpr size_t kMaxFieldInstruction = 4096;

// A link target as the reader will give it back: a quote would end the
// field's argument, so it is escaped as a URL escapes it; control
// characters are dropped as in text (a tab would become a control word the
// instruction ignores); the instruction stays within what the reader keeps.
std::string writtenLink(std::string_view link)
{
    constexpr size_t room = kMaxFieldInstruction - sizeof("HYPERLINK \"\"");
    std::string target, ch;
    size_t i = 0;
    while (i < link.size()) {
        const char32_t cp = NextUtf8(link, i);
        if (cp < 0x20) continue;
        ch.clear();
        if (cp == '"') ch = "%22";
        else
            AppendUtf8(ch, cp);
        if (target.size() + ch.size() > room) break;
        target += ch;
    }
    return target;
}

// A table row holds this many cells at most, as the reader keeps them.
constexpr int kMaxCells = 64;
// The text width of a Letter page with one-inch margins, in twips.
constexpr int kTextWidth = 9360;

// Text of a list level's label as \\leveltext holds it, in UTF-16.
std::u16string levelChars(std::string_view text)
{
    std::u16string out;
    const std::string fit = LevelLabelText(text);
    size_t i = 0;
    while (i < fit.size()) out += char16_t(NextUtf8(fit, i));
    return out;
}

void appendLevelChars(std::string& out, const std::u16string& text)
{
    for (char16_t c : text) {
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c < 0x80)
            out += char(c);
        else
            appendUnicode(out, c);
    }
}

void appendList(std::string& out, const ListDefinition& list, int id)
{
    out += "{\\list\\listtemplateid" + std::to_string(id);
    if (list.levels.size() == 1) out += "\\listsimple";
    for (size_t l = 0; l < list.levels.size() && l < size_t(MaxListLevels); ++l) {
        const ListLevel& lv = list.levels[l];
        int nfc = 0;
        switch (lv.style) {
        case ListStyle::Bullet: nfc = 23; break;
        case ListStyle::Decimal: nfc = 0; break;
        case ListStyle::UpperRoman: nfc = 1; break;
        case ListStyle::LowerRoman: nfc = 2; break;
        case ListStyle::UpperAlpha: nfc = 3; break;
        case ListStyle::LowerAlpha: nfc = 4; break;
        }
        out += "{\\listlevel\\levelnfc" + std::to_string(nfc) + "\\levelnfcn" + std::to_string(nfc) +
               "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat" + std::to_string(std::clamp(lv.start, 0, 32767));
        out += "{\\leveltext";
        if (lv.style == ListStyle::Bullet) {
            const std::u16string b = levelChars(lv.bullet);
            out += "\\'" + std::string(1, kHex[b.size() >> 4]) + kHex[b.size() & 15];
            appendLevelChars(out, b);
            out += ";}{\\levelnumbers;}";
        } else {
            const std::u16string pre = levelChars(lv.prefix), post = levelChars(lv.suffix);
            const size_t n = pre.size() + 1 + post.size();
            out += "\\'" + std::string(1, kHex[n >> 4]) + kHex[n & 15];
            appendLevelChars(out, pre);
            out += "\\'0" + std::string(1, char('0' + l));
            appendLevelChars(out, post);
            out += ";}{\\levelnumbers\\'" + std::string(1, kHex[(pre.size() + 1) >> 4]) + kHex[(pre.size() + 1) & 15] +
                   ";}";
        }
        out += "\\fi-360\\li" + std::to_string(360 * (int(l) + 1)) + "}";
    }
    out += "\\listid" + std::to_string(id) + "}";
}

// The paragraph's format after \\pard; ls is its list's number, 0 for none.
void appendParagraphFormat(std::string& out, const Paragraph& p, int ls)
{
    if (p.rightToLeft) out += "\\rtlpar";
    switch (p.align) {
    case ParaAlign::Left: break;
    case ParaAlign::Right: out += "\\qr"; break;
    case ParaAlign::Center: out += "\\qc"; break;
    case ParaAlign::Justify: out += "\\qj"; break;
    }
    int fi = p.firstIndent, li = p.leftIndent;
    // A list item needs room for its label; one without indents gets the
    // indents its level would give it.
    if (ls > 0 && fi == 0 && li == 0) {
        fi = -360;
        li = 360 * (std::clamp(p.listLevel, 0, MaxListLevels - 1) + 1);
    }
    auto num = [&](const char* word, int v) {
        if (v == 0) return;
        out += word;
        out += std::to_string(std::clamp(v, -31680, 31680));
    };
    num("\\fi", fi);
    num("\\li", li);
    num("\\ri", p.rightIndent);
    num("\\sb", std::max(p.spaceBefore, 0));
    num("\\sa", std::max(p.spaceAfter, 0));
    if (p.lineSpacing != 0) {
        num("\\sl", p.lineSpacing);
        out += p.lineMultiple ? "\\slmult1" : "\\slmult0";
    }
    size_t tabs = 0;
    for (const TabStop& t : p.tabs) {
        if (++tabs > 64) break;
        switch (t.kind) {
        case TabKind::Left: break;
        case TabKind::Center: out += "\\tqc"; break;
        case TabKind::Right: out += "\\tqr"; break;
        case TabKind::Decimal: out += "\\tqdec"; break;
        }
        out += "\\tx" + std::to_string(std::clamp(t.position, 0, 31680));
    }
    if (ls > 0)
        out += "\\ls" + std::to_string(ls) + "\\ilvl" + std::to_string(std::clamp(p.listLevel, 0, MaxListLevels - 1));
}

} // namespace

// One run as it goes out: its group's control words, its written text (or
// picture), its link target.
struct RtfWriter::OutRun {
    std::string props;
    std::string body;
    std::string link;
    bool picture = false;
    const Note* note = nullptr;
};

RtfWriter::RtfWriter(const RtfWriteOptions& options)
{
    // Font 0 is the default face; the others in order of first use.
    faces_.push_back(writtenFace(options.defaultFace));
    if (faces_[0].empty()) faces_[0] = "Arial";
    faceIndex_.emplace(faces_[0], 0);
}

int RtfWriter::colorOf(const RgbColor& c)
{
    if (c.automatic) return 0;
    auto [it, added] = colorIndex_.emplace(c.rgb, int(colors_.size()) + 1);
    if (added) colors_.push_back(c.rgb);
    return it->second;
}

int RtfWriter::fontOf(const std::string& face)
{
    const std::string name = writtenFace(face);
    if (name.empty()) return 0;
    auto [it, added] = faceIndex_.emplace(name, int(faces_.size()));
    if (added) faces_.push_back(name);
    return it->second;
}

std::string RtfWriter::propsOf(const CharFormat& f)
{
    std::string props;
    if (const int fi = fontOf(f.face)) props += "\\f" + std::to_string(fi);
    if (f.halfPoints > 0) props += "\\fs" + std::to_string(std::clamp(f.halfPoints, 2, 3276));
    if (f.bold) props += "\\b";
    if (f.italic) props += "\\i";
    if (f.underline) props += "\\ul";
    if (f.strike) props += "\\strike";
    if (const int ci = colorOf(f.color)) props += "\\cf" + std::to_string(ci);
    if (const int bi = colorOf(f.background)) props += "\\highlight" + std::to_string(bi);
    if (f.vertical == VerticalAlign::Superscript) props += "\\super";
    if (f.vertical == VerticalAlign::Subscript) props += "\\sub";
    if (f.hidden) props += "\\v";
    return props;
}

RtfWriter::Written& RtfWriter::writtenFormat(const CharFormat& f, const RichDocument& doc)
{
    for (Written& w : recent_)
        if (w.format == f) return w;
    if (recent_.size() >= 8) recent_.erase(recent_.begin());
    const std::string face = writtenFace(f.face.str());
    recent_.push_back({f, std::nullopt, doc.KindOf(face.empty() ? faces_[0] : face).symbol});
    return recent_.back();
}

const std::string& RtfWriter::propsOf(Written& w)
{
    if (!w.props) w.props = propsOf(w.format);
    return *w.props;
}

void RtfWriter::writeRuns(const Paragraph& p, const RichDocument& doc)
{
    // What the reader would not give back is not written, so reading what
    // was written and writing it again gives the same bytes: a run whose
    // text is all dropped characters leaves no empty group behind (nor its
    // font), and neighbours that come out alike are written as one run, as
    // the reader would merge them.
    std::vector<OutRun> runs;
    for (const auto& r : p.runs) {
        OutRun o;
        o.picture = r.IsPicture();
        o.note = r.note.get();
        Written& format = writtenFormat(r.format, doc);
        if (o.picture) appendPicture(o.body, *r.picture);
        else if (!o.note)
            appendText(o.body, r.text, format.symbol);
        if (o.body.empty() && !o.note) continue;
        if (!o.picture && !o.note && !r.link.empty()) o.link = writtenLink(r.link.str());
        o.props = propsOf(format);
        if (!runs.empty() && !o.picture && !o.note && !runs.back().picture && !runs.back().note &&
            runs.back().props == o.props && runs.back().link == o.link) {
            runs.back().body += o.body;
            continue;
        }
        runs.push_back(std::move(o));
    }
    for (const OutRun& r : runs) {
        if (r.note) {
            writeNote(*r.note, r.props, doc);
            continue;
        }
        // Each run is a group of its own, so what it sets ends with it.
        const bool link = !r.link.empty();
        if (link) {
            body_ += "{\\field{\\*\\fldinst{HYPERLINK \"";
            appendText(body_, r.link);
            body_ += "\"}}{\\fldrslt";
        }
        body_ += '{';
        body_ += r.props;
        if (!r.picture && !r.props.empty()) body_ += ' ';
        body_ += r.body;
        body_ += '}';
        if (link) body_ += "}}";
    }
}

void RtfWriter::writeNote(const Note& note, const std::string& props, const RichDocument& doc)
{
    // As Word writes it: the reference's group holds its number and the
    // note, whose text opens with the number again in the same format.
    body_ += '{';
    body_ += props;
    if (note.numbered) body_ += "\\chftn";
    body_ += "{\\footnote";
    if (note.endnote) body_ += "\\ftnalt";
    for (size_t i = 0; i < note.paragraphs.size(); ++i) {
        const Paragraph& p = note.paragraphs[i];
        if (i > 0) body_ += "\\par\r\n";
        body_ += "\\pard\\plain";
        Paragraph flat = p;
        flat.list = -1;
        flat.cell = CellPlace{};
        flat.pageBreakBefore = false;
        flat.runs.clear();
        appendParagraphFormat(body_, flat, 0);
        body_ += ' ';
        if (i == 0 && note.numbered) body_ += "{" + props + "\\chftn}";
        // A note in a note has no place in a file: its text stays.
        bool nested = false;
        for (const auto& r : p.runs) nested = nested || r.IsNote();
        if (!nested) writeRuns(p, doc);
        else {
            Paragraph plain = p;
            std::erase_if(plain.runs, [](const TextRun& r) { return r.IsNote(); });
            writeRuns(plain, doc);
        }
    }
    body_ += "}}";
}

void RtfWriter::writeParagraph(const Paragraph& p, const std::string& label, const RichDocument& doc, const char* end)
{
    const int ls = p.list >= 0 && size_t(p.list) < lsOf_.size() ? lsOf_[size_t(p.list)] : 0;
    if (p.pageBreakBefore && p.cell.table < 0) body_ += "\\page\r\n";
    if (ls > 0) {
        body_ += "{\\listtext ";
        appendText(body_, label);
        body_ += "\\tab}";
    }
    body_ += "\\pard";
    if (p.cell.table >= 0) body_ += "\\intbl";
    appendParagraphFormat(body_, p, ls);
    body_ += ' ';
    writeRuns(p, doc);
    body_ += end;
}

void RtfWriter::Add(const Paragraph& p, const RichDocument& doc, bool continues)
{
    if (continuing_) {
        // The rest of a paragraph begun in an earlier call.
        writeRuns(p, doc);
        if (!continues) body_ += "\\par\r\n";
        continuing_ = continues;
        return;
    }
    // Lists are numbered in the order the text first uses them, as the
    // reader numbers them, so a list nothing uses is not written.
    if (p.list >= 0 && size_t(p.list) < doc.lists.size() && !doc.lists[size_t(p.list)].levels.empty()) {
        if (lsOf_.size() < doc.lists.size()) lsOf_.resize(doc.lists.size(), 0);
        if (lsOf_[size_t(p.list)] == 0) {
            usedLists_.push_back(p.list);
            lsOf_[size_t(p.list)] = int(usedLists_.size());
        }
    }
    std::string label = labels_.Next(doc, p);
    if (!row_.empty() &&
        (p.cell.table != row_.front().paragraph.cell.table || p.cell.row != row_.front().paragraph.cell.row))
        flushRow(doc);
    if (p.cell.table < 0) {
        writeParagraph(p, label, doc, continues ? "" : "\\par\r\n");
        continuing_ = continues;
        return;
    }
    row_.push_back({p, std::move(label)});
}

void RtfWriter::flushRow(const RichDocument& doc)
{
    if (row_.empty()) return;
    const CellPlace at = row_.front().paragraph.cell;
    auto cellOf = [&](size_t q) { return std::clamp(row_[q].paragraph.cell.cell, 0, kMaxCells - 1); };
    int cells = 0;
    for (size_t q = 0; q < row_.size(); ++q) cells = std::max(cells, cellOf(q) + 1);
    const TableDefinition* table = size_t(at.table) < doc.tables.size() ? &doc.tables[size_t(at.table)] : nullptr;
    std::vector<int> edges;
    if (table && size_t(at.row) < table->rowEdges.size()) edges = table->rowEdges[size_t(at.row)];
    // Widths of cells the row does not hold would make readers add
    // empty cells: the row has the cells its paragraphs are in.
    if (edges.size() > size_t(cells)) edges.resize(size_t(cells));
    // Cells without a width of their own share the page's text width.
    while (int(edges.size()) < cells) {
        const int last = edges.empty() ? 0 : edges.back();
        edges.push_back(last + std::max(200, (kTextWidth - last) / (cells - int(edges.size()))));
    }
    for (size_t e = 1; e < edges.size(); ++e) edges[e] = std::max(edges[e], edges[e - 1]);
    body_ += "\\trowd\\trgaph108";
    for (size_t e = 0; e < edges.size(); ++e) {
        const CellMerge m = table ? table->MergeOf(at.row, int(e)) : CellMerge{};
        if (m.down == MergeKind::First) body_ += "\\clvmgf";
        if (m.down == MergeKind::Continued) body_ += "\\clvmrg";
        if (m.across == MergeKind::First) body_ += "\\clmgf";
        if (m.across == MergeKind::Continued) body_ += "\\clmrg";
        body_ += "\\cellx" + std::to_string(std::clamp(edges[e], 0, 31680));
    }
    body_ += "\r\n";
    size_t q = 0;
    for (int c = 0; c < cells; ++c) {
        bool any = false;
        while (q < row_.size() && cellOf(q) < c) ++q; // out of order: dropped into the cell before
        while (q < row_.size() && cellOf(q) == c) {
            const bool lastInCell = q + 1 >= row_.size() || cellOf(q + 1) != c;
            writeParagraph(row_[q].paragraph, row_[q].label, doc, lastInCell ? "\\cell\r\n" : "\\par\r\n");
            any = true;
            ++q;
        }
        if (!any) body_ += "\\pard\\intbl \\cell\r\n";
    }
    body_ += "\\row\r\n";
    row_.clear();
}

std::string RtfWriter::Finish(const RichDocument& doc)
{
    flushRow(doc);
    std::string out;
    out.reserve(body_.size() + 4096);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (size_t i = 0; i < faces_.size(); ++i) {
        // Family and pitch let a reader without the face pick a like one.
        static const char* const families[] = {"\\fnil",    "\\froman", "\\fswiss", "\\fmodern",
                                               "\\fscript", "\\fdecor", "\\ftech"};
        const FontKind kind = doc.KindOf(faces_[i]);
        out += "{\\f" + std::to_string(i) + families[int(kind.family)];
        if (kind.pitch > 0) out += "\\fprq" + std::to_string(std::min(kind.pitch, 2));
        out += kind.symbol ? "\\fcharset2 " : "\\fcharset0 ";
        appendText(out, faces_[i]);
        out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (uint32_t c : colors_)
        out += "\\red" + std::to_string(c >> 16) + "\\green" + std::to_string((c >> 8) & 255) + "\\blue" +
               std::to_string(c & 255) + ";";
    out += "}\r\n";
    if (!usedLists_.empty()) {
        out += "{\\*\\listtable";
        for (size_t n = 0; n < usedLists_.size(); ++n) appendList(out, doc.lists[size_t(usedLists_[n])], int(n) + 1);
        out += "}\r\n{\\*\\listoverridetable";
        for (size_t n = 0; n < usedLists_.size(); ++n)
            out += "{\\listoverride\\listid" + std::to_string(n + 1) + "\\listoverridecount0\\ls" +
                   std::to_string(n + 1) + "}";
        out += "}\r\n";
    }
    out += "\\viewkind4\\uc1\r\n";
    out += body_;
    out += "}\r\n";
    body_ = std::string();
    return out;
}

std::string WriteRtf(const RichDocument& doc, const RtfWriteOptions& options)
{
    RtfWriter writer(options);
    for (const Paragraph& p : doc.paragraphs) writer.Add(p, doc);
    return writer.Finish(doc);
}

} // namespace lw
