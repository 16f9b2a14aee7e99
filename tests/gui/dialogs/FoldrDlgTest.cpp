#include "gui/dialogs/FoldrDlg.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <QScreen>

using lw::TFolderDialog;

namespace {

// Runs action on the folder dialog once it is open and modal. The action
// must close it.
void WhenOpen(std::function<void(QDialog*, QFileDialog*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        action(dialog, dialog->findChild<QFileDialog*>(QStringLiteral("chooser")));
    });
    timer->start();
}

QString Clean(const QString& p)
{
    return QDir::cleanPath(p);
}

// The chooser's own OK button, as the user would press it.
void ClickOk(QFileDialog* chooser)
{
    auto* box = chooser->findChild<QDialogButtonBox*>();
    QVERIFY(box);
    QPushButton* ok = box->button(QDialogButtonBox::Open);
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    ok->click();
}

} // namespace

class FoldrDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void directoryRulesWhileClosed();
    void chooseShowsCaptionTextAndStart();
    void cancelEmptiesDirectory();
    void secondExecuteStartsAtFirstResult();
    void nonDirectoryIsRefused();
    void optionsFollowTheRules();
    void staysOnTheScreenOverAWindowAtItsEdge();

private:
    QTemporaryDir tmp_;
    QString sub_;
};

void FoldrDlgTest::init()
{
    QVERIFY(tmp_.isValid());
    sub_ = Clean(tmp_.path() + "/Mission One");
    QVERIFY(QDir().mkpath(sub_ + "/inner"));
}

void FoldrDlgTest::directoryRulesWhileClosed()
{
    TFolderDialog dlg;
    QCOMPARE(dlg.Title(), QStringLiteral("Browse for Folder"));
    QVERIFY(dlg.Directory().isEmpty());
    QVERIFY(dlg.Selection().isEmpty());

    dlg.SetDirectory(sub_ + "/.");
    QCOMPARE(dlg.Directory(), sub_ + "/."); // kept as given
    QCOMPARE(dlg.Selection(), sub_);        // selected without the dot
    dlg.SetDirectory(sub_ + "/");
    QCOMPARE(dlg.Selection(), sub_);
    dlg.SetDirectory("/");
    QCOMPARE(dlg.Selection(), QStringLiteral("/"));
    dlg.SetDirectory(sub_ + "/no such folder");
    QVERIFY(dlg.Selection().isEmpty());
}

void FoldrDlgTest::chooseShowsCaptionTextAndStart()
{
    TFolderDialog dlg;
    dlg.SetTitle("Where Is This Mission?");
    dlg.SetText("Please select the directory where this mission's files are.");
    dlg.SetDirectory(sub_);
    int changes = 0;
    connect(&dlg, &TFolderDialog::changed, this, [&](const QString&) { ++changes; });

    QString title, text, start, openDirectory;
    WhenOpen([&](QDialog* d, QFileDialog* chooser) {
        title = d->windowTitle();
        if (auto* label = d->findChild<QLabel*>("instruction")) text = label->text();
        start = Clean(chooser->directory().absolutePath());
        openDirectory = dlg.Directory();
        chooser->setDirectory(sub_ + "/inner");
        ClickOk(chooser);
    });
    QVERIFY(dlg.Execute());
    QCOMPARE(title, QStringLiteral("Where Is This Mission?"));
    QCOMPARE(text, QStringLiteral("Please select the directory where this mission's files are."));
    QCOMPARE(start, sub_);
    QCOMPARE(openDirectory, sub_); // read from the live dialog while open
    QCOMPARE(dlg.Directory(), sub_ + "/inner");
    QVERIFY(!dlg.Directory().endsWith('/'));
    QVERIFY(changes > 0);
    QVERIFY(dlg.Dialog() == nullptr);
}

void FoldrDlgTest::cancelEmptiesDirectory()
{
    TFolderDialog dlg;
    dlg.SetDirectory(sub_);
    WhenOpen(
        [](QDialog* d, QFileDialog*) { QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Escape); });
    QVERIFY(!dlg.Execute());
    QVERIFY(dlg.Directory().isEmpty());
    QVERIFY(dlg.Selection().isEmpty());

    // The next run starts at the default (the home folder), not at the
    // cancelled one.
    QString start;
    WhenOpen([&](QDialog* d, QFileDialog* chooser) {
        start = Clean(chooser->directory().absolutePath());
        d->reject();
    });
    QVERIFY(!dlg.Execute());
    QCOMPARE(start, Clean(QDir::homePath()));
}

void FoldrDlgTest::secondExecuteStartsAtFirstResult()
{
    TFolderDialog dlg;
    dlg.SetDirectory(sub_);
    WhenOpen([&](QDialog*, QFileDialog* chooser) {
        chooser->setDirectory(sub_ + "/inner");
        ClickOk(chooser);
    });
    QVERIFY(dlg.Execute());
    QString start;
    WhenOpen([&](QDialog*, QFileDialog* chooser) {
        start = Clean(chooser->directory().absolutePath());
        ClickOk(chooser);
    });
    QVERIFY(dlg.Execute());
    QCOMPARE(start, sub_ + "/inner");
    QCOMPARE(dlg.Directory(), sub_ + "/inner");
}

void FoldrDlgTest::nonDirectoryIsRefused()
{
    TFolderDialog dlg;
    dlg.SetDirectory(sub_);
    bool stayedOpen = false;
    WhenOpen([&](QDialog* d, QFileDialog* chooser) {
        auto* edit = chooser->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(edit);
        edit->setText("does not exist");
        ClickOk(chooser);
        stayedOpen = d->isVisible() && QApplication::activeModalWidget() == d;
        d->reject();
    });
    QVERIFY(!dlg.Execute());
    QVERIFY(stayedOpen);
}

void FoldrDlgTest::staysOnTheScreenOverAWindowAtItsEdge()
{
    // An owner in the screen's bottom-right corner: centred over it, the
    // chooser would hang off the screen.
    QWidget owner;
    const QRect screen = owner.screen()->availableGeometry();
    owner.setGeometry(screen.right() - 120, screen.bottom() - 80, 100, 60);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    TFolderDialog dlg(&owner);
    dlg.SetDirectory(sub_);
    QRect placed;
    WhenOpen([&](QDialog* d, QFileDialog*) {
        placed = d->frameGeometry();
        d->reject();
    });
    dlg.Execute();
    QVERIFY(!placed.isEmpty());
    QVERIFY2(screen.contains(placed.topLeft()) && placed.right() <= screen.right() &&
                 placed.bottom() <= screen.bottom(),
             qPrintable(QStringLiteral("%1,%2 %3x%4 on %5x%6")
                            .arg(placed.x())
                            .arg(placed.y())
                            .arg(placed.width())
                            .arg(placed.height())
                            .arg(screen.width())
                            .arg(screen.height())));
}

void FoldrDlgTest::optionsFollowTheRules()
{
    using O = lw::FolderOption;
    TFolderDialog dlg;
    QCOMPARE(dlg.Options(), lw::FolderOptions::Defaults());
    // The defaults hold both status options: asking for the path alone
    // drops the status line, which then drops the path.
    dlg.SetOptions({O::ShowPathInStatusArea});
    QCOMPARE(dlg.Options(), lw::FolderOptions{});
    dlg.SetOptions({O::ShowPathInStatusArea});
    QCOMPARE(dlg.Options(), (lw::FolderOptions{O::StatusText, O::ShowPathInStatusArea}));
    dlg.SetOptions({O::ScreenCenter});
    dlg.SetOptions({O::ScreenCenter, O::ParentCenter});
    QCOMPARE(dlg.Options(), lw::FolderOptions{O::ParentCenter});
    dlg.SetOptions({O::BrowseForComputer, O::FileSysDirsOnly});
    QCOMPARE(dlg.Options(), lw::FolderOptions{O::BrowseForComputer});
    QCOMPARE(dlg.RootFolder(), lw::ShellFolder::Network);
}

QTEST_MAIN(FoldrDlgTest)
#include "FoldrDlgTest.moc"
