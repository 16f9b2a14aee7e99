#include "core/zip/ZipMessages.h"

namespace lw {

namespace {

constexpr ZipMessage kMessages[] = {
#define LW_ZIP_MESSAGE_ROW(name, number, text) {ZipMsg::name, #name, text},
    LW_ZIP_MESSAGES(LW_ZIP_MESSAGE_ROW)
#undef LW_ZIP_MESSAGE_ROW
};

} // namespace

std::span<const ZipMessage> ZipMessages()
{
    return kMessages;
}

std::string ZipMessageText(int id)
{
    // A switch, so that a number given twice is a duplicate case.
    switch (id) {
#define LW_ZIP_MESSAGE_CASE(name, number, text) \
    case ZipMsg::name: return text;
        LW_ZIP_MESSAGES(LW_ZIP_MESSAGE_CASE)
#undef LW_ZIP_MESSAGE_CASE
    default: return {};
    }
}

} // namespace lw
