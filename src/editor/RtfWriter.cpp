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

// A font name as the reader will give it back: no ';' (it ends the entry),
// no control characters (the text writer drops them, and a tab or a line
// break becomes a control word that a font table ignores), no spaces at
// either end, no more than the reader keeps.
std::string writtenFace(std::string_view face)
{
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
        else AppendUtf8(ch, cp);
        if (target.size() + ch.size() > room) break;
        target += ch;
    }
    return target;
}

// One run as it goes out: its group's control words, its written text (or
// picture), its link target.
struct OutRun {
    std::string props;
    std::string body;
    std::string link;
    bool picture = false;
};

} // namespace

std::string WriteRtf(const RichDocument& doc, const RtfWriteOptions& options)
{
    // Font 0 is the default face; the others in order of first use.
    std::vector<std::string> faces{writtenFace(options.defaultFace)};
    if (faces[0].empty()) faces[0] = "Arial";
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
        const std::string name = writtenFace(face);
        if (name.empty()) return 0;
        auto [it, added] = faceIndex.emplace(name, int(faces.size()));
        if (added) faces.push_back(name);
        return it->second;
    };

    // What the reader would not give back is not written, so reading what
    // was written and writing it again gives the same bytes: a run whose
    // text is all dropped characters leaves no empty group behind (nor its
    // font), and neighbours that come out alike are written as one run, as
    // the reader would merge them.
    std::vector<std::vector<OutRun>> paragraphs;
    paragraphs.reserve(doc.paragraphs.size());
    for (const auto& p : doc.paragraphs) {
        std::vector<OutRun>& runs = paragraphs.emplace_back();
        for (const auto& r : p.runs) {
            OutRun o;
            o.picture = r.IsPicture();
            if (o.picture) appendPicture(o.body, *r.picture);
            else appendText(o.body, r.text);
            if (o.body.empty()) continue;
            if (!o.picture) o.link = writtenLink(r.link.str());
            const CharFormat& f = r.format;
            if (const int fi = fontOf(f.face)) o.props += "\\f" + std::to_string(fi);
            if (f.halfPoints > 0) o.props += "\\fs" + std::to_string(std::clamp(f.halfPoints, 2, 3276));
            if (f.bold) o.props += "\\b";
            if (f.italic) o.props += "\\i";
            if (f.underline) o.props += "\\ul";
            if (f.strike) o.props += "\\strike";
            if (const int ci = colorOf(f.color)) o.props += "\\cf" + std::to_string(ci);
            if (const int bi = colorOf(f.background)) o.props += "\\highlight" + std::to_string(bi);
            if (!runs.empty() && !o.picture && !runs.back().picture && runs.back().props == o.props &&
                runs.back().link == o.link) {
                runs.back().body += o.body;
                continue;
            }
            runs.push_back(std::move(o));
        }
    }

    std::string out;
    out.reserve(4096);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (size_t i = 0; i < faces.size(); ++i) {
        // Family and pitch let a reader without the face pick a like one.
        static const char* const families[] = {"\\fnil", "\\froman", "\\fswiss", "\\fmodern", "\\fscript", "\\fdecor", "\\ftech"};
        const FontKind kind = doc.KindOf(faces[i]);
        out += "{\\f" + std::to_string(i) + families[int(kind.family)];
        if (kind.pitch > 0) out += "\\fprq" + std::to_string(std::min(kind.pitch, 2));
        out += kind.symbol ? "\\fcharset2 " : "\\fcharset0 ";
        appendText(out, faces[i]);
        out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (uint32_t c : colors)
        out += "\\red" + std::to_string(c >> 16) + "\\green" + std::to_string((c >> 8) & 255) + "\\blue" +
               std::to_string(c & 255) + ";";
    out += "}\r\n\\viewkind4\\uc1\r\n";

    for (size_t pi = 0; pi < doc.paragraphs.size(); ++pi) {
        out += "\\pard";
        switch (doc.paragraphs[pi].align) {
        case ParaAlign::Left: break;
        case ParaAlign::Right: out += "\\qr"; break;
        case ParaAlign::Center: out += "\\qc"; break;
        case ParaAlign::Justify: out += "\\qj"; break;
        }
        out += ' ';
        for (const OutRun& r : paragraphs[pi]) {
            // Each run is a group of its own, so what it sets ends with it.
            const bool link = !r.link.empty();
            if (link) {
                out += "{\\field{\\*\\fldinst{HYPERLINK \"";
                appendText(out, r.link);
                out += "\"}}{\\fldrslt";
            }
            out += '{';
            out += r.props;
            if (!r.picture && !r.props.empty()) out += ' ';
            out += r.body;
            out += '}';
            if (link) out += "}}";
        }
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

} // namespace lw
