#include "core/richtext/InfoConvert.h"
#include "base/FileIO.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "platform/File.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

namespace lw {
namespace {

namespace fs = std::filesystem;

TEST(PlainTextDocument, EveryKindOfLineBreakIsOneParagraphBreak)
{
    const auto doc = PlainTextDocument("a\r\nb\nc\rd\r\n\r\ne\n");
    ASSERT_EQ(doc.paragraphs.size(), 7u);
    EXPECT_EQ(PlainTextOf(doc), "a\nb\nc\nd\n\ne\n");
    EXPECT_EQ(PlainTextDocument("").paragraphs.size(), 1u);
}

TEST(PlainTextDocument, DecodesByTheOneRule)
{
    EXPECT_EQ(PlainTextOf(PlainTextDocument("caf\xE9")), "café");     // Windows-1252
    EXPECT_EQ(PlainTextOf(PlainTextDocument("caf\xC3\xA9")), "café"); // UTF-8
    EXPECT_EQ(PlainTextOf(PlainTextDocument(std::string("\xFF\xFE"
                                                        "a\0\r\0\n\0b\0",
                                                        10))),
              "a\nb");                                                                       // UTF-16 LE
    EXPECT_EQ(PlainTextOf(PlainTextDocument(std::string("\xFE\xFF\0a\0\n\0b", 8))), "a\nb"); // UTF-16 BE
}

TEST(PlainTextFileBytes, Windows1252WhenItFitsElseUtf8WithMarkAndCrLf)
{
    EXPECT_EQ(PlainTextFileBytes(PlainTextDocument("café\n€")), "caf\xE9\r\n\x80");
    EXPECT_EQ(PlainTextFileBytes(PlainTextDocument("Łódź\nx")), "\xEF\xBB\xBF\xC5\x81\xC3\xB3\x64\xC5\xBA\r\nx");
}

TEST(SavesAsPlainText, OnlyTheTxtExtensionInAnyCase)
{
    EXPECT_TRUE(SavesAsPlainText("/fm/fminfo.txt"));
    EXPECT_TRUE(SavesAsPlainText("C:\\FM\\FMINFO.TXT"));
    EXPECT_TRUE(SavesAsPlainText("notes.Txt"));
    EXPECT_FALSE(SavesAsPlainText("fminfo.rtf"));
    EXPECT_FALSE(SavesAsPlainText("fminfo"));
    EXPECT_FALSE(SavesAsPlainText("fminfo.doc"));
    EXPECT_FALSE(SavesAsPlainText("dir.txt/fminfo"));
    EXPECT_FALSE(SavesAsPlainText("fminfo.txt.bak"));
}

TEST(PlainTextLoses, MoreThanTheTextAndTheEditorsFace)
{
    CharFormat plain;
    plain.face = "Courier New";
    plain.halfPoints = 20;
    auto pic = std::make_shared<Picture>();
    pic->kind = PictureKind::Png;
    struct Case {
        const char* what;
        std::function<void(RichDocument&)> make;
        bool loses;
    };
    const Case cases[] = {
        {"text in the plain face", [&](RichDocument& d) { d.AppendText("x", plain); }, false},
        {"text that sets no face", [](RichDocument& d) { d.AppendText("x", CharFormat{}); }, false},
        {"bold",
         [&](RichDocument& d) {
             CharFormat f = plain;
             f.bold = true;
             d.AppendText("x", f);
         },
         true},
        {"another size",
         [&](RichDocument& d) {
             CharFormat f = plain;
             f.halfPoints = 21;
             d.AppendText("x", f);
         },
         true},
        {"another face",
         [&](RichDocument& d) {
             CharFormat f = plain;
             f.face = "Arial";
             d.AppendText("x", f);
         },
         true},
        {"a link", [&](RichDocument& d) { d.AppendText("x", plain, "https://example.org"); }, true},
        {"a picture", [&](RichDocument& d) { d.AppendPicture(pic, plain); }, true},
        {"a note", [&](RichDocument& d) { d.AppendNote(std::make_shared<Note>(), plain); }, true},
        {"centred", [](RichDocument& d) { d.Last().align = ParaAlign::Center; }, true},
        {"a page break", [](RichDocument& d) { d.NewParagraph().pageBreakBefore = true; }, true},
        {"a list",
         [](RichDocument& d) {
             d.lists.push_back({{ListLevel{}}});
             d.Last().list = 0;
         },
         true},
    };
    for (const Case& c : cases) {
        RichDocument doc;
        c.make(doc);
        EXPECT_EQ(PlainTextLoses(doc, plain), c.loses) << c.what;
    }
}

int lines(const std::string& s)
{
    return int(std::count(s.begin(), s.end(), '\n'));
}

class ConvertInfoFileTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = lw::test::TempDir::MakeUniqueDir("lw-convert-"); }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // A file in the folder: as the command line names it, and as a path.
    std::string path(const char* name) const { return lw::platform::Utf8Of(dir_ / name); }
    fs::path file(const char* name) const { return dir_ / name; }
    int convert(const std::string& in, const std::string& outFile)
    {
        out_.str("");
        err_.str("");
        return ConvertInfoFile(in, outFile, out_, err_);
    }
    fs::path dir_;
    std::ostringstream out_, err_;
};

TEST_F(ConvertInfoFileTest, RtfToTextAndBack)
{
    WriteFileAtomic(file("in.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Caf\\'e9 {\\b bold}\\par second\\par}");
    ASSERT_EQ(convert(path("in.rtf"), path("out.TXT")), 0) << err_.str();
    EXPECT_EQ(ReadWholeFile(file("out.TXT")), "Caf\xE9 bold\r\nsecond");
    EXPECT_TRUE(err_.str().empty());

    ASSERT_EQ(convert(path("out.TXT"), path("again.rtf")), 0) << err_.str();
    const std::string rtf = ReadWholeFile(file("again.rtf"));
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u); // no byte-order mark
    auto doc = ReadRtf(rtf);
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(PlainTextOf(*doc), "Café bold\nsecond");
    // Text from a .txt file gets the fixed-pitch face.
    EXPECT_EQ(doc->paragraphs[0].runs[0].format.face, "Courier New");

    // Any extension but .txt gives RTF; formatting survives RTF to RTF.
    ASSERT_EQ(convert(path("in.rtf"), path("copy")), 0);
    auto copy = ReadRtf(ReadWholeFile(file("copy")));
    ASSERT_TRUE(copy.has_value());
    EXPECT_TRUE(copy->paragraphs[0].runs.at(1).format.bold);
}

TEST_F(ConvertInfoFileTest, WritesWhatTheEditorWritesAParagraphAtATime)
{
    // The converter never holds the whole document; what it writes is what
    // a save of the whole document gives, tables, lists and notes included.
    // A paragraph of many runs goes in pieces.
    std::string runs = "{\\rtf1\\pard\\qc{\\listtext 1.\\tab}";
    for (int i = 0; i < 3000; ++i) runs += i % 2 ? "\\b a\\b0 " : "b{\\i c}";
    const std::string longParagraph = runs + "\\par\\trowd\\cellx900\\intbl x\\cell\\row after\\par}";
    const std::string fixtures[] = {"wordpad_cp1252.rtf", "word_cp1250.rtf", "libreoffice_writer.rtf",
                                    "handwritten.rtf", ""};
    for (const std::string& name : fixtures) {
        SCOPED_TRACE(name);
        const std::string bytes =
            name.empty() ? longParagraph
                         : ReadWholeFile(platform::PathFromUtf8(std::string(LW_FIXTURES) + "/rtf/" + name));
        WriteFileAtomic(file("in.rtf"), bytes);
        ASSERT_EQ(convert(path("in.rtf"), path("out.rtf")), 0) << err_.str();
        EXPECT_EQ(ReadWholeFile(file("out.rtf")), WriteRtf(*ReadRtf(bytes)));
        ASSERT_EQ(convert(path("in.rtf"), "-"), 0);
        std::string text = PlainTextOf(*ReadRtf(bytes));
        if (text.back() != '\n') text += '\n';
        EXPECT_EQ(out_.str(), text);
    }
    // What the reading could not keep is said, and the conversion goes on.
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 1100; ++i) deep += "{";
    deep += "kept";
    for (int i = 0; i < 1100; ++i) deep += "}";
    WriteFileAtomic(file("deep.rtf"), deep + "}");
    ASSERT_EQ(convert(path("deep.rtf"), "-"), 0);
    EXPECT_EQ(out_.str(), "kept\n");
    EXPECT_NE(err_.str().find("warning"), std::string::npos);
    EXPECT_NE(err_.str().find("deep.rtf"), std::string::npos);
    EXPECT_EQ(lines(err_.str()), 1);
}

TEST_F(ConvertInfoFileTest, ContentDecidesNotTheName)
{
    WriteFileAtomic(file("looks.txt"), "{\\rtf1 {\\b formatted}}");
    ASSERT_EQ(convert(path("looks.txt"), "-"), 0);
    EXPECT_EQ(out_.str(), "formatted\n");
    WriteFileAtomic(file("plain.rtf"), "not rtf\r\n\xE9t\xE9");
    ASSERT_EQ(convert(path("plain.rtf"), "-"), 0);
    EXPECT_EQ(out_.str(), "not rtf\nété\n");
}

TEST_F(ConvertInfoFileTest, StandardOutputIsUtf8)
{
    WriteFileAtomic(file("u.rtf"), "{\\rtf1 \\u321?\\'f3d\\u378?\\par}");
    ASSERT_EQ(convert(path("u.rtf"), "-"), 0);
    EXPECT_EQ(out_.str(), "Łódź\n");
}

TEST_F(ConvertInfoFileTest, FailuresGiveOneLineAndNonZero)
{
    EXPECT_NE(convert(path("missing.rtf"), path("x.txt")), 0);
    EXPECT_NE(err_.str().find("missing.rtf"), std::string::npos);
    EXPECT_EQ(lines(err_.str()), 1);
    EXPECT_FALSE(fs::exists(file("x.txt")));

    EXPECT_NE(convert(lw::platform::Utf8Of(dir_), path("x.txt")), 0); // a directory is unreadable

    WriteFileAtomic(file("ok.rtf"), "{\\rtf1 x}");
    EXPECT_NE(convert(path("ok.rtf"), path("no-such-dir/out.rtf")), 0);
    EXPECT_NE(err_.str().find("out.rtf"), std::string::npos);
    EXPECT_EQ(lines(err_.str()), 1);

    EXPECT_NE(convert("", "-"), 0);
}

} // namespace
} // namespace lw
