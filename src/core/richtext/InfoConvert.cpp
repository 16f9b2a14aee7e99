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
        const std::string bytes = ReadWholeFile(platform::PathFromUtf8(input));
        const RichDocument doc = LoadInfoDocument(bytes);
        if (output == "-") {
            std::string text = PlainTextOf(doc);
            if (!text.empty() && text.back() != '\n') text += '\n';
            out << text;
            out.flush();
            if (!out) {
                err << "lanternwright: cannot write the text to standard output\n";
                return 1;
            }
            return 0;
        }
        RtfWriteOptions options;
        options.defaultFace = DefaultFaceFor(input);
        WriteFileAtomic(platform::PathFromUtf8(output),
                        SavesAsPlainText(output) ? PlainTextFileBytes(doc) : WriteRtf(doc, options));
        return 0;
    } catch (const std::exception& e) {
        err << "lanternwright: " << e.what() << '\n';
        return 1;
    }
}

} // namespace lw
