#include "core/richtext/RichDocument.h"

#include "core/text/TextCodec.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace lw {

bool Paragraph::SameFormat(const Paragraph& o) const
{
    return align == o.align && firstIndent == o.firstIndent && leftIndent == o.leftIndent &&
           rightIndent == o.rightIndent && spaceBefore == o.spaceBefore && spaceAfter == o.spaceAfter &&
           lineSpacing == o.lineSpacing && lineMultiple == o.lineMultiple && tabs == o.tabs && list == o.list &&
           listLevel == o.listLevel && cell == o.cell && rightToLeft == o.rightToLeft &&
           pageBreakBefore == o.pageBreakBefore;
}

CellMerge TableDefinition::MergeOf(int row, int cell) const
{
    if (row < 0 || cell < 0 || size_t(row) >= rowMerges.size()) return {};
    const auto& merges = rowMerges[size_t(row)];
    return size_t(cell) < merges.size() ? merges[size_t(cell)] : CellMerge{};
}

FontKind KnownFontKind(std::string_view face)
{
    std::string f;
    for (char c : face) f += char(std::tolower(static_cast<unsigned char>(c)));
    auto any = [&](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return f == n; });
    };
    if (any({"courier new", "courier", "consolas", "lucida console", "lucida sans typewriter", "monospace",
             "dejavu sans mono", "liberation mono", "noto mono", "fixedsys", "terminal", "cousine", "menlo", "monaco",
             "andale mono", "ocr a extended"}))
        return {FontFamily::Modern, 1, false};
    if (any({"symbol", "wingdings", "wingdings 2", "wingdings 3", "webdings", "marlett", "opensymbol"}))
        return {FontFamily::Decor, 2, f != "opensymbol"};
    if (any({"times new roman", "times", "georgia", "cambria", "garamond", "book antiqua", "palatino linotype",
             "century schoolbook", "liberation serif", "dejavu serif", "serif", "constantia", "bookman old style"}))
        return {FontFamily::Roman, 2, false};
    if (any({"arial",
             "helvetica",
             "verdana",
             "tahoma",
             "calibri",
             "segoe ui",
             "ms sans serif",
             "microsoft sans serif",
             "trebuchet ms",
             "century gothic",
             "franklin gothic medium",
             "liberation sans",
             "dejavu sans",
             "sans serif",
             "sans-serif",
             "lucida sans unicode",
             "candara",
             "corbel",
             "arial black",
             "impact"}))
        return {FontFamily::Swiss, 2, false};
    if (any({"comic sans ms", "script", "brush script mt", "lucida handwriting", "segoe script"}))
        return {FontFamily::Script, 2, false};
    return {};
}

FontKind RichDocument::KindOf(std::string_view face) const
{
    auto it = fontKinds.find(std::string(face));
    if (it != fontKinds.end()) return it->second;
    return KnownFontKind(face);
}

namespace {

std::string roman(int n, bool upper)
{
    static const std::array<std::pair<int, const char*>, 13> parts{{{1000, "m"},
                                                                    {900, "cm"},
                                                                    {500, "d"},
                                                                    {400, "cd"},
                                                                    {100, "c"},
                                                                    {90, "xc"},
                                                                    {50, "l"},
                                                                    {40, "xl"},
                                                                    {10, "x"},
                                                                    {9, "ix"},
                                                                    {5, "v"},
                                                                    {4, "iv"},
                                                                    {1, "i"}}};
    if (n <= 0 || n >= 4000) return std::to_string(n);
    std::string out;
    for (const auto& [v, t] : parts)
        while (n >= v) {
            out += t;
            n -= v;
        }
    if (upper)
        for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string alpha(int n, bool upper)
{
    if (n <= 0) return std::to_string(n);
    std::string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), char((upper ? 'A' : 'a') + n % 26));
        n /= 26;
    }
    return out;
}

} // namespace

bool FitsLevelLabel(char32_t c)
{
    return c >= 0x20 && c != ';' && c <= 0xFFFF;
}

std::string LevelLabelText(std::string_view utf8)
{
    std::string out;
    size_t i = 0, n = 0;
    while (i < utf8.size() && n < kMaxLevelLabelChars) {
        const char32_t c = NextUtf8(utf8, i);
        if (!FitsLevelLabel(c)) continue;
        AppendUtf8(out, c);
        ++n;
    }
    return out;
}

std::string ListCounter::Next(const RichDocument& doc, const Paragraph& p)
{
    if (p.list < 0 || size_t(p.list) >= doc.lists.size()) return {};
    const ListDefinition& def = doc.lists[size_t(p.list)];
    if (def.levels.empty()) return {};
    if (counts_.size() <= size_t(p.list)) {
        std::array<int, MaxListLevels> none;
        none.fill(-1);
        counts_.resize(size_t(p.list) + 1, none);
    }
    const int level = std::clamp(p.listLevel, 0, int(std::min<size_t>(def.levels.size(), MaxListLevels)) - 1);
    const ListLevel& lv = def.levels[size_t(level)];
    auto& c = counts_[size_t(p.list)];
    c[size_t(level)] = c[size_t(level)] < 0 ? lv.start : c[size_t(level)] + 1;
    for (int deeper = level + 1; deeper < MaxListLevels; ++deeper) c[size_t(deeper)] = -1;
    const int n = c[size_t(level)];
    switch (lv.style) {
    case ListStyle::Bullet: return lv.bullet;
    case ListStyle::Decimal: return lv.prefix + std::to_string(n) + lv.suffix;
    case ListStyle::LowerAlpha: return lv.prefix + alpha(n, false) + lv.suffix;
    case ListStyle::UpperAlpha: return lv.prefix + alpha(n, true) + lv.suffix;
    case ListStyle::LowerRoman: return lv.prefix + roman(n, false) + lv.suffix;
    case ListStyle::UpperRoman: return lv.prefix + roman(n, true) + lv.suffix;
    }
    return {};
}

std::vector<std::string> ListLabels(const RichDocument& doc)
{
    std::vector<std::string> labels(doc.paragraphs.size());
    ListCounter counter;
    for (size_t i = 0; i < doc.paragraphs.size(); ++i) labels[i] = counter.Next(doc, doc.paragraphs[i]);
    return labels;
}

std::string NoteCounter::Next(const Note& note)
{
    if (!note.numbered) return {};
    return note.endnote ? roman(++endnotes_, false) : std::to_string(++footnotes_);
}

void RichDocument::AppendText(std::string_view text, const CharFormat& format, const SharedString& link)
{
    if (text.empty()) return;
    auto& runs = Last().runs;
    if (!runs.empty() && !runs.back().IsPicture() && !runs.back().IsNote() && runs.back().format == format &&
        runs.back().link == link) {
        runs.back().text.append(text);
        return;
    }
    TextRun r;
    r.text.assign(text);
    r.format = format;
    r.link = link;
    runs.push_back(std::move(r));
}

void RichDocument::AppendPicture(std::shared_ptr<const Picture> picture, const CharFormat& format)
{
    TextRun r;
    r.format = format;
    r.picture = std::move(picture);
    Last().runs.push_back(std::move(r));
}

void RichDocument::AppendNote(std::shared_ptr<const Note> note, const CharFormat& format)
{
    TextRun r;
    r.format = format;
    r.note = std::move(note);
    Last().runs.push_back(std::move(r));
}

Paragraph& RichDocument::NewParagraph(ParaAlign align)
{
    paragraphs.emplace_back();
    paragraphs.back().align = align;
    return paragraphs.back();
}

void RichDocument::ShrinkToFit()
{
    for (Paragraph& p : paragraphs) {
        for (TextRun& r : p.runs) r.text.shrink_to_fit();
        p.runs.shrink_to_fit();
    }
    paragraphs.shrink_to_fit();
}

namespace {

void appendRunText(std::string& out, const TextRun& r)
{
    for (char c : r.text) out += (c == '\v') ? '\n' : c;
}

} // namespace

void PlainTextBuilder::addRuns(const Paragraph& p)
{
    for (const auto& r : p.runs) {
        if (r.IsNote()) addNote(*r.note);
        else if (!r.IsPicture())
            appendRunText(out_, r);
    }
}

void PlainTextBuilder::addNote(const Note& note)
{
    const std::string mark = marks_.Next(note);
    out_ += mark;
    if (!notes_.empty()) notes_ += '\n';
    // The mark, and a space unless the note's text opens with one.
    notes_ += mark;
    const std::string* opening = nullptr;
    if (!note.paragraphs.empty() && !note.paragraphs[0].runs.empty()) opening = &note.paragraphs[0].runs[0].text;
    if (!mark.empty() && !(opening && !opening->empty() && (opening->front() == ' ' || opening->front() == '\t')))
        notes_ += ' ';
    for (size_t i = 0; i < note.paragraphs.size(); ++i) {
        if (i > 0) notes_ += '\n';
        for (const auto& r : note.paragraphs[i].runs)
            if (!r.IsPicture() && !r.IsNote()) appendRunText(notes_, r);
    }
}

void PlainTextBuilder::Add(const RichDocument& doc, const Paragraph& p, bool continues)
{
    if (!continuing_) {
        if (!first_) out_ += '\n';
        first_ = false;
        const std::string label = lists_.Next(doc, p);
        if (!label.empty()) {
            out_ += label;
            out_ += '\t';
        }
    }
    continuing_ = continues;
    addRuns(p);
}

std::string PlainTextBuilder::Finish()
{
    if (!notes_.empty()) {
        out_ += "\n\n";
        out_ += notes_;
        notes_.clear();
    }
    return std::move(out_);
}

std::string PlainTextOf(const RichDocument& doc)
{
    PlainTextBuilder text;
    for (const Paragraph& p : doc.paragraphs) text.Add(doc, p);
    return text.Finish();
}

RichDocument DocumentFromPlainText(std::string_view text)
{
    RichDocument doc;
    const CharFormat plain;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        doc.AppendText(text.substr(start, i - start), plain);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        doc.NewParagraph();
        start = i + 1;
    }
    doc.AppendText(text.substr(start), plain);
    doc.ShrinkToFit();
    return doc;
}

namespace {

uint32_t be32(const std::string& d, size_t at)
{
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 | uint32_t(uint8_t(d[at + 2])) << 8 |
           uint32_t(uint8_t(d[at + 3]));
}

} // namespace

namespace {

uint32_t le32(const std::string& d, size_t at)
{
    return uint32_t(uint8_t(d[at])) | uint32_t(uint8_t(d[at + 1])) << 8 | uint32_t(uint8_t(d[at + 2])) << 16 |
           uint32_t(uint8_t(d[at + 3])) << 24;
}

void put16(std::string& out, uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string PictureFileBytes(const Picture& pic)
{
    const std::string& d = pic.data;
    if (pic.kind == PictureKind::Bitmap && d.size() >= 12 && d.compare(0, 2, "BM") != 0) {
        // The pixels start after the info header and the colour table.
        const uint32_t header = le32(d, 0);
        uint32_t bits = 0, colors = 0, compression = 0;
        if (header == 12) {
            bits = uint32_t(uint8_t(d[10])) | uint32_t(uint8_t(d[11])) << 8;
            if (bits <= 8) colors = 1u << bits;
        } else if (header >= 40 && d.size() >= 36) {
            bits = uint32_t(uint8_t(d[14])) | uint32_t(uint8_t(d[15])) << 8;
            compression = le32(d, 16);
            colors = le32(d, 32);
            if (colors == 0 && bits <= 8) colors = 1u << bits;
        } else {
            return d; // not a DIB: a device-dependent bitmap has no file form
        }
        uint64_t offset =
            14 + uint64_t(header) + uint64_t(std::min<uint32_t>(colors, 1u << 16)) * (header == 12 ? 3 : 4);
        if (header == 40 && (compression == 3 || compression == 6)) offset += compression == 3 ? 12 : 16;
        std::string out = "BM";
        put32(out, uint32_t(std::min<uint64_t>(14 + d.size(), 0xFFFFFFFFu)));
        put32(out, 0);
        put32(out, uint32_t(std::min<uint64_t>(offset, 14 + d.size())));
        return out + d;
    }
    if (pic.kind == PictureKind::Wmf && !(d.size() >= 4 && le32(d, 0) == 0x9AC6CDD7u)) {
        // Bounds in twips with 1440 units to the inch.
        const uint32_t w = uint32_t(std::clamp(pic.widthTwips > 0 ? pic.widthTwips : 1440, 1, 32767));
        const uint32_t h = uint32_t(std::clamp(pic.heightTwips > 0 ? pic.heightTwips : 1440, 1, 32767));
        std::string out;
        put32(out, 0x9AC6CDD7u);
        put16(out, 0); // handle
        put16(out, 0); // left, top, right, bottom
        put16(out, 0);
        put16(out, w);
        put16(out, h);
        put16(out, 1440);
        put32(out, 0);
        uint16_t sum = 0;
        for (size_t i = 0; i < out.size(); i += 2) sum ^= uint16_t(uint8_t(out[i]) | uint8_t(out[i + 1]) << 8);
        put16(out, sum);
        return out + d;
    }
    return d;
}

bool PictureDimensions(const Picture& pic, int& width, int& height)
{
    const std::string& d = pic.data;
    if (d.size() >= 24 && d.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && d.compare(12, 4, "IHDR") == 0) {
        const uint32_t w = be32(d, 16), h = be32(d, 20);
        if (w == 0 || h == 0 || w > 1u << 20 || h > 1u << 20) return false;
        width = int(w);
        height = int(h);
        return true;
    }
    if (d.size() >= 4 && uint8_t(d[0]) == 0xFF && uint8_t(d[1]) == 0xD8) {
        // Walk the JPEG segments to the first start-of-frame marker.
        size_t i = 2;
        while (i + 9 < d.size()) {
            if (uint8_t(d[i]) != 0xFF) return false;
            const uint8_t m = uint8_t(d[i + 1]);
            if (m == 0xFF) {
                ++i;
                continue;
            }
            const size_t len = size_t(uint8_t(d[i + 2])) << 8 | uint8_t(d[i + 3]);
            if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                height = int(uint8_t(d[i + 5]) << 8 | uint8_t(d[i + 6]));
                width = int(uint8_t(d[i + 7]) << 8 | uint8_t(d[i + 8]));
                return width > 0 && height > 0;
            }
            if (len < 2) return false;
            i += 2 + len;
        }
    }
    return false;
}

std::string FontFamilyName(std::string_view face)
{
    std::string_view name = face;
    if (!name.empty() && name.back() == ']') {
        const size_t open = name.rfind(" [");
        if (open != std::string_view::npos && open > 0) name = name.substr(0, open);
    }
    return std::string(name);
}

} // namespace lw
