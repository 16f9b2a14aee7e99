// Every command that writes, under every way a write fails: a folder that
// refuses changes, a full disk, a directory where the file should be, and
// the FM folder gone. Each must say which file failed, keep every earlier
// file as it was, leave no temporary file behind, and keep its window open
// and showing what the project holds. The windows are driven through the
// event loop, as a user drives them.
#include "gui/dialogs/CreateFM.h"
#include "gui/editor/Editor.h"
#include "gui/editor/OLERichEdit.h"
#include "gui/main/FMmain.h"
#include "support/FileSizeLimit.h"
#include "support/ImmutableDir.h"
#include "support/ScriptedGuiQuestions.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"
#include "support/WindowParts.h"

#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <memory>
#include <random>
#include <set>

using namespace lw;
using lw::test::activate;
using lw::test::Child;
using lw::test::editText;
using lw::test::fileList;
using lw::test::FileSizeLimit;
using lw::test::ImmutableDir;
using lw::test::ScriptedGuiQuestions;
using lw::test::TempDir;
namespace fs = std::filesystem;

namespace {

enum class Failure { ReadOnlyFolder, DiskFull, TargetIsDirectory, FolderRemoved };
constexpr Failure kFailures[] = {Failure::ReadOnlyFolder, Failure::DiskFull, Failure::TargetIsDirectory,
                                 Failure::FolderRemoved};

const char* nameOf(Failure f)
{
    switch (f) {
    case Failure::ReadOnlyFolder: return "read-only folder";
    case Failure::DiskFull: return "disk full";
    case Failure::TargetIsDirectory: return "target is a directory";
    case Failure::FolderRemoved: return "folder removed";
    }
    return "";
}

// Arranges the failure for writes of target in its folder; what it returns
// undoes it. Null when this machine cannot make the failure.
std::shared_ptr<void> arrange(Failure f, const fs::path& target, rlim_t sizeLimit = 4)
{
    switch (f) {
    case Failure::ReadOnlyFolder: {
        auto lock = std::make_shared<ImmutableDir>(target.parent_path());
        if (!lock->Active()) return nullptr;
        return lock;
    }
    case Failure::DiskFull: return std::make_shared<FileSizeLimit>(sizeLimit);
    case Failure::TargetIsDirectory:
        fs::remove(target);
        fs::create_directory(target);
        return std::make_shared<int>(0);
    case Failure::FolderRemoved: fs::remove_all(target.parent_path()); return std::make_shared<int>(0);
    }
    return nullptr;
}

std::set<std::string> namesIn(const fs::path& dir)
{
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

// Every way the editor saves: its Save button, Ctrl+S in the text, and
// closing the window with Yes to the question.
enum class Edge { SaveButton, CtrlS, CloseYes };
constexpr Edge kEdges[] = {Edge::SaveButton, Edge::CtrlS, Edge::CloseYes};
const char* nameOf(Edge e)
{
    return e == Edge::SaveButton ? "Save button" : e == Edge::CtrlS ? "Ctrl+S" : "close, Yes";
}

void drive(TEditorForm& editor, ScriptedGuiQuestions& q, Edge e)
{
    switch (e) {
    case Edge::SaveButton:
        QTest::mouseClick(Child<QToolBar>(editor, "EditBar")->widgetForAction(Child<QAction>(editor, "SaveButton")),
                          Qt::LeftButton);
        break;
    case Edge::CtrlS:
        QCoreApplication::postEvent(editText(editor), new QKeyEvent(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier));
        break;
    case Edge::CloseYes:
        q.core.answers.push_back(Answer::Yes);
        QMetaObject::invokeMethod(&editor, &QWidget::close, Qt::QueuedConnection);
        break;
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// The main window with a new Thief 2 project on fm, made with Ctrl+N.
struct MainWindow {
    ScriptedGuiQuestions q;
    Project project;
    TMainForm form{q, project};
    TCreateDialog create{q, &form};
    explicit MainWindow(const fs::path& fm)
    {
        form.SetCreateDialog(&create);
        QVERIFY(activate(form));
        q.dialogs.push_back([fm](QDialog& d) {
            auto& c = static_cast<TCreateDialog&>(d);
            Child<QLineEdit>(c, "FMDirEdit")->setText(QString::fromStdString(fm.string()));
            c.SetGame(GameThief2);
            Child<QLineEdit>(c, "ShortNameEdit")->setText("bell");
            c.accept();
        });
        QTest::keyClick(fileList(form), Qt::Key_N, Qt::ControlModifier);
    }
};

} // namespace

class FailureMatrixTest : public QObject {
    Q_OBJECT
private slots:
    void editorSaveKeepsTheText();
    void listSaveKeepsTheProject();
    void zipKeepsTheEarlierArchive();
    void anEditedProjectIsNotDroppedUnasked();
    void namesAreWrittenAsTheirFilesHoldThem();
    void zipAndSaveNeverReplaceAFileOfTheFM();
};

void FailureMatrixTest::editorSaveKeepsTheText()
{
    for (Failure f : kFailures)
        for (Edge e : kEdges) {
            const QByteArray where = QByteArray(nameOf(f)) + ", " + nameOf(e);
            TempDir t;
            const std::string target = t.write("fm/fminfo.txt", "old");
            ScriptedGuiQuestions q;
            TEditorForm editor(q);
            editor.LoadFile(QString::fromStdString(target));
            QVERIFY2(activate(editor), where);
            editText(editor)->insertPlainText("A new first line that is longer than the limit. ");
            QVERIFY2(editText(editor)->Modified(), where);
            const std::set<std::string> before = namesIn(t.path() / "fm");
            q.core.saveFiles.push_back(target); // asked only when the file is gone
            {
                const auto failure = arrange(f, target);
                if (!failure) {
                    qInfo("%s: cannot be arranged here, skipped", where.constData());
                    continue;
                }
                drive(editor, q, e);
            }
            QVERIFY2(q.core.messages.size() == 1, where);
            QVERIFY2(QString::fromStdString(q.core.messages[0]).contains("fminfo.txt"), where);
            QVERIFY2(editor.isVisible(), where);
            QVERIFY2(editText(editor)->Modified(), where);
            QVERIFY2(editText(editor)->toPlainText().startsWith("A new first line"), where);
            if (f == Failure::ReadOnlyFolder || f == Failure::DiskFull) {
                QCOMPARE(t.read("fm/fminfo.txt"), std::string("old"));
                QCOMPARE(namesIn(t.path() / "fm"), before);
            } else if (f == Failure::TargetIsDirectory) {
                QVERIFY2(fs::is_directory(target), where);
                QCOMPARE(namesIn(t.path() / "fm"), before);
            } else {
                QVERIFY2(!fs::exists(t.path() / "fm"), where);
            }
            editor.CancelClick();
        }
}

void FailureMatrixTest::listSaveKeepsTheProject()
{
    for (Failure f : kFailures) {
        const QByteArray where = nameOf(f);
        TempDir t;
        t.write("fm/thief2.exe");
        t.write("fm/miss1.mis");
        t.write("fm/strings/missflag.str", "miss_1:\"end\"\r\n");
        const std::string list = t.write("lists/bell.lst", "old");
        MainWindow w(t.path() / "fm");
        auto& q = w.q;
        auto& project = w.project;
        auto& form = w.form;
        QCOMPARE(fileList(form)->count(), 2);
        QTest::keyClick(fileList(form), Qt::Key_S, Qt::ControlModifier); // the list dialog is cancelled
        const std::string flags = t.read("fm/strings/missflag.str");
        QVERIFY(flags.size() < 30);
        // The list goes to its own folder, where the failure is; when the
        // FM folder is gone, the string files fail first.
        const fs::path target = f == Failure::FolderRemoved ? t.path() / "fm" / "bell.lst" : fs::path(list);
        q.core.saveFiles.push_back(target.string());
        const std::set<std::string> before = namesIn(target.parent_path());
        {
            const auto failure = arrange(f, target, 30); // the list is longer than the string files
            if (!failure) {
                qInfo("%s: cannot be arranged here, skipped", where.constData());
                continue;
            }
            QTest::keyClick(fileList(form), Qt::Key_S, Qt::ControlModifier);
        }
        QVERIFY2(q.core.messages.size() == 1, where);
        const QString message = QString::fromStdString(q.core.messages[0]);
        QVERIFY2(message.contains(f == Failure::FolderRemoved ? "fm/" : "bell.lst"), qPrintable(message));
        if (f == Failure::FolderRemoved) {
            QVERIFY2(!fs::exists(t.path() / "fm"), where);
        } else {
            QCOMPARE(t.read("fm/strings/missflag.str"), flags);
            QCOMPARE(namesIn(target.parent_path()), before);
            if (f != Failure::TargetIsDirectory) QCOMPARE(t.read("lists/bell.lst"), std::string("old"));
        }
        QVERIFY2(form.isVisible() && Child<QAction>(form, "SaveButton")->isEnabled(), where);
        QCOMPARE(fileList(form)->count(), int(project.Files.size()));
        QCOMPARE(fileList(form)->item(1)->text(), QString("miss1.mis"));
    }
}

void FailureMatrixTest::zipKeepsTheEarlierArchive()
{
    for (Failure f : kFailures) {
        const QByteArray where = nameOf(f);
        TempDir t;
        t.write("fm/thief2.exe");
        std::string noise(20000, '\0'); // does not compress below the size limit
        std::mt19937 random(7);
        for (char& c : noise) c = char(random());
        t.write("fm/miss1.mis", noise);
        t.write("fm/strings/missflag.str", "miss_1:\"end\"\r\n");
        const std::string earlier("PK\x05\x06" + std::string(18, '\0')); // an empty archive
        const std::string archive = t.write("out/bell.zip", earlier);
        MainWindow w(t.path() / "fm");
        auto& q = w.q;
        auto& project = w.project;
        auto& form = w.form;
        const fs::path target = f == Failure::FolderRemoved ? t.path() / "fm" / "bell.zip" : fs::path(archive);
        q.core.saveFiles.push_back(target.string());
        q.core.answers.push_back(Answer::Yes); // the check's "Zip anyway?" when the files are gone
        const std::set<std::string> before = namesIn(target.parent_path());
        {
            const auto failure = arrange(f, target, 4096); // the archive is longer than the string files
            if (!failure) {
                qInfo("%s: cannot be arranged here, skipped", where.constData());
                continue;
            }
            QTest::keyClick(fileList(form), Qt::Key_D, Qt::ControlModifier);
        }
        QVERIFY2(q.core.messages.size() == 1, where);
        const QString message = QString::fromStdString(q.core.messages[0]);
        QVERIFY2(message.contains(f == Failure::FolderRemoved ? "fm/" : "bell.zip"), qPrintable(message));
        if (f != Failure::FolderRemoved) {
            QCOMPARE(namesIn(target.parent_path()), before);
            if (f != Failure::TargetIsDirectory) QCOMPARE(t.read("out/bell.zip"), earlier);
        }
        QVERIFY2(!form.Progress(), where);
        QVERIFY2(form.centralWidget()->isEnabled() && Child<QAction>(form, "ZipButton")->isEnabled(), where);
        QCOMPARE(fileList(form)->count(), int(project.Files.size()));
    }
}

namespace {

// A Thief 2 FM with one named mission and its list, and the window on it
// with the mission selected.
struct NamedMission : MainWindow {
    explicit NamedMission(const TempDir& t) : MainWindow(lay(t))
    {
        fileList(form)->setCurrentRow(1);
        QCOMPARE(fileList(form)->currentItem()->text(), QString("miss1.mis"));
    }
    static fs::path lay(const TempDir& t)
    {
        t.write("fm/thief2.exe");
        t.write("fm/miss1.mis", lw::test::PlainMission());
        t.write("fm/strings/missflag.str", "miss_1:\"end\"\r\n");
        t.write("fm/strings/english/titles.str", "short_0:\"bell\"\r\ntitle_1:\"Old\"\r\n");
        t.write("fm/bell.lst", "strings\\missflag.str\r\nmiss1.mis\r\nstrings\\english\\titles.str\r\n");
        return t.path() / "fm";
    }
    QLineEdit* name() { return Child<QLineEdit>(form, "MissName"); }
};

} // namespace

void FailureMatrixTest::anEditedProjectIsNotDroppedUnasked()
{
    enum Command { Close, New, Open };
    for (Command c : {Close, New, Open})
        for (Answer a : {Answer::Cancel, Answer::No, Answer::Yes}) {
            const QByteArray where = QByteArray::number(c) + "/" + QByteArray::number(int(a));
            TempDir t;
            NamedMission w(t);
            w.name()->setText("Renamed");
            w.q.core.answers.push_back(a);
            w.q.core.saveFiles.push_back(t / "fm/saved.lst"); // Yes saves as Save does
            if (c == Close) w.form.close();
            if (c == New) {
                w.q.dialogs.push_back([](QDialog& d) { d.accept(); }); // Enter: the FM it shows
                QTest::keyClick(fileList(w.form), Qt::Key_N, Qt::ControlModifier);
            }
            if (c == Open) {
                w.q.core.openFiles.push_back(t / "fm/bell.lst");
                QTest::keyClick(fileList(w.form), Qt::Key_O, Qt::ControlModifier);
            }
            QCOMPARE(w.q.core.questions, std::vector<std::string>{SaveChangesText});
            const bool kept = a == Answer::Cancel;
            const bool renamed = kept || c == Close || a == Answer::Yes;
            QVERIFY2(w.project.Missions[1].LongNames[0].Text() == (renamed ? "Renamed" : "Old"), where);
            QVERIFY2(w.form.isVisible() == (c != Close || kept), where);
            QVERIFY2((t.read("fm/strings/english/titles.str").find("Renamed") != std::string::npos) ==
                         (a == Answer::Yes),
                     where);
            QVERIFY2(t.exists("fm/saved.lst") == (a == Answer::Yes), where);
        }
    // Yes, then No to writing over another program's change: the names
    // were not saved, so the window stays with them.
    TempDir t;
    NamedMission w(t);
    w.name()->setText("Renamed");
    t.replace("fm/strings/english/titles.str", "title_1:\"Theirs\"\r\n");
    w.q.core.answers = {Answer::Yes, Answer::No};
    w.q.core.saveFiles.push_back(t / "fm/saved.lst");
    w.form.close();
    QVERIFY(w.form.isVisible() && w.project.Missions[1].LongNames[0].Text() == "Renamed");
}

void FailureMatrixTest::namesAreWrittenAsTheirFilesHoldThem()
{
    TempDir t;
    NamedMission w(t);
    // A character code page 850 lacks is refused as it is typed.
    w.name()->setText("Wierno");
    for (const QString& typed : {QString::fromUtf8("ś"), QString::fromUtf8("ć")}) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(w.name(), &key);
    }
    QVERIFY(!w.q.core.messages.empty() && QString::fromStdString(w.q.core.messages[0]).contains("U+015B"));
    QCOMPARE(w.name()->text(), QString("Wierno"));
    QCOMPARE(w.project.Missions[1].LongNames[0].Text(), std::string("Wierno"));
    // Another program's change to the file is not written over unasked.
    t.replace("fm/strings/english/titles.str", "short_0:\"bell\"\r\ntitle_1:\"Theirs\"\r\n");
    for (Answer a : {Answer::No, Answer::Yes}) {
        w.q.core.answers.push_back(a);
        QTest::keyClick(fileList(w.form), Qt::Key_S, Qt::ControlModifier); // the list dialog is cancelled
        QCOMPARE(t.read("fm/strings/english/titles.str"),
                 "short_0:\"bell\"\r\ntitle_1:\"" + std::string(a == Answer::No ? "Theirs" : "Wierno") + "\"\r\n");
    }
    QCOMPARE(w.q.core.questions.size(), size_t(2));
    QVERIFY(QString::fromStdString(w.q.core.questions[0]).contains("changed by another program"));
}

void FailureMatrixTest::zipAndSaveNeverReplaceAFileOfTheFM()
{
    for (const char* target : {"miss1.mis", "strings/missflag.str", "bell.lst"}) {
        TempDir t;
        NamedMission w(t);
        w.q.core.saveFiles.push_back(t / "fm/bell.lst"); // the list, saved where it lies
        QTest::keyClick(fileList(w.form), Qt::Key_S, Qt::ControlModifier);
        const std::string before = t.read(std::string("fm/") + target);
        w.q.core.saveFiles.push_back(t / (std::string("fm/") + target)); // "replace?" answered Yes
        QTest::keyClick(fileList(w.form), Qt::Key_D, Qt::ControlModifier);
        QVERIFY2(w.q.core.messages.size() == 1 &&
                     QString::fromStdString(w.q.core.messages[0]).contains(QFileInfo(target).fileName()),
                 target);
        QCOMPARE(t.read(std::string("fm/") + target), before);
        // Nor does Save put the list over one, but over the list itself.
        w.q.core.saveFiles.push_back(t / (std::string("fm/") + target));
        QTest::keyClick(fileList(w.form), Qt::Key_S, Qt::ControlModifier);
        const bool list = std::string(target) == "bell.lst";
        QVERIFY2(w.q.core.messages.size() == (list ? 1 : 2), target);
        if (!list) QCOMPARE(t.read(std::string("fm/") + target), before);
    }
}

QTEST_MAIN(FailureMatrixTest)
#include "FailureMatrixTest.moc"
