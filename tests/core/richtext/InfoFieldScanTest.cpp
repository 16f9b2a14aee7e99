// The info file's "Title:" and "Author:" lines, found as the bytes pass by:
// the same answer whole or a byte at a time, in RTF's text only, in every
// plain-text encoding the editor reads.
#include "core/richtext/InfoFieldScan.h"

#include <gtest/gtest.h>

#include <string>

using namespace lw;

namespace {

struct Case {
    const char* what;
    std::string bytes;
    bool title, author;
};

std::string utf16(const std::string& ascii, bool littleEndian)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        out += littleEndian ? c : '\0';
        out += littleEndian ? '\0' : c;
    }
    return out;
}

} // namespace

TEST(InfoFieldScan, FindsTheLinesLoadersRead)
{
    const Case cases[] = {
        {"plain text", "Title: Bell\r\nAuthor : Someone\r\n", true, true},
        {"blanks before and after the word", "  \tTitle\t: Bell\nauthor: lower case\n", true, false},
        {"longer words", "Titles: x\nAuthorship: y\n", false, false},
        {"not at the line's start", "The Title: x\n", false, false},
        {"no colon", "Title Bell\nAuthor\n", false, false},
        {"a mark, and CR alone ends a line", "\xEF\xBB\xBFTitle: x\rAuthor: y", true, true},
        {"Windows-1252 around", "Caf\xE9\r\nTitle: \xE9t\xE9\r\n", true, false},
        {"UTF-16 LE", utf16("Title: x\r\nAuthor: y\r\n", true), true, true},
        {"UTF-16 BE", utf16("Intro\r\nAuthor: y", false), false, true},
        {"RTF", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Title: Bell\\par Author:\\tMe\\par}", true, true},
        {"RTF: tables, fonts, info, generator are no text",
         "{\\rtf1{\\fonttbl{\\f0 Title: font;}}{\\colortbl;\\red0\\green0\\blue0;}{\\info{\\title Title: x}"
         "{\\author Author: y}}{\\*\\generator Author: z;}\\pard Nothing\\par}",
         false, false},
        {"RTF: \\u with its fallback, hex", "{\\rtf1\\uc1 \\u84?itle: x\\par Au\\'74hor\\'3a y\\par}", true, true},
        {"RTF: raw bytes of \\bin", "{\\rtf1{\\*\\shppict{\\pict\\bin12 {\\par Title:}}\\par Author: y\\par}", false,
         true},
        {"RTF: lines and cells", "{\\rtf1 Intro\\line Title: x\\cell Author: y\\row}", true, true},
        {"RTF: the Unicode copy of \\upr", "{\\rtf1{\\upr{Title: ansi}{\\*\\ud{Author: wide}}}\\par}", false, true},
        {"RTF: a field's result, not its instruction",
         "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"Title: x\"}{\\fldrslt Author: y}}\\par}", false, true},
        {"RTF after a mark", "\xEF\xBB\xBF{\\rtf1 Title: x\\par}", true, false},
        {"RTF: a backslash before a line end ends a paragraph", "{\\rtf1 x\\\nTitle: y}", true, false},
        {"RTF: \\* inside a group marks no destination", "{\\rtf1 {\\b\\*\\cs7 Title: x}\\par}", true, false},
        {"RTF: nothing after the document's group", "{\\rtf1 x}\r\nTitle: y", false, false},
        {"RTF: a word ends at a hyphen", "{\\rtf1\\par-\\par Author: y}", false, true},
        {"text that only looks like RTF", " {\\rtf1 x\\par Title: y}", false, false},
    };
    for (const Case& c : cases) {
        InfoFieldScan whole;
        whole.Feed(c.bytes);
        whole.Finish();
        EXPECT_EQ(whole.HasTitle(), c.title) << c.what;
        EXPECT_EQ(whole.HasAuthor(), c.author) << c.what;
        InfoFieldScan bytewise;
        for (const char b : c.bytes) bytewise.Feed(std::string_view(&b, 1));
        bytewise.Finish();
        EXPECT_EQ(bytewise.HasTitle(), c.title) << c.what << ", a byte at a time";
        EXPECT_EQ(bytewise.HasAuthor(), c.author) << c.what << ", a byte at a time";
    }
}
