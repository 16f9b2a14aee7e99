#include "core/richtext/InfoConvert.h"

#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <exception>

namespace lw {

RichDocument PlainTextDocument(std::string_view bytes)
{
    return DocumentFromPlainText(DecodePlainText(bytes));
}

RichDocument LoadInfoDocument(std::string_view bytes, bool* wasRtf)
{
    auto rtf = ReadRtf(bytes);
    if (wasRtf) *wasRtf = rtf.has_value();
    if (rtf) return std::move(*rtf);
    return PlainTextDocument(bytes);
}

std::string PlainTextFileBytes(const RichDocument& doc)
{
    return EncodePlainText(ToCrLf(PlainTextOf(doc)));
}

bool PlainTextLoses(const RichDocument& doc, const CharFormat& plain)
{
    auto formatted = [&](const CharFormat& f) {
        return (!f.face.empty() && f.face != plain.face) || (f.halfPoints != 0 && f.halfPoints != plain.halfPoints) ||
               f.bold || f.italic || f.underline || f.strike || !f.color.automatic || !f.background.automatic ||
               f.vertical != VerticalAlign::Normal || f.hidden;
    };
    for (const Paragraph& p : doc.paragraphs) {
        if (p.align != ParaAlign::Left || p.firstIndent || p.leftIndent || p.rightIndent || p.spaceBefore ||
            p.spaceAfter || p.lineSpacing || !p.tabs.empty() || p.list >= 0 || p.cell.table >= 0 || p.rightToLeft ||
            p.pageBreakBefore)
            return true;
        for (const TextRun& r : p.runs)
            if (r.IsPicture() || r.IsNote() || !r.link.empty() || formatted(r.format)) return true;
    }
    return false;
}

namespace {

std::string_view extensionOf(std::string_view name)
{
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return name.substr(dot);
}

} // namespace

bool SavesAsPlainText(std::string_view fileName)
{
    return EqualsNoCase(extensionOf(fileName), ".txt");
}

std::string DefaultFaceFor(std::string_view fileName)
{
    return SavesAsPlainText(fileName) ? "Courier New" : "Arial";
}

int ConvertInfoFile(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err)
{
    if (input.empty() || output.empty()) {
        err << "lanternwright: --convert needs an input and an output file\n";
        return 2;
    }
    try {
        std::string bytes = ReadWholeFile(platform::PathFromUtf8(input));
        const bool toText = output == "-" || SavesAsPlainText(output);
        RtfWriteOptions options;
        options.defaultFace = DefaultFaceFor(input);
        // The text or the file written, a paragraph at a time as the reader
        // gives them; then the input goes before the output is put together.
        std::string result;
        std::vector<std::string> warnings;
        if (LooksLikeRtf(bytes)) {
            PlainTextBuilder text;
            RtfWriter writer(options);
            auto rest = ReadRtf(bytes, {}, [&](const Paragraph& p, const RichDocument& soFar, bool continues) {
                if (toText) text.Add(soFar, p, continues);
                else
                    writer.Add(p, soFar, continues);
            });
            std::string().swap(bytes);
            result = toText ? text.Finish() : writer.Finish(*rest);
            warnings = std::move(rest->loadWarnings);
        } else {
            std::string text = DecodePlainText(bytes);
            std::string().swap(bytes);
            // Every CR LF, LF and CR ends a paragraph, as in the editor.
            const RichDocument none;
            RtfWriter writer(options);
            Paragraph p;
            std::string line;
            auto endLine = [&] {
                if (toText) {
                    result += line;
                    result += '\n';
                } else {
                    p.runs.clear();
                    if (!line.empty()) p.runs.push_back(TextRun{line, CharFormat{}, {}, {}, {}});
                    writer.Add(p, none);
                }
                line.clear();
            };
            for (size_t i = 0; i < text.size(); ++i) {
                const char c = text[i];
                if (c != '\r' && c != '\n') {
                    line += c;
                    continue;
                }
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
                endLine();
            }
            endLine();
            if (toText) result.pop_back();
            else
                result = writer.Finish(none);
        }
        for (const std::string& w : warnings) err << "lanternwright: warning: " << input << ": " << w << '\n';
        if (output == "-") {
            std::string& text = result;
            if (!text.empty() && text.back() != '\n') text += '\n';
            out << text;
            out.flush();
            if (!out) {
                err << "lanternwright: cannot write the text to standard output\n";
                return 1;
            }
            return 0;
        }
        // Converting a file onto itself keeps only what the conversion
        // carries: the author's own info file would be replaced by less.
        const platform::FileInfo from = platform::InfoOf(platform::PathFromUtf8(input)),
                                 to = platform::InfoOf(platform::PathFromUtf8(output));
        if (to.exists && from.index != 0 && from.volume == to.volume && from.index == to.index) {
            err << "lanternwright: " << output << " is the file being converted; it is not written over\n";
            return 1;
        }
        WriteFileAtomic(platform::PathFromUtf8(output), toText ? EncodePlainText(ToCrLf(result)) : result);
        return 0;
    } catch (const std::exception& e) {
        err << "lanternwright: " << e.what() << '\n';
        return 1;
    }
}

} // namespace lw
