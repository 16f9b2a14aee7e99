#include "Harnesses.h"

#include "core/richtext/InfoConvert.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "core/text/TextCodec.h"

#include <unordered_set>

namespace lw::fuzz {

namespace {

// The heap the document holds: vectors by capacity, texts beyond the
// short-string buffer, each shared name, target and picture once.
size_t footprint(const RichDocument& doc)
{
    constexpr size_t controlBlock = 48;
    std::unordered_set<const void*> seen;
    auto shared = [&](const SharedString& s) -> size_t {
        if (s.empty() || !seen.insert(s.str().data()).second) return 0;
        return s.str().capacity() + 1 + controlBlock;
    };
    size_t n = doc.paragraphs.capacity() * sizeof(Paragraph);
    for (const Paragraph& p : doc.paragraphs) {
        n += p.runs.capacity() * sizeof(TextRun);
        for (const TextRun& r : p.runs) {
            if (r.text.capacity() > std::string().capacity()) n += r.text.capacity() + 1;
            n += shared(r.format.face) + shared(r.link);
            if (r.picture && seen.insert(r.picture.get()).second)
                n += sizeof(Picture) + controlBlock + r.picture->data.capacity();
        }
    }
    return n;
}

// A document model may take this many times its input, and a little more:
// a paragraph of one character and its break, two bytes of plain text,
// take a paragraph (with its indents, tabs, list and cell) and a run, about
// 220 bytes.
constexpr size_t kBytesPerInputByte = 128;
constexpr size_t kFixedBytes = 64 * 1024;

// What survives writing: control characters other than tab and line break
// are dropped by the writer.
std::string writableText(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
    return out;
}

size_t firstDifference(const std::string& a, const std::string& b)
{
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

} // namespace

void CheckRtfRead(std::string_view input)
{
    bool wasRtf = false;
    const RichDocument doc = LoadInfoDocument(input, &wasRtf);
    Expect(!doc.paragraphs.empty(), "a document without paragraphs");
    const size_t bytes = footprint(doc);
    Expect(bytes <= kBytesPerInputByte * input.size() + kFixedBytes,
           "the document model takes " + std::to_string(bytes) + " bytes for " + std::to_string(input.size()) +
               " bytes of input");
    for (const Paragraph& p : doc.paragraphs)
        for (const TextRun& r : p.runs) {
            Expect(r.IsPicture() || r.IsNote() || !r.text.empty(), "an empty text run");
            Expect(IsValidUtf8(r.text) && IsValidUtf8(r.link.str()) && IsValidUtf8(r.format.face.str()),
                   "text, link or font name that is not UTF-8");
        }
}

void CheckRtfRoundTrip(std::string_view input)
{
    const auto doc = ReadRtf(input);
    if (!doc) return;
    const std::string first = WriteRtf(*doc);
    const auto back = ReadRtf(first);
    Expect(back.has_value(), "our own output does not read as RTF");
    const std::string second = WriteRtf(*back);
    const size_t at = firstDifference(first, second);
    Expect(second == first, "the second save differs from the first at byte " + std::to_string(at) + ": \"" +
                                first.substr(at < 40 ? 0 : at - 40, 80) + "\" became \"" +
                                second.substr(at < 40 ? 0 : at - 40, 80) + "\"");
    Expect(PlainTextOf(*back) == writableText(PlainTextOf(*doc)), "the text changed in the save");
}

void CheckPlainText(std::string_view input)
{
    const std::string text = DecodePlainText(input);
    Expect(IsValidUtf8(text), "plain text read as invalid UTF-8");
    Expect(DecodePlainText(EncodePlainText(text)) == text, "a plain-text save reopens as other text");
    // An info file: its text survives a save, line breaks and all.
    const RichDocument doc = PlainTextDocument(input);
    Expect(PlainTextOf(PlainTextDocument(PlainTextFileBytes(doc))) == PlainTextOf(doc),
           "an info file's text changed in its save");
}

} // namespace lw::fuzz
