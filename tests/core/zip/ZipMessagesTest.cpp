// The table of the zip archiver's messages: every message has a text the
// component can format, and a number outside the table has none, so the
// component's own fallback applies to it.
#include "core/zip/ZipMessages.h"

#include <gtest/gtest.h>

#include <string>

namespace lw {
namespace {

// How many placeholders FormatZipText would fill ("%s", "%d"); -1 when a
// "%" would reach the user as it stands.
int placeholders(const std::string& text)
{
    int n = 0;
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
        if (at + 1 >= text.size() || (text[at + 1] != 's' && text[at + 1] != 'd')) return -1;
        ++n;
    }
    return n;
}

TEST(ZipMessages, EveryMessageHasOneUsableText)
{
    ASSERT_FALSE(ZipMessages().empty());
    for (const ZipMessage& m : ZipMessages()) {
        SCOPED_TRACE(std::string(m.name) + " " + std::to_string(m.id));
        ASSERT_NE(m.text, nullptr);
        EXPECT_NE(std::string(m.text), "");
        // FormatZipText fills the first placeholder only.
        const int n = placeholders(m.text);
        EXPECT_TRUE(n == 0 || n == 1) << m.text;
        EXPECT_EQ(ZipMessageText(m.id), m.text);
    }
    // In the order of their numbers.
    for (size_t i = 1; i < ZipMessages().size(); ++i)
        EXPECT_LT(ZipMessages()[i - 1].id, ZipMessages()[i].id) << ZipMessages()[i].name;
}

TEST(ZipMessages, NumbersOutsideTheTableHaveNoText)
{
    // Empty, not a text of its own: the component then shows the number, or
    // the caller's default (a secondary step's file name).
    const int below = ZipMessages().front().id - 1, above = ZipMessages().back().id + 1;
    for (int id : {0, -1, below, above, int(ZipMsg::ExtraStepBase), ZipMsg::ExtraStepBase + 2})
        EXPECT_EQ(ZipMessageText(id), "") << id;
}

} // namespace
} // namespace lw
