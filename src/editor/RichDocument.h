// The document that the RTF reader builds and the writer writes: paragraphs
// with an alignment, each a sequence of runs, a run being text in one
// character format or one picture. It is the widget-free form of what the
// rich text control shows, so reading, writing and plain text need no Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Numbered as the control's paragraph attributes number them.
enum class ParaAlign { Left = 0, Right = 1, Center = 2, Justify = 3 };

struct RgbColor {
    bool automatic = true;  // the system's text (or background) colour
    uint32_t rgb = 0;       // 0xRRGGBB when not automatic
    static RgbColor Rgb(uint32_t v) { return {false, v & 0xFFFFFF}; }
    bool operator==(const RgbColor&) const = default;
};

// An immutable string whose copies share one buffer. Font names and link
// targets repeat on every run that a font or a link covers; sharing them
// keeps a document's size in proportion to its text, however many runs a
// file packs into one field or one font.
class SharedString {
public:
    SharedString() = default;
    SharedString(std::string text)
        : p_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text))) {}
    SharedString(const char* text) : SharedString(std::string(text)) {}

    const std::string& str() const { return p_ ? *p_ : emptyString(); }
    operator const std::string&() const { return str(); }
    bool empty() const { return !p_; }
    size_t size() const { return str().size(); }
    std::string::const_iterator begin() const { return str().begin(); }
    std::string::const_iterator end() const { return str().end(); }

    friend bool operator==(const SharedString& a, const SharedString& b) { return a.p_ == b.p_ || a.str() == b.str(); }
    friend bool operator==(const SharedString& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const SharedString& a, const char* b) { return a.str() == b; }

private:
    static const std::string& emptyString()
    {
        static const std::string none;
        return none;
    }
    std::shared_ptr<const std::string> p_;
};

// The reader keeps this much of a font name, and the writer writes no more.
inline constexpr size_t MaxFaceNameBytes = 256;

struct CharFormat {
    SharedString face;      // empty: the control's default face
    int halfPoints = 0;     // 0: the control's default size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    RgbColor color;
    RgbColor background;
    bool operator==(const CharFormat&) const = default;
};

enum class PictureKind { Png, Jpeg, Emf, Wmf, Bitmap, Other };

struct Picture {
    PictureKind kind = PictureKind::Other;
    std::string data;        // the picture's own bytes (a PNG file, ...)
    int widthTwips = 0;      // shown size; 0 when the picture does not say
    int heightTwips = 0;
    int pixelWidth = 0;      // \picw / \pich as the file gave them
    int pixelHeight = 0;
    int wmfMapMode = 8;      // \wmetafileN
};

// Text runs hold UTF-8; '\t' is a tab and '\v' a line break inside the
// paragraph. A picture run holds no text.
struct TextRun {
    std::string text;
    CharFormat format;
    SharedString link;                       // hyperlink target, if any
    std::shared_ptr<const Picture> picture;  // set for a picture run
    bool IsPicture() const { return picture != nullptr; }
};

struct Paragraph {
    ParaAlign align = ParaAlign::Left;
    std::vector<TextRun> runs;
    bool Empty() const { return runs.empty(); }
};

struct RichDocument {
    std::vector<Paragraph> paragraphs;  // never empty once built
    RichDocument() : paragraphs(1) {}

    // Appends text in a format, merging with the last run when it matches.
    void AppendText(std::string_view text, const CharFormat& format, const SharedString& link = {});
    void AppendPicture(std::shared_ptr<const Picture> picture, const CharFormat& format);
    Paragraph& NewParagraph(ParaAlign align = ParaAlign::Left);
    Paragraph& Last() { return paragraphs.back(); }
    // Gives back what growth left unused in every vector and text: a file
    // of many tiny runs or paragraphs would keep up to twice its size.
    void ShrinkToFit();
};

// The plain text: paragraphs joined by "\n", line breaks as "\n", tabs
// kept, pictures left out.
std::string PlainTextOf(const RichDocument& doc);

// A document of plain text: every CR LF, LF and CR ends a paragraph.
RichDocument DocumentFromPlainText(std::string_view utf8);

// The pixel size a PNG or JPEG header gives; false when it gives none.
bool PictureDimensions(const Picture& pic, int& width, int& height);

} // namespace lw
