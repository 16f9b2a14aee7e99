// FileText: a name the author edits, kept with the bytes its string file
// held for it.
#pragma once

#include "core/fm/FMUtils.h"

#include <array>
#include <string>

namespace lw {

// A name as the author sees it (UTF-8) together with the bytes a string
// file held for it. A name nobody edited is written back as those bytes,
// whatever code page they were in; an edited one is converted.
class FileText {
public:
    FileText() = default;
    static FileText FromFile(std::string bytes);
    static FileText FromUser(std::string utf8);
    const std::string& Text() const { return text_; }
    std::string FileBytes() const;
    bool empty() const { return text_.empty() && bytes_.empty(); }
    bool operator==(const FileText&) const = default;

private:
    std::string text_;
    std::string bytes_;
    bool fromFile_ = false;
};
using LocalText = std::array<FileText, LangCount>;

} // namespace lw
