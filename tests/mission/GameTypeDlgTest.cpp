#include "mission/GameTypeDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using lw::TGameTypeDialog;

class GameTypeDlgTest : public QObject {
    Q_OBJECT
private slots:
    void looksAsDesigned();
    void eachShowStartsAfresh();
    void lastClickedGameWins();
    void enterDoesNothingWhileOkIsDisabled();
    void escapeCancels();
    void runsModally();
};

namespace {
bool AnyChecked(const TGameTypeDialog& d)
{
    return d.T1Button->isChecked() || d.T2Button->isChecked() || d.T2xButton->isChecked();
}
} // namespace

void GameTypeDlgTest::looksAsDesigned()
{
    TGameTypeDialog d;
    QCOMPARE(d.windowTitle(), QStringLiteral("What Game Is This For?"));
    QCOMPARE(d.Label1->text(), QStringLiteral("The game type for this mission could not be determined."));
    QCOMPARE(d.Label2->text(), QStringLiteral("Please select which game this is intended for."));
    QCOMPARE(d.T1Button->text(), QStringLiteral("Thief 1"));
    QCOMPARE(d.T2Button->text(), QStringLiteral("Thief 2"));
    QCOMPARE(d.T2xButton->text(), QStringLiteral("Thief 2x"));
    QVERIFY(d.OKBtn->isDefault());
    QCOMPARE(d.SelectedGame(), -1);

    // Tab order: OK, Cancel, then the radios, and round again.
    QList<QWidget*> order;
    QWidget* w = d.OKBtn;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != d.OKBtn && order.size() < 10);
    QCOMPARE(order, (QList<QWidget*>{d.OKBtn, d.CancelBtn, d.T1Button, d.T2Button, d.T2xButton}));

    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    // A fixed size that holds all its text.
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(d.Label1->width() >= d.Label1->sizeHint().width());
}

void GameTypeDlgTest::eachShowStartsAfresh()
{
    TGameTypeDialog d;
    for (int round = 0; round < 2; ++round) {
        d.show();
        QVERIFY(!AnyChecked(d));
        QVERIFY(!d.OKBtn->isEnabled());
        QCOMPARE(d.SelectedGame(), -1);
        d.T2xButton->click();
        QVERIFY(d.OKBtn->isEnabled());
        QCOMPARE(d.SelectedGame(), 2);
        d.OKBtn->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
    }
}

void GameTypeDlgTest::lastClickedGameWins()
{
    TGameTypeDialog d;
    d.show();
    d.T2Button->click();
    d.T1Button->click();
    QVERIFY(d.T1Button->isChecked());
    QVERIFY(!d.T2Button->isChecked());
    d.OKBtn->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 0);
}

void GameTypeDlgTest::enterDoesNothingWhileOkIsDisabled()
{
    TGameTypeDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    // Enter with the focus on Cancel, on a radio and on the dialog itself.
    for (QWidget* target : {static_cast<QWidget*>(d.CancelBtn), static_cast<QWidget*>(d.T1Button),
                            static_cast<QWidget*>(&d)}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QVERIFY(d.isVisible());
    }
    // Once a game is picked, Enter means OK.
    d.T2Button->click();
    QTest::keyClick(d.T2Button, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 1);
}

void GameTypeDlgTest::escapeCancels()
{
    TGameTypeDialog d;
    d.show();
    d.T2Button->click();
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
}

void GameTypeDlgTest::runsModally()
{
    TGameTypeDialog d;
    QTimer::singleShot(0, &d, [&] {
        d.T2xButton->click();
        d.T1Button->click();
        d.OKBtn->click();
    });
    QCOMPARE(d.exec(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 0);

    QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
    QCOMPARE(d.exec(), int(QDialog::Rejected));
    QCOMPARE(d.SelectedGame(), -1);  // the new showing forgot the old choice
}

QTEST_MAIN(GameTypeDlgTest)
#include "GameTypeDlgTest.moc"
