#include "base/StrUtils.h"
#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <gtest/gtest.h>

using namespace lw;

TEST(StrUtils, QuotingEscapesAndUnquotingRestores)
{
    EXPECT_EQ(QuoteStr("a\"b\\c\td\ne\rf", '"'), "\"a\\\"b\\\\c\\td\\ne\\rf\"");
    EXPECT_EQ(UnquoteStr(QuoteStr("a\"b\\c\td\ne\rf", '"'), '"'), "a\"b\\c\td\ne\rf");
    // A NUL ends the text; another quote character is not escaped.
    EXPECT_EQ(QuoteStr(std::string("ab\0cd", 5), '"'), "\"ab\"");
    EXPECT_EQ(QuoteStr("it's", '\''), "'it's'");
}

TEST(StrUtils, UnquoteEdgeCases)
{
    EXPECT_EQ(UnquoteStr("", '"'), "");
    EXPECT_EQ(UnquoteStr("\"no closing", '"'), "no closing");
    EXPECT_EQ(UnquoteStr("\"text\" trailing", '"'), "text");
    EXPECT_EQ(UnquoteStr("plain \"text\"", '"'), "plain \"text\"");
    // The closing quote is looked for only after the last escape, so an
    // inner quote before an escape stays.
    EXPECT_EQ(UnquoteStr("\"a\"b\\n\"", '"'), "a\"b\n");
    // A backslash at the end appends nothing; backslash-CR-LF is a
    // continuation that vanishes.
    EXPECT_EQ(UnquoteStr("\"ab\\", '"'), "ab");
    EXPECT_EQ(UnquoteStr("\"a\\\r\nb\"", '"'), "ab");
    EXPECT_EQ(UnquoteStr("\"a\\xb\"", '"'), "axb");
}

TEST(StrUtils, CharsPosAndPaths)
{
    EXPECT_EQ(CharsPos("my mission", ForbiddenNameChars), 3);
    EXPECT_EQ(CharsPos("mymission", ForbiddenNameChars), 0);
    EXPECT_EQ(CharsPos("a|b", ForbiddenNameChars), 2);
    EXPECT_EQ(FileBaseName("/home/me/thief2/bell.lst"), "bell");
    EXPECT_EQ(FileBaseName("c:\\x\\my.fm.lst"), "my.fm");
    EXPECT_EQ(ToBackslashes("strings/english/titles.str"), "strings\\english\\titles.str");
    EXPECT_EQ(FilterDefaultExt("*.rtf"), "rtf");
    EXPECT_EQ(FilterDefaultExt("*.txt;*.text"), "txt");
    EXPECT_EQ(FilterDefaultExt("*.*"), "");
    EXPECT_EQ(FilterDefaultExt("*"), "");
    const char* editor = "Rich Text|*.rtf|Text Files|*.txt|Any File|*.*";
    EXPECT_EQ(FilterIndexFor(editor, "fminfo.txt"), 1);
    EXPECT_EQ(FilterIndexFor(editor, "C:\\fm\\FMINFO.RTF"), 0);
    EXPECT_EQ(FilterIndexFor(editor, "readme.doc"), 2);
    EXPECT_EQ(FilterIndexFor(editor, "noext"), 0);
    EXPECT_EQ(FilterIndexFor("Pictures|*.png;*.jpg|Any File|*.*", "a.b/photo.JPG"), 0);
    EXPECT_EQ(FilterIndexFor("", "a.txt"), 0);
}

TEST(StrUtils, FoldedHashIsTheHashOfTheLowerCaseText)
{
    EXPECT_EQ(FoldedHash("Fam\\Set00"), FoldedHash("fAM\\sET00"));
    EXPECT_EQ(FoldedHash("Fam\\Set00"), FoldedHash(AsciiLower("FAM\\SET00")));
    EXPECT_NE(FoldedHash("Fam\\Set00"), FoldedHash("Fam\\Set01"));
    EXPECT_NE(FoldedHash(""), FoldedHash("a"));
}

TEST(StrUtils, CodePageTablesFollowThePublishedCodePages)
{
    // Letters both code pages have map both ways.
    const std::string cp850 = "\x82\x85\x8A\x94\x81\xA4\xE1\x99\x9A\x80"; // é à è ö ü ñ ß Ö Ü Ç
    const std::string win = "\xE9\xE0\xE8\xF6\xFC\xF1\xDF\xD6\xDC\xC7";
    EXPECT_EQ(DosToWin(cp850), win);
    EXPECT_EQ(WinToDos(win), cp850);
    // Every Windows-1252 character that code page 850 has comes back.
    for (int b = 0xA0; b <= 0xFF; ++b) {
        const std::string s(1, char(b));
        EXPECT_EQ(DosToWin(WinToDos(s)), s) << std::hex << b;
    }
    // Fixed replacements for what the target lacks.
    EXPECT_EQ(DosToWin("\xB0\xC5\xC4\xD5\xDC\xDF\xF2"), "\xA6+-i_\xAF=");
    EXPECT_EQ(WinToDos("\x80\x85\x84\x8C\x93\x95\x96\x97\x98\x99"), "\xCF ,O\"\xFA-\xC4~ ");
    EXPECT_EQ(DosToWin("plain ASCII 123"), "plain ASCII 123");
}

TEST(TextCodec, PlainTextRule)
{
    EXPECT_EQ(DecodePlainText("\xEF\xBB\xBFh\xC3\xA9"), "h\xC3\xA9");
    EXPECT_EQ(DecodePlainText("h\xC3\xA9"), "h\xC3\xA9");               // valid UTF-8
    EXPECT_EQ(DecodePlainText("h\xE9 \x80"), "h\xC3\xA9 \xE2\x82\xAC"); // Windows-1252
    EXPECT_EQ(DecodePlainText(std::string("\xFF\xFEh\0\xE9\0\x3D\xD8\x00\xDE", 10)),
              "h\xC3\xA9\xF0\x9F\x98\x80");                                       // UTF-16 LE, surrogates
    EXPECT_EQ(DecodePlainText(std::string("\xFE\xFF\0h\0\xE9", 6)), "h\xC3\xA9"); // UTF-16 BE
    EXPECT_EQ(EncodePlainText("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(EncodePlainText("\xC5\x81\xC3\xB3"
                              "d\xC5\xBA"),
              "\xEF\xBB\xBF\xC5\x81\xC3\xB3"
              "d\xC5\xBA");
    EXPECT_EQ(ToCrLf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
}

TEST(TextCodec, InvalidUtf8AfterAMarkBecomesReplacementCharacters)
{
    EXPECT_EQ(DecodePlainText("\xEF\xBB\xBF\xFF"), "\xEF\xBF\xBD");
    EXPECT_EQ(DecodePlainText("\xEF\xBB\xBF"
                              "a\xC3(\xE2\x82"),
              "a\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_TRUE(IsValidUtf8(DecodePlainText("\xEF\xBB\xBF\xED\xA0\x80\xF4\x90\x80\x80")));
}

TEST(TextCodec, EverySaveReopensAsItWasSaved)
{
    // Windows-1252 bytes that are also valid UTF-8, or that begin like a
    // byte-order mark, would reopen as other text: those go out as UTF-8.
    for (const std::string text : {"\xC3\x83\xC2\xA9", // "Ã©", which is "é" in UTF-8
                                   "\xC3\xBF\xC3\xBE"
                                   "ab", // "ÿþab", a UTF-16 mark
                                   "\xC3\xBE\xC3\xBF"
                                   "ab", // "þÿab"
                                   "\xC3\xAF\xC2\xBB\xC2\xBF"
                                   "x"}) { // "ï»¿x", a UTF-8 mark
        const std::string bytes = EncodePlainText(text);
        EXPECT_EQ(bytes, "\xEF\xBB\xBF" + text);
        EXPECT_EQ(DecodePlainText(bytes), text);
    }
    // Text that reads back the same stays Windows-1252.
    EXPECT_EQ(EncodePlainText("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
    EXPECT_EQ(EncodePlainText("\xC3\xBF"
                              "a"),
              "\xFF"
              "a");
    // A text that itself begins with U+FEFF keeps it.
    EXPECT_EQ(DecodePlainText(EncodePlainText("\xEF\xBB\xBFx")), "\xEF\xBB\xBFx");
}
