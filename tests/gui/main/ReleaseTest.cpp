// What loaders show, made in the window: the release details go into
// fm.ini and the archive, and come back on opening; the thumbnail is a
// small JPEG in the list.
#include "base/FileIO.h"
#include "core/fm/FMIni.h"
#include "gui/dialogs/CreateFM.h"
#include "gui/dialogs/ReleaseDlg.h"
#include "gui/main/FMmain.h"
#include "support/ScriptedGuiQuestions.h"
#include "support/TagFiles.h"
#include "support/TempDir.h"
#include "support/WindowParts.h"
#include "support/ZipTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace lw;
using lw::test::Child;
using lw::test::fileList;
using lw::test::ScriptedGuiQuestions;
using lw::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Fixture {
    ScriptedGuiQuestions q;
    Project project;
    TMainForm form{q, project};
    TCreateDialog create{q, &form};
    Fixture() { form.SetCreateDialog(&create); }

    void newProject(const std::string& dir, const QString& name, const QString& shortName)
    {
        q.core.folders.push_back(dir);
        q.dialogs.push_back([=](QDialog& d) {
            Child<QPushButton>(d, "FMDirButton")->click();
            Child<QLineEdit>(d, "NameEdit")->setText(name);
            Child<QLineEdit>(d, "ShortNameEdit")->setText(shortName);
            static_cast<TCreateDialog&>(d).accept();
        });
        Child<QAction>(form, "CreateButton")->trigger();
    }
    // Runs the Release dialog through script.
    void release(const std::function<void(QDialog&)>& script)
    {
        q.dialogs.push_back(script);
        Child<QPushButton>(form, "ReleaseButton")->click();
    }
};

QStringList listed(const TMainForm& w)
{
    QStringList out;
    for (int i = 0; i < fileList(w)->count(); ++i) out << fileList(w)->item(i)->text();
    return out;
}

QCheckBox* tag(QDialog& d, const char* t)
{
    return Child<QCheckBox>(d, (QStringLiteral("Tag:") + QString::fromUtf8(t)).toUtf8().constData());
}

QStringList checkedTags(QDialog& d)
{
    QStringList out;
    for (QCheckBox* box : d.findChildren<QCheckBox*>())
        if (box->objectName().startsWith("Tag:") && box->isChecked()) out << box->objectName().mid(4);
    out.sort();
    return out;
}

// A picture of w x h, its left half clear, the rest red.
std::string writePicture(const TempDir& t, const std::string& name, int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(w / 2, 0, w - w / 2, h, Qt::red);
    const std::string path = t / name;
    image.save(QString::fromStdString(path));
    return path;
}

} // namespace

class ReleaseTest : public QObject {
    Q_OBJECT
private slots:
    void releaseGoesIntoTheArchiveAndComesBack();
    void dialogRefusesWhatFmIniCannotHold();
    void enterMeansOkAfterTheFocusPassedCancel();
    void thumbnailIsASmallJpegInTheList();
};

void ReleaseTest::releaseGoesIntoTheArchiveAndComesBack()
{
    TempDir t;
    t.write("thief2.exe");
    t.write("miss1.mis", lw::test::PlainMission());
    t.write("fminfo.txt", "Title: The Bell\r\nAuthor: A. Smith\r\n");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    f.q.core.openFileLists.push_back({t / "miss1.mis"});
    Child<QPushButton>(f.form, "AddFileButton")->click();
    Child<QLineEdit>(f.form, "FMName")->setText("The Bell"); // an English titles file

    // Offered at first: the titles' language and the info file's author.
    f.release([](QDialog& d) {
        QCOMPARE(checkedTags(d), QStringList{"language:English"});
        QCOMPARE(Child<QLineEdit>(d, "AuthorTags")->text(), QString("A. Smith"));
        QCOMPARE(Child<QLineEdit>(d, "NiceNameEdit")->placeholderText(), QString("The Bell"));
        QVERIFY(!Child<QCheckBox>(d, "ReleaseDateCheck")->isChecked()); // the day of the first Zip
        Child<QLineEdit>(d, "NiceNameEdit")->setText("The Bell (Director's Cut)");
        Child<QCheckBox>(d, "ReleaseDateCheck")->setChecked(true);
        Child<QDateEdit>(d, "ReleaseDateEdit")->setDate(QDate(2024, 5, 17));
        Child<QPlainTextEdit>(d, "DescrEdit")->setPlainText("A bell\n\"rings\"\tat C:\\night");
        tag(d, "genre:horror")->setChecked(true);
        tag(d, "campaign")->setChecked(true);
        Child<QLineEdit>(d, "SeriesTags")->setText("Bells");
        static_cast<TReleaseDialog&>(d).accept();
    });
    QVERIFY(!listed(f.form).contains("fm.ini")); // written by Save and Zip
    f.q.core.saveFiles.push_back(std::nullopt);  // a Zip given up in its dialog writes none
    Child<QAction>(f.form, "ZipButton")->trigger();
    QVERIFY(!t.exists("fm.ini"));

    f.q.core.saveFiles.push_back(t / "bell.zip");
    Child<QAction>(f.form, "ZipButton")->trigger();
    QVERIFY2(f.q.core.messages.empty(), f.q.core.messages.empty() ? "" : f.q.core.messages.back().c_str());
    QVERIFY(listed(f.form).contains("fm.ini"));

    // In the archive, as the table of keys says.
    const auto entries = lw::ziptest::ReadArchive(t.path() / "bell.zip");
    QVERIFY(entries.count("fm.ini"));
    const std::string bytes = entries.at("fm.ini").bytes;
    QCOMPARE(QString::fromStdString(bytes),
             QString("NiceName=The Bell (Director's Cut)\r\nReleaseDate=664746C0\r\nInfoFile=fminfo.txt\r\n"
                     "Tags=author:A. Smith,genre:horror,language:English,series:Bells,campaign\r\n"
                     "Descr=A bell\\n\\\"rings\\\"\\tat C:\\\\night\r\n"));
    const FMIniFile ini = FMIniFile::Parse(bytes);
    QVERIFY(entries.count(*ini.Value("infofile"))); // the info file as stored, letter case and all
    QCOMPARE(ParseHexTime(*ini.Value("releasedate")), std::optional<int64_t>(ReleaseTimeOfDay(2024, 5, 17)));
    QCOMPARE(QString::fromStdString(UnescapeDescr(*ini.Value("descr"))), QString("A bell\n\"rings\"\tat C:\\night"));

    // Saved with the list and opened again: the same values, and nothing
    // to write while they stay.
    f.q.core.saveFiles.push_back(t / "bell.lst");
    Child<QAction>(f.form, "SaveButton")->trigger();
    const FileStamp written = StampOf(t.path() / "fm.ini");
    Fixture g;
    QVERIFY(g.form.OpenListFile(QString::fromStdString(t / "bell.lst")));
    g.release([](QDialog& d) {
        QCOMPARE(Child<QLineEdit>(d, "NiceNameEdit")->text(), QString("The Bell (Director's Cut)"));
        QVERIFY(Child<QCheckBox>(d, "ReleaseDateCheck")->isChecked());
        QCOMPARE(Child<QDateEdit>(d, "ReleaseDateEdit")->date(), QDate(2024, 5, 17));
        QCOMPARE(Child<QPlainTextEdit>(d, "DescrEdit")->toPlainText(), QString("A bell\n\"rings\"\tat C:\\night"));
        QCOMPARE(checkedTags(d), QStringList({"campaign", "genre:horror", "language:English"}));
        QCOMPARE(Child<QLineEdit>(d, "AuthorTags")->text(), QString("A. Smith"));
        QCOMPARE(Child<QLineEdit>(d, "SeriesTags")->text(), QString("Bells"));
        QCOMPARE(Child<QLineEdit>(d, "OtherTagsEdit")->text(), QString());
        static_cast<TReleaseDialog&>(d).accept(); // OK with nothing changed
    });
    QVERIFY(!g.project.HasUnsavedChanges());
    g.q.core.saveFiles.push_back(t / "bell.lst");
    Child<QAction>(g.form, "SaveButton")->trigger();
    QVERIFY(StampOf(t.path() / "fm.ini") == written);
    // A change is one that New, Open and closing ask about.
    g.release([](QDialog& d) {
        Child<QPlainTextEdit>(d, "DescrEdit")->setPlainText("Rings at dawn.");
        static_cast<TReleaseDialog&>(d).accept();
    });
    QVERIFY(g.project.HasUnsavedChanges());
    g.q.core.saveFiles.push_back(t / "bell.lst");
    Child<QAction>(g.form, "SaveButton")->trigger();
    QVERIFY(!g.project.HasUnsavedChanges());
    QVERIFY(t.read("fm.ini").find("Descr=Rings at dawn.\r\n") != std::string::npos);
}

void ReleaseTest::dialogRefusesWhatFmIniCannotHold()
{
    TempDir t;
    t.write("thief.exe");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    bool closed = true;
    auto tryOk = [&](const std::function<void(QDialog&)>& fill) {
        f.release([&](QDialog& d) {
            fill(d);
            static_cast<TReleaseDialog&>(d).accept();
            closed = d.result() == QDialog::Accepted;
        });
    };
    // 1,500 characters as written, a line break counting two.
    tryOk([](QDialog& d) { Child<QPlainTextEdit>(d, "DescrEdit")->setPlainText(QString(1499, 'x') + "\n"); });
    QVERIFY(!closed);
    tryOk([](QDialog& d) { Child<QLineEdit>(d, "AuthorTags")->setText("A; B"); });
    QVERIFY(!closed);
    tryOk([](QDialog& d) { Child<QLineEdit>(d, "OtherTagsEdit")->setText("mood:dark/gloomy"); });
    QVERIFY(!closed);
    QVERIFY(!f.project.Release.wanted);
    QCOMPARE(f.project.Release.values, ReleaseInfo{});
    tryOk([](QDialog& d) {
        Child<QPlainTextEdit>(d, "DescrEdit")->setPlainText(QString(1498, 'x') + "\n");
        Child<QLineEdit>(d, "AuthorTags")->setText("A, B");
        Child<QLineEdit>(d, "OtherTagsEdit")->setText("mood:gloomy");
    });
    QVERIFY(closed);
    QCOMPARE(f.project.Release.values.tags, (std::vector<std::string>{"author:A", "author:B", "mood:gloomy"}));
}

void ReleaseTest::enterMeansOkAfterTheFocusPassedCancel()
{
    TReleaseDialog d;
    d.SetValues({}, "Bell");
    QVERIFY(lw::test::activate(d));
    Child<QPushButton>(d, "CancelButton")->setFocus(); // Tab on its way round
    auto* name = Child<QLineEdit>(d, "NiceNameEdit");
    name->setFocus();
    QTest::keyClicks(name, "The Bell");
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.Values().niceName, std::string("The Bell"));
}

void ReleaseTest::thumbnailIsASmallJpegInTheList()
{
    TempDir t;
    t.write("thief2.exe");
    Fixture f;
    f.newProject(t.path().string(), "Bell", "bell");
    QVERIFY(Child<QLabel>(f.form, "ThumbView")->pixmap().isNull());

    auto thumbnail = [&](const std::string& picture) {
        f.q.core.openFiles.push_back(picture);
        Child<QPushButton>(f.form, "ThumbButton")->click();
    };
    auto madeSize = [&] {
        QImageReader reader(QString::fromStdString(t / "fmthumb.jpg"));
        return reader.format() == "jpeg" ? reader.size() : QSize();
    };
    // Wide: scaled to 640 across, keeping its shape; clear parts white.
    thumbnail(writePicture(t, "shot.png", 1000, 500));
    QCOMPARE(madeSize(), QSize(640, 320));
    QCOMPARE(listed(f.form).count("fmthumb.jpg"), 1);
    QVERIFY(!Child<QLabel>(f.form, "ThumbView")->pixmap().isNull());
    const QImage made(QString::fromStdString(t / "fmthumb.jpg"));
    QVERIFY(qGray(made.pixel(10, 10)) > 240);
    QVERIFY(qRed(made.pixel(600, 10)) > 200 && qGreen(made.pixel(600, 10)) < 60);

    // Small: kept as it is, once the author agrees to replace the one there.
    const std::string small = writePicture(t, "small.bmp", 300, 200);
    thumbnail(small);
    QCOMPARE(madeSize(), QSize(640, 320)); // not replaced without a yes
    QCOMPARE(f.q.core.questions.size(), size_t(1));
    f.q.core.answers.push_back(Answer::Yes);
    thumbnail(small);
    QCOMPARE(madeSize(), QSize(300, 200));
    QCOMPARE(listed(f.form).count("fmthumb.jpg"), 1);

    // No picture: said, and nothing changes.
    t.write("notes.txt", "not a picture");
    thumbnail(t / "notes.txt");
    QCOMPARE(f.q.core.messages.size(), size_t(1));
    QVERIFY(f.q.core.messages[0].find("notes.txt") != std::string::npos);
    QCOMPARE(madeSize(), QSize(300, 200));

#if !defined(_WIN32)
    // A thumbnail turned into a pipe since it was listed is never waited
    // on: a writer that finds a reader there (ending its wait) says the
    // window read it.
    fs::remove(t.path() / "fmthumb.jpg");
    QCOMPARE(mkfifo((t.path() / "fmthumb.jpg").c_str(), 0600), 0);
    std::atomic<bool> shown{false}, waited{false};
    std::thread writer([&] {
        while (!shown) {
            const int fd = ::open((t.path() / "fmthumb.jpg").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                waited = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    f.q.core.openFileLists.push_back({t / "notes.txt"}); // the list changes: the thumbnail is shown again
    Child<QPushButton>(f.form, "AddFileButton")->click();
    shown = true;
    writer.join();
    QVERIFY(!waited);
    QVERIFY(Child<QLabel>(f.form, "ThumbView")->pixmap().isNull());
#endif
}

QTEST_MAIN(ReleaseTest)
#include "ReleaseTest.moc"
