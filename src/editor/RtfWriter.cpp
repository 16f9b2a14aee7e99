#include "RtfWriter.h"

#include "CodePages.h"
#include "components/TextCodec.h"

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

// Text as RTF; the caller has ended any control word with a space.
void appendText(std::string& out, std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            switch (b) {
            case '\\': out += "\\\\"; break;
            case '{': out += "\\{"; break;
            case '}': out += "\\}"; break;
            case '\t': out += "\\tab "; break;
            case '\v': case '\n': out += "\\line "; break;
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

} // namespace

std::string WriteRtf(const RichDocument& doc, const RtfWriteOptions& options)
{
    // Font 0 is the default face; the others in order of first use.
    std::vector<std::string> faces{options.defaultFace.empty() ? std::string("Arial") : options.defaultFace};
    std::map<std::string, int> faceIndex{{faces[0], 0}};
    std::vector<uint32_t> colors;
    std::map<uint32_t, int> colorIndex;
    auto colorOf = [&](const RgbColor& c) {
        if (c.automatic) return 0;
        auto [it, added] = colorIndex.emplace(c.rgb, int(colors.size()) + 1);
        if (added) colors.push_back(c.rgb);
        return it->second;
    };
    auto fontOf = [&](const std::string& face) {
        if (face.empty()) return 0;
        auto [it, added] = faceIndex.emplace(face, int(faces.size()));
        if (added) faces.push_back(face);
        return it->second;
    };
    for (const auto& p : doc.paragraphs)
        for (const auto& r : p.runs) {
            fontOf(r.format.face);
            colorOf(r.format.color);
            colorOf(r.format.background);
        }

    std::string out;
    out.reserve(4096);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (size_t i = 0; i < faces.size(); ++i) {
        out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
        std::string name = faces[i];
        name.erase(std::remove(name.begin(), name.end(), ';'), name.end());
        appendText(out, name);
        out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (uint32_t c : colors)
        out += "\\red" + std::to_string(c >> 16) + "\\green" + std::to_string((c >> 8) & 255) + "\\blue" +
               std::to_string(c & 255) + ";";
    out += "}\r\n\\viewkind4\\uc1\r\n";

    for (const auto& p : doc.paragraphs) {
        out += "\\pard";
        switch (p.align) {
        case ParaAlign::Left: break;
        case ParaAlign::Right: out += "\\qr"; break;
        case ParaAlign::Center: out += "\\qc"; break;
        case ParaAlign::Justify: out += "\\qj"; break;
        }
        out += ' ';
        for (const auto& r : p.runs) {
            // Each run is a group of its own, so what it sets ends with it.
            const CharFormat& f = r.format;
            std::string props;
            if (const int fi = fontOf(f.face)) props += "\\f" + std::to_string(fi);
            if (f.halfPoints > 0) props += "\\fs" + std::to_string(f.halfPoints);
            if (f.bold) props += "\\b";
            if (f.italic) props += "\\i";
            if (f.underline) props += "\\ul";
            if (f.strike) props += "\\strike";
            if (const int ci = colorOf(f.color)) props += "\\cf" + std::to_string(ci);
            if (const int bi = colorOf(f.background)) props += "\\highlight" + std::to_string(bi);
            const bool link = !r.link.empty() && !r.IsPicture();
            if (link) {
                out += "{\\field{\\*\\fldinst{HYPERLINK \"";
                // A quote would end the field's argument: escape it as a URL does.
                std::string target;
                for (char c : r.link) target += c == '"' ? std::string("%22") : std::string(1, c);
                appendText(out, target);
                out += "\"}}{\\fldrslt";
            }
            out += '{';
            out += props;
            if (r.IsPicture()) {
                appendPicture(out, *r.picture);
            } else {
                if (!props.empty()) out += ' ';
                appendText(out, r.text);
            }
            out += '}';
            if (link) out += "}}";
        }
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

} // namespace lw
