#include "core/richtext/RtfWriter.h"
#include "base/FileIO.h"
#include "core/richtext/RtfReader.h"
#include "support/HostShell.h"
#include "support/RichTextSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace lw {
namespace {

namespace fs = std::filesystem;

// A 4 x 3 red PNG.
std::string redPng()
{
    const std::string hex = "89504e470d0a1a0a0000000d49484452000000040000000308020000003b9639910000001049444154"
                            "789c63f8cfc000470c383900f5310bf5357bfb820000000049454e44ae426082";
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

const std::string kPng = redPng();

CharFormat fmt(std::string face, int halfPoints)
{
    CharFormat f;
    f.face = std::move(face);
    f.halfPoints = halfPoints;
    return f;
}

// A document with every format the editor sets, text in several scripts,
// a link and two pictures.
RichDocument sample()
{
    RichDocument doc;
    doc.Last().align = ParaAlign::Center;
    CharFormat title = fmt("Arial", 32);
    title.bold = true;
    doc.AppendText("The Lantern Keeper", title);
    doc.NewParagraph(ParaAlign::Justify);
    doc.AppendText("Plain {braces} \\ backslash, tab\there, break\vafter; ", fmt("Times New Roman", 24));
    CharFormat styled = fmt("Courier New", 20);
    styled.italic = styled.underline = styled.strike = true;
    styled.color = RgbColor::Rgb(0xCC2200);
    styled.background = RgbColor::Rgb(0xFFFF00);
    doc.AppendText("styled", styled);
    doc.NewParagraph(ParaAlign::Right);
    doc.AppendText("Café €5 Łódź Ελληνικά Русский 日本語 😊", fmt("Arial", 24));
    doc.NewParagraph();
    doc.AppendText("See ", fmt("Arial", 24));
    doc.AppendText("the page", fmt("Arial", 24), "https://example.org/fm?a=1&b=2");
    doc.AppendText(".", fmt("Arial", 24));
    doc.NewParagraph();
    auto png = std::make_shared<Picture>();
    png->kind = PictureKind::Png;
    png->data = kPng;
    png->widthTwips = 600;
    png->heightTwips = 450;
    doc.AppendPicture(png, fmt("Arial", 24));
    auto jpg = std::make_shared<Picture>();
    jpg->kind = PictureKind::Jpeg;
    jpg->data = std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);
    jpg->widthTwips = 300;
    jpg->heightTwips = 150;
    doc.AppendPicture(jpg, fmt("Arial", 24));
    doc.NewParagraph();
    doc.NewParagraph();
    doc.AppendText("after an empty paragraph", fmt("Arial", 24));
    return doc;
}

// What a WordPad or Word author writes beyond character formats: a
// bulleted list with a hanging indent, a numbered list of two levels, tab
// stops, spacing, a two-by-two table, sub- and superscript, hidden text.
RichDocument structured()
{
    RichDocument doc;
    const CharFormat f = fmt("Arial", 20);
    ListDefinition bullets;
    bullets.levels.push_back(ListLevel{});
    ListDefinition numbers;
    numbers.levels.push_back({ListStyle::Decimal, 1, "", "", "."});
    numbers.levels.push_back({ListStyle::LowerAlpha, 1, "", "(", ")"});
    doc.lists = {bullets, numbers};
    auto item = [&](const char* text, int list, int level, int fi, int li) {
        Paragraph& p = doc.Last().Empty() && doc.paragraphs.size() == 1 ? doc.Last() : doc.NewParagraph();
        p.list = list;
        p.listLevel = level;
        p.firstIndent = fi;
        p.leftIndent = li;
        doc.AppendText(text, f);
    };
    item("first bullet", 0, 0, -360, 720);
    item("second bullet", 0, 0, -360, 720);
    item("step one", 1, 0, -360, 360);
    item("detail", 1, 1, -360, 1080);
    item("step two", 1, 0, -360, 360);
    Paragraph& tabs = doc.NewParagraph(ParaAlign::Justify);
    tabs.tabs = {{1440, TabKind::Left}, {2880, TabKind::Center}, {4320, TabKind::Right}, {5760, TabKind::Decimal}};
    tabs.spaceBefore = 120;
    tabs.spaceAfter = 240;
    tabs.lineSpacing = 360;
    tabs.lineMultiple = true;
    tabs.rightIndent = 200;
    doc.AppendText("a\tb\tc\t1.5 H", f);
    CharFormat sub = f, sup = f, hidden = f;
    sub.vertical = VerticalAlign::Subscript;
    sup.vertical = VerticalAlign::Superscript;
    hidden.hidden = true;
    doc.AppendText("2", sub);
    doc.AppendText("O x", f);
    doc.AppendText("2", sup);
    doc.AppendText(" secret", hidden);
    doc.tables.push_back({{{2000, 4000}, {2000, 4000}}, {}});
    const char* cells[] = {"Difficulty", "Loot", "Expert", "2500"};
    for (int i = 0; i < 4; ++i) {
        doc.NewParagraph().cell = CellPlace{0, i / 2, i % 2};
        doc.AppendText(cells[i], f);
    }
    doc.NewParagraph();
    doc.AppendText("after the table", f);
    return doc;
}

void expectSameParagraphs(const std::vector<Paragraph>& a, const std::vector<Paragraph>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t p = 0; p < a.size(); ++p) {
        SCOPED_TRACE("paragraph " + std::to_string(p));
        EXPECT_EQ(a[p].align, b[p].align);
        EXPECT_TRUE(a[p].SameFormat(b[p]));
        const auto& ra = a[p].runs;
        const auto& rb = b[p].runs;
        ASSERT_EQ(ra.size(), rb.size());
        for (size_t r = 0; r < ra.size(); ++r) {
            EXPECT_EQ(ra[r].text, rb[r].text);
            EXPECT_TRUE(ra[r].format == rb[r].format) << "run " << r << ": " << ra[r].text;
            EXPECT_EQ(ra[r].link, rb[r].link);
            ASSERT_EQ(ra[r].IsPicture(), rb[r].IsPicture());
            if (ra[r].IsPicture()) {
                EXPECT_EQ(ra[r].picture->kind, rb[r].picture->kind);
                EXPECT_EQ(ra[r].picture->data, rb[r].picture->data);
                EXPECT_EQ(ra[r].picture->widthTwips, rb[r].picture->widthTwips);
                EXPECT_EQ(ra[r].picture->heightTwips, rb[r].picture->heightTwips);
            }
            ASSERT_EQ(ra[r].IsNote(), rb[r].IsNote());
            if (ra[r].IsNote()) {
                SCOPED_TRACE("note");
                EXPECT_EQ(ra[r].note->endnote, rb[r].note->endnote);
                EXPECT_EQ(ra[r].note->numbered, rb[r].note->numbered);
                expectSameParagraphs(ra[r].note->paragraphs, rb[r].note->paragraphs);
            }
        }
    }
}

void expectSameDocument(const RichDocument& a, const RichDocument& b)
{
    EXPECT_EQ(a.lists, b.lists);
    ASSERT_EQ(a.tables.size(), b.tables.size());
    for (size_t t = 0; t < a.tables.size(); ++t) {
        EXPECT_EQ(a.tables[t].rowEdges, b.tables[t].rowEdges);
        for (size_t r = 0; r < a.tables[t].rowEdges.size(); ++r)
            for (size_t c = 0; c < a.tables[t].rowEdges[r].size(); ++c)
                EXPECT_EQ(a.tables[t].MergeOf(int(r), int(c)), b.tables[t].MergeOf(int(r), int(c)))
                    << "table " << t << " row " << r << " cell " << c;
    }
    expectSameParagraphs(a.paragraphs, b.paragraphs);
}

TEST(RtfWriter, OurReaderReadsBackWhatWeWrite)
{
    const RichDocument doc = sample();
    const std::string rtf = WriteRtf(doc);
    auto back = ReadRtf(rtf);
    ASSERT_TRUE(back.has_value());
    expectSameDocument(doc, *back);
    // Writing what was read gives the same bytes again.
    EXPECT_EQ(WriteRtf(*back), rtf);
}

TEST(RtfWriter, ListsTablesIndentsAndCharacterPositionsComeBack)
{
    const RichDocument doc = structured();
    const std::string rtf = WriteRtf(doc);
    auto back = ReadRtf(rtf);
    ASSERT_TRUE(back.has_value());
    expectSameDocument(doc, *back);
    EXPECT_EQ(WriteRtf(*back), rtf);
    EXPECT_EQ(PlainTextOf(*back),
              "\u2022\tfirst bullet\n\u2022\tsecond bullet\n1.\tstep one\n(a)\tdetail\n2.\tstep two\n"
              "a\tb\tc\t1.5 H2O x2 secret\nDifficulty\nLoot\nExpert\n2500\nafter the table");
    // A list item written without indents gets its level's, so its label
    // has room in every reader.
    RichDocument bare;
    bare.lists.push_back({{ListLevel{}}});
    bare.Last().list = 0;
    bare.AppendText("x", CharFormat{});
    auto again = ReadRtf(WriteRtf(bare));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->paragraphs[0].firstIndent, -360);
    EXPECT_EQ(again->paragraphs[0].leftIndent, 360);
}

TEST(RtfWriter, NotesPageBreaksDirectionAndMergedCellsComeBack)
{
    const RichDocument doc = lw::test::NotesAndBreaksDocument();
    const std::string rtf = WriteRtf(doc);
    auto back = ReadRtf(rtf);
    ASSERT_TRUE(back.has_value());
    expectSameDocument(doc, *back);
    EXPECT_EQ(WriteRtf(*back), rtf);
    for (const char* word : {"\\super\\chftn{\\footnote\\pard", "{\\footnote\\ftnalt", "\\page\r\n", "\\rtlpar\\qr",
                             "\\clmgf\\cellx2000\\clmrg\\cellx4000\\clvmgf\\cellx6000", "\\clvmrg\\cellx6000"})
        EXPECT_NE(rtf.find(word), std::string::npos) << word;
    EXPECT_EQ(PlainTextOf(*back), "Loot1 and keysi*\nOn a new page\n\u05E9\u05DC\u05D5\u05DD\nwide\n\ntall\na\nb\n\n"
                                  "after the table\n\n1 Counted at the end.\nKeys count too.\ni An endnote.\n* The "
                                  "author's own mark.");
}

TEST(RtfWriter, TheFirstSaveIsAFixedPoint)
{
    // Control characters are dropped on writing: a run of nothing else must
    // leave no group, and fonts whose names differ only by them are one.
    const std::string longLink = "https://example.org/" + std::string(5000, 'x');
    for (const std::string& in :
         {std::string("{\\rtf1 a{\\b \\'01}}"), std::string("{\\rtf1{\\fonttbl{\\f1 X\\'01;}{\\f2 X;}}\\f1 a\\f2 b}"),
          std::string("{\\rtf1{\\fonttbl{\\f1 \\'01;}{\\f2 \\'09 Y ;}{\\f3 Y;}}\\f1 a\\f2 b\\f3 c\\f0 d}"),
          std::string("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"a\\'09b\"}{\\fldrslt x}}{\\field{\\*\\fldinst "
                      "HYPERLINK \"ab\"}{\\fldrslt y}}}"),
          std::string("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"\\'0d\"}{\\fldrslt x}}{\\pict\\picw2\\pich2}\\'0d}"),
          "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"" + longLink + "\"}{\\fldrslt x}}}",
          // Rows of differing cell counts, cells without widths, a table
          // right after another, an unused and a used list, a label alone.
          std::string("{\\rtf1\\trowd\\cellx500\\intbl a\\cell b\\cell c\\cell\\row\\trowd\\intbl d\\cell\\row"
                      "\\trowd\\cellx3000\\cellx100\\intbl\\cell\\row}"),
          std::string("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'03(\\'00;;}}\\listid5}"
                      "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01;}}\\listid6}}{\\*\\listoverridetable"
                      "{\\listoverride\\listid5\\ls1}{\\listoverride\\listid6\\ls2}}\\ls2 x\\par\\pard{\\listtext "
                      "7.\\tab}y\\par"
                      "\\ls2\\ilvl4\\intbl z\\cell\\row}"),
          std::string("{\\rtf1\\sl-240\\slmult1\\tqr\\tb\\tx100\\fi-99999 {\\super\\v a}\\sub\\nosupersub b}"),
          // An old-style label longer, and with more kinds of character, than a list level holds.
          std::string(
              "{\\rtf1{\\*\\pn\\pnlvlbody\\pndec{\\pntxtb ;<}{\\pntxta )abcdefghijklmnopqrstuvwxyz}}a\\par}")}) {
        auto doc = ReadRtf(in);
        ASSERT_TRUE(doc.has_value()) << in;
        const std::string first = WriteRtf(*doc);
        auto back = ReadRtf(first);
        ASSERT_TRUE(back.has_value()) << in;
        EXPECT_EQ(WriteRtf(*back), first) << in;
        EXPECT_EQ(PlainTextOf(*back), PlainTextOf(*doc).substr(0, PlainTextOf(*back).size())) << in;
    }
    // A document made in the editor: link and face beyond what a reader keeps.
    RichDocument doc;
    doc.AppendText("a", fmt(std::string(300, 'F') + "\tG", 24), "q\t\"" + longLink);
    doc.AppendText("b", fmt(std::string(300, 'F'), 24), "q\"" + longLink);
    const std::string first = WriteRtf(doc);
    auto back = ReadRtf(first);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->paragraphs[0].runs.size(), 1u);
    EXPECT_EQ(back->paragraphs[0].runs[0].text, "ab");
    EXPECT_EQ(WriteRtf(*back), first);
}

TEST(RtfWriter, TextInASymbolFontKeepsItsFace)
{
    // Braces and backslashes too: written as escapes, a reader would map them
    // through the font and the run would lose its face on the next save.
    RichDocument doc;
    doc.AppendText("x", fmt("Arial", 24));
    doc.AppendText("{a\\b}", fmt("Symbol", 24));
    const std::string first = WriteRtf(doc);
    auto back = ReadRtf(first);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(back->paragraphs[0].runs[1].text, "{a\\b}");
    EXPECT_EQ(back->paragraphs[0].runs[1].format.face, "Symbol");
    EXPECT_EQ(WriteRtf(*back), first);
}

TEST(RtfWriter, EmptyAndTrailingEmptyParagraphsSurvive)
{
    for (int paragraphs : {1, 2, 3}) {
        RichDocument doc;
        doc.AppendText("x", fmt("Arial", 24));
        for (int i = 1; i < paragraphs; ++i) doc.NewParagraph();
        auto back = ReadRtf(WriteRtf(doc));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->paragraphs.size(), size_t(paragraphs));
    }
    auto empty = ReadRtf(WriteRtf(RichDocument{}));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->paragraphs.size(), 1u);
    EXPECT_TRUE(empty->paragraphs[0].Empty());
}

TEST(RtfWriter, OutputIsSevenBitWithoutByteOrderMark)
{
    const std::string rtf = WriteRtf(sample());
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    for (unsigned char c : rtf) ASSERT_LT(c, 0x80);
    EXPECT_NE(rtf.find("Caf\\'e9 \\'805"), std::string::npos);      // Windows-1252 as \'hh
    EXPECT_NE(rtf.find("\\u321?\\'f3d\\u378?"), std::string::npos); // others as \u
    EXPECT_NE(rtf.find("\\u-10179?\\u-8694?"), std::string::npos);  // beyond the BMP: surrogates
    EXPECT_NE(rtf.find("{\\pict\\pngblip\\picw4\\pich3\\picwgoal600\\pichgoal450"), std::string::npos);
    EXPECT_NE(rtf.find("\\jpegblip"), std::string::npos);
    EXPECT_NE(rtf.find("{\\colortbl ;\\red204\\green34\\blue0;\\red255\\green255\\blue0;}"), std::string::npos);
    // Real faces carry their family and pitch.
    EXPECT_NE(rtf.find("{\\f0\\fswiss\\fprq2\\fcharset0 Arial;}"), std::string::npos);
}

TEST(RtfWriter, FontTableNamesFamilyAndPitch)
{
    RichDocument doc;
    CharFormat mono, unknown, symbol, decorated;
    mono.face = "Courier New";
    unknown.face = "Made Up Face";
    symbol.face = "Wingdings";
    decorated.face = "Nimbus Sans [urw]"; // fontconfig's foundry is no part of the name
    doc.AppendText("a", mono);
    doc.AppendText("b", unknown);
    doc.AppendText("c", symbol);
    doc.AppendText("d", decorated);
    const std::string rtf = WriteRtf(doc);
    EXPECT_NE(rtf.find("\\fcharset0 Nimbus Sans;}"), std::string::npos);
    EXPECT_EQ(rtf.find("["), std::string::npos);
    EXPECT_NE(rtf.find("\\fmodern\\fprq1\\fcharset0 Courier New;}"), std::string::npos);
    EXPECT_NE(rtf.find("\\fnil\\fcharset0 Made Up Face;}"), std::string::npos);
    EXPECT_NE(rtf.find("\\fdecor\\fprq2\\fcharset2 Wingdings;}"), std::string::npos);
    // What a file says of a face is kept over what the face is known for.
    auto back = ReadRtf("{\\rtf1{\\fonttbl{\\f0\\froman\\fprq2 Made Up Face;}{\\f1\\fswiss Courier New;}}"
                        "\\f0 a\\f1 b}");
    ASSERT_TRUE(back.has_value());
    const std::string again = WriteRtf(*back);
    EXPECT_NE(again.find("\\froman\\fprq2\\fcharset0 Made Up Face;}"), std::string::npos);
    EXPECT_NE(again.find("\\fswiss\\fcharset0 Courier New;}"), std::string::npos);
}

TEST(RtfWriter, QuotesInLinkTargetsAreEscaped)
{
    RichDocument doc;
    doc.AppendText("q", CharFormat{}, "https://example.org/?q=\"x\"");
    auto back = ReadRtf(WriteRtf(doc));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->paragraphs[0].runs.at(0).link, "https://example.org/?q=%22x%22");
}

TEST(RtfWriter, DefaultFaceIsFontZero)
{
    RichDocument doc;
    doc.AppendText("x", CharFormat{});
    RtfWriteOptions options;
    options.defaultFace = "Courier New";
    auto back = ReadRtf(WriteRtf(doc, options));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->paragraphs[0].runs[0].format.face, "Courier New");
}

// LibreOffice as the oracle of what another program makes of our RTF.

std::string normalise(std::string s)
{
    if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
    std::string out;
    for (char c : s)
        if (c != '\r') out += c;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

class LibreOfficeInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = lw::test::HostProgramMissing("soffice"); !why.empty())
            GTEST_SKIP() << "LibreOffice: " << why << ": interoperability not checked";
        dir_ = lw::test::TempDir::MakeUniqueDir("lw-rtf-interop-");
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }
    std::string soffice(const std::string& args)
    {
        const std::string dir = lw::test::HostPath(dir_);
        return lw::test::RunHostShell("cd '" + dir + "' && HOME='" + dir + "' timeout 180 soffice --headless " + args +
                                      " 2>/dev/null")
            .output;
    }
    fs::path dir_;
};

TEST_F(LibreOfficeInterop, ReadsOurTextAsWritten)
{
    const RichDocument doc = sample();
    WriteFileAtomic(dir_ / "ours.rtf", WriteRtf(doc));
    std::string expected = PlainTextOf(doc);
    EXPECT_EQ(normalise(soffice("--cat ours.rtf")), expected);
}

// Text without the differences word processors' text exports make:
// whitespace runs as one space, no blank lines, no leading spaces.
std::string words(const std::string& text)
{
    std::string out, line;
    auto endLine = [&] {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) out += line + "\n";
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') endLine();
        else if (c == ' ' || c == '\t' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else
            line += c;
    }
    endLine();
    return out;
}

TEST_F(LibreOfficeInterop, ReadsOurListsTablesAndIndents)
{
    const RichDocument doc = structured();
    WriteFileAtomic(dir_ / "ours.rtf", WriteRtf(doc));
    // Its text export numbers the lists and puts each cell on a line.
    EXPECT_EQ(words(normalise(soffice("--cat ours.rtf"))), words(PlainTextOf(doc)));
    // Its own RTF of our file keeps lists, levels, indents, tabs and the table.
    soffice("--convert-to odt ours.rtf");
    soffice("--convert-to rtf:\"Rich Text Format\" --outdir back ours.odt");
    auto back = ReadRtf(ReadWholeFile(dir_ / "back" / "ours.rtf"));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(words(PlainTextOf(*back)), words(PlainTextOf(doc)));
    const Paragraph* first = nullptr;
    const Paragraph* detail = nullptr;
    const Paragraph* tabbed = nullptr;
    int cells = 0;
    for (const auto& p : back->paragraphs) {
        std::string text;
        for (const auto& r : p.runs) text += r.text;
        if (text == "first bullet") first = &p;
        if (text == "detail") detail = &p;
        if (text.rfind("a\tb", 0) == 0) tabbed = &p;
        if (p.cell.table >= 0) ++cells;
    }
    ASSERT_TRUE(first && detail && tabbed);
    EXPECT_GE(first->list, 0);
    EXPECT_EQ(first->firstIndent, -360);
    EXPECT_EQ(first->leftIndent, 720);
    EXPECT_EQ(detail->listLevel, 1);
    EXPECT_EQ(tabbed->tabs.size(), 4u);
    EXPECT_EQ(tabbed->spaceAfter, 240);
    EXPECT_EQ(cells, 4);
}

TEST_F(LibreOfficeInterop, ReadsOurNotesPageBreaksDirectionAndMergedCells)
{
    WriteFileAtomic(dir_ / "ours.rtf", WriteRtf(lw::test::NotesAndBreaksDocument()));
    soffice("--convert-to odt ours.rtf");
    soffice("--convert-to rtf:\"Rich Text Format\" --outdir back ours.odt");
    auto back = ReadRtf(ReadWholeFile(dir_ / "back" / "ours.rtf"));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(lw::test::NotesAndBreaksMissing(*back), "");
}

TEST_F(LibreOfficeInterop, ReadsOurFormatsAndPictures)
{
    WriteFileAtomic(dir_ / "ours.rtf", WriteRtf(sample()));
    soffice("--convert-to odt ours.rtf");
    ASSERT_TRUE(fs::exists(dir_ / "ours.odt"));
    // LibreOffice's own RTF of our file, read back by us: the same text,
    // formats and picture bytes.
    soffice("--convert-to rtf:\"Rich Text Format\" --outdir back ours.odt");
    const std::string theirs = ReadWholeFile(dir_ / "back" / "ours.rtf");
    auto back = ReadRtf(theirs);
    ASSERT_TRUE(back.has_value());
    const RichDocument doc = sample();
    EXPECT_EQ(PlainTextOf(*back), PlainTextOf(doc));
    auto find = [](const RichDocument& d, std::string_view needle) -> const lw::TextRun* {
        for (const auto& p : d.paragraphs)
            for (const auto& r : p.runs)
                if (r.text.find(needle) != std::string::npos) return &r;
        return nullptr;
    };
    const lw::TextRun* title = find(*back, "Lantern");
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->format.bold);
    EXPECT_EQ(title->format.halfPoints, 32);
    EXPECT_EQ(title->format.face, "Arial");
    const lw::TextRun* styled = find(*back, "styled");
    ASSERT_NE(styled, nullptr);
    EXPECT_TRUE(styled->format.italic);
    EXPECT_TRUE(styled->format.underline);
    EXPECT_TRUE(styled->format.strike);
    EXPECT_EQ(styled->format.color, RgbColor::Rgb(0xCC2200));
    EXPECT_EQ(styled->format.background, RgbColor::Rgb(0xFFFF00));
    EXPECT_EQ(styled->format.face, "Courier New");
    EXPECT_EQ(find(*back, "the page")->link, "https://example.org/fm?a=1&b=2");
    ASSERT_GE(back->paragraphs.size(), 3u);
    EXPECT_EQ(back->paragraphs[0].align, ParaAlign::Center);
    EXPECT_EQ(back->paragraphs[1].align, ParaAlign::Justify);
    EXPECT_EQ(back->paragraphs[2].align, ParaAlign::Right);
    bool pngFound = false;
    for (const auto& p : back->paragraphs)
        for (const auto& r : p.runs)
            if (r.IsPicture() && r.picture->kind == PictureKind::Png) {
                int w = 0, h = 0;
                pngFound = PictureDimensions(*r.picture, w, h) && w == 4 && h == 3;
            }
    EXPECT_TRUE(pngFound);
}

} // namespace
} // namespace lw
