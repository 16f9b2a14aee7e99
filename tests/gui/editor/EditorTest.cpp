// The editor window, alone and with the main window's Info and Edit File.
#include "gui/editor/Editor.h"
#include "core/richtext/RtfReader.h"
#include "gui/dialogs/CreateFM.h"
#include "gui/editor/OLERichEdit.h"
#include "gui/main/FMmain.h"
#include "gui/main/QtQuestions.h"
#include "support/ScriptedGuiQuestions.h"
#include "support/TempDir.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QBuffer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTimer>
#include <QToolButton>

#include <set>

using namespace lw;
using lw::test::activate;
using lw::test::Child;
using lw::test::editText;
using lw::test::fileList;
using lw::test::ScriptedGuiQuestions;
using lw::test::TempDir;

namespace {

std::string head(const std::string& s, size_t n = 5)
{
    return s.substr(0, n);
}

// A main window with its editor and a new project on dir.
struct Program {
    ScriptedGuiQuestions q;
    Project project;
    TMainForm form{q, project};
    TEditorForm editor{q};
    TCreateDialog create{q, &form};
    explicit Program(const TempDir& dir)
    {
        form.SetCreateDialog(&create);
        form.SetEditor(&editor);
        q.dialogs.push_back([&](QDialog& d) {
            auto& c = static_cast<TCreateDialog&>(d);
            Child<QLineEdit>(c, "FMDirEdit")->setText(QString::fromStdString(dir.path().string()));
            c.SetGame(GameThief2);
            Child<QLineEdit>(c, "NameEdit")->setText("The Bell");
            Child<QLineEdit>(c, "ShortNameEdit")->setText("bell");
            c.accept();
        });
        Child<QAction>(form, "CreateButton")->trigger();
    }
};

} // namespace

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void savesPlainTextOnlyForTxt();
    void cancelledSaveDialogWritesNothing();
    void closingAsksAboutUnsavedChanges();
    void shortcutsFormatWithoutTyping();
    void sizeMenuChecksOnlyListedSizes();
    void firstSaveProposesANameOfItsTypeAndAsksBeforePlainText();
    void listsAreMadeWithButtonsKeysAndLevels();
    void insertPictureKeepsPngAndJpegAndConvertsTheOthers();
    void fontMenuListsFamilyNamesOnce();
    void loadSaysWhatTheFileCouldNotKeep();
    void infoBuildsTheTemplateAndSavingListsIt();
    void infoOpensTheInfoFileAndEditFileOthers();
    void secondInfoAsksFirst();
    void newInfoNeverReplacesAnExistingFile();
    void newOpenAndCloseAskAboutUnsavedText();
};

void EditorTest::savesPlainTextOnlyForTxt()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    QStringList saved;
    editor.OnSaveFile = [&](QObject*, const QString& name) { saved << name; };
    const std::vector<std::pair<std::string, bool>> cases = {
        {"a.txt", true}, {"b.TXT", true}, {"c.rtf", false}, {"d.doc", false}, {"noext", false}};
    for (const auto& [name, plain] : cases) {
        editor.NewText("Caf\u00e9 line one\r\nline two\r\n");
        editor.SetFileName(QString::fromStdString(t / "fminfo.txt")); // not on disk: asks
        q.core.saveFiles.push_back(t / name);
        QVERIFY(editor.SaveFile());
        const std::string bytes = t.read(name);
        if (plain) QCOMPARE(bytes, std::string("Caf\xE9 line one\r\nline two\r\n"));
        else {
            QCOMPARE(head(bytes), std::string("{\\rtf"));
            // A new text names a face every reader has, as fixed pitch.
            QVERIFY(bytes.find("{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}") != std::string::npos);
        }
    }
    QCOMPARE(saved.size(), 5);
    QCOMPARE(q.core.fileRequests.front().filter, std::string("Rich Text|*.rtf|Text Files|*.txt|Any File|*.*"));
    QCOMPARE(q.core.fileRequests.front().defaultExt, std::string("rtf"));
    // A file that exists is written over without asking.
    const size_t asked = q.core.fileRequests.size();
    editor.SetFileName(QString::fromStdString(t / "a.txt"));
    QVERIFY(editor.SaveFile());
    QCOMPARE(q.core.fileRequests.size(), asked);
}

void EditorTest::cancelledSaveDialogWritesNothing()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    bool raised = false;
    editor.OnSaveFile = [&](QObject*, const QString&) { raised = true; };
    editor.NewText("text");
    editor.SetFileName(QString::fromStdString(t / "fminfo.txt"));
    editor.show();
    editor.SaveClick(); // the dialog is cancelled
    QVERIFY(editor.isVisible());
    QVERIFY(editText(editor)->Modified());
    QVERIFY(!raised);
    QVERIFY(!t.exists("fminfo.txt"));
    QCOMPARE(editor.windowTitle(), QString("fminfo.txt - Editing"));
}

void EditorTest::closingAsksAboutUnsavedChanges()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    editor.NewText("keep me");
    editor.SetFileName(QString::fromStdString(t / "fminfo.txt"));
    editor.show();
    q.core.answers.push_back(Answer::Cancel);
    editor.close();
    QVERIFY(editor.isVisible());
    QCOMPARE(editText(editor)->toPlainText(), QString("keep me\n"));

    q.core.answers.push_back(Answer::Yes);
    q.core.saveFiles.push_back(t / "fminfo.txt");
    editor.close();
    QVERIFY(!editor.isVisible());
    QCOMPARE(t.read("fminfo.txt"), std::string("keep me\r\n"));
    QCOMPARE(editText(editor)->toPlainText(), QString()); // a hidden editor holds no text

    editor.NewText("drop me");
    editor.show();
    q.core.answers.push_back(Answer::No);
    editor.close();
    QVERIFY(!editor.isVisible());
    QCOMPARE(t.read("fminfo.txt"), std::string("keep me\r\n"));
    QCOMPARE(q.core.questions.size(), size_t(3));
    QCOMPARE(q.core.questions[0], std::string("Save changes before closing?"));

    // An unmodified text closes without a question.
    editor.NewText("x");
    editText(editor)->SetModified(false);
    editor.show();
    editor.close();
    QCOMPARE(q.core.questions.size(), size_t(3));
}

void EditorTest::shortcutsFormatWithoutTyping()
{
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    editor.LoadFile(QString(LW_FIXTURES) + "/rtf/wordpad_cp1252.rtf");
    QVERIFY(activate(editor));
    const QString before = editText(editor)->toPlainText();
    editText(editor)->SetSelStart(0);
    editText(editor)->SetSelLength(4);
    const bool wasBold = editText(editor)->SelAttributes().Style() & fsBold;
    QTest::keyClick(editText(editor), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(bool(editText(editor)->SelAttributes().Style() & fsBold), !wasBold);
    QCOMPARE(Child<QAction>(editor, "BoldButton")->isChecked(), !wasBold);
    QTest::keyClick(editText(editor), Qt::Key_I, Qt::ControlModifier); // would type a tab
    QTest::keyClick(editText(editor), Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(editText(editor)->Paragraph().Alignment(), int(taCenter));
    QVERIFY(Child<QAction>(editor, "CenterButton")->isChecked());
    QCOMPARE(editText(editor)->toPlainText(), before);
    QVERIFY(editText(editor)->SelAttributes().Style() & fsItalic);
    // Ctrl+U underlines, it does not delete the line; Ctrl+R aligns right.
    const bool wasUnderlined = editText(editor)->SelAttributes().Style() & fsUnderline;
    QTest::keyClick(editText(editor), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(bool(editText(editor)->SelAttributes().Style() & fsUnderline), !wasUnderlined);
    QTest::keyClick(editText(editor), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(editText(editor)->Paragraph().Alignment(), int(taRightJustify));
    QVERIFY(Child<QAction>(editor, "RightButton")->isChecked());
    QCOMPARE(editText(editor)->toPlainText(), before);
}

void EditorTest::sizeMenuChecksOnlyListedSizes()
{
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    editor.NewText("sized text");
    editText(editor)->selectAll();
    auto checked = [&] {
        QStringList out;
        for (QAction* a : Child<QMenu>(editor, "SizeMenu")->actions())
            if (a->isChecked()) out << a->text();
        return out;
    };
    q.numbers.push_back(13);
    Child<QAction>(editor, "SelectSizeMenu")->trigger(); // "Other..."
    QCOMPARE(editText(editor)->SelAttributes().Size(), 13);
    editor.SelectionChange();
    QCOMPARE(checked(), QStringList());
    QCOMPARE(Child<QToolButton>(editor, "SizeButton")->toolTip(), QString("Size: 13"));
    Child<QMenu>(editor, "SizeMenu")->actions()[4]->trigger(); // 12
    Child<QMenu>(editor, "SizeMenu")->actions()[0]->trigger(); // 8
    editor.SelectionChange();
    QCOMPARE(checked(), QStringList({"8"}));
}

void EditorTest::firstSaveProposesANameOfItsTypeAndAsksBeforePlainText()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    auto newText = [&](bool bold) {
        editor.NewText("Title: The Bell\r\n");
        editor.SetFileName(QString::fromStdString(t / "fminfo.txt"));
        if (bold) {
            editText(editor)->SetSelStart(0);
            editText(editor)->SetSelLength(5);
            Child<QAction>(editor, "BoldButton")->trigger();
        }
    };
    // Plain text is proposed as fminfo.txt; a text with formats as RTF.
    for (const auto& [bold, proposed] : {std::pair{false, "fminfo.txt"}, std::pair{true, "fminfo.rtf"}}) {
        newText(bold);
        q.core.saveFiles.push_back(std::nullopt);
        QVERIFY(!editor.SaveFile());
        QCOMPARE(q.core.fileRequests.back().fileName, std::string(proposed));
    }
    // Whatever name is chosen, formats go to plain text only when the author says so.
    newText(true);
    q.core.saveFiles.push_back(t / "fminfo.txt");
    q.core.answers.push_back(Answer::No);
    QVERIFY(!editor.SaveFile());
    QCOMPARE(q.core.questions.back(), std::string("Save as plain text? Formatting and pictures will be lost."));
    QVERIFY(!t.exists("fminfo.txt"));
    QVERIFY(editText(editor)->Modified());
    q.core.saveFiles.push_back(t / "fminfo.txt");
    q.core.answers.push_back(Answer::Yes);
    QVERIFY(editor.SaveFile());
    QCOMPARE(t.read("fminfo.txt"), std::string("Title: The Bell\r\n"));
    const size_t asked = q.core.questions.size();
    newText(false);
    q.core.saveFiles.push_back(t / "plain.txt");
    QVERIFY(editor.SaveFile());
    QCOMPARE(q.core.questions.size(), asked); // nothing to lose, nothing asked

    // The save dialog shows the type of the name it proposes.
    QtQuestions real;
    for (const auto& [name, type] :
         {std::pair{"fminfo.txt", "Text Files (*.txt)"}, std::pair{"fminfo.rtf", "Rich Text (*.rtf)"}}) {
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = dialog->selectedNameFilter();
            dialog->reject();
        });
        FileRequest req{"", "Rich Text|*.rtf|Text Files|*.txt|Any File|*.*", t.path().string(), name, "rtf", true};
        QVERIFY(!real.ChooseSaveFile(req));
        QCOMPARE(shown, QString::fromLatin1(type));
    }
}

void EditorTest::listsAreMadeWithButtonsKeysAndLevels()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    t.write("list.rtf", "{\\rtf1 a\\par b\\par c\\par d\\par e\\par}");
    editor.LoadFile(QString::fromStdString(t / "list.rtf"));
    QVERIFY(activate(editor));
    TOLEEdit* text = editText(editor);
    auto at = [&](int block) {
        QTextCursor c(text->document()->findBlockByNumber(block));
        text->setTextCursor(c);
    };
    auto level = [&](int block) {
        const QTextList* list = text->document()->findBlockByNumber(block).textList();
        int id = 0, level = -1;
        return list && ListPlace(list->format(), id, level) ? level : -1;
    };
    // Bullets for a and b from the button; the button shows the list.
    at(0);
    QTextCursor ab = text->textCursor();
    ab.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    text->setTextCursor(ab);
    Child<QAction>(editor, "BulletsButton")->trigger();
    QVERIFY(Child<QAction>(editor, "BulletsButton")->isChecked());
    QVERIFY(!Child<QAction>(editor, "NumberingButton")->isChecked());
    // Tab at an item's start: a level deeper; Shift+Tab: back. Inside the text: a tab.
    at(1);
    QTest::keyClick(text, Qt::Key_Tab);
    QCOMPARE(level(1), 1);
    QTest::keyClick(text, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(level(1), 0);
    QTest::keyClick(text, Qt::Key_Tab);
    QCOMPARE(level(1), 1);
    at(2);
    QTest::keyClick(text, Qt::Key_End);
    QTest::keyClick(text, Qt::Key_Tab);
    QCOMPARE(text->document()->findBlockByNumber(2).text(), QString("c\t"));
    QTest::keyClick(text, Qt::Key_Backspace);
    // Numbering for c and d from its key, then off again for d.
    QTextCursor cd(text->document()->findBlockByNumber(2));
    cd.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    text->setTextCursor(cd);
    QTest::keyClick(text, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(Child<QAction>(editor, "NumberingButton")->isChecked());
    at(3);
    Child<QAction>(editor, "NumberingButton")->trigger();
    QCOMPARE(level(3), -1);
    QVERIFY(!Child<QAction>(editor, "NumberingButton")->isChecked());
    at(4);
    QTest::keyClick(text, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);

    // Saved and read back as lists, with their labels and levels.
    q.core.saveFiles.push_back(t / "out.rtf");
    editor.SetFileName(QString::fromStdString(t / "out.rtf"));
    QVERIFY(editor.SaveFile());
    const auto doc = ReadRtf(t.read("out.rtf"));
    QVERIFY(doc.has_value());
    QCOMPARE(QString::fromStdString(PlainTextOf(*doc)), QString("\u2022\ta\no\tb\n1.\tc\nd\n\u2022\te"));
    QCOMPARE(doc->paragraphs[0].list, doc->paragraphs[1].list);
    QCOMPARE(doc->paragraphs[1].listLevel, 1);
    QVERIFY(doc->paragraphs[4].list >= 0 && doc->paragraphs[4].list != doc->paragraphs[0].list);
    // Each in the Format menu too, with its shortcut in the tooltip.
    const auto items = Child<QMenu>(editor, "FormatMenu")->actions();
    for (const char* name : {"BulletsButton", "NumberingButton", "PictureButton"}) {
        QAction* a = Child<QAction>(editor, name);
        QVERIFY(items.contains(a));
        QVERIFY(!a->icon().isNull());
        QVERIFY(a->toolTip().contains(a->shortcut().toString(QKeySequence::NativeText)));
    }
}

void EditorTest::insertPictureKeepsPngAndJpegAndConvertsTheOthers()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    auto file = [&](const char* name, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return t.write(name, bytes.toStdString());
    };
    // Qt writes no GIF: one of a pixel, as a drawing program saves it.
    const std::string gif("GIF89a\x01\0\x01\0\x80\0\0\xff\xff\xff\0\0\0!\xf9\x04\x01\0\0\0\0,\0\0\0\0\x01\0"
                          "\x01\0\0\x02\x02\x44\x01\0;",
                          43);
    const std::vector<std::pair<std::string, PictureKind>> cases = {
        {file("a.png", "PNG"), PictureKind::Png},
        {file("b.jpg", "JPG"), PictureKind::Jpeg},
        {file("c.bmp", "BMP"), PictureKind::Png},
        {t.write("d.gif", gif), PictureKind::Png},
    };
    editor.NewText("");
    for (const auto& [path, kind] : cases) {
        q.core.openFiles.push_back(path);
        Child<QAction>(editor, "PictureButton")->trigger();
        const auto pic = editText(editor)->PictureAt(editText(editor)->SelStart() - 1);
        QVERIFY2(pic, path.c_str());
        QCOMPARE(pic->kind, kind);
        if (kind == PictureKind::Jpeg) QVERIFY(pic->data == t.read("b.jpg")); // its own bytes
    }
    QVERIFY(q.core.fileRequests.back().filter.find("*.png;*.jpg;*.jpeg;*.bmp;*.gif") != std::string::npos);
    // A file that is no picture is named, and nothing is inserted; a
    // cancelled choice does nothing.
    q.core.openFiles.push_back(t.write("notes.txt", "text"));
    Child<QAction>(editor, "PictureButton")->trigger();
    QCOMPARE(q.core.messages.size(), size_t(1));
    QVERIFY(q.core.messages.back().find("notes.txt") != std::string::npos);
    q.core.openFiles.push_back(std::nullopt);
    Child<QAction>(editor, "PictureButton")->trigger();
    QCOMPARE(editText(editor)->ObjectCount(), 4);
    // Saved as RTF holds them: PNG three times, the JPEG as JPEG.
    q.core.saveFiles.push_back(t / "pictures.rtf");
    QVERIFY(editor.SaveFile());
    const std::string rtf = t.read("pictures.rtf");
    size_t png = 0;
    for (size_t at = rtf.find("\\pngblip"); at != std::string::npos; at = rtf.find("\\pngblip", at + 1)) ++png;
    QCOMPARE(png, size_t(3));
    QVERIFY(rtf.find("\\jpegblip") != std::string::npos);
}

void EditorTest::fontMenuListsFamilyNamesOnce()
{
    // fontconfig names a family once per foundry ("Nimbus Sans [urw]"):
    // readers know the family alone.
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    std::set<QString> seen;
    const auto items = Child<QMenu>(editor, "FontMenu")->actions();
    QVERIFY(!items.isEmpty());
    for (QAction* a : items) {
        QVERIFY2(!a->text().contains(QLatin1String(" [")), qPrintable(a->text()));
        QVERIFY2(seen.insert(a->text()).second, qPrintable(a->text()));
    }
}

void EditorTest::loadSaysWhatTheFileCouldNotKeep()
{
    TempDir t;
    ScriptedGuiQuestions q;
    TEditorForm editor(q);
    t.write("fine.rtf", "{\\rtf1 fine}");
    editor.LoadFile(QString::fromStdString(t / "fine.rtf"));
    QVERIFY(q.core.messages.empty());
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 1100; ++i) deep += "{";
    deep += "kept";
    for (int i = 0; i < 1100; ++i) deep += "}";
    t.write("deep.rtf", deep + "}");
    editor.LoadFile(QString::fromStdString(t / "deep.rtf"));
    QCOMPARE(editText(editor)->toPlainText(), QString("kept"));
    QCOMPARE(q.core.messages.size(), size_t(1));
    QVERIFY(q.core.messages[0].find("deep.rtf") != std::string::npos);
}

void EditorTest::infoBuildsTheTemplateAndSavingListsIt()
{
    TempDir t;
    t.write("thief2.exe");
    Program p(t);
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    QVERIFY(p.editor.isVisible());
    QVERIFY(editText(p.editor)->Modified());
    QCOMPARE(p.editor.windowTitle(), QString("fminfo.txt - Editing"));
    QVERIFY(editText(p.editor)->toPlainText().contains("Title                   : The Bell"));
    QVERIFY(editText(p.editor)->toPlainText().contains("Filename                : bell.zip"));
    QVERIFY(editText(p.editor)->toPlainText().contains("Game                    : Thief 2: The Metal Age"));
    QVERIFY(!t.exists("fminfo.txt"));

    // Cancelling leaves nothing behind.
    p.editor.CancelClick();
    QVERIFY(!t.exists("fminfo.txt"));
    QCOMPARE(p.project.FMInfo.InfoFile, std::string());

    // Saved as fminfo.txt through the dialog, it joins the list as the info file.
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    p.q.core.saveFiles.push_back(t / "fminfo.txt");
    p.editor.SaveClick();
    QVERIFY(!p.editor.isVisible());
    QCOMPARE(p.project.FMInfo.InfoFile, std::string("fminfo.txt"));
    QCOMPARE(fileList(p.form)->item(fileList(p.form)->count() - 1)->text(), QString("fminfo.txt"));
    QVERIFY(t.read("fminfo.txt").find("Title                   : The Bell\r\n") != std::string::npos);
}

void EditorTest::infoOpensTheInfoFileAndEditFileOthers()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("fminfo.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Existing {\\b info}\\par}");
    t.write("readme.txt", "Read me\r\n");
    Program p(t);
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    QVERIFY(p.editor.isVisible());
    QVERIFY(!editText(p.editor)->Modified());
    QCOMPARE(editText(p.editor)->toPlainText(), QString("Existing info"));
    QCOMPARE(p.editor.windowTitle(), QString("fminfo.rtf - Editing"));

    // Edit File loads another listed text file; an edit saved back stays RTF or text by name.
    p.editor.CancelClick();
    p.q.core.openFileLists.push_back({t / "readme.txt"});
    Child<QPushButton>(p.form, "AddFileButton")->click();
    fileList(p.form)->clearSelection();
    fileList(p.form)->item(fileList(p.form)->count() - 1)->setSelected(true);
    fileList(p.form)->setCurrentRow(fileList(p.form)->count() - 1);
    QVERIFY(Child<QPushButton>(p.form, "InfoButton")->isVisibleTo(&p.form));
    Child<QPushButton>(p.form, "InfoButton")->click();
    QCOMPARE(editText(p.editor)->toPlainText(), QString("Read me\n"));
    editText(p.editor)->textCursor().insertText("New: ");
    Child<QAction>(p.form, "SaveButton")->trigger(); // the editor's text is written first
    QCOMPARE(t.read("readme.txt"), std::string("New: Read me\r\n"));
    QVERIFY(!p.editor.isVisible());
}

void EditorTest::secondInfoAsksFirst()
{
    TempDir t;
    t.write("thief.exe");
    Program p(t);
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    editText(p.editor)->textCursor().insertText("My notes ");
    const QString text = editText(p.editor)->toPlainText();
    p.q.core.answers.push_back(Answer::Cancel);
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    QCOMPARE(p.q.core.questions, std::vector<std::string>{"Save changes before closing?"});
    QVERIFY(p.editor.isVisible());
    QCOMPARE(editText(p.editor)->toPlainText(), text);
    p.q.dialogs.push_back([](QDialog& d) { d.reject(); });
    Child<QAction>(p.form, "CreateButton")->trigger();
    QVERIFY(p.editor.isVisible()); // the dialog was cancelled: nothing changes
}

void EditorTest::newInfoNeverReplacesAnExistingFile()
{
    // fminfo.txt is there, but not listed: Info makes a new text, which is
    // untitled until the author picks a name.
    TempDir t;
    t.write("thief2.exe");
    Program p(t);
    t.write("fminfo.txt", "The author's own notes");
    Child<QAction>(p.form, "FMInfoButton")->trigger();
    QVERIFY(QTest::qWaitForWindowActive(&p.editor)); // Info brings the editor forward
    QVERIFY(p.editor.Untitled());
    QCOMPARE(p.editor.windowTitle(), QString("fminfo.txt - Editing"));

    // Save, Ctrl+S, list Save and Zip all ask; cancelled, nothing is written
    // and the commands stop.
    const size_t asked = p.q.core.fileRequests.size();
    QTest::keyClick(editText(p.editor), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(p.q.core.fileRequests.size(), asked + 1);
    const FileRequest req = p.q.core.fileRequests.back();
    QCOMPARE(req.fileName, std::string("fminfo.txt"));
    QCOMPARE(req.initialDir, t.path().string());
    QVERIFY(req.overwritePrompt);
    Child<QAction>(p.form, "SaveButton")->trigger();
    Child<QAction>(p.form, "ZipButton")->trigger();
    QCOMPARE(p.q.core.fileRequests.size(), asked + 3); // no list or archive dialog after the editor's
    QCOMPARE(t.read("fminfo.txt"), std::string("The author's own notes"));
    QVERIFY(!t.exists("strings/missflag.str"));
    QVERIFY(p.editor.isVisible() && editText(p.editor)->Modified());

    // A name of the author's choosing is written and joins the list.
    p.q.core.saveFiles.push_back(t / "bell.txt");
    QTest::keyClick(editText(p.editor), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!p.editor.isVisible());
    QCOMPARE(t.read("fminfo.txt"), std::string("The author's own notes"));
    QVERIFY(t.read("bell.txt").find("The Bell") != std::string::npos);
    QCOMPARE(fileList(p.form)->item(fileList(p.form)->count() - 1)->text(), QString("bell.txt"));
}

void EditorTest::newOpenAndCloseAskAboutUnsavedText()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("notes.txt", "Notes\r\n");
    t.write("bell.lst", "notes.txt\r\n");
    Program p(t);
    auto editNotes = [&] {
        p.editor.LoadFile(QString::fromStdString(t / "notes.txt"));
        p.editor.show();
        editText(p.editor)->textCursor().insertText("More ");
        p.q.core.questions.clear();
    };

    // Cancel stops New (after its dialog) and Open, and keeps the text.
    editNotes();
    p.q.dialogs.push_back([](QDialog& d) { static_cast<TCreateDialog&>(d).accept(); });
    p.q.core.answers.push_back(Answer::Cancel);
    Child<QAction>(p.form, "CreateButton")->trigger();
    QCOMPARE(p.q.core.questions, std::vector<std::string>{"Save changes before closing?"});
    QVERIFY(p.editor.isVisible() && editText(p.editor)->Modified());
    p.q.core.openFiles.push_back(t / "bell.lst");
    p.q.core.answers.push_back(Answer::Cancel);
    Child<QAction>(p.form, "OpenButton")->trigger();
    QVERIFY(p.editor.isVisible());
    QCOMPARE(p.project.Files.size(), size_t(1)); // still the new project's list

    // Yes saves before Open goes on; No drops the text.
    p.q.core.openFiles.push_back(t / "bell.lst");
    p.q.core.answers.push_back(Answer::Yes);
    p.q.core.answers.push_back(Answer::No); // the list that gained the saved file is not kept
    Child<QAction>(p.form, "OpenButton")->trigger();
    QVERIFY(!p.editor.isVisible());
    QCOMPARE(t.read("notes.txt"), std::string("More Notes\r\n"));
    QCOMPARE(p.project.Files.front(), std::string("notes.txt"));
    editNotes();
    p.q.core.openFiles.push_back(t / "bell.lst");
    p.q.core.answers.push_back(Answer::No);
    Child<QAction>(p.form, "OpenButton")->trigger();
    QVERIFY(!p.editor.isVisible());
    QCOMPARE(t.read("notes.txt"), std::string("More Notes\r\n"));

    // Closing the main window: Cancel keeps both windows open.
    p.form.show();
    editNotes();
    p.q.core.answers.push_back(Answer::Cancel);
    QVERIFY(!p.form.close());
    QVERIFY(p.form.isVisible() && p.editor.isVisible());
    QCOMPARE(p.q.core.questions, std::vector<std::string>{"Save changes before closing?"});
    p.q.core.answers.push_back(Answer::No);
    QVERIFY(p.form.close());
}

QTEST_MAIN(EditorTest)
#include "EditorTest.moc"
