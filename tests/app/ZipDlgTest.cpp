#include "app/ZipDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

using namespace lw;

class ZipDlgTest : public QObject {
    Q_OBJECT
private slots:
    void countsBeforeSizeThenItemsThenFinished();
    void emptyFilesAndRunsShowNoBusyBar();
};

void ZipDlgTest::countsBeforeSizeThenItemsThenFinished()
{
    TZipProgress p;
    QCOMPARE(p.TotalText->text(), QString("Creating fan mission..."));
    p.SetTotalFiles(3);
    QCOMPARE(p.TotalText->text(), QString("Creating fan mission with 3 files (0B)"));
    p.SetTotalSize(600);
    QCOMPARE(p.TotalText->text(), QString("Creating fan mission with 3 files (0.59KB)"));
    p.StartItem("miss1.mis", 400);
    QCOMPARE(p.ItemText->text(), QString("Adding miss1.mis..."));
    p.StepItem(100);
    QCOMPARE(p.ItemProgress->value(), 100);
    QCOMPARE(p.TotalProgress->value(), 100);
    p.Finish();
    QCOMPARE(p.TotalText->text(), QString("Finished."));
    QCOMPARE(p.ItemText->text(), QString());
}

void ZipDlgTest::emptyFilesAndRunsShowNoBusyBar()
{
    // A bar with an empty range animates as if the run were stuck.
    TZipProgress p;
    p.SetTotalFiles(1);
    p.SetTotalSize(0);
    QVERIFY(p.TotalProgress->maximum() > p.TotalProgress->minimum());
    p.StartItem("empty.txt", 0);
    QVERIFY(p.ItemProgress->maximum() > p.ItemProgress->minimum());
    p.StepItem(0);
    QCOMPARE(p.ItemProgress->value(), 0);
    QCOMPARE(p.TotalProgress->value(), 0);
    p.StartItem("big.bin", 5000);
    QCOMPARE(p.ItemProgress->maximum(), 5000);
}

QTEST_MAIN(ZipDlgTest)
#include "ZipDlgTest.moc"
