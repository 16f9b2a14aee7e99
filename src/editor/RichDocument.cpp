#include "RichDocument.h"

namespace lw {

void RichDocument::AppendText(std::string_view text, const CharFormat& format, const SharedString& link)
{
    if (text.empty()) return;
    auto& runs = Last().runs;
    if (!runs.empty() && !runs.back().IsPicture() && runs.back().format == format && runs.back().link == link) {
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

std::string PlainTextOf(const RichDocument& doc)
{
    std::string out;
    bool first = true;
    for (const auto& p : doc.paragraphs) {
        if (!first) out += '\n';
        first = false;
        for (const auto& r : p.runs) {
            if (r.IsPicture()) continue;
            for (char c : r.text) out += (c == '\v') ? '\n' : c;
        }
    }
    return out;
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
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 |
           uint32_t(uint8_t(d[at + 2])) << 8 | uint32_t(uint8_t(d[at + 3]));
}

} // namespace

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
            if (m == 0xFF) { ++i; continue; }
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

} // namespace lw
