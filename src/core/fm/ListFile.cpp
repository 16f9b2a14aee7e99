#include "core/fm/ListFile.h"

#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

namespace lw {

std::vector<std::string> ReadListFile(const std::string& path)
{
    const std::string text = DecodePlainText(ReadWholeFile(platform::PathFromUtf8(path), MaxListFileSize));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void WriteListFile(const std::string& path, const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& e : entries) {
        text += e;
        text += "\r\n";
    }
    WriteFileAtomic(platform::PathFromUtf8(path), EncodePlainText(text));
}

std::string CleanListEntry(const std::string& line)
{
    return ToBackslashes(TrimControl(line));
}

} // namespace lw
