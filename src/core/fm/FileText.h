// FileText: a name the author edits, kept with the bytes its string file
// held for it.
#pragma once

#include "core/fm/FMUtils.h"

#include <array>
#include <string>

namespace lw {

// A name as the author sees it (UTF-8) together with the bytes a string
// file held for it and that file's code page. A name nobody edited goes
// back into a file of the same code page as those bytes, whatever they
// were; otherwise the text is converted, and a character the file's code
// page lacks is refused, never replaced.
class FileText {
public:
    FileText() = default;
    static FileText FromFile(std::string bytes, int codePage);
    static FileText FromUser(std::string utf8);
    const std::string& Text() const { return text_; }
    // The bytes for a file kept in codePage; false, with the first
    // character that code page lacks in refused, when it cannot hold them.
    bool BytesFor(int codePage, std::string& out, char32_t* refused = nullptr) const;
    bool empty() const { return text_.empty() && bytes_.empty(); }
    bool operator==(const FileText&) const = default;

private:
    std::string text_;
    std::string bytes_;
    int codePage_ = 0; // of bytes_; 0: typed, no bytes of a file
};
using LocalText = std::array<FileText, LangCount>;

} // namespace lw
