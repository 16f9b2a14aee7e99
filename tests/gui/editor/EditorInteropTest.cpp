// LibreOffice as the reader of what the editor saves: a document with
// notes, a page break, a right-to-left paragraph and merged cells, loaded
// into the editor, given lists there, saved, and read back from
// LibreOffice's own RTF of it.
#include "core/richtext/RtfReader.h"
#include "core/richtext/RtfWriter.h"
#include "gui/editor/Editor.h"
#include "support/HostShell.h"
#include "support/RichTextSamples.h"
#include "support/ScriptedGuiQuestions.h"
#include "support/TempDir.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

using namespace lw;
using lw::test::activate;
using lw::test::Child;
using lw::test::editText;

class EditorInteropTest : public QObject {
    Q_OBJECT
private slots:
    void libreOfficeReadsWhatTheEditorSaves();
};

void EditorInteropTest::libreOfficeReadsWhatTheEditorSaves()
{
    if (const std::string why = lw::test::HostProgramMissing("soffice"); !why.empty())
        QSKIP(("LibreOffice: " + why + ": interoperability not checked").c_str());
    lw::test::TempDir t;
    RichDocument doc = lw::test::NotesAndBreaksDocument();
    for (const char* item : {"Rope arrows", "Water arrows", "Find the key"}) {
        doc.NewParagraph();
        doc.AppendText(item, CharFormat{});
    }
    t.write("in.rtf", WriteRtf(doc));
    lw::test::ScriptedGuiQuestions q;
    TEditorForm editor(q);
    editor.LoadFile(QString::fromStdString(t / "in.rtf"));
    QVERIFY(activate(editor));
    TOLEEdit* text = editText(editor);
    auto blockWith = [&](const char* s) {
        for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
            if (b.text() == QLatin1String(s)) return b;
        return QTextBlock();
    };
    // Made in the editor: a bulleted list of two levels, a numbered item.
    QTextCursor c(blockWith("Rope arrows"));
    c.setPosition(blockWith("Water arrows").position(), QTextCursor::KeepAnchor);
    text->setTextCursor(c);
    Child<QAction>(editor, "BulletsButton")->trigger();
    text->setTextCursor(QTextCursor(blockWith("Water arrows")));
    QTest::keyClick(text, Qt::Key_Tab);
    text->setTextCursor(QTextCursor(blockWith("Find the key")));
    Child<QAction>(editor, "NumberingButton")->trigger();
    editor.SetFileName(QString::fromStdString(t / "ours.rtf"));
    q.core.saveFiles.push_back(t / "ours.rtf");
    QVERIFY(editor.SaveFile());

    const std::string dir = lw::test::HostPath(t.path());
    auto soffice = [&](const std::string& args) {
        lw::test::RunHostShell("cd '" + dir + "' && HOME='" + dir + "' timeout 180 soffice --headless " + args +
                               " 2>/dev/null");
    };
    soffice("--convert-to odt ours.rtf");
    soffice("--convert-to rtf:\"Rich Text Format\" --outdir back ours.odt");
    const auto back = ReadRtf(t.read("back/ours.rtf"));
    QVERIFY(back.has_value());
    QCOMPARE(QString::fromStdString(lw::test::NotesAndBreaksMissing(*back)), QString());
    const Paragraph *rope = nullptr, *water = nullptr, *key = nullptr;
    for (const Paragraph& p : back->paragraphs) {
        const std::string s = lw::test::TextOf(p);
        if (s == "Rope arrows") rope = &p;
        if (s == "Water arrows") water = &p;
        if (s == "Find the key") key = &p;
    }
    QVERIFY(rope && water && key);
    QVERIFY(rope->list >= 0 && key->list >= 0);
    QCOMPARE(water->list, rope->list);
    QCOMPARE(rope->listLevel, 0);
    QCOMPARE(water->listLevel, 1);
    QCOMPARE(back->lists[size_t(rope->list)].levels.at(0).style, ListStyle::Bullet);
    QCOMPARE(back->lists[size_t(key->list)].levels.at(0).style, ListStyle::Decimal);
}

QTEST_MAIN(EditorInteropTest)
#include "EditorInteropTest.moc"
