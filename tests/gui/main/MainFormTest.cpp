// The main window end to end: scripted answers stand in for the user.
#include "core/fm/Packaging.h"
#include "gui/controls/Hintctrl.h"
#include "gui/dialogs/CreateFM.h"
#include "gui/editor/Editor.h"
#include "gui/editor/OLERichEdit.h"
#include "gui/main/CheckDlg.h"
#include "gui/main/FMmain.h"
#include "gui/main/ZipDlg.h"
#include "support/ScriptedGuiQuestions.h"
#include "support/System.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"
#include "support/WindowParts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <sstream>

using namespace lw;
using lw::test::activate;
using lw::test::Child;
using lw::test::editText;
using lw::test::fileList;
using lw::test::ScriptedGuiQuestions;
using lw::test::TempDir;

namespace {

QStringList listed(const TMainForm& w)
{
    QStringList out;
    for (int i = 0; i < fileList(w)->count(); ++i) out << fileList(w)->item(i)->text();
    return out;
}

// A window with its new-mission dialog, as the program makes them.
struct Fixture {
    ScriptedGuiQuestions q;
    Project project;
    TMainForm form{q, project};
    TCreateDialog create{q, &form};
    Fixture() { form.SetCreateDialog(&create); }

    // New through the dialog: the folder button picks dir, then the names.
    void newProject(const std::string& dir, const QString& name, const QString& shortName, int lang = 0)
    {
        q.core.folders.push_back(dir);
        q.dialogs.push_back([=](QDialog& d) {
            auto& c = static_cast<TCreateDialog&>(d);
            Child<QPushButton>(c, "FMDirButton")->click();
            Child<QLineEdit>(c, "NameEdit")->setText(name);
            Child<QLineEdit>(c, "ShortNameEdit")->setText(shortName);
            Child<QComboBox>(c, "LangSelect")->setCurrentIndex(lang);
            c.accept();
        });
        Child<QAction>(form, "CreateButton")->trigger();
    }
};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithOnlyNewAndOpen();
    void shortcutsFollowTheButtons();
    void newListsTheStringAndInfoFiles();
    void newDialogRefusesWithoutWords();
    void thief2xSubdirectoryIsCorrected();
    void editsGoToTheProject();
    void saveWritesStringFilesEvenWhenCancelled();
    void zipPacksWithProgressAndCanBeStopped();
    void zipSaysWhyNoArchiveWasMade();
    void dropAddsFilesAndDeleteRemoves();
    void failedCommandsLeaveListAndProjectAlike();
    void enterInTheNewDialogMeansOk();
    void tabGoesRoundTheNewDialog();
    void folderChoosersGetTheirCallersOptions();
    void checkShowsFindingsAndZipAsksOnErrors();
    void fileOutsideTheFMRoundTrips();
    void checkWindowFollowsTheList();
    void checkAddsWhatTheMissionsUseAndKeepsTheGameFolder();
    void failedSaveKeepsTheInfoFileTheEditorSaved();
    void addFolderAddsWhatTheListLacks();
    void saveListStartsInThisProjectsFolder();
    void windowsOpenShowingEveryControl();
};

void MainFormTest::startsWithOnlyNewAndOpen()
{
    Fixture f;
    QVERIFY(Child<QAction>(f.form, "CreateButton")->isEnabled());
    QVERIFY(Child<QAction>(f.form, "OpenButton")->isEnabled());
    for (const char* name : {"SaveButton", "FMInfoButton", "ZipButton"})
        QVERIFY(!Child<QAction>(f.form, name)->isEnabled());
    QVERIFY(!Child<QToolButton>(f.form, "LangButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(f.form, "AddFileButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(f.form, "RemFileButton")->isEnabled());
    QVERIFY(Child<QGroupBox>(f.form, "FMInfoBox")->isHidden());
    QVERIFY(Child<QGroupBox>(f.form, "MissInfoBox")->isHidden());
    QVERIFY(Child<QPushButton>(f.form, "InfoButton")->isHidden());
}

void MainFormTest::shortcutsFollowTheButtons()
{
    Fixture f;
    QVERIFY(activate(f.form));
    // Before a project Ctrl+S and Ctrl+D do nothing; Ctrl+O asks for a list
    // even while an edit box has the focus.
    QTest::keyClick(fileList(f.form), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(fileList(f.form), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(f.q.core.fileRequests.size(), size_t(0));
    QTest::keyClick(Child<QLineEdit>(f.form, "FMName"), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(f.q.core.fileRequests.size(), size_t(1));
    QCOMPARE(f.q.core.fileRequests[0].title, std::string("Open File List"));
    QCOMPARE(Child<QLineEdit>(f.form, "FMName")->text(), QString()); // the key typed nothing
    QTest::keyClick(Child<QLineEdit>(f.form, "FMShortName"), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(f.q.dialogsRun, 1);
}

void MainFormTest::newListsTheStringAndInfoFiles()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("fminfo.txt", "info");
    t.write("strings/english/titles.str", "title_0:\"The Bell\"\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Typed", "bell");
    QCOMPARE(listed(f.form), QStringList({"fminfo.txt", "strings\\missflag.str", "strings\\english\\titles.str"}));
    QCOMPARE(f.project.FMInfo.Game, GameThief2);
    QCOMPARE(f.project.FMInfo.FMDir, t.dir());
    QCOMPARE(Child<QLineEdit>(f.form, "FMName")->text(), QString("The Bell"));
    QCOMPARE(Child<QLineEdit>(f.form, "FMShortName")->text(), QString("bell"));
    for (const char* name : {"SaveButton", "FMInfoButton", "ZipButton"})
        QVERIFY(Child<QAction>(f.form, name)->isEnabled());
    QVERIFY(Child<QToolButton>(f.form, "LangButton")->isEnabled());
    QVERIFY(Child<QPushButton>(f.form, "AddFileButton")->isEnabled());
    QVERIFY(!Child<QGroupBox>(f.form, "FMInfoBox")->isHidden());
    QVERIFY(Child<QGroupBox>(f.form, "MissInfoBox")->isHidden());
}

void MainFormTest::newDialogRefusesWithoutWords()
{
    TempDir t; // no marker file: no game
    Fixture f;
    int attempts = 0;
    f.q.core.folders.push_back(t.path().string() + "/");
    f.q.dialogs.push_back([&](QDialog& d) {
        auto& c = static_cast<TCreateDialog&>(d);
        c.show();
        Child<QPushButton>(c, "FMDirButton")->click();
        QCOMPARE(c.Game(), -1);
        Child<QLineEdit>(c, "ShortNameEdit")->setText("my fm");
        c.accept();
        ++attempts;
        QCOMPARE(c.result(), int(QDialog::Rejected));
        QVERIFY(Child<QButtonGroup>(c, "GameType")->button(0)->hasFocus() || !c.isActiveWindow());
        Child<QButtonGroup>(c, "GameType")->button(1)->setChecked(true);
        c.accept();
        QCOMPARE(c.result(), int(QDialog::Rejected)); // the blank in the short name
        Child<QLineEdit>(c, "ShortNameEdit")->setText("  myfm  ");
        Child<QLineEdit>(c, "FMDirEdit")->setText("  " + QString::fromStdString(t.path().string()) + "  ");
        c.accept();
        QCOMPARE(Child<QLineEdit>(c, "FMDirEdit")->text(), QString::fromStdString(t.dir()));
        QCOMPARE(Child<QLineEdit>(c, "ShortNameEdit")->text(), QString("myfm"));
    });
    Child<QAction>(f.form, "CreateButton")->trigger();
    QCOMPARE(attempts, 1);
    QVERIFY(f.q.core.messages.empty());
    QCOMPARE(f.project.FMInfo.Game, GameThief2);
    QCOMPARE(f.project.FMInfo.ShortName.Text(), std::string("myfm"));
}

void MainFormTest::thief2xSubdirectoryIsCorrected()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("t2x/t2x.gam");
    Fixture f;
    f.newProject((t.path() / "t2x").string(), "X", "x");
    QCOMPARE(f.q.core.messages,
             std::vector<std::string>{"Use the base game directory for T2X fan missions, not the T2X directory."});
    QCOMPARE(f.project.FMInfo.FMDir, t.dir());
    QCOMPARE(f.project.FMInfo.Game, GameThief2x);
    QCOMPARE(listed(f.form), QStringList({"t2x\\strings\\missflag.str"}));
}

void MainFormTest::editsGoToTheProject()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n");
    t.write("strings/english/titles.str", "title_1:\"First\"\r\nshort_1:\"1st\"\r\n");
    t.write("strings/german/titles.str", "short_1:\"1.\"\r\n"); // New lists the first language's only
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    QCOMPARE(listed(f.form), QStringList({"strings\\missflag.str", "miss1.mis", "strings\\english\\titles.str"}));

    // Forbidden characters vanish with a beep.
    Child<QLineEdit>(f.form, "FMShortName")->setText("be ll");
    QCOMPARE(Child<QLineEdit>(f.form, "FMShortName")->text(), QString("bell"));
    QCOMPARE(f.q.core.beeps, 1);
    QCOMPARE(f.project.FMInfo.ShortName.Text(), std::string("bell"));

    // Selecting the mission shows its names; typing in German adds a titles file.
    fileList(f.form)->item(1)->setSelected(true);
    QVERIFY(!Child<QGroupBox>(f.form, "MissInfoBox")->isHidden());
    QCOMPARE(Child<QLineEdit>(f.form, "MissName")->text(), QString("First"));
    QVERIFY(Child<QPushButton>(f.form, "RemFileButton")->isEnabled());
    Child<QMenu>(f.form, "LangMenu")->actions()[2]->trigger(); // German
    QCOMPARE(Child<QLineEdit>(f.form, "MissName")->text(), QString());
    QCOMPARE(listed(f.form).size(), 3); // switching the language types nothing
    Child<QLineEdit>(f.form, "MissName")->setText("Erste");
    QCOMPARE(listed(f.form).last(), QString("strings\\german\\titles.str"));
    QCOMPARE(f.project.Missions[1].LongNames[2].Text(), std::string("Erste"));
    QCOMPARE(Child<QLineEdit>(f.form, "MissShortName")->text(), QString("1.")); // what its file holds
    Child<QCheckBox>(f.form, "CutsceneCheck")->click();
    QCOMPARE(int(f.project.Missions[1].Flags), int(mfEnd | mfCutscene));

    // Removing the mission hides its box.
    Child<QPushButton>(f.form, "RemFileButton")->click();
    QVERIFY(Child<QGroupBox>(f.form, "MissInfoBox")->isHidden());
    QVERIFY(!Child<QPushButton>(f.form, "RemFileButton")->isEnabled());
    QVERIFY(f.project.Chain().empty());
}

void MainFormTest::saveWritesStringFilesEvenWhenCancelled()
{
    TempDir t;
    t.write("thief.exe");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    Child<QLineEdit>(f.form, "FMName")->setText("The Bell"); // the first name typed brings a titles file
    Child<QAction>(f.form, "SaveButton")->trigger();         // the list dialog is cancelled
    QVERIFY(t.exists("strings/missflag.str"));
    QVERIFY(t.exists("strings/english/titles.str"));
    QCOMPARE(QString::fromStdString(t.read("strings/english/titles.str")),
             QString("title_0:\"The Bell\"\r\nshort_0:\"bell\"\r\n\r\n"));
    f.q.core.saveFiles.push_back(t / "bell.lst");
    Child<QAction>(f.form, "SaveButton")->trigger();
    QCOMPARE(QString::fromStdString(t.read("bell.lst")),
             QString("strings\\missflag.str\r\nstrings\\english\\titles.str\r\n"));
}

void MainFormTest::zipPacksWithProgressAndCanBeStopped()
{
    TempDir t;
    t.write("thief2.exe");
    lw::test::MissionSpec mission;
    mission.padding = std::string(300000, 'm');
    t.write("miss1.mis", lw::test::MissionBytes(mission));
    t.write("fminfo.txt", "info");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    f.q.core.openFileLists.push_back({t / "miss1.mis"});
    Child<QPushButton>(f.form, "AddFileButton")->click();

    // The dialog proposes the short name in the FM directory.
    bool sawProgress = false, mainDisabled = false;
    QStringList items;
    auto previous = f.form.FMZipper.OnProgress;
    f.form.FMZipper.OnProgress = [&](TZipArchiver* z, ProgressType kind, const std::string& name, uint64_t size) {
        previous(z, kind, name, size);
        if (f.form.Progress()) {
            sawProgress = true;
            mainDisabled = !f.form.centralWidget()->isEnabled();
            if (kind == ptItemStart) items << Child<QLabel>(f.form.Progress(), "ItemText")->text();
        }
    };
    f.q.core.saveFiles.push_back(t / "bell.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    const FileRequest& req = f.q.core.fileRequests.back();
    QCOMPARE(req.fileName, std::string("bell.zip"));
    QCOMPARE(req.initialDir, t.dir());
    QCOMPARE(req.filter, std::string("Zip Archives|*.zip"));
    QVERIFY(sawProgress && mainDisabled);
    QCOMPARE(items, QStringList({"Adding fminfo.txt...", "Adding strings\\missflag.str...", "Adding miss1.mis..."}));
    QVERIFY(!f.form.Progress());
    QVERIFY(f.form.centralWidget()->isEnabled());
    const std::string first = t.read("bell.zip");
    QCOMPARE(first.substr(0, 2), std::string("PK"));

    // Stopped from the progress window: the earlier archive stays as it was.
    f.form.FMZipper.OnProgress = [&](TZipArchiver* z, ProgressType kind, const std::string& name, uint64_t size) {
        previous(z, kind, name, size);
        if (kind == ptItemStart && f.form.Progress()) Child<QPushButton>(f.form.Progress(), "CancelButton")->click();
    };
    mission.padding = std::string(400000, 'n');
    t.write("miss1.mis", lw::test::MissionBytes(mission));
    f.q.core.saveFiles.push_back(t / "bell.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    QVERIFY(!f.form.Progress());
    QCOMPARE(t.read("bell.zip"), first);
    QVERIFY(f.q.core.messages.empty()); // stopping is not reported as an error

    // A listed file that cannot be read: a message that names it, no archive.
    std::filesystem::remove(t / "miss1.mis");
    std::filesystem::create_symlink(t / "gone.mis", t / "miss1.mis");
    f.q.core.saveFiles.push_back(t / "other.zip");
    f.q.core.answers.push_back(Answer::Yes); // the check's "Zip anyway?"
    Child<QAction>(f.form, "ZipButton")->trigger();
    QCOMPARE(f.q.core.questions.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.questions[0]).endsWith("Zip anyway?"));
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).startsWith("The archive could not be made: "));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).contains("miss1.mis"));
    QVERIFY(!t.exists("other.zip"));
}

void MainFormTest::zipSaysWhyNoArchiveWasMade()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis", lw::test::PlainMission());
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    f.q.core.openFileLists.push_back({t / "miss1.mis"});
    Child<QPushButton>(f.form, "AddFileButton")->click();

    // The finished archive cannot take the chosen name: the window says so.
    t.write("taken.zip/inside.txt", "a folder of that name");
    f.q.core.saveFiles.push_back(t / "taken.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).contains("taken.zip"));
    QVERIFY(!f.form.Progress());

    // The previous package is listed: it is a file of the FM, not replaced.
    f.q.core.saveFiles.push_back(t / "bell.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    f.q.core.openFileLists.push_back({t / "bell.zip"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    f.q.core.saveFiles.push_back(t / "bell.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    QCOMPARE(f.q.core.messages.size(), size_t(2));
    QVERIFY(QString::fromStdString(f.q.core.messages[1]).contains("listed file \"bell.zip\""));
    QVERIFY(t.exists("bell.zip"));
}

void MainFormTest::dropAddsFilesAndDeleteRemoves()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss2.mis");
    t.write("readme.txt");
    t.write("snd/bell.wav");
    t.write("snd/.bell.wav.swp");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(t / "miss2.mis")),
                  QUrl::fromLocalFile(QString::fromStdString(t / "readme.txt")),
                  QUrl::fromLocalFile(QString::fromStdString(t / "snd"))}); // a folder adds what Add Folder would
    // Through the window, as the desktop delivers a drag.
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    const QPoint at = fileList(f.form)->viewport()->mapTo(&f.form, QPoint(10, 10));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.windowHandle(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.windowHandle(), &drop);
    QCOMPARE(listed(f.form), QStringList({"strings\\missflag.str", "miss2.mis", "readme.txt", "snd\\bell.wav"}));
    QCOMPARE(f.project.Chain(), std::vector<int>{2});
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).contains("Left out 1 hidden file or folder."));

    fileList(f.form)->item(1)->setSelected(true);
    QVERIFY(activate(f.form));
    fileList(f.form)->setFocus();
    QTest::keyClick(fileList(f.form), Qt::Key_Delete);
    QCOMPARE(listed(f.form), QStringList({"strings\\missflag.str", "readme.txt", "snd\\bell.wav"}));
    QVERIFY(f.project.Chain().empty());
}

void MainFormTest::failedCommandsLeaveListAndProjectAlike()
{
    // A German titles file that cannot be read: far larger than any string file.
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    t.write("readme.txt");
    t.write("bell.lst", "miss1.mis\r\nstrings\\german\\titles.str\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    const QStringList before = listed(f.form);
    QCOMPARE(before, QStringList({"strings\\missflag.str"}));
    std::filesystem::resize_file(t.write("strings/german/titles.str"), 65 << 20);

    // Add Files stops at the titles file: the readme added before it goes too.
    f.q.core.openFileLists.push_back({t / "readme.txt", t / "strings/german/titles.str"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).contains("titles.str"));
    QCOMPARE(listed(f.form), before);
    QCOMPARE(f.project.Files.size(), size_t(before.size()));
    QVERIFY(f.project.FMInfo.TitleFiles[2].empty());

    // The same through a drop.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(t / "readme.txt")),
                  QUrl::fromLocalFile(QString::fromStdString(t / "strings/german/titles.str"))});
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    const QPoint at = fileList(f.form)->viewport()->mapTo(&f.form, QPoint(10, 10));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.windowHandle(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.windowHandle(), &drop);
    QCOMPARE(f.q.core.messages.size(), size_t(2));
    QCOMPARE(listed(f.form), before);

    // Open fails the same way: the project shown before stays, whole.
    f.q.core.openFiles.push_back(t / "bell.lst");
    Child<QAction>(f.form, "OpenButton")->trigger();
    QCOMPARE(f.q.core.messages.size(), size_t(3));
    QCOMPARE(listed(f.form), before);
    QCOMPARE(f.project.Files.size(), size_t(before.size()));
    QCOMPARE(f.project.FMInfo.ShortName.Text(), std::string("bell"));
    QVERIFY(Child<QAction>(f.form, "ZipButton")->isEnabled());

    // A later Remove deletes what the author sees selected, nothing hidden.
    fileList(f.form)->item(0)->setSelected(true);
    Child<QPushButton>(f.form, "RemFileButton")->click();
    QCOMPARE(listed(f.form), before.mid(1));
    QCOMPARE(f.project.Files.size(), size_t(before.size() - 1));
}

void MainFormTest::enterInTheNewDialogMeansOk()
{
    TempDir t;
    t.write("thief2.exe");
    Fixture f;
    bool accepted = false;
    f.q.dialogs.push_back([&](QDialog& d) {
        auto& c = static_cast<TCreateDialog&>(d);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        Child<QLineEdit>(c, "FMDirEdit")->setText(QString::fromStdString(t.path().string()));
        c.SetGame(GameThief2);
        Child<QLineEdit>(c, "NameEdit")->setText("Bell");
        Child<QLineEdit>(c, "ShortNameEdit")->setText("bell");
        QApplication::setActiveWindow(&c);
        QVERIFY(QTest::qWaitForWindowActive(&c));
        // Tab leads from the directory to its button; the button is not the
        // default, OK is, so Enter there still means OK.
        Child<QLineEdit>(c, "FMDirEdit")->setFocus();
        QTest::keyClick(Child<QLineEdit>(c, "FMDirEdit"), Qt::Key_Tab);
        QVERIFY(Child<QPushButton>(c, "FMDirButton")->hasFocus());
        QVERIFY(!Child<QPushButton>(c, "FMDirButton")->isDefault());
        QVERIFY(Child<QPushButton>(c, "OkButton")->isDefault());
        Child<QLineEdit>(c, "FMDirEdit")->setFocus();
        QTest::keyClick(Child<QLineEdit>(c, "FMDirEdit"), Qt::Key_Return);
        accepted = c.result() == QDialog::Accepted;
    });
    Child<QAction>(f.form, "CreateButton")->trigger();
    QVERIFY(accepted);
    QVERIFY(f.q.core.folderRequests.empty()); // Enter did not open the folder chooser
    QCOMPARE(f.project.FMInfo.ShortName.Text(), std::string("bell"));
}

void MainFormTest::tabGoesRoundTheNewDialog()
{
    // Tab visits every control once, in the dialog's order, and comes back
    // to the directory: no pair of controls keeps the focus to itself.
    ScriptedGuiQuestions q;
    TCreateDialog c{q};
    QVERIFY(activate(c));
    Child<QLineEdit>(c, "FMDirEdit")->setFocus();
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* w = QApplication::focusWidget();
        visited << (w ? (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                   : w->objectName())
                      : QString());
    }
    QCOMPARE(visited, QStringList({"FMDirButton", "QRadioButton", "NameEdit", "ShortNameEdit", "LangSelect", "OkButton",
                                   "CancelButton", "FMDirEdit"}));
    // Shift+Tab goes the same way back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), Child<QPushButton>(c, "CancelButton"));
}

void MainFormTest::folderChoosersGetTheirCallersOptions()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    TempDir elsewhere;
    elsewhere.write("bell.lst", "miss1.mis\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    const FolderOptions fromNew = f.q.core.folderRequests.at(0).options;
    QVERIFY(fromNew.Has(FolderOption::FileSysDirsOnly));
    QVERIFY(!fromNew.Has(FolderOption::StatusText));
    QVERIFY(!fromNew.Has(FolderOption::ShowPathInStatusArea));

    f.q.core.openFiles.push_back(elsewhere / "bell.lst");
    f.q.core.folders.push_back(t.path().string());
    Child<QAction>(f.form, "OpenButton")->trigger();
    const FolderRequest& mission = f.q.core.folderRequests.at(1);
    QCOMPARE(mission.title, std::string("Where Is This Mission?"));
    QVERIFY(mission.options.Has(FolderOption::FileSysDirsOnly));
    QVERIFY(mission.options.Has(FolderOption::StatusText));
    QVERIFY(!mission.options.Has(FolderOption::ShowPathInStatusArea));
    QCOMPARE(listed(f.form), QStringList({"miss1.mis", "strings\\missflag.str"}));
}

void MainFormTest::checkShowsFindingsAndZipAsksOnErrors()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis", lw::test::PlainMission());
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n");
    t.write("odd?.txt", "a name Windows refuses");
    Fixture f;
    QVERIFY(!Child<QAction>(f.form, "CheckButton")->isEnabled());
    f.newProject(t.path().string(), "Bell", "bell");
    QVERIFY(Child<QAction>(f.form, "CheckButton")->isEnabled());
    f.q.core.openFileLists.push_back({t / "odd?.txt"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    QVERIFY(activate(f.form));

    // Ctrl+K shows the findings, from an edit box too, whose text stays:
    // the key is the window's, not the box's "delete to the end".
    auto* name = Child<QLineEdit>(f.form, "FMShortName");
    name->setFocus();
    name->setCursorPosition(0);
    QTest::keyClick(name, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(f.form.CheckDialog() && f.form.CheckDialog()->isVisible());
    QCOMPARE(name->text(), QString("bell"));
    f.form.CheckDialog()->hide();
    QVERIFY(activate(f.form));

    // From the list, errors first.
    QTest::keyClick(fileList(f.form), Qt::Key_K, Qt::ControlModifier);
    TCheckDialog* check = f.form.CheckDialog();
    QVERIFY(check && check->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(check));
    QTreeWidget* list = Child<QTreeWidget>(check, "FindingList");
    QVERIFY(list);
    QVERIFY(list->topLevelItemCount() >= 2); // the refused name, no info file
    QTreeWidgetItem* first = list->topLevelItem(0);
    QCOMPARE(first->text(0), QString("Error"));
    QCOMPARE(first->text(1), QString("odd?.txt"));
    QVERIFY(Child<QLabel>(check, "SummaryText")->text().contains("1 error(s)"));

    // Activating it (Enter, or a double-click) selects its entry in the list.
    fileList(f.form)->clearSelection();
    list->setCurrentItem(first);
    QTest::keyClick(list, Qt::Key_Return);
    const QList<QListWidgetItem*> selected = fileList(f.form)->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0]->text(), QString("odd?.txt"));
    QVERIFY(check->isVisible()); // the other findings stay at hand
    QVERIFY(activate(f.form));   // the author goes back to the main window

    // Zip asks first; No makes nothing and asks for no archive name.
    const size_t requests = f.q.core.fileRequests.size();
    f.q.core.answers.push_back(Answer::No);
    QTest::keyClick(fileList(f.form), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(f.q.core.questions.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.questions[0]).contains("odd?.txt"));
    QCOMPARE(f.q.core.fileRequests.size(), requests);
    QVERIFY(!t.exists("strings/missflag.str.new") && !t.exists("bell.zip"));
    // Ctrl+D from an edit box zips too, and deletes no character.
    f.q.core.answers.push_back(Answer::No);
    name->setCursorPosition(0);
    QTest::keyClick(name, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(f.q.core.questions.size(), size_t(2));
    QCOMPARE(name->text(), QString("bell"));

    // Warnings alone do not ask.
    fileList(f.form)->clearSelection();
    fileList(f.form)->item(fileList(f.form)->count() - 1)->setSelected(true);
    Child<QPushButton>(f.form, "RemFileButton")->click();
    f.q.core.saveFiles.push_back(t / "bell.zip");
    QTest::keyClick(fileList(f.form), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(f.q.core.questions.size(), size_t(2));
    QVERIFY(t.exists("bell.zip"));
}

void MainFormTest::fileOutsideTheFMRoundTrips()
{
    // Add Files of a file beside the FM directory, Save, Open, Edit File and
    // Zip: each finds the outside file, never a same-named one inside.
    TempDir t;
    t.write("fm/thief2.exe");
    t.write("fm/miss1.mis", lw::test::PlainMission());
    t.write("fm/strings/missflag.str", "miss_1:\"end\"\r\n");
    t.write("shared/notes.txt", "outside\r\n");
    t.write("fm/shared/notes.txt", "the wrong one\r\n");
    Fixture f;
    TEditorForm editor(f.q);
    f.form.SetEditor(&editor);
    f.newProject((t.path() / "fm").string(), "Bell", "bell");
    f.q.core.openFileLists.push_back({t / "shared/notes.txt"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    QCOMPARE(listed(f.form).last(), QString("..\\shared\\notes.txt"));
    f.q.core.saveFiles.push_back(t / "fm/bell.lst");
    Child<QAction>(f.form, "SaveButton")->trigger();

    f.q.core.openFiles.push_back(t / "fm/bell.lst");
    Child<QAction>(f.form, "OpenButton")->trigger();
    QVERIFY(f.q.core.folderRequests.size() == 1); // only New's: Open asked nothing
    QCOMPARE(listed(f.form).last(), QString("..\\shared\\notes.txt"));
    fileList(f.form)->item(fileList(f.form)->count() - 1)->setSelected(true);
    fileList(f.form)->setCurrentRow(fileList(f.form)->count() - 1);
    Child<QPushButton>(f.form, "InfoButton")->click();
    QCOMPARE(editText(editor)->toPlainText(), QString("outside\n"));
    editor.CancelClick();

    f.q.core.saveFiles.push_back(t / "bell.zip");
    f.q.core.answers.push_back(Answer::Yes); // not asked: an outside file is a warning
    Child<QAction>(f.form, "ZipButton")->trigger();
    QVERIFY(f.q.core.messages.empty());
    TZipArchiver z;
    z.SetUnattended(true);
    z.SetZipFileName(t / "bell.zip");
    QStringList names;
    for (const ZipDirEntry& e : z.DirEntries()) names << QString::fromStdString(e.EntryName);
    QVERIFY2(names.contains("shared\\notes.txt") || names.contains("shared/notes.txt"), qPrintable(names.join(", ")));

    // The command line packs the same list.
    std::ostringstream out, err;
    QCOMPARE(RunPack(t / "fm/bell.lst", t / "cli.zip", out, err, false), 0);
}

void MainFormTest::checkAddsWhatTheMissionsUseAndKeepsTheGameFolder()
{
    QStandardPaths::setTestModeEnabled(true); // the setting goes to a folder of the tests'
    QSettings().remove("gameFolder");
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis",
            lw::test::MissionBytes({.gamesys = "bell.gam", .textures = {"fam\\bell\\stone", "fam\\stock\\brick"}}));
    t.write("bell.gam", lw::test::MissionBytes(lw::test::MissionSpec{.gamesys = ""}));
    t.write("fam/bell/stone.pcx", "texture");
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    f.form.show();
    Child<QAction>(f.form, "CheckButton")->trigger();
    TCheckDialog* check = f.form.CheckDialog();
    QVERIFY(check && check->isVisible());
    auto* add = Child<QPushButton>(check, "AddUsedButton");
    QVERIFY(add->isEnabled());
    QVERIFY(Child<QLabel>(check, "GameFolderText")->text().contains("found beside the FM"));

    add->click();
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QCOMPARE(QString::fromStdString(f.q.core.messages[0]), QString("Added 2 files the missions use to the list."));
    QCOMPARE(listed(f.form).mid(2), QStringList({"fam\\bell\\stone.pcx", "bell.gam"}));
    QVERIFY(!add->isEnabled()); // the check ran again: nothing more to add

    // A game folder named once is kept, and its archives are read: the
    // stock texture the game lacks is then an error.
    TempDir game;
    game.write("cam.cfg");
    game.write("RES/fam.crf", lw::test::CrfBytes({"stock/other.pcx"}));
    f.q.core.folders.push_back(game.path().string());
    Child<QPushButton>(check, "GameFolderButton")->click();
    QCOMPARE(QSettings().value("gameFolder").toString(), QString::fromStdString(game.path().string()));
    QVERIFY(Child<QLabel>(check, "GameFolderText")->text().contains(QString::fromStdString(game.path().string())));
    QTreeWidget* findings = Child<QTreeWidget>(check, "FindingList");
    QCOMPARE(findings->topLevelItem(0)->text(1), QString("fam\\stock\\brick"));
    Project later;
    TMainForm next(f.q, later);
    QCOMPARE(later.GameDir, game.path().string());
    QSettings().remove("gameFolder");
}

void MainFormTest::checkWindowFollowsTheList()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n");
    t.write("a.txt", "first");
    t.write("odd?.txt", "a name Windows refuses");
    TempDir other;
    other.write("thief2.exe");
    other.write("miss1.mis");
    other.write("bad?.txt", "another refused name");
    other.write("other.lst", "miss1.mis\r\nbad?.txt\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    f.q.core.openFileLists.push_back({t / "a.txt", t / "odd?.txt"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    f.form.show();
    Child<QAction>(f.form, "CheckButton")->trigger();
    TCheckDialog* check = f.form.CheckDialog();
    QVERIFY(check && check->isVisible());
    QTreeWidget* list = Child<QTreeWidget>(check, "FindingList");
    auto activateError = [&] {
        QTreeWidgetItem* first = list->topLevelItem(0);
        QCOMPARE(first->text(0), QString("Error"));
        fileList(f.form)->clearSelection();
        const QPoint at = list->visualItemRect(first).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };

    // Removing a row above the refused name moves it up: its finding
    // must still select it, not the row it had before.
    fileList(f.form)->clearSelection();
    fileList(f.form)->findItems("a.txt", Qt::MatchExactly).at(0)->setSelected(true);
    Child<QPushButton>(f.form, "RemFileButton")->click();
    activateError();
    QList<QListWidgetItem*> selected = fileList(f.form)->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0]->text(), QString("odd?.txt"));

    // Another project opened: the window shows that project's findings.
    f.q.core.openFiles.push_back(other / "other.lst");
    f.q.core.answers.push_back(Answer::No); // the edited list is not kept
    Child<QAction>(f.form, "OpenButton")->trigger();
    QVERIFY2(f.q.core.messages.empty(), f.q.core.messages.empty() ? "" : f.q.core.messages[0].c_str());
    QCOMPARE(f.project.FMInfo.ShortName.Text(), std::string("other"));
    QCOMPARE(list->topLevelItem(0)->text(1), QString("bad?.txt"));
    activateError();
    selected = fileList(f.form)->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0]->text(), QString("bad?.txt"));
}

void MainFormTest::failedSaveKeepsTheInfoFileTheEditorSaved()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    t.write("strings/missflag.str", "miss_1:\"end\"\r\n");
    Fixture f;
    TEditorForm editor(f.q);
    f.form.SetEditor(&editor);
    f.newProject(t.path().string(), "Bell", "bell");
    QVERIFY(f.project.FMInfo.InfoFile.empty());
    Child<QAction>(f.form, "FMInfoButton")->trigger(); // a new info text, not yet saved
    QVERIFY(editor.isVisible());

    // Save writes the editor's text first, then fails on the flag file.
    std::filesystem::remove(t / "strings/missflag.str");
    std::filesystem::create_directory(t / "strings/missflag.str");
    f.q.core.saveFiles.push_back(t / "fminfo.txt");
    Child<QAction>(f.form, "SaveButton")->trigger();
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(f.q.core.messages[0]).contains("missflag.str"));
    QVERIFY(t.exists("fminfo.txt"));
    QVERIFY(!editor.isVisible());
    // The saved info file is on disk and out of the editor: the list keeps it.
    QCOMPARE(f.project.FMInfo.InfoFile, std::string("fminfo.txt"));
    QCOMPARE(listed(f.form), QStringList({"strings\\missflag.str", "miss1.mis", "fminfo.txt"}));
}

// A real FM's files in one command, not one folder's at a time: what the
// list lacks joins it, and the author hears what was left out.
void MainFormTest::addFolderAddsWhatTheListLacks()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis");
    t.write("obj/lamp.bin");
    t.write("obj/txt16/Lamp.png");
    t.write("obj/.lamp.bin.swp");
    t.write(".git/config");
    t.write("old.zip");
    if (!lw::test::OnWindows) t.write("obj/two\nlines.bin"); // no list file holds its name
    t.write("bell.lst", "miss1.mis\r\nobj\\lamp.bin\r\n");
    Fixture f;
    QVERIFY(f.form.OpenListFile(QString::fromStdString(t / "bell.lst")));
    f.q.core.folders.push_back(t.path().string());
    Child<QPushButton>(f.form, "AddFolderButton")->click();
    QCOMPARE(f.q.core.folderRequests.back().startDir, t.dir());
    QCOMPARE(listed(f.form), QStringList({"miss1.mis", "obj\\lamp.bin", "strings\\missflag.str", "obj\\txt16\\Lamp.png",
                                          "thief2.exe"}));
    QCOMPARE(f.q.core.messages.back(),
             "Added 2 files from " + t.path().string() +
                 ".\nLeft out 2 hidden files or folders, 1 list file, 1 archive" +
                 (lw::test::OnWindows ? "" : " and 1 file or folder whose name holds a control character") +
                 ".\n2 files were listed already.");
}

// After New, Save List proposes the new FM's folder, not the one of the
// list saved before; after Open, the list's own name.
void MainFormTest::saveListStartsInThisProjectsFolder()
{
    TempDir first, second;
    for (const TempDir* t : {&first, &second}) t->write("thief2.exe");
    first.write("miss1.mis");
    first.write("tower.lst", "miss1.mis\r\n");
    Fixture f;
    QVERIFY(f.form.OpenListFile(QString::fromStdString(first / "tower.lst")));
    f.q.core.saveFiles.push_back(first / "tower.lst");
    Child<QAction>(f.form, "SaveButton")->trigger();
    QCOMPARE(f.q.core.fileRequests.back().initialDir, first.dir());
    QCOMPARE(f.q.core.fileRequests.back().fileName, std::string("tower.lst"));

    f.newProject(second.path().string(), "Bell", "bell");
    Child<QAction>(f.form, "SaveButton")->trigger(); // cancelled
    QCOMPARE(f.q.core.fileRequests.back().initialDir, second.dir());
    QCOMPARE(f.q.core.fileRequests.back().fileName, std::string("bell.lst"));
}

namespace {

// The names of the visible controls in window that it cuts: outside it, or
// squeezed below the least they need.
QStringList cutControls(QWidget& window)
{
    QStringList cut;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || !(qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w)))
            continue;
        const QRect at(w->mapTo(&window, QPoint(0, 0)), w->size());
        if (!window.rect().contains(at) || w->height() < w->minimumSizeHint().height())
            cut << (w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName());
    }
    for (QToolBar* bar : window.findChildren<QToolBar*>()) // no button behind the bar's ">>"
        if (QWidget* more = bar->findChild<QWidget*>("qt_toolbar_ext_button"); more && more->isVisible())
            cut << bar->objectName();
    return cut;
}

} // namespace

// With the letters larger than the windows were drawn for, each still opens
// showing every control, the status line whole.
void MainFormTest::windowsOpenShowingEveryControl()
{
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(before.pointSizeF() * 1.5);
    QApplication::setFont(large);
    {
        Fixture f;
        TEditorForm editor(f.q);
        f.form.SetEditor(&editor);
        auto* status = Child<QLabel>(f.form, "StatusLabel");
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QCOMPARE(status->text(), status->toolTip()); // the first words, whole
        QVERIFY(f.form.OpenListFile(QString::fromStdString(std::string(LW_SAMPLE_DIR) + "/ShadowsOfTheBell/bell.lst")));
        fileList(f.form)->setCurrentRow(
            int(std::find(f.project.Files.begin(), f.project.Files.end(), "miss1.mis") - f.project.Files.begin()));
        QVERIFY(!Child<QGroupBox>(f.form, "MissInfoBox")->isHidden());
        f.form.show();
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form) && QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(cutControls(f.form), QStringList());
        QCOMPARE(cutControls(editor), QStringList());
        // A long path is shortened to fit, not cut off.
        QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->contentsRect().width());
        QVERIFY(status->mapTo(&f.form, QPoint(0, status->height())).y() <= f.form.height());
    }
    QApplication::setFont(before);
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
