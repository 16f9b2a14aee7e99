#include "gui/dialogs/GameTypeDlg.h"
#include "support/Child.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using lw::TGameTypeDialog;
using lw::test::Child;

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

// The dialog's controls, found by the names the dialog gives them.
struct Controls {
    QLabel* Label1;
    QLabel* Label2;
    QRadioButton* T1Button;
    QRadioButton* T2Button;
    QRadioButton* T2xButton;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    explicit Controls(const TGameTypeDialog& d)
        : Label1(Child<QLabel>(d, "Label1")), Label2(Child<QLabel>(d, "Label2")),
          T1Button(Child<QRadioButton>(d, "T1Button")), T2Button(Child<QRadioButton>(d, "T2Button")),
          T2xButton(Child<QRadioButton>(d, "T2xButton")), OKBtn(Child<QPushButton>(d, "OKBtn")),
          CancelBtn(Child<QPushButton>(d, "CancelBtn"))
    {
    }
};

bool AnyChecked(const TGameTypeDialog& d)
{
    const Controls c(d);
    return c.T1Button->isChecked() || c.T2Button->isChecked() || c.T2xButton->isChecked();
}

} // namespace

void GameTypeDlgTest::looksAsDesigned()
{
    TGameTypeDialog d;
    const Controls c(d);
    QCOMPARE(d.windowTitle(), QStringLiteral("What Game Is This For?"));
    QCOMPARE(c.Label1->text(), QStringLiteral("The game type for this mission could not be determined."));
    QCOMPARE(c.Label2->text(), QStringLiteral("Please select which game this is intended for."));
    QCOMPARE(c.T1Button->text(), QStringLiteral("Thief 1"));
    QCOMPARE(c.T2Button->text(), QStringLiteral("Thief 2"));
    QCOMPARE(c.T2xButton->text(), QStringLiteral("Thief 2x"));
    QVERIFY(c.OKBtn->isDefault());
    QCOMPARE(d.SelectedGame(), -1);

    // Tab order: OK, Cancel, then the radios, and round again.
    QList<QWidget*> order;
    QWidget* w = c.OKBtn;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order << w;
        w = w->nextInFocusChain();
    } while (w != c.OKBtn && order.size() < 10);
    QCOMPARE(order, (QList<QWidget*>{c.OKBtn, c.CancelBtn, c.T1Button, c.T2Button, c.T2xButton}));

    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    // A fixed size that holds all its text.
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(c.Label1->width() >= c.Label1->sizeHint().width());
}

void GameTypeDlgTest::eachShowStartsAfresh()
{
    TGameTypeDialog d;
    const Controls c(d);
    for (int round = 0; round < 2; ++round) {
        d.show();
        QVERIFY(!AnyChecked(d));
        QVERIFY(!c.OKBtn->isEnabled());
        QCOMPARE(d.SelectedGame(), -1);
        c.T2xButton->click();
        QVERIFY(c.OKBtn->isEnabled());
        QCOMPARE(d.SelectedGame(), 2);
        c.OKBtn->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
    }
}

void GameTypeDlgTest::lastClickedGameWins()
{
    TGameTypeDialog d;
    const Controls c(d);
    d.show();
    c.T2Button->click();
    c.T1Button->click();
    QVERIFY(c.T1Button->isChecked());
    QVERIFY(!c.T2Button->isChecked());
    c.OKBtn->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 0);
}

void GameTypeDlgTest::enterDoesNothingWhileOkIsDisabled()
{
    TGameTypeDialog d;
    const Controls c(d);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    // Enter with the focus on Cancel, on a radio and on the dialog itself.
    for (QWidget* target :
         {static_cast<QWidget*>(c.CancelBtn), static_cast<QWidget*>(c.T1Button), static_cast<QWidget*>(&d)}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QVERIFY(d.isVisible());
    }
    // Once a game is picked, Enter means OK.
    c.T2Button->click();
    QTest::keyClick(c.T2Button, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 1);
}

void GameTypeDlgTest::escapeCancels()
{
    TGameTypeDialog d;
    const Controls c(d);
    d.show();
    c.T2Button->click();
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
}

void GameTypeDlgTest::runsModally()
{
    TGameTypeDialog d;
    const Controls c(d);
    QTimer::singleShot(0, &d, [&] {
        c.T2xButton->click();
        c.T1Button->click();
        c.OKBtn->click();
    });
    QCOMPARE(d.exec(), int(QDialog::Accepted));
    QCOMPARE(d.SelectedGame(), 0);

    QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
    QCOMPARE(d.exec(), int(QDialog::Rejected));
    QCOMPARE(d.SelectedGame(), -1); // the new showing forgot the old choice
}

QTEST_MAIN(GameTypeDlgTest)
#include "GameTypeDlgTest.moc"
