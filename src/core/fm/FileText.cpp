// FileText: names read from string files and names the author typed.
#include "core/fm/FileText.h"

#include "core/text/TextCodec.h"

#include <utility>

namespace lw {

FileText FileText::FromFile(std::string bytes)
{
    FileText t;
    t.text_ = Cp850ToUtf8(bytes);
    t.bytes_ = std::move(bytes);
    t.fromFile_ = true;
    return t;
}

FileText FileText::FromUser(std::string utf8)
{
    FileText t;
    t.text_ = std::move(utf8);
    return t;
}

std::string FileText::FileBytes() const
{
    return fromFile_ ? bytes_ : Utf8ToCp850(text_);
}

} // namespace lw
