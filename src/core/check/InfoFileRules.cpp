#include "core/check/InfoFileRules.h"

#include "base/StrUtils.h"
#include "core/fm/Project.h"
#include "core/richtext/InfoFieldScan.h"
#include "platform/File.h"

#include <algorithm>
#include <filesystem>

namespace lw {

namespace {

// An info file larger than this is not read: no loader shows one.
constexpr uint64_t kInfoReadLimit = 64ull << 20;
constexpr size_t kPiece = 64 << 10;

// Whether bytes given in pieces are UTF-8, without keeping them.
class Utf8Validity {
public:
    void Feed(std::string_view bytes)
    {
        for (const char ch : bytes) {
            if (!valid_) return;
            const auto b = static_cast<uint8_t>(ch);
            if (need_ > 0) {
                if (b < low_ || b > high_) valid_ = false;
                low_ = 0x80;
                high_ = 0xBF;
                --need_;
                continue;
            }
            if (b < 0x80) continue;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0) low_ = 0xA0;  // no overlong form
                if (b == 0xED) high_ = 0x9F; // no surrogate
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0) low_ = 0x90;
                if (b == 0xF4) high_ = 0x8F; // nothing above U+10FFFF
            } else {
                valid_ = false;
            }
        }
    }
    bool Valid() const { return valid_ && need_ == 0; }

private:
    bool valid_ = true;
    int need_ = 0;
    uint8_t low_ = 0x80, high_ = 0xBF;
};

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
    // A file that is missing, no regular file or unreadable is reported
    // with the listed files.
    platform::File file;
    platform::FileInfo info;
    try {
        const std::filesystem::path path =
            check.index.Resolve(platform::PathFromUtf8(check.fm.FMDir), check.fm.InfoFile);
        if (platform::InfoOf(path, info) != 0 || !info.isRegular || file.OpenRead(path) != 0) return;
    } catch (const std::exception&) {
        return;
    }
    if (info.size > kInfoReadLimit) {
        check.Add(Severity::Warning, check.fm.InfoFile,
                  "Is larger than 64 MiB, more than the check reads: its \"Title:\" and \"Author:\" lines were not "
                  "looked for",
                  at);
        return;
    }

    // Read in pieces: the memory it takes does not grow with the file.
    InfoFieldScan fields;
    Utf8Validity utf8;
    std::string start; // the first bytes, which tell RTF and the marks
    bool ascii = true, undefinedCp1252 = false;
    std::string piece(kPiece, '\0');
    uint64_t total = 0;
    for (;;) {
        size_t got = 0;
        if (file.Read(piece.data(), piece.size(), got) != 0) return; // reported with the listed files
        if (got == 0) break;
        const std::string_view bytes(piece.data(), got);
        total += got;
        if (start.size() < 8) start.append(bytes.substr(0, 8 - start.size()));
        fields.Feed(bytes);
        utf8.Feed(bytes);
        ascii = ascii && std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        undefinedCp1252 = undefinedCp1252 || hasUndefinedCp1252(bytes);
        if (total > kInfoReadLimit) break; // it grew while read
    }
    fields.Finish();

    const std::string ext = ExtensionOf(check.fm.InfoFile);
    if (ext == ".rtf" && start.rfind("{\\rtf", 0) != 0) {
        check.Add(Severity::Error, check.fm.InfoFile,
                  start.rfind("\xEF\xBB\xBF", 0) == 0
                      ? "Starts with a byte-order mark before {\\rtf: loaders cannot read it as RTF"
                      : "Does not start with {\\rtf: loaders cannot read it as RTF",
                  at);
    }
    for (const auto& [field, present] : {std::pair{"Title", fields.HasTitle()}, {"Author", fields.HasAuthor()}})
        if (!present)
            check.Add(Severity::Warning, check.fm.InfoFile,
                      std::string("Has no \"") + field + ":\" line: loaders read the FM's " + AsciiLower(field) +
                          " from it",
                      at);
    if (ext == ".txt") {
        const bool bom =
            start.rfind("\xEF\xBB\xBF", 0) == 0 || start.rfind("\xFF\xFE", 0) == 0 || start.rfind("\xFE\xFF", 0) == 0;
        if (!bom && !ascii) {
            if (utf8.Valid())
                check.Add(Severity::Warning, check.fm.InfoFile,
                          "Is UTF-8 without a byte-order mark: loaders read it as Windows-1252 and show its accents "
                          "wrongly",
                          at);
            else if (undefinedCp1252)
                check.Add(Severity::Warning, check.fm.InfoFile,
                          "Holds bytes that are no characters of Windows-1252: loaders show them as boxes", at);
        }
    }
}

} // namespace lw
