#include "core/richtext/RtfReader.h"
#include "base/FileIO.h"
#include "core/richtext/InfoConvert.h"
#include "core/richtext/RtfWriter.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace lw {
namespace {

RichDocument read(std::string_view rtf)
{
    auto doc = ReadRtf(rtf);
    EXPECT_TRUE(doc.has_value());
    return doc ? std::move(*doc) : RichDocument{};
}

std::string textOf(std::string_view rtf)
{
    return PlainTextOf(read(rtf));
}

// The run holding the first occurrence of needle.
const TextRun* runWith(const RichDocument& doc, std::string_view needle)
{
    for (const auto& p : doc.paragraphs)
        for (const auto& r : p.runs)
            if (r.text.find(needle) != std::string::npos) return &r;
    return nullptr;
}

std::string fixture(const char* name)
{
    return ReadWholeFile(lw::platform::PathFromUtf8(std::string(LW_FIXTURES) + "/rtf/" + name));
}

TEST(RtfReader, OnlyContentStartingWithTheRtfHeaderIsRtf)
{
    EXPECT_FALSE(ReadRtf("Hello {\\rtf1 x}").has_value());
    EXPECT_FALSE(ReadRtf("").has_value());
    EXPECT_FALSE(ReadRtf(" {\\rtf1 x}").has_value());
    EXPECT_FALSE(ReadRtf("{\\rt").has_value());
    EXPECT_EQ(textOf("{\\rtf1 x}"), "x");
    EXPECT_EQ(textOf("\xEF\xBB\xBF{\\rtf1 x}"), "x");
}

TEST(RtfReader, ParagraphsLinesTabsAndTheTrailingBreak)
{
    EXPECT_EQ(textOf("{\\rtf1 a\\par b\\par}"), "a\nb");
    EXPECT_EQ(textOf("{\\rtf1 a\\par b}"), "a\nb");
    EXPECT_EQ(textOf("{\\rtf1 a\\par\\par}"), "a\n");
    EXPECT_EQ(textOf("{\\rtf1 a\\line b\\tab c}"), "a\nb\tc");
    EXPECT_EQ(read("{\\rtf1 a\\line b}").paragraphs.size(), 1u);
    EXPECT_EQ(textOf("{\\rtf1 a\\\nb}"), "a\nb"); // backslash-newline is \par
    EXPECT_EQ(textOf("{\\rtf1 a\r\nb}"), "ab");   // bare line ends are not text
    EXPECT_EQ(textOf("{\\rtf1 }"), "");
}

TEST(RtfReader, CharacterFormatsFollowGroupsAndPlain)
{
    const auto doc = read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\froman Times New Roman;}}"
                          "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                          "\\f0\\fs20 n {\\b b {\\i bi}} {\\ul u\\ulnone x} {\\strike s} "
                          "{\\f1\\fs36 big} {\\cf1 red} {\\highlight2 hi} {\\b\\plain p} \\b on\\b0 off}");
    const TextRun* r = runWith(doc, "n ");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format.face, "Arial");
    EXPECT_EQ(r->format.halfPoints, 20);
    EXPECT_FALSE(r->format.bold);
    EXPECT_TRUE(runWith(doc, "b ")->format.bold);
    EXPECT_TRUE(runWith(doc, "bi")->format.bold && runWith(doc, "bi")->format.italic);
    EXPECT_TRUE(runWith(doc, "u")->format.underline);
    EXPECT_FALSE(runWith(doc, "x")->format.underline);
    EXPECT_TRUE(runWith(doc, "s")->format.strike);
    EXPECT_EQ(runWith(doc, "big")->format.face, "Times New Roman");
    EXPECT_EQ(runWith(doc, "big")->format.halfPoints, 36);
    EXPECT_EQ(runWith(doc, "red")->format.color, RgbColor::Rgb(0xFF0000));
    EXPECT_TRUE(runWith(doc, "red")->format.background.automatic);
    EXPECT_EQ(runWith(doc, "hi")->format.background, RgbColor::Rgb(0x0000FF));
    EXPECT_FALSE(runWith(doc, "p")->format.bold);
    EXPECT_EQ(runWith(doc, "p")->format.halfPoints, 0);
    EXPECT_TRUE(runWith(doc, "on")->format.bold);
    EXPECT_FALSE(runWith(doc, "off")->format.bold);
    EXPECT_EQ(PlainTextOf(doc), "n b bi ux s big red hi p onoff");
}

TEST(RtfReader, ParagraphAlignmentBelongsToTheParagraphItEnds)
{
    const auto doc = read("{\\rtf1\\qc centre\\par\\pard left\\par\\qr right\\par\\pard\\qj just}");
    ASSERT_EQ(doc.paragraphs.size(), 4u);
    EXPECT_EQ(doc.paragraphs[0].align, ParaAlign::Center);
    EXPECT_EQ(doc.paragraphs[1].align, ParaAlign::Left);
    EXPECT_EQ(doc.paragraphs[2].align, ParaAlign::Right);
    EXPECT_EQ(doc.paragraphs[3].align, ParaAlign::Justify);
}

TEST(RtfReader, CodePagesOfTheDocumentAndOfFonts)
{
    EXPECT_EQ(textOf("{\\rtf1\\ansi caf\\'e9 \\'80 \\'93q\\'94}"), "café € “q”");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1250 \\'b3\\'b9\\'9f}"), "łąź");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1\\'e2}"), "Абв");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2}"), "αβ");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1254 \\'f0\\'fe}"), "ğş");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1255 \\'e0}"), "א");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1256 \\'c7}"), "ا");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1257 \\'e0}"), "ą");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1258 \\'d2}"), "\xCC\x89"); // combining hook above
    EXPECT_EQ(textOf("{\\rtf1\\pc \\'82\\'c9}"), "é╔");
    EXPECT_EQ(textOf("{\\rtf1\\pca \\'82\\'d5}"), "éı");
    // A font's character set overrides the document's code page.
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}"
                     "{\\f2\\fcharset204 Arial Cyr;}}\\f0\\'e8 \\f1\\'e8 \\f2\\'e8}"),
              "è č и");
    // Literal 8-bit bytes follow the same rule.
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1250 \xb3}"), "ł");
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallback)
{
    EXPECT_EQ(textOf("{\\rtf1 \\u9786?x}"), "☺x");
    EXPECT_EQ(textOf("{\\rtf1 \\u-3913?}"), "\xEF\x82\xB7"); // negative: + 65536
    EXPECT_EQ(textOf("{\\rtf1 \\uc2\\u8364\\'80\\'80x}"), "€x");
    EXPECT_EQ(textOf("{\\rtf1 \\uc0\\u8364 x}"), "€x");
    EXPECT_EQ(textOf("{\\rtf1 \\uc1{\\uc3 \\u8364 abc}\\u8364 ab}"), "€€b");
    EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8694?}"), "😊"); // surrogate pair
    EXPECT_EQ(textOf("{\\rtf1 \\u8364{}x}"), "€x");         // a brace ends the fallback
    // Unpaired halves are not characters.
    EXPECT_EQ(textOf("{\\rtf1 a\\u-10179?b\\u-8694?c\\u-10179?\\u-10179?\\u-8694?}"), "a\uFFFDb\uFFFDc\uFFFD😊");
}

TEST(RtfReader, SpecialCharactersAndSymbols)
{
    EXPECT_EQ(textOf("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}"), "—–•‘’“”");
    EXPECT_EQ(textOf("{\\rtf1 a\\~b\\-c\\_d \\{\\}\\\\}"), "a\xC2\xA0"
                                                           "bc\xE2\x80\x91"
                                                           "d {}\\");
}

TEST(RtfReader, DestinationsThatAreNotBodyTextAreSkipped)
{
    // A note is the author's text: it is kept, and its text follows the body.
    EXPECT_EQ(textOf("{\\rtf1{\\*\\unknowndest junk {nested junk}}{\\*\\generator Riched20;}"
                     "{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}"
                     "{\\header H\\par}{\\footer F}body{\\footnote note}\\par}"),
              "body\n\nnote");
    // Unknown control words without \* are ignored, their group's text kept.
    EXPECT_EQ(textOf("{\\rtf1{\\madeupword kept}}"), "kept");
    // \upr holds an ANSI and a Unicode version: only the Unicode one is read.
    EXPECT_EQ(textOf("{\\rtf1{\\upr{ansi?}{\\*\\ud{uni\\u9731?}}}}"), "uni☃");
    // A list label with no list to rebuild is kept as the text it showed.
    EXPECT_EQ(textOf("{\\rtf1{\\listtext 1.\\tab}item}"), "1.\titem");
}

TEST(RtfReader, NotesStandWhereTheirReferenceStands)
{
    struct Case {
        const char* what;
        const char* rtf;
        bool endnote, numbered;
        const char* noteText; // paragraphs joined by "|"
        const char* plain;
    };
    const Case cases[] = {
        {"Word", "{\\rtf1 a{\\super\\chftn {\\footnote\\pard\\plain{\\super\\chftn } One.\\par Two.}}b\\par}", false,
         true, " One.|Two.", "a1b\n\n1 One.\nTwo."},
        {"LibreOffice", "{\\rtf1 a{\\super\\chftn{\\*\\footnote\\chftn\\pard\\plain note}}b}", false, true, "note",
         "a1b\n\n1 note"},
        {"endnote", "{\\rtf1 a{\\super\\chftn{\\*\\footnote\\ftnalt\\chftn\\pard\\plain end}}b}", true, true, "end",
         "aib\n\ni end"},
        {"the author's mark", "{\\rtf1 a{\\super *}{\\footnote\\pard\\plain * own}b}", false, false, "* own",
         "a*b\n\n* own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto doc = read(c.rtf);
        ASSERT_EQ(doc.paragraphs.size(), 1u);
        const TextRun* note = nullptr;
        for (const TextRun& r : doc.paragraphs[0].runs)
            if (r.IsNote()) note = &r;
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->note->endnote, c.endnote);
        EXPECT_EQ(note->note->numbered, c.numbered);
        std::string text;
        for (const Paragraph& p : note->note->paragraphs) {
            if (!text.empty()) text += '|';
            for (const TextRun& r : p.runs) text += r.text;
        }
        EXPECT_EQ(text, c.noteText);
        EXPECT_EQ(PlainTextOf(doc), c.plain);
        if (c.numbered) {
            EXPECT_EQ(note->format.vertical, VerticalAlign::Superscript);
        }
    }
}

TEST(RtfReader, PageBreaksDirectionAndMergedCells)
{
    // Word's \page between paragraphs, LibreOffice's \pagebb on one.
    for (const char* rtf : {"{\\rtf1 one\\par\\page two\\par}", "{\\rtf1 one\\page two\\par}",
                            "{\\rtf1 one\\par\\pard\\pagebb two\\par}"}) {
        SCOPED_TRACE(rtf);
        const auto doc = read(rtf);
        ASSERT_EQ(doc.paragraphs.size(), 2u);
        EXPECT_FALSE(doc.paragraphs[0].pageBreakBefore);
        EXPECT_TRUE(doc.paragraphs[1].pageBreakBefore);
        EXPECT_EQ(PlainTextOf(doc), "one\ntwo");
    }
    const auto rtl = read("{\\rtf1\\pard\\rtlpar\\qr \\u1513?\\par\\pard ltr\\par\\rtlpar\\ltrpar x}");
    EXPECT_TRUE(rtl.paragraphs[0].rightToLeft);
    EXPECT_EQ(rtl.paragraphs[0].align, ParaAlign::Right);
    EXPECT_FALSE(rtl.paragraphs[1].rightToLeft);
    EXPECT_FALSE(rtl.paragraphs[2].rightToLeft);
    // A cell merged across two, then one merged down into the row below.
    const auto merged = read("{\\rtf1\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\clvmgf\\cellx6000"
                             "\\intbl wide\\cell\\cell tall\\cell\\row"
                             "\\trowd\\cellx2000\\cellx4000\\clvmrg\\cellx6000\\intbl a\\cell b\\cell\\cell\\row}");
    ASSERT_EQ(merged.tables.size(), 1u);
    const TableDefinition& t = merged.tables[0];
    EXPECT_EQ(t.MergeOf(0, 0), (CellMerge{MergeKind::First, MergeKind::None}));
    EXPECT_EQ(t.MergeOf(0, 1), (CellMerge{MergeKind::Continued, MergeKind::None}));
    EXPECT_EQ(t.MergeOf(0, 2), (CellMerge{MergeKind::None, MergeKind::First}));
    EXPECT_EQ(t.MergeOf(1, 0), CellMerge{});
    EXPECT_EQ(t.MergeOf(1, 2), (CellMerge{MergeKind::None, MergeKind::Continued}));
    EXPECT_EQ(PlainTextOf(merged), "wide\n\ntall\na\nb\n");
}

TEST(RtfReader, StarMarksADestinationOnlyAtTheStartOfItsGroup)
{
    // LibreOffice writes character styles this way; the text is body text.
    EXPECT_EQ(textOf("{\\rtf1{\\loch\\f2\\*\\cs7 The quick brown fox}}"), "The quick brown fox");
    EXPECT_EQ(textOf("{\\rtf1 a{\\b\\*\\madeup b}{\\*\\madeup c}\\*\\madeup d}"), "abd");
    // Other control symbols inside a group do not drop it either.
    EXPECT_EQ(textOf("{\\rtf1{\\i\\-\\|\\:x}{\\~y}}"), "x\xC2\xA0y");
    // Line ends between the brace and \\* do not matter.
    EXPECT_EQ(textOf("{\\rtf1 a{\r\n\\*\\madeup c}b}"), "ab");
}

TEST(RtfReader, HyperlinkFieldsGiveTheirResultWithTheTarget)
{
    const auto doc = read("{\\rtf1 See {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}"
                          "{\\fldrslt{\\ul\\cf1 the page}}} now. {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}}");
    EXPECT_EQ(PlainTextOf(doc), "See the page now. 7");
    const TextRun* r = runWith(doc, "the page");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->link, "https://example.org/a");
    EXPECT_TRUE(runWith(doc, "now")->link.empty());
    EXPECT_TRUE(runWith(doc, "7")->link.empty());
}

TEST(RtfReader, RunsShareTheirLinkTargetAndFontName)
{
    // Every run of one field and one font holds the same target and name,
    // not a copy each: many short runs would take memory without bound.
    std::string rtf = "{\\rtf1{\\fonttbl{\\f1 " + std::string(200, 'N') + ";}}\\f1{\\field{\\*\\fldinst HYPERLINK \"" +
                      std::string(4000, 'L') + "\"}{\\fldrslt ";
    for (int i = 0; i < 100; ++i) rtf += "\\b a\\b0 a";
    rtf += "}}}";
    const RichDocument doc = read(rtf);
    const auto& runs = doc.paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 200u);
    for (const TextRun& r : runs) {
        EXPECT_EQ(r.link.size(), 4000u);
        EXPECT_EQ(r.link.str().data(), runs[0].link.str().data());
        EXPECT_EQ(r.format.face.str().data(), runs[0].format.face.str().data());
    }
    EXPECT_EQ(runs[0].format.face, std::string(200, 'N'));
}

TEST(RtfReader, TablesKeepTheirRowsCellsAndWidths)
{
    const auto doc = read("{\\rtf1 before\\par\\trowd\\cellx1000\\cellx2500\\intbl a\\par a2\\cell b\\cell\\row"
                          "\\trowd\\cellx1000\\cellx2500\\intbl c\\cell\\cell\\row\\pard after}");
    EXPECT_EQ(PlainTextOf(doc), "before\na\na2\nb\nc\n\nafter");
    ASSERT_EQ(doc.tables.size(), 1u);
    EXPECT_EQ(doc.tables[0].rowEdges, (std::vector<std::vector<int>>{{1000, 2500}, {1000, 2500}}));
    const std::vector<CellPlace> places = {{-1, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1},
                                           {0, 1, 0},  {0, 1, 1}, {-1, 0, 0}};
    ASSERT_EQ(doc.paragraphs.size(), places.size());
    for (size_t i = 0; i < places.size(); ++i) EXPECT_EQ(doc.paragraphs[i].cell, places[i]) << i;

    // Two tables with a paragraph between are two tables; a nested table's
    // cells become paragraphs of the cell that holds it.
    const auto two = read("{\\rtf1\\trowd\\cellx900\\intbl x\\cell\\row\\pard mid\\par"
                          "\\trowd\\cellx900\\intbl y{\\intbl\\itap2 n1\\nestcell n2\\nestcell{\\*\\nesttableprops"
                          "\\trowd\\cellx100\\cellx200\\nestrow}}\\cell\\row}");
    EXPECT_EQ(PlainTextOf(two), "x\nmid\nyn1\nn2\n");
    EXPECT_EQ(two.tables.size(), 2u);
    EXPECT_EQ(two.paragraphs.back().cell, (CellPlace{1, 0, 0}));
}

TEST(RtfReader, ParagraphIndentsSpacingAndTabStops)
{
    const auto doc = read("{\\rtf1\\pard\\fi-360\\li720\\ri120\\sb60\\sa120\\sl360\\slmult1"
                          "\\tx1440\\tqc\\tx2880\\tqr\\tldot\\tx4320\\tqdec\\tx5000 one\\par two\\par\\pard three}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        const Paragraph& p = doc.paragraphs[size_t(i)];
        EXPECT_EQ(p.firstIndent, -360);
        EXPECT_EQ(p.leftIndent, 720);
        EXPECT_EQ(p.rightIndent, 120);
        EXPECT_EQ(p.spaceBefore, 60);
        EXPECT_EQ(p.spaceAfter, 120);
        EXPECT_EQ(p.lineSpacing, 360);
        EXPECT_TRUE(p.lineMultiple);
        EXPECT_EQ(
            p.tabs,
            (std::vector<TabStop>{
                {1440, TabKind::Left}, {2880, TabKind::Center}, {4320, TabKind::Right}, {5000, TabKind::Decimal}}));
    }
    // \\pard starts over.
    EXPECT_EQ(doc.paragraphs[2].leftIndent, 0);
    EXPECT_TRUE(doc.paragraphs[2].tabs.empty());
}

TEST(RtfReader, ListsFromTheListTableAndFromOldNumbering)
{
    // Word 97 and later: a list table, overrides, \\ls and \\ilvl; the
    // label groups are left out when the list is rebuilt.
    const auto doc = read(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f3\\fcharset2 Symbol;}}"
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext\\'01\\u-3913 ?;}"
        "{\\levelnumbers;}\\f3\\fi-360\\li720}{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'02\\'01);}{"
        "\\levelnumbers\\'01;}}"
        "{\\listname ;}\\listid7}{\\list{\\listlevel\\levelnfc0\\levelstartat3{\\leveltext\\'02\\'00.;}}\\listid8}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}{\\listoverride\\listid8\\ls2}}"
        "{\\listtext\\f3 \\'b7\\tab}\\pard\\ls1\\fi-360\\li720 bullet\\par"
        "{\\listtext a)\\tab}\\pard\\ls1\\ilvl1 sub\\par"
        "{\\listtext 3.\\tab}\\pard\\ls2 three\\par{\\listtext 4.\\tab}\\pard\\ls2 four\\par"
        "\\pard plain\\par{\\listtext 9.\\tab}\\pard\\ls9 unknown list}");
    EXPECT_EQ(PlainTextOf(doc), "\u2022\tbullet\na)\tsub\n3.\tthree\n4.\tfour\nplain\n9.\tunknown list");
    ASSERT_EQ(doc.lists.size(), 2u);
    EXPECT_EQ(doc.paragraphs[0].list, 0);
    EXPECT_EQ(doc.paragraphs[1].listLevel, 1);
    EXPECT_EQ(doc.lists[0].levels.at(0).style, ListStyle::Bullet);
    EXPECT_EQ(doc.lists[0].levels.at(1).style, ListStyle::LowerAlpha);
    EXPECT_EQ(doc.lists[0].levels.at(1).suffix, ")");
    EXPECT_EQ(doc.lists[1].levels.at(0).start, 3);
    EXPECT_EQ(doc.paragraphs[4].list, -1);
    EXPECT_EQ(doc.paragraphs[5].list, -1);

    // WordPad: \\pn with a Symbol bullet, items in a row form one list.
    const auto pad =
        read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}"
             "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 one\\par"
             "{\\pntext\\f1\\'B7\\tab}two\\par\\pard"
             "{\\pntext 1)\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta )}}\\fi-360\\li360 n1\\par"
             "{\\pntext 2)\\tab}n2\\par\\pard end}");
    EXPECT_EQ(PlainTextOf(pad), "\u2022\tone\n\u2022\ttwo\n1)\tn1\n2)\tn2\nend");
    ASSERT_EQ(pad.lists.size(), 2u);
    EXPECT_EQ(pad.paragraphs[1].list, 0);
    EXPECT_EQ(pad.paragraphs[0].firstIndent, -720);
    EXPECT_EQ(pad.paragraphs[3].list, 1);
}

TEST(RtfReader, SubSuperscriptHiddenTextAndSymbolFonts)
{
    const auto doc = read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}{\\f2\\fcharset2 Wingdings;}}"
                          "H{\\sub 2}O x{\\super 2}{\\v secret}{\\f1 a\\'b3b}{\\f2 \\'fc\\u-3929 ?\\'21}}");
    EXPECT_EQ(PlainTextOf(doc), "H2O x2secret\u03b1\u2265\u03b2\u2713\u25aa\U0001F589");
    EXPECT_EQ(runWith(doc, "2O") ? 1 : 0, 0);
    const auto& runs = doc.paragraphs[0].runs;
    EXPECT_EQ(runs.at(1).text, "2");
    EXPECT_EQ(runs.at(1).format.vertical, VerticalAlign::Subscript);
    EXPECT_EQ(runWith(doc, "secret")->format.hidden, true);
    // Mapped symbols no longer need their font.
    EXPECT_TRUE(runWith(doc, "\u03b1")->format.face.empty());
}

TEST(RtfReader, PicturesKeepTheirBytesKindAndSize)
{
    const auto doc =
        read("{\\rtf1 x{\\pict\\pngblip\\picw4\\pich3\\picwgoal600\\pichgoal450\n"
             "89504e47 0d0a1a0a}y{\\pict\\jpegblip\\picscalex50\\picscaley200\\picwgoal100\\pichgoal100 "
             "ffd8}{\\pict\\wmetafile8\\picw2540\\pich1270 0100}"
             "{\\*\\shppict{\\pict\\emfblip\\picwgoal20\\pichgoal30 01}}{\\nonshppict{\\pict\\wmetafile8 02}}}");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    const auto& runs = doc.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 6u);
    ASSERT_TRUE(runs[1].IsPicture());
    const Picture& png = *runs[1].picture;
    EXPECT_EQ(png.kind, PictureKind::Png);
    EXPECT_EQ(png.data, std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.widthTwips, 600);
    EXPECT_EQ(png.heightTwips, 450);
    EXPECT_EQ(runs[2].text, "y");
    const Picture& jpg = *runs[3].picture;
    EXPECT_EQ(jpg.kind, PictureKind::Jpeg);
    EXPECT_EQ(jpg.widthTwips, 50);
    EXPECT_EQ(jpg.heightTwips, 200);
    const Picture& wmf = *runs[4].picture;
    EXPECT_EQ(wmf.kind, PictureKind::Wmf);
    EXPECT_EQ(wmf.widthTwips, 1440); // hundredths of a millimetre
    EXPECT_EQ(wmf.heightTwips, 720);
    EXPECT_EQ(runs[5].picture->kind, PictureKind::Emf); // the alternative is skipped
    EXPECT_EQ(PlainTextOf(doc), "xy");
}

TEST(RtfReader, BinaryDataIsTakenByCountNotParsed)
{
    const std::string bin = "{\\rtf1 a{\\pict\\pngblip\\picwgoal10\\pichgoal10\\bin4 {}\\x}b{\\*\\foo\\bin3 }}}}c}";
    const auto doc = read(bin);
    EXPECT_EQ(PlainTextOf(doc), "abc");
    EXPECT_EQ(doc.paragraphs[0].runs[1].picture->data, "{}\\x");
}

TEST(RtfReader, DoubleByteCodePages)
{
    // Shift-JIS; the second byte of a pair may come as a plain character.
    EXPECT_EQ(textOf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0\\'83\\'6f\\'81[\\'83W}"), "バージ");
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}"), "中文");
}

TEST(RtfReader, FixturesOfVariedOriginKeepTheirText)
{
    struct Case {
        const char* file;
        const char* text;
    };
    const Case cases[] = {
        {"wordpad_cp1252.rtf",
         "The Lantern Keeper\nA mission for Thief 2. Naïve café – red and blue and marked.\n"
         "Łódź is in Poland, Русский is Russian.\nSmiley ☺ and euro €, gone.\nTabs:\tone\ttwo\nnext line\n"},
        {"word_cp1250.rtf",
         "Złota Latarnia\nCytat: „cudzysłów” i kursywa, czerwony.1\nStrona: strona misji\n1.\tPierwszy punkt\n"
         "Poziom\nŁup\nEkspert\n2500\n\nOstatni akapit ☃\n\n1 Footnote text."},
        {"libreoffice_writer.rtf", "The Lantern Keeper\nAuthor: Garrett Flamand\n"
                                   "Crème brûlée, naïve café, Łódź, Ελληνικά, Русский, 日本語 — “quotes” €5.\n"
                                   "Underlined and struck and red and marked.\nVisit the mission page for updates.\n"
                                   "Difficulty\nLoot\nExpert\n2500\nPicture: \nLast paragraph."},
        {"handwritten.rtf",
         "Hello bold and italic world.\nEscapes: \\ { } \xC2\xA0nbspopt and a tab:\tend.\nCentered red\n"
         "Line one\nline two\nRight, à la carte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(textOf(fixture(c.file)), c.text);
    }
    // Formats and pictures of the WordPad file.
    const auto doc = read(fixture("wordpad_cp1252.rtf"));
    EXPECT_EQ(doc.paragraphs[0].align, ParaAlign::Center);
    EXPECT_TRUE(runWith(doc, "Lantern")->format.bold);
    EXPECT_EQ(runWith(doc, "Lantern")->format.halfPoints, 32);
    EXPECT_EQ(runWith(doc, "Lantern")->format.face, "Calibri");
    EXPECT_EQ(runWith(doc, "Łódź")->format.face, "Arial CE");
    EXPECT_EQ(runWith(doc, "blue")->format.color, RgbColor::Rgb(0x004DBB));
    EXPECT_EQ(doc.paragraphs[3].align, ParaAlign::Right);
    const TextRun& pic = doc.paragraphs[5].runs.at(0);
    ASSERT_TRUE(pic.IsPicture());
    EXPECT_EQ(pic.picture->kind, PictureKind::Png);
    int w = 0, h = 0;
    EXPECT_TRUE(PictureDimensions(*pic.picture, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 3);
    // The Word file's link and its picture from the \shppict alternative.
    const auto word = read(fixture("word_cp1250.rtf"));
    EXPECT_EQ(runWith(word, "strona misji")->link, "https://example.org/misja");
    EXPECT_EQ(runWith(word, "Złota")->format.halfPoints, 28);
    EXPECT_EQ(word.paragraphs[1].align, ParaAlign::Justify);
    const TextRun* wordPic = nullptr;
    for (const auto& p : word.paragraphs)
        for (const auto& r : p.runs)
            if (r.IsPicture() && !wordPic) wordPic = &r;
    ASSERT_NE(wordPic, nullptr);
    EXPECT_EQ(wordPic->picture->kind, PictureKind::Png);
}

// Damaged and hostile input: each reads soundly, in bounded time and memory.
TEST(RtfReaderBadInput, TruncatedAndUnbalancedFilesKeepWhatWasRead)
{
    EXPECT_EQ(textOf("{\\rtf1 abc {\\b def"), "abc def");
    EXPECT_EQ(textOf("{\\rtf1 abc\\"), "abc");
    EXPECT_EQ(textOf("{\\rtf1 abc\\'e"), "abc");
    EXPECT_EQ(textOf("{\\rtf1 a}}}} ignored"), "a");
    EXPECT_EQ(textOf("{\\rtf1 a{\\pict\\pngblip 89504"), "a");
    EXPECT_EQ(textOf("{\\rtf1{\\fonttbl{\\f0 Arial"), "");
}

TEST(RtfReaderBadInput, DeepNestingIsBounded)
{
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i) deep += "{\\b ";
    deep += "deep";
    for (int i = 0; i < 100000; ++i) deep += "}";
    deep += " after}";
    EXPECT_EQ(textOf(deep), "deep after");
    std::string open = "{\\rtf1 x";
    for (int i = 0; i < 100000; ++i) open += "{";
    EXPECT_EQ(textOf(open), "x");
    EXPECT_TRUE(read("{\\rtf1{{{a}}}}").loadWarnings.empty());
    // Beyond the limit a link keeps its text, without the field's
    // instruction or a destination's, and the document says what was cut.
    std::string link = "{\\rtf1 before ";
    for (int i = 0; i < 1200; ++i) link += "{\\b ";
    link += "{\\field{\\*\\fldinst{HYPERLINK \"https://x.org\"}}{\\fldrslt link text}}{\\*\\junk junk}{\\i\\par x}";
    for (int i = 0; i < 1200; ++i) link += "}";
    const auto doc = read(link + " after}");
    EXPECT_EQ(PlainTextOf(doc), "before link text\nx after");
    ASSERT_EQ(doc.loadWarnings.size(), 1u);
    EXPECT_NE(doc.loadWarnings[0].find("1000"), std::string::npos);
}

TEST(RtfReaderBadInput, HugeNumbersAndClaimsAreClamped)
{
    EXPECT_EQ(textOf("{\\rtf1 a{\\pict\\pngblip\\bin99999999999999 xyz}"), "a");
    const auto doc = read("{\\rtf1\\fs99999999999999999999 \\f-99999999999\\cf2147483648 x"
                          "{\\uc99999999999\\u65 abcdefghijklmnopqrstu}y\\u99999999999 \\u-99999999999 "
                          "{\\pict\\pngblip\\picwgoal99999999999\\pichgoal-5\\picscalex99999999 00}}");
    EXPECT_EQ(PlainTextOf(doc), "xAqrstuy\xF4\x8F\xBF\xBF");
    const TextRun* r = runWith(doc, "x");
    ASSERT_NE(r, nullptr);
    EXPECT_GT(r->format.halfPoints, 0);
    EXPECT_LE(r->format.halfPoints, 3276);
    for (const auto& p : doc.paragraphs)
        for (const auto& run : p.runs)
            if (run.IsPicture()) {
                EXPECT_LE(run.picture->widthTwips, 31680);
                EXPECT_GE(run.picture->heightTwips, 0);
            }
}

TEST(RtfReaderBadInput, ListAndTableWordsOutOfPlaceReadSoundly)
{
    std::string many = "{\\rtf1{\\*\\listtable{\\list";
    for (int i = 0; i < 40; ++i)
        many += "{\\listlevel\\levelnfc4{\\leveltext\\'ff\\'00\\'09\\'05" + std::string(200, 'x') + ";}}";
    many += "\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}";
    many += "\\ls1\\ilvl99999 deep\\par\\ls-5\\ilvl-3 neg\\par\\pard\\pnlvl99 {\\*\\pn\\pnlvl99\\pnstart-99}x\\par";
    many += "\\cell\\row\\row\\nestrow\\nestcell\\trowd";
    for (int i = 0; i < 200; ++i) many += "\\cellx-999999999";
    many += "\\intbl y\\cell\\row\\pard z}";
    const auto doc = read(many);
    const std::string text = PlainTextOf(doc);
    EXPECT_NE(text.find("deep"), std::string::npos);
    EXPECT_NE(text.find("z"), std::string::npos);
    ASSERT_FALSE(doc.lists.empty());
    EXPECT_LE(doc.lists[0].levels.size(), size_t(MaxListLevels));
    for (const auto& l : doc.lists[0].levels) EXPECT_LE(l.prefix.size() + l.suffix.size(), 256u);
    for (const auto& p : doc.paragraphs) {
        EXPECT_LT(p.listLevel, MaxListLevels);
        EXPECT_GE(p.listLevel, 0);
    }
    for (const auto& t : doc.tables)
        for (const auto& row : t.rowEdges) EXPECT_LE(row.size(), 64u);
    // What was read writes and reads back as itself.
    const std::string once = WriteRtf(doc);
    const auto back = ReadRtf(once);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(WriteRtf(*back), once);
}

TEST(RtfReaderBadInput, OversizedPicturesKeepTheirPlaceButNotTheirBytes)
{
    RtfReadLimits limits;
    limits.maxPictureBytes = 1000;
    std::string rtf = "{\\rtf1 a{\\pict\\pngblip\\picwgoal100\\pichgoal100 ";
    rtf.append(4000, 'f');
    rtf += "}b}";
    auto doc = ReadRtf(rtf, limits);
    ASSERT_TRUE(doc.has_value());
    ASSERT_EQ(doc->paragraphs[0].runs.size(), 3u);
    EXPECT_TRUE(doc->paragraphs[0].runs[1].picture->data.empty());
    EXPECT_EQ(doc->paragraphs[0].runs[1].picture->widthTwips, 100);

    // A 50 MB picture with the normal limits: read within the bound.
    std::string big = "{\\rtf1 a{\\pict\\pngblip ";
    big.append(size_t(100) << 20, '0');
    big += "}b}";
    auto bigDoc = ReadRtf(big);
    ASSERT_TRUE(bigDoc.has_value());
    EXPECT_EQ(PlainTextOf(*bigDoc), "ab");
    for (const auto& r : bigDoc->paragraphs[0].runs) {
        if (r.IsPicture()) {
            EXPECT_LE(r.picture->data.size(), RtfReadLimits{}.maxPictureBytes);
        }
    }
}

TEST(RtfReaderBadInput, BinaryGarbageFallsBackToPlainTextOrReadsSoundly)
{
    std::string garbage;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245 + 12345;
        garbage += char(x >> 16);
    }
    bool wasRtf = true;
    const auto doc = LoadInfoDocument(garbage, &wasRtf);
    EXPECT_FALSE(wasRtf);
    EXPECT_FALSE(PlainTextOf(doc).empty());
    // The same garbage behind an RTF header is read as RTF without failing.
    EXPECT_TRUE(ReadRtf("{\\rtf1 " + garbage).has_value());
}

} // namespace
} // namespace lw
