#include "app/ZipDlg.h"
#include "support/Child.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace lw;
using lw::test::Child;

class ZipDlgTest : public QObject {
    Q_OBJECT
private slots:
    void countsBeforeSizeThenItemsThenFinished();
    void emptyFilesAndRunsShowNoBusyBar();
    void onlyTheButtonStopsARun();
};

void ZipDlgTest::countsBeforeSizeThenItemsThenFinished()
{
    TZipProgress p;
    auto* totalText = Child<QLabel>(p, "TotalText");
    auto* itemText = Child<QLabel>(p, "ItemText");
    auto* itemProgress = Child<QProgressBar>(p, "ItemProgress");
    auto* totalProgress = Child<QProgressBar>(p, "TotalProgress");
    QCOMPARE(totalText->text(), QString("Creating fan mission..."));
    p.SetTotalFiles(3);
    QCOMPARE(totalText->text(), QString("Creating fan mission with 3 files (0B)"));
    p.SetTotalSize(600);
    QCOMPARE(totalText->text(), QString("Creating fan mission with 3 files (0.59KB)"));
    p.StartItem("miss1.mis", 400);
    QCOMPARE(itemText->text(), QString("Adding miss1.mis..."));
    p.StepItem(100);
    QCOMPARE(itemProgress->value(), 100);
    QCOMPARE(totalProgress->value(), 100);
    p.Finish();
    QCOMPARE(totalText->text(), QString("Finished."));
    QCOMPARE(itemText->text(), QString());
}

void ZipDlgTest::emptyFilesAndRunsShowNoBusyBar()
{
    // A bar with an empty range animates as if the run were stuck.
    TZipProgress p;
    auto* itemProgress = Child<QProgressBar>(p, "ItemProgress");
    auto* totalProgress = Child<QProgressBar>(p, "TotalProgress");
    p.SetTotalFiles(1);
    p.SetTotalSize(0);
    QVERIFY(totalProgress->maximum() > totalProgress->minimum());
    p.StartItem("empty.txt", 0);
    QVERIFY(itemProgress->maximum() > itemProgress->minimum());
    p.StepItem(0);
    QCOMPARE(itemProgress->value(), 0);
    QCOMPARE(totalProgress->value(), 0);
    p.StartItem("big.bin", 5000);
    QCOMPARE(itemProgress->maximum(), 5000);
}

void ZipDlgTest::onlyTheButtonStopsARun()
{
    TZipProgress p;
    auto* cancel = Child<QPushButton>(p, "CancelButton");
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    cancel->setFocus();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&p, Qt::Key(key));
        QVERIFY(!p.Cancelled());
        QVERIFY(p.isVisible());
    }
    QTest::keyClick(cancel, Qt::Key_Space);
    QVERIFY(p.Cancelled());
}

QTEST_MAIN(ZipDlgTest)
#include "ZipDlgTest.moc"
