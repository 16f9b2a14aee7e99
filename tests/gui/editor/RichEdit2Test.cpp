#include "gui/editor/RichEdit2.h"
#include "base/FileIO.h"
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "support/RichTextSamples.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <QtTest>

#include <functional>

using namespace lw;

namespace {

// Hands out at most `chunk` bytes per read; fails every read or write when
// `fail` is set.
class ChunkedConversion : public TConversion {
public:
    explicit ChunkedConversion(qint64 chunk, bool fail = false) : chunk_(chunk), fail_(fail) {}
    qint64 ConvertReadStream(QIODevice& stream, char* buffer, qint64 size) override
    {
        if (fail_) throw std::runtime_error("read failure");
        ++reads;
        return stream.read(buffer, std::min(size, chunk_));
    }
    qint64 ConvertWriteStream(QIODevice& stream, const char* buffer, qint64 size) override
    {
        if (fail_) throw std::runtime_error("write failure");
        return stream.write(buffer, size);
    }
    int reads = 0;

private:
    qint64 chunk_;
    bool fail_;
};

// Upper-cases what it writes: shows which converter a file operation used.
class UpperConversion : public TConversion {
public:
    qint64 ConvertWriteStream(QIODevice& stream, const char* buffer, qint64 size) override
    {
        return stream.write(QByteArray(buffer, size).toUpper());
    }
};

QByteArray saved(TRichEdit2& edit)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    edit.Lines().SaveToStream(out);
    return bytes;
}

void load(TRichEdit2& edit, const QByteArray& data)
{
    QByteArray bytes = data;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    edit.Lines().LoadFromStream(in);
}

QStringList linesOf(TRichEdit2& edit)
{
    QStringList out;
    for (int i = 0; i < edit.Lines().Count(); ++i) out << edit.Lines().Get(i);
    return out;
}

void select(TRichEdit2& edit, int start, int length)
{
    edit.SetSelStart(start);
    edit.SetSelLength(length);
}

QByteArray imageBytes(int w, int h, const char* format)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 40 % 256, y * 60 % 256, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Every character and paragraph format the document model has, each on a
// run or paragraph of its own, with a note, pictures, lists and a table
// with merged cells.
RichDocument everyFormat()
{
    RichDocument doc;
    CharFormat base;
    base.face = "Arial";
    base.halfPoints = 21; // 10.5 points
    std::vector<std::pair<const char*, std::function<void(CharFormat&)>>> formats = {
        {"plain", [](CharFormat&) {}},
        {"face", [](CharFormat& f) { f.face = "Courier New"; }},
        {"size", [](CharFormat& f) { f.halfPoints = 35; }},
        {"bold", [](CharFormat& f) { f.bold = true; }},
        {"italic", [](CharFormat& f) { f.italic = true; }},
        {"underline", [](CharFormat& f) { f.underline = true; }},
        {"strike", [](CharFormat& f) { f.strike = true; }},
        {"colour", [](CharFormat& f) { f.color = RgbColor::Rgb(0xAA3300); }},
        {"background", [](CharFormat& f) { f.background = RgbColor::Rgb(0x33CC66); }},
        {"superscript", [](CharFormat& f) { f.vertical = VerticalAlign::Superscript; }},
        {"subscript", [](CharFormat& f) { f.vertical = VerticalAlign::Subscript; }},
        {"hidden", [](CharFormat& f) { f.hidden = true; }},
    };
    for (auto& [name, set] : formats) {
        CharFormat f = base;
        set(f);
        doc.AppendText(std::string(" ") + name, f);
    }
    doc.AppendText(" link", base, "https://example.org/fm");
    CharFormat mark = base;
    mark.vertical = VerticalAlign::Superscript;
    auto note = std::make_shared<Note>();
    note->paragraphs[0].runs.push_back(TextRun{"Footnote", base, {}, {}, {}});
    doc.AppendNote(note, mark);
    for (const char* kind : {"PNG", "JPG"}) {
        auto pic = std::make_shared<Picture>();
        pic->kind = kind[0] == 'P' ? PictureKind::Png : PictureKind::Jpeg;
        pic->data = imageBytes(8, 6, kind).toStdString();
        pic->widthTwips = 240;
        pic->heightTwips = 180;
        doc.AppendPicture(pic, base);
    }
    std::vector<std::function<void(Paragraph&)>> paragraphs = {
        [](Paragraph& p) { p.align = ParaAlign::Right; },
        [](Paragraph& p) { p.align = ParaAlign::Center; },
        [](Paragraph& p) { p.align = ParaAlign::Justify; },
        [](Paragraph& p) {
            p.firstIndent = -360;
            p.leftIndent = 1080;
            p.rightIndent = 720;
        },
        [](Paragraph& p) {
            p.spaceBefore = 120;
            p.spaceAfter = 240;
        },
        [](Paragraph& p) {
            p.lineSpacing = 360;
            p.lineMultiple = true;
        },
        [](Paragraph& p) { p.lineSpacing = 300; },
        [](Paragraph& p) { p.lineSpacing = -280; },
        [](Paragraph& p) {
            p.tabs = {{1440, TabKind::Left}, {2880, TabKind::Center}, {4320, TabKind::Right}, {5760, TabKind::Decimal}};
        },
        [](Paragraph& p) { p.rightToLeft = true; },
        [](Paragraph& p) { p.pageBreakBefore = true; },
        [](Paragraph& p) { p.list = 0; },
        [](Paragraph& p) {
            p.list = 0;
            p.listLevel = 1;
        },
        [](Paragraph& p) { p.list = 1; },
    };
    doc.lists.push_back({{ListLevel{}, ListLevel{ListStyle::Bullet, 1, "o", "", "."}}});
    doc.lists.push_back({{ListLevel{ListStyle::UpperRoman, 3, "", "(", ")"}}});
    for (auto& set : paragraphs) {
        set(doc.NewParagraph());
        doc.AppendText("paragraph", base);
    }
    test::AppendMergedCells(doc, base);
    doc.NewParagraph();
    doc.AppendText("after", base);
    return doc;
}

// Where two documents' paragraphs first differ, in words; empty when they do not.
QString paragraphDifference(const std::vector<Paragraph>& a, const std::vector<Paragraph>& b, const RichDocument& da,
                            const RichDocument& db)
{
    if (a.size() != b.size()) return QStringLiteral("%1 paragraphs, not %2").arg(b.size()).arg(a.size());
    for (size_t p = 0; p < a.size(); ++p) {
        const QString where = QStringLiteral("paragraph %1: ").arg(p);
        if (!a[p].SameFormat(b[p])) return where + QStringLiteral("its format");
        if (a[p].list >= 0 && !(da.lists.at(size_t(a[p].list)).levels.at(size_t(a[p].listLevel)) ==
                                db.lists.at(size_t(b[p].list)).levels.at(size_t(b[p].listLevel))))
            return where + QStringLiteral("its list level");
        if (a[p].runs.size() != b[p].runs.size()) return where + QStringLiteral("the number of runs");
        for (size_t r = 0; r < a[p].runs.size(); ++r) {
            const TextRun& x = a[p].runs[r];
            const TextRun& y = b[p].runs[r];
            const QString run = where + QStringLiteral("run %1 (%2): ").arg(r).arg(QString::fromStdString(x.text));
            if (x.text != y.text) return run + QStringLiteral("the text");
            if (!(x.format == y.format)) return run + QStringLiteral("the character format");
            if (!(x.link == y.link)) return run + QStringLiteral("the link");
            if (x.IsPicture() != y.IsPicture() ||
                (x.IsPicture() && (x.picture->kind != y.picture->kind || x.picture->data != y.picture->data ||
                                   x.picture->widthTwips != y.picture->widthTwips)))
                return run + QStringLiteral("the picture");
            if (x.IsNote() != y.IsNote()) return run + QStringLiteral("the note");
            if (x.IsNote()) {
                const QString inNote = paragraphDifference(x.note->paragraphs, y.note->paragraphs, da, db);
                if (!inNote.isEmpty() || x.note->endnote != y.note->endnote || x.note->numbered != y.note->numbered)
                    return run + QStringLiteral("the note: ") + inNote;
            }
        }
    }
    return {};
}

QString firstDifference(const RichDocument& da, const RichDocument& db)
{
    if (QString d = paragraphDifference(da.paragraphs, db.paragraphs, da, db); !d.isEmpty()) return d;
    for (size_t t = 0; t < da.tables.size(); ++t)
        for (size_t r = 0; r < da.tables[t].rowEdges.size(); ++r)
            for (size_t c = 0; c < da.tables[t].rowEdges[r].size(); ++c)
                if (t >= db.tables.size() || da.tables[t].rowEdges != db.tables[t].rowEdges ||
                    !(da.tables[t].MergeOf(int(r), int(c)) == db.tables[t].MergeOf(int(r), int(c))))
                    return QStringLiteral("table %1 row %2 cell %3").arg(t).arg(r).arg(c);
    return {};
}

} // namespace

class RichEdit2Test : public QObject {
    Q_OBJECT

private slots:
    void countIgnoresAnEmptyLastLine()
    {
        TRichEdit2 edit;
        QCOMPARE(edit.Lines().Count(), 0);
        edit.setPlainText(QStringLiteral("a\nb"));
        QCOMPARE(edit.Lines().Count(), 2);
        edit.setPlainText(QStringLiteral("a\nb\n"));
        QCOMPARE(edit.Lines().Count(), 2);
        QCOMPARE(edit.document()->blockCount(), 3);
        QCOMPARE(edit.Lines().Get(1), QStringLiteral("b"));
        QCOMPARE(edit.Lines().Get(2), QString());
        QCOMPARE(edit.Lines().Get(-1), QString());
        QCOMPARE(edit.Lines().Text(), QStringLiteral("a\r\nb\r\n"));
    }

    void putReplacesTheLineAndKeepsItsBreak()
    {
        TRichEdit2 edit;
        edit.setPlainText(QStringLiteral("one\ntwo\nthree"));
        edit.Lines().Put(1, QStringLiteral("2"));
        edit.Lines().Put(-1, QStringLiteral("x"));
        edit.Lines().Put(7, QStringLiteral("x"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("one\n2\nthree"));
    }

    void insertBeforeExistingLinesAndAfterTheLast()
    {
        TRichEdit2 edit;
        edit.Lines().Insert(0, QStringLiteral("first")); // the one empty line exists
        QCOMPARE(edit.toPlainText(), QStringLiteral("first\n"));
        QCOMPARE(edit.Lines().Count(), 1);
        edit.Lines().Add(QStringLiteral("second")); // line 1 exists: it is the empty last one
        QCOMPARE(edit.toPlainText(), QStringLiteral("first\nsecond\n"));
        edit.Lines().Insert(-1, QStringLiteral("never"));
        // After the last line when that line is empty: nothing.
        edit.Lines().Insert(3, QStringLiteral("never"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("first\nsecond\n"));
        edit.Lines().Insert(1, QStringLiteral("middle"));
        QCOMPARE(linesOf(edit), (QStringList{"first", "middle", "second"}));

        // After a last line with text: a break, then the line.
        edit.setPlainText(QStringLiteral("a"));
        edit.Lines().Insert(1, QStringLiteral("b"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("a\nb"));
        edit.Lines().Insert(5, QStringLiteral("c")); // line 4 does not exist either
        QCOMPARE(edit.toPlainText(), QStringLiteral("a\nb"));
    }

    void insertCutByTheTextLimitIsAnError()
    {
        TRichEdit2 edit;
        edit.setPlainText(QStringLiteral("abc"));
        edit.SetMaxLength(6);
        edit.Lines().Insert(0, QStringLiteral("x")); // "x" + break fits
        try {
            edit.Lines().Insert(0, QStringLiteral("toolong"));
            QFAIL("no error");
        } catch (const EOutOfResources& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("RichEdit line insertion error"));
        }
        QVERIFY(edit.TextLength() <= 6);
    }

    void deleteRemovesTheLineTheLastOnesBreakStays()
    {
        TRichEdit2 edit;
        edit.setPlainText(QStringLiteral("one\ntwo\nthree"));
        edit.Lines().Delete(1);
        QCOMPARE(edit.toPlainText(), QStringLiteral("one\nthree"));
        edit.Lines().Delete(1);
        QCOMPARE(edit.toPlainText(), QStringLiteral("one\n"));
        edit.Lines().Delete(-1);
        edit.Lines().Delete(9);
        QCOMPARE(edit.toPlainText(), QStringLiteral("one\n"));
    }

    void setTextRaisesNoChangeNoticesAddStringsKeepsSelectionEventsQuiet()
    {
        TRichEdit2 edit;
        int changes = 0, selections = 0;
        edit.OnChange = [&](QObject* sender) {
            QCOMPARE(sender, &edit);
            ++changes;
        };
        edit.Lines().SetText(QStringLiteral("a\r\nb\nc\r\n"));
        QCOMPARE(changes, 0);
        QCOMPARE(linesOf(edit), (QStringList{"a", "b", "c"}));
        edit.OnSelectionChange = [&](QObject*) { ++selections; };
        edit.Lines().AddStrings({QStringLiteral("d"), QStringLiteral("e")});
        QCOMPARE(selections, 0);
        QVERIFY(edit.OnSelectionChange != nullptr);
        QCOMPARE(linesOf(edit), (QStringList{"a", "b", "c", "d", "e"}));
        QVERIFY(changes > 0); // the adds are ordinary edits
        edit.SetLines({QStringLiteral("x"), QString(), QStringLiteral("z")});
        QCOMPARE(linesOf(edit), (QStringList{"x", "", "z"}));
    }

    void plainTextLoadTurnsEveryBreakIntoOneAlsoAcrossReads()
    {
        TRichEdit2 edit;
        // One byte per read: every CR LF pair falls across two reads.
        edit.Lines().SetConverter(std::make_unique<ChunkedConversion>(1));
        load(edit, QByteArray("one\r\ntwo\nthree\rfour\r\n\r\nsix"));
        QCOMPARE(linesOf(edit), (QStringList{"one", "two", "three", "four", "", "six"}));
        QVERIFY(static_cast<ChunkedConversion*>(edit.Lines().Converter())->reads > 20);
        QVERIFY(!edit.Modified());
    }

    void rtfLoadFallsBackToPlainTextAndFailsWhenBothFail()
    {
        TRichEdit2 edit;
        load(edit, QByteArray("{\\rtf1 {\\b bold}\\par x}"));
        QCOMPARE(linesOf(edit), (QStringList{"bold", "x"}));
        select(edit, 0, 2);
        QVERIFY(edit.SelAttributes().Style() & fsBold);

        load(edit, QByteArray("not {\\rtf1 at the start"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("not {\\rtf1 at the start"));

        edit.Lines().SetConverter(std::make_unique<ChunkedConversion>(64, true));
        try {
            load(edit, QByteArray("{\\rtf1 x}"));
            QFAIL("no error");
        } catch (const EOutOfResources& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Failed to Load Stream"));
        }
        QCOMPARE(edit.toPlainText(), QStringLiteral("not {\\rtf1 at the start"));

        // With PlainText set, RTF is just text and a failed read is no error.
        edit.Lines().SetConverter(nullptr);
        edit.SetPlainText(true);
        load(edit, QByteArray("{\\rtf1 x}"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("{\\rtf1 x}"));
        edit.Lines().SetConverter(std::make_unique<ChunkedConversion>(64, true));
        load(edit, QByteArray("lost"));
        QCOMPARE(edit.toPlainText(), QString());
    }

    void damagedRtfLoadsSoundly()
    {
        std::string deep = "{\\rtf1 ";
        for (int i = 0; i < 100000; ++i) deep += "{\\i ";
        deep += "deep";
        std::string garbage;
        uint32_t x = 7;
        for (int i = 0; i < 100000; ++i) {
            x = x * 1103515245 + 12345;
            garbage += char(x >> 16);
        }
        const struct {
            std::string bytes;
            QString text;
        } cases[] = {
            {"{\\rtf1 trunc{\\b ated", QStringLiteral("truncated")},
            {"{\\rtf1 a}}}}}", QStringLiteral("a")},
            {deep, QStringLiteral("deep")},
            {"{\\rtf1 x{\\pict\\pngblip\\bin2147483647 ab}", QStringLiteral("x")},
            {"{\\rtf1\\fs999999999999 \\f99999999999 big}", QStringLiteral("big")},
            {"{\\rtf1 {\\pict\\pngblip\\picwgoal99999999\\pichgoal99999999 89504e470d0a1a0a0000}}", QString()},
        };
        for (const auto& c : cases) {
            TRichEdit2 edit;
            load(edit, QByteArray::fromStdString(c.bytes));
            QCOMPARE(edit.toPlainText().remove(QChar::ObjectReplacementCharacter), c.text);
            QVERIFY(saved(edit).startsWith("{\\rtf1"));
        }
        TRichEdit2 edit;
        load(edit, QByteArray::fromStdString(garbage)); // not RTF: read as text
        QVERIFY(edit.TextLength() > 0);
    }

    void saveFollowsThePlainTextFlag()
    {
        TRichEdit2 edit;
        edit.Lines().SetText(QStringLiteral("café\nx"));
        QVERIFY(saved(edit).startsWith("{\\rtf1"));
        edit.SetPlainText(true); // the control holds text: only the streams switch
        QVERIFY(edit.PlainText());
        QCOMPARE(saved(edit), QByteArray("caf\xE9\r\nx\r\n"));
        edit.SetPlainText(false);
        QVERIFY(saved(edit).startsWith("{\\rtf1"));

        edit.Lines().SetConverter(std::make_unique<ChunkedConversion>(64, true));
        try {
            saved(edit);
            QFAIL("no error");
        } catch (const EOutOfResources& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Failed to Save Stream"));
        }
    }

    void filesUseTheConverterOfTheirExtension()
    {
        QTemporaryDir dir;
        RegisterConversionFormat(QStringLiteral("upr"), [] { return std::make_unique<UpperConversion>(); });
        TRichEdit2 edit;
        edit.SetPlainText(true);
        edit.Lines().SetText(QStringLiteral("shout"));
        edit.Lines().SaveToFile(dir.filePath(QStringLiteral("a.UPR")));
        QCOMPARE(QByteArray::fromStdString(ReadWholeFile(dir.filePath(QStringLiteral("a.UPR")).toStdString())),
                 QByteArray("SHOUT\r\n"));
        QVERIFY(dynamic_cast<UpperConversion*>(edit.Lines().Converter()));
        edit.Lines().SaveToFile(dir.filePath(QStringLiteral("b.unknown"))); // the "txt" entry
        QVERIFY(edit.Lines().Converter() && !dynamic_cast<UpperConversion*>(edit.Lines().Converter()));

        try {
            edit.Lines().LoadFromFile(dir.filePath(QStringLiteral("missing.rtf")));
            QFAIL("no error");
        } catch (const Error& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("missing.rtf")));
        }
        QVERIFY(edit.Lines().Converter() == nullptr);
        try {
            edit.Lines().SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x.rtf")));
            QFAIL("no error");
        } catch (const Error&) {
        }
    }

    void fixtureSurvivesLoadSaveAndReload()
    {
        const QString dir = QStringLiteral(LW_FIXTURES "/rtf/");
        for (const char* name :
             {"wordpad_cp1252.rtf", "word_cp1250.rtf", "libreoffice_writer.rtf", "handwritten.rtf"}) {
            TRichEdit2 edit;
            edit.Lines().LoadFromFile(dir + QLatin1String(name));
            const RichDocument first = edit.ToDocument();
            const std::string expected =
                PlainTextOf(*ReadRtf(ReadWholeFile((dir + QLatin1String(name)).toStdString())));
            QCOMPARE(QString::fromStdString(PlainTextOf(first)), QString::fromStdString(expected));
            const QByteArray rtf = saved(edit);
            TRichEdit2 again;
            load(again, rtf);
            const RichDocument second = again.ToDocument();
            QCOMPARE(second.paragraphs.size(), first.paragraphs.size());
            for (size_t p = 0; p < first.paragraphs.size(); ++p) {
                QCOMPARE(second.paragraphs[p].align, first.paragraphs[p].align);
                const auto& a = first.paragraphs[p].runs;
                const auto& b = second.paragraphs[p].runs;
                QCOMPARE(b.size(), a.size());
                for (size_t r = 0; r < a.size(); ++r) {
                    QCOMPARE(QString::fromStdString(b[r].text), QString::fromStdString(a[r].text));
                    QVERIFY(b[r].format == a[r].format);
                    QCOMPARE(b[r].IsPicture(), a[r].IsPicture());
                    if (a[r].IsPicture()) QVERIFY(b[r].picture->data == a[r].picture->data);
                }
            }
        }
    }

    // What WordPad and Word write beyond character formats: a bulleted list
    // with a hanging indent, a numbered list, tab stops, a two-by-two table,
    // subscript, hidden text and a PNG. The editor shows them as Qt lists
    // and tables, and its save keeps them.
    void listsTablesIndentsAndPicturesSurviveLoadAndSave()
    {
        const char* png = "89504e470d0a1a0a0000000d49484452000000040000000308020000003b9639910000001049444154"
                          "789c63f8cfc000470c383900f5310bf5357bfb820000000049454e44ae426082";
        const QByteArray rtf =
            QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}\r\n"
                       "\\viewkind4\\uc1\\pard\\f0\\fs20 Before\\par\r\n"
                       "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 "
                       "Rope arrows\\par\r\n"
                       "{\\pntext\\f1\\'B7\\tab}Water arrows\\par\r\n"
                       "\\pard{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart1\\pnindent360{\\pntxta "
                       ".}}\\fi-360\\li360 Find the key\\par\r\n"
                       "{\\pntext 2.\\tab}Open the vault\\par\r\n"
                       "\\pard\\tx1440\\tqr\\tx4000 H{\\sub 2}O\\tab right{\\v  hidden}\\par\r\n"
                       "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Difficulty\\cell Loot\\cell\\row\r\n"
                       "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Expert\\cell 2500\\cell\\row\r\n"
                       "\\pard{\\pict\\pngblip\\picw4\\pich3 ") +
            png + "}\\par\r\n\\pard After\\par\r\n}";
        TRichEdit2 edit;
        load(edit, rtf);
        // Shown as lists and a table.
        QTextDocument& d = *edit.document();
        QTextBlock rope = d.findBlockByNumber(1);
        QVERIFY(rope.textList());
        QCOMPARE(rope.textList()->format().style(), QTextListFormat::ListDisc);
        QCOMPARE(rope.blockFormat().leftMargin(), 48.0);
        QCOMPARE(rope.blockFormat().textIndent(), -48.0);
        QCOMPARE(rope.textList(), d.findBlockByNumber(2).textList());
        QTextBlock key = d.findBlockByNumber(3);
        QVERIFY(key.textList());
        QCOMPARE(key.textList()->format().style(), QTextListFormat::ListDecimal);
        QCOMPARE(key.textList()->itemText(d.findBlockByNumber(4)), QStringLiteral("2."));
        QCOMPARE(d.findBlockByNumber(5).blockFormat().tabPositions().size(), 2);
        QTextTable* table = nullptr;
        for (QTextBlock b = d.begin(); b.isValid(); b = b.next())
            if (b.text() == QStringLiteral("Loot")) table = QTextCursor(b).currentTable();
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("2500"));

        // Saved and read back: the same structure.
        const QByteArray out = saved(edit);
        const auto back = ReadRtf(out.toStdString());
        QVERIFY(back.has_value());
        QCOMPARE(
            QString::fromStdString(PlainTextOf(*back)),
            QStringLiteral("Before\n\u2022\tRope arrows\n\u2022\tWater arrows\n1.\tFind the key\n2.\tOpen the vault\n"
                           "H2O\tright hidden\nDifficulty\nLoot\nExpert\n2500\n\nAfter"));
        const auto& ps = back->paragraphs;
        QCOMPARE(ps[1].list, ps[2].list);
        QVERIFY(ps[1].list >= 0 && ps[3].list >= 0 && ps[1].list != ps[3].list);
        QCOMPARE(ps[1].firstIndent, -720);
        QCOMPARE(ps[1].leftIndent, 720);
        QCOMPARE(ps[3].leftIndent, 360);
        QCOMPARE(back->lists[size_t(ps[3].list)].levels.at(0).style, ListStyle::Decimal);
        QCOMPARE(ps[5].tabs.size(), size_t(2));
        QCOMPARE(ps[5].tabs[1].kind, TabKind::Right);
        QCOMPARE(ps[5].runs.at(1).format.vertical, VerticalAlign::Subscript);
        QVERIFY(ps[5].runs.back().format.hidden);
        QCOMPARE(back->tables.size(), size_t(1));
        QCOMPARE(back->tables[0].rowEdges, (std::vector<std::vector<int>>{{2000, 4000}, {2000, 4000}}));
        QCOMPARE(ps[9].cell, (CellPlace{0, 1, 1}));
        QVERIFY(ps[10].runs.at(0).IsPicture());
        QCOMPARE(ps[10].runs[0].picture->kind, PictureKind::Png);
        // Saving what was saved and loaded again gives the same bytes.
        TRichEdit2 again;
        load(again, out);
        QCOMPARE(saved(again), out);

        // LibreOffice, where installed, reads the lists, the table and the text.
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty()) return;
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("info.rtf")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(out);
        f.close();
        QProcess lo;
        lo.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        lo.setProcessEnvironment(env);
        lo.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--cat"), QStringLiteral("info.rtf")});
        QVERIFY(lo.waitForFinished(180000));
        QStringList lines;
        for (const QString& line : QString::fromUtf8(lo.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (!line.simplified().isEmpty()) lines << line.simplified();
        QCOMPARE(lines.join(QLatin1Char('|')),
                 QStringLiteral("Before|\u2022 Rope arrows|\u2022 Water arrows|1. Find the key|2. Open the vault|"
                                "H2O right hidden|Difficulty|Loot|Expert|2500|After"));
    }

    // The control's save path (what it reads back from the widget, and
    // writes) over a document of every format the model has: a format the
    // save drops or changes is a difference.
    void saveKeepsEveryFormatTheModelHas()
    {
        const std::string rtf = WriteRtf(everyFormat());
        const auto expected = ReadRtf(rtf);
        QVERIFY(expected.has_value());
        TRichEdit2 edit;
        load(edit, QByteArray::fromStdString(rtf));
        const auto back = ReadRtf(saved(edit).toStdString());
        QVERIFY(back.has_value());
        QCOMPARE(firstDifference(*expected, *back), QString());
    }

    // A note shows as its mark, its text as the mark's tooltip; typing
    // after it types text, copying it copies the note, and the save writes
    // each as a note.
    void notesKeepTheirTextThroughEditing()
    {
        TRichEdit2 edit;
        load(edit, "{\\rtf1 a{\\super\\chftn{\\footnote\\pard\\plain{\\super\\chftn} Note text.}}b\\par}");
        QCOMPARE(edit.toPlainText(), QString("a\uFFFCb"));
        const StoredNote* note = edit.NoteAt(1);
        QVERIFY(note);
        QCOMPARE(NoteText(*note->note), QString("Note text."));
        edit.SetSelStart(2);
        QTest::keyClicks(&edit, "x");
        RichDocument doc = edit.ToDocument();
        QCOMPARE(doc.paragraphs[0].runs.size(), size_t(3));
        QVERIFY(doc.paragraphs[0].runs[1].IsNote());
        QCOMPARE(QString::fromStdString(doc.paragraphs[0].runs[2].text), QString("xb"));
        QCOMPARE(doc.paragraphs[0].runs[2].format.vertical, VerticalAlign::Normal);
        edit.selectAll();
        edit.copy();
        edit.SetSelStart(edit.TextLength());
        edit.paste();
        const auto back = ReadRtf(saved(edit).toStdString());
        QVERIFY(back.has_value());
        QCOMPARE(QString::fromStdString(PlainTextOf(*back)), QString("a1xba2xb\n\n1 Note text.\n2 Note text."));
    }

    // Enter in a paragraph that begins a page: the break stays before it,
    // the paragraph split off gets none.
    void pageBreakStaysBeforeItsParagraph()
    {
        TRichEdit2 edit;
        load(edit, "{\\rtf1 one\\par\\page two three\\par}");
        QTextBlock two = edit.document()->findBlockByNumber(1);
        QVERIFY(two.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
        edit.SetSelStart(two.position() + 3);
        QTest::keyClick(&edit, Qt::Key_Return);
        const auto back = ReadRtf(saved(edit).toStdString());
        QVERIFY(back.has_value());
        QCOMPARE(back->paragraphs.size(), size_t(3));
        QVERIFY(back->paragraphs[1].pageBreakBefore);
        QVERIFY(!back->paragraphs[2].pageBreakBefore);
        QCOMPARE(QString::fromStdString(PlainTextOf(*back)), QString("one\ntwo\n three"));
    }

    // Tables at either end of the text, one right after another, a list in
    // a cell: the editor adds no paragraph of its own around them.
    void tablesAtTheEdgesAddNoParagraphs()
    {
        const std::vector<std::pair<QByteArray, QString>> cases = {
            {"{\\rtf1\\trowd\\cellx1000\\intbl a\\cell\\row\\pard b\\par}", QStringLiteral("a\nb")},
            {"{\\rtf1 b\\par\\trowd\\cellx1000\\cellx2000\\intbl a\\cell c\\par d\\cell\\row}",
             QStringLiteral("b\na\nc\nd")},
            {"{\\rtf1\\trowd\\cellx1000\\intbl a\\cell\\row\\pard\\par\\trowd\\cellx1000\\intbl{\\pntext 1.\\tab}"
             "{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}x\\cell\\row}",
             QStringLiteral("a\n\n1.\tx")},
        };
        for (const auto& [rtf, text] : cases) {
            TRichEdit2 edit;
            load(edit, rtf);
            const RichDocument doc = edit.ToDocument();
            QCOMPARE(QString::fromStdString(PlainTextOf(doc)), text);
            const QByteArray once = saved(edit);
            TRichEdit2 again;
            load(again, once);
            QCOMPARE(saved(again), once);
        }
    }

    void selectionAndDefaultAttributes()
    {
        TRichEdit2 edit;
        edit.DefAttributes().Assign(QFont(QStringLiteral("Arial"), 12));
        QCOMPARE(edit.DefAttributes().Name(), QStringLiteral("Arial"));
        QCOMPARE(edit.DefAttributes().Size(), 12);
        edit.DefAttributes().SetColor(QColor());
        QVERIFY(!edit.DefAttributes().Color().isValid());
        edit.DefAttributes().SetColor(QColor(Qt::blue));
        QCOMPARE(edit.DefAttributes().Color(), QColor(Qt::blue));

        edit.Lines().SetText(QStringLiteral("hello world"));
        select(edit, 0, 5);
        QCOMPARE(edit.SelText(), QStringLiteral("hello"));
        QCOMPARE(edit.SelAttributes().Name(), QStringLiteral("Arial")); // from the default
        edit.SelAttributes().SetStyle(fsBold | fsUnderline);
        edit.SelAttributes().SetName(QStringLiteral("Courier New"));
        edit.SelAttributes().SetSize(18);
        edit.SelAttributes().SetColor(QColor(200, 0, 0));
        edit.SelAttributes().SetBackColor(QColor(255, 255, 0));
        edit.SelAttributes().SetCharset(238);
        select(edit, 1, 2);
        QCOMPARE(edit.SelAttributes().Style(), TFontStyles(fsBold | fsUnderline));
        QCOMPARE(edit.SelAttributes().Name(), QStringLiteral("Courier New"));
        QCOMPARE(edit.SelAttributes().Size(), 18);
        QCOMPARE(edit.SelAttributes().Color(), QColor(200, 0, 0));
        QCOMPARE(edit.SelAttributes().BackColor(), QColor(255, 255, 0));
        QCOMPARE(edit.SelAttributes().Charset(), 238);
        select(edit, 7, 2);
        QCOMPARE(edit.SelAttributes().Style(), TFontStyles(0));
        QVERIFY(!edit.SelAttributes().Color().isValid());
        QCOMPARE(edit.SelAttributes().Size(), 12);
        // At the caret: the format of new typing.
        select(edit, 11, 0);
        edit.SelAttributes().SetStyle(fsItalic);
        edit.ReplaceSel(QStringLiteral("!"));
        select(edit, 11, 1);
        QCOMPARE(edit.SelAttributes().Style(), TFontStyles(fsItalic));
        QVERIFY(edit.Modified());
        // Saved and read back, the formats are the file's.
        const auto doc = ReadRtf(saved(edit).toStdString());
        QVERIFY(doc.has_value());
        QCOMPARE(QString::fromStdString(doc->paragraphs[0].runs[0].format.face), QStringLiteral("Courier New"));
        QVERIFY(doc->paragraphs[0].runs[0].format.bold);
        QCOMPARE(doc->paragraphs[0].runs[0].format.halfPoints, 36);
    }

    void paragraphAlignment()
    {
        TRichEdit2 edit;
        edit.Lines().SetText(QStringLiteral("a\nb"));
        QCOMPARE(edit.Paragraph().Alignment(), int(taLeftJustify));
        for (int a : {taCenter, taRightJustify, taJustify, taLeftJustify}) {
            edit.Paragraph().SetAlignment(a);
            QCOMPARE(edit.Paragraph().Alignment(), a);
        }
        edit.Paragraph().SetAlignment(taCenter);
        QCOMPARE(edit.document()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(!(edit.document()->lastBlock().blockFormat().alignment() & Qt::AlignHCenter));
        edit.Paragraph().SetLeftIndent(30);
        QCOMPARE(edit.Paragraph().LeftIndent(), 30);
    }

    void selectionAndUndo()
    {
        TRichEdit2 edit;
        edit.setPlainText(QStringLiteral("abcdef"));
        int selections = 0;
        edit.OnSelectionChange = [&](QObject*) { ++selections; };
        select(edit, 2, 3);
        QCOMPARE(edit.SelStart(), 2);
        QCOMPARE(edit.SelLength(), 3);
        QCOMPARE(edit.SelText(), QStringLiteral("cde"));
        QVERIFY(selections > 0);
        select(edit, 4, 100); // clamped to the end
        QCOMPARE(edit.SelLength(), 2);
        select(edit, 2, 3);

        QVERIFY(!edit.CanUndo());
        edit.ClearSelection();
        QCOMPARE(edit.toPlainText(), QStringLiteral("abf"));
        QVERIFY(edit.CanUndo());
        QVERIFY(!edit.CanRedo());
        edit.Undo();
        QCOMPARE(edit.toPlainText(), QStringLiteral("abcdef"));
        QVERIFY(edit.CanRedo());
        edit.Redo();
        QCOMPARE(edit.toPlainText(), QStringLiteral("abf"));
        edit.Clear();
        QCOMPARE(edit.toPlainText(), QString());
        QVERIFY(!edit.Modified());
    }

    void typingRaisesChangeAndRespectsTheLimit()
    {
        TRichEdit2 edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        int changes = 0;
        edit.OnChange = [&](QObject*) { ++changes; };
        QTest::keyClicks(&edit, QStringLiteral("abc"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("abc"));
        QCOMPARE(changes, 3);
        QVERIFY(edit.Modified());
        edit.SetMaxLength(4);
        QTest::keyClicks(&edit, QStringLiteral("xyz"));
        QCOMPARE(edit.toPlainText(), QStringLiteral("abcx"));
    }

    void recreatingKeepsContentFormattingAndModifiedFlag()
    {
        TRichEdit2 edit;
        load(edit, QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 plain {\\b bold}\\par\\qc centred}"));
        QVERIFY(!edit.Modified());
        edit.SetHideScrollBars(false);
        QCOMPARE(edit.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(edit.toPlainText(), QStringLiteral("plain bold\ncentred"));
        QVERIFY(!edit.Modified());
        select(edit, 7, 2);
        QVERIFY(edit.SelAttributes().Style() & fsBold);
        select(edit, 12, 0);
        QCOMPARE(edit.Paragraph().Alignment(), int(taCenter));
        edit.SetModified(true);
        edit.SetHideScrollBars(true);
        QVERIFY(edit.Modified());
        QCOMPARE(edit.toPlainText(), QStringLiteral("plain bold\ncentred"));
    }

    void linkNoticesOnlyWithAutoUrlDetect()
    {
        TRichEdit2 edit;
        edit.resize(400, 200);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.Lines().SetText(QStringLiteral("go to https://example.org/fm now"));
        int clicks = 0, start = -1, end = -1;
        bool wasDouble = true;
        edit.OnURLClick = [&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, bool dbl, int, int, int s, int e,
                              bool& success) {
            QCOMPARE(button, Qt::LeftButton);
            ++clicks;
            start = s;
            end = e;
            wasDouble = dbl;
            success = false;
        };
        QTextCursor at(edit.document());
        at.setPosition(12);
        const QPoint p = edit.cursorRect(at).center() + QPoint(2, 0);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(clicks, 0);
        QVERIFY(edit.SelStart() != 0 || edit.SelLength() != 0); // the click reached the text

        edit.SetAutoURLDetect(true);
        edit.SetSelStart(0);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(clicks, 1);
        QCOMPARE(start, 6);
        QCOMPARE(end, 6 + int(QStringLiteral("https://example.org/fm").size()));
        QVERIFY(!wasDouble);
        QCOMPARE(edit.SelStart(), 0); // not handled: the control ignored the click
    }
};

QTEST_MAIN(RichEdit2Test)
#include "RichEdit2Test.moc"
