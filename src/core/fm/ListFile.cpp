#include "core/fm/ListFile.h"

#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <cstdint>
#include <string_view>

namespace lw {

namespace {

// A control character inside a line (ends are trimmed, and a NUL is
// refused entry by entry): no path holds one, but every program or
// picture does within its first lines.
bool holdsControl(std::string_view line)
{
    size_t b = 0, e = line.size();
    while (b < e && static_cast<uint8_t>(line[b]) <= 0x20) ++b;
    while (e > b && static_cast<uint8_t>(line[e - 1]) <= 0x20) --e;
    for (size_t i = b; i < e; ++i) {
        const auto c = static_cast<uint8_t>(line[i]);
        if (c < 0x20 && c != '\t' && c != 0) return true;
    }
    return false;
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

[[noreturn]] void notAListFile(const std::string& path)
{
    throw Error("\"" + path + "\" is not a list file: it holds bytes that no text holds.");
}

} // namespace

std::vector<std::string> ReadListFile(const std::string& path)
{
    const std::filesystem::path file = platform::PathFromUtf8(path);
    // Opening a pipe waits for a writer, and a device may never end.
    platform::FileInfo info;
    if (platform::InfoOf(file, info) == 0 && !info.isRegular && !info.isDirectory)
        throw Error("Cannot read \"" + path + "\": it is not a regular file, so it is no list file.");
    std::string bytes;
    try {
        bytes = ReadWholeFile(file, MaxListFileSize);
    } catch (const Error&) {
        // Too large to be a list: a program or a picture says so in its
        // first bytes (the last line of them may be cut short).
        platform::File f;
        std::string head(4096, '\0');
        size_t got = 0;
        if (info.isRegular && f.OpenRead(file) == 0 && f.Read(head.data(), head.size(), got) == 0) {
            head.resize(got);
            std::vector<std::string> lines = splitLines(DecodePlainText(head));
            if (!lines.empty()) lines.pop_back();
            for (const std::string& line : lines)
                if (holdsControl(line)) notAListFile(path);
        }
        throw;
    }
    std::vector<std::string> lines = splitLines(DecodePlainText(bytes));
    for (const std::string& line : lines)
        if (holdsControl(line)) notAListFile(path);
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
