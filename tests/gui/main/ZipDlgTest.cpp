#include "gui/main/ZipDlg.h"
#include "support/Child.h"

#include <QElapsedTimer>
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
    void aShownWindowRepaintsItsBarsAFewTimesASecond();
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

void ZipDlgTest::aShownWindowRepaintsItsBarsAFewTimesASecond()
{
    // A bar repaints at once when its value changes: thousands of small
    // files must not mean thousands of repaints, yet the bars catch up.
    TZipProgress p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    auto* total = Child<QProgressBar>(p, "TotalProgress");
    auto* item = Child<QProgressBar>(p, "ItemProgress");
    int changes = 0;
    connect(total, &QProgressBar::valueChanged, [&] { ++changes; });
    constexpr int kFiles = 3000;
    p.SetTotalFiles(kFiles);
    p.SetTotalSize(kFiles * 10);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kFiles; ++i) {
        p.StartItem(QString("f%1.bin").arg(i), 10);
        p.StepItem(10);
    }
    const qint64 spent = clock.elapsed();
    QVERIFY2(changes <= spent / 30 + 2, qPrintable(QString("%1 changes in %2 ms").arg(changes).arg(spent)));
    QTest::qWait(40);
    p.StartItem("last.bin", 500);
    p.StepItem(250); // too soon after the start to be shown at once
    QTRY_COMPARE_WITH_TIMEOUT(item->value(), 250, 1000);
    QCOMPARE(total->value(), total->maximum());
    QCOMPARE(item->maximum(), 500);
    QCOMPARE(Child<QLabel>(p, "ItemText")->text(), QString("Adding last.bin..."));
}

QTEST_MAIN(ZipDlgTest)
#include "ZipDlgTest.moc"
