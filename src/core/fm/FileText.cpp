// FileText: names read from string files and names the author typed.
#include "core/fm/FileText.h"

#include "core/text/TextCodec.h"

#include <utility>

namespace lw {

FileText FileText::FromFile(std::string bytes, int codePage)
{
    FileText t;
    t.text_ = DecodeCodePage(codePage, bytes);
    t.bytes_ = std::move(bytes);
    t.codePage_ = codePage;
    return t;
}

FileText FileText::FromUser(std::string utf8)
{
    FileText t;
    t.text_ = std::move(utf8);
    return t;
}

bool FileText::BytesFor(int codePage, std::string& out, char32_t* refused) const
{
    if (codePage_ != 0 && codePage_ == codePage) {
        out = bytes_;
        return true;
    }
    return EncodeCodePage(codePage, text_, out, refused);
}

} // namespace lw
