#include "core/check/InfoFileRules.h"

#include "base/FileIO.h"
#include "base/StrUtils.h"
#include "core/fm/Project.h"
#include "core/richtext/InfoConvert.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <algorithm>

namespace lw {

namespace {

constexpr uint64_t kInfoReadLimit = 64ull << 20;

// A line that starts with the word, any blanks, then a colon: the way
// loaders find an info file's fields.
bool hasField(const std::string& text, const std::string& word)
{
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = text.find('\n', pos);
        std::string_view line(text.data() + pos, (end == std::string::npos ? text.size() : end) - pos);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.substr(0, word.size()) == word) {
            line.remove_prefix(word.size());
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
            if (!line.empty() && line.front() == ':') return true;
        }
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return false;
}

// Bytes that Windows-1252 leaves undefined.
bool hasUndefinedCp1252(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    });
}

} // namespace

void CheckInfoFile(CheckContext& check)
{
    if (check.fm.InfoFile.empty()) {
        check.Add(Severity::Warning, "", "No info file (fminfo.txt) is listed: loaders have nothing to show of the FM");
        return;
    }
    const auto it = std::find(check.project.Files.begin(), check.project.Files.end(), check.fm.InfoFile);
    const int at = it == check.project.Files.end() ? -1 : int(it - check.project.Files.begin());
    std::string bytes;
    try {
        bytes = ReadWholeFile(check.index.Resolve(platform::PathFromUtf8(check.fm.FMDir), check.fm.InfoFile),
                              kInfoReadLimit);
    } catch (const std::exception&) {
        return; // reported with the listed files
    }
    const std::string ext = ExtensionOf(check.fm.InfoFile);
    if (ext == ".rtf" && bytes.rfind("{\\rtf", 0) != 0) {
        check.Add(Severity::Error, check.fm.InfoFile,
                  bytes.rfind("\xEF\xBB\xBF", 0) == 0
                      ? "Starts with a byte-order mark before {\\rtf: loaders cannot read it as RTF"
                      : "Does not start with {\\rtf: loaders cannot read it as RTF",
                  at);
    }
    const std::string text = PlainTextOf(LoadInfoDocument(bytes));
    for (const char* field : {"Title", "Author"})
        if (!hasField(text, field))
            check.Add(Severity::Warning, check.fm.InfoFile,
                      std::string("Has no \"") + field + ":\" line: loaders read the FM's " + AsciiLower(field) +
                          " from it",
                      at);
    if (ext == ".txt") {
        const bool bom =
            bytes.rfind("\xEF\xBB\xBF", 0) == 0 || bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        if (!bom && !ascii) {
            if (IsValidUtf8(bytes))
                check.Add(Severity::Warning, check.fm.InfoFile,
                          "Is UTF-8 without a byte-order mark: loaders read it as Windows-1252 and show its accents "
                          "wrongly",
                          at);
            else if (hasUndefinedCp1252(bytes))
                check.Add(Severity::Warning, check.fm.InfoFile,
                          "Holds bytes that are no characters of Windows-1252: loaders show them as boxes", at);
        }
    }
}

} // namespace lw
