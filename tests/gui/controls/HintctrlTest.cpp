#include "gui/controls/Hintctrl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using lw::THEdit;
using lw::THintController;

namespace {

const QString LongText = QStringLiteral("A very long fan mission name that does not fit its box at all");

void MoveOver(QWidget* w, Qt::KeyboardModifiers mods = Qt::NoModifier, Qt::MouseButtons buttons = Qt::NoButton)
{
    const QPointF local(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, w->mapToGlobal(local), Qt::NoButton, buttons, mods);
    QApplication::sendEvent(w, &move);
}

THintController* Hint()
{
    return THintController::Instance();
}

void TwoTicks()
{
    Hint()->TimerTick();
    Hint()->TimerTick();
}

} // namespace

class HintctrlTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controllerWindowNeverTakesInput();
    void longTextShowsOverTheBoxAfterTwoTicks();
    void fittingTextNeverShows();
    void movingWhileWaitingDoesNotRestart();
    void anyInteractionHidesTheHint_data();
    void anyInteractionHidesTheHint();
    void modifiersOrSpHintOffStartNoWait();
    void anotherEditTakesOver();
    void onShowHintSuppressesOrForces();
    void destroyedEditIsForgotten();
    void hintStaysOnTheScreen();
    void realTimerShowsTheHint();

private:
    std::unique_ptr<QWidget> window_;
    THEdit* edit_ = nullptr;
    THEdit* other_ = nullptr;
};

void HintctrlTest::init()
{
    window_ = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window_.get());
    edit_ = new THEdit;
    other_ = new THEdit;
    layout->addWidget(edit_);
    layout->addWidget(other_);
    edit_->setFixedWidth(120);
    other_->setFixedWidth(120);
    window_->move(100, 100);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    Hint()->ResetHint();
}

void HintctrlTest::cleanup()
{
    window_.reset();
    QCOMPARE(Hint()->HintState(), THintController::Idle);
}

void HintctrlTest::controllerWindowNeverTakesInput()
{
    const Qt::WindowFlags f = Hint()->windowFlags();
    QVERIFY(f.testFlag(Qt::WindowTransparentForInput));
    QVERIFY(f.testFlag(Qt::WindowDoesNotAcceptFocus));
    QCOMPARE(f & Qt::WindowType_Mask, Qt::ToolTip);
    QVERIFY(Hint()->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(THintController::SpHintDelay, 400);
    QVERIFY(Hint()->IsRegistered(edit_));
}

void HintctrlTest::longTextShowsOverTheBoxAfterTwoTicks()
{
    edit_->setText(LongText);
    QVERIFY(edit_->TextTooWide(LongText));
    MoveOver(edit_);
    QCOMPARE(Hint()->HintState(), THintController::Waiting);
    QCOMPARE(Hint()->Current(), static_cast<QWidget*>(edit_));
    QVERIFY(Hint()->TimerActive());

    Hint()->TimerTick();
    QCOMPARE(Hint()->HintState(), THintController::Waiting);
    QVERIFY(!Hint()->isVisible());
    Hint()->TimerTick();
    QCOMPARE(Hint()->HintState(), THintController::Showing);
    QVERIFY(Hint()->isVisible());
    QCOMPARE(Hint()->HintText(), LongText);

    // Laid over the box, as wide as the text and running past the box.
    const QRect hint = Hint()->geometry();
    const QRect box(edit_->mapToGlobal(QPoint(0, 0)), edit_->size());
    QCOMPARE(hint.top(), box.top());
    QCOMPARE(hint.height(), box.height());
    QVERIFY(hint.left() >= box.left() && hint.left() < box.left() + 10);
    QCOMPARE(hint.width(), edit_->fontMetrics().horizontalAdvance(LongText) + 5);
    QVERIFY(hint.right() > box.right());

    // Further ticks and moves inside the box change nothing.
    Hint()->TimerTick();
    MoveOver(edit_);
    QCOMPARE(Hint()->HintState(), THintController::Showing);
    QVERIFY(Hint()->isVisible());
}

void HintctrlTest::fittingTextNeverShows()
{
    edit_->setText(QStringLiteral("Short"));
    QVERIFY(!edit_->TextTooWide(edit_->text()));
    MoveOver(edit_);
    TwoTicks();
    QCOMPARE(Hint()->HintState(), THintController::Idle);
    QVERIFY(!Hint()->isVisible());
    QVERIFY(!Hint()->TimerActive());
    // The next movement starts a new wait.
    MoveOver(edit_);
    QCOMPARE(Hint()->HintState(), THintController::Waiting);
}

void HintctrlTest::movingWhileWaitingDoesNotRestart()
{
    edit_->setText(LongText);
    MoveOver(edit_);
    Hint()->TimerTick();
    MoveOver(edit_);
    QCOMPARE(Hint()->Ticks(), 1);
    Hint()->TimerTick();
    QCOMPARE(Hint()->HintState(), THintController::Showing);
}

void HintctrlTest::anyInteractionHidesTheHint_data()
{
    QTest::addColumn<int>("what");
    QTest::newRow("key") << 0;
    QTest::newRow("click") << 1;
    QTest::newRow("focus lost") << 2;
    QTest::newRow("mouse left") << 3;
    QTest::newRow("move over the hint window") << 4;
}

void HintctrlTest::anyInteractionHidesTheHint()
{
    QFETCH(int, what);
    edit_->setText(LongText);
    MoveOver(edit_);
    TwoTicks();
    QVERIFY(Hint()->isVisible());

    switch (what) {
    case 0: {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(edit_, &key);
        QVERIFY(edit_->text().endsWith('x')); // the key still reaches the edit
        break;
    }
    case 1:
        QTest::mousePress(edit_, Qt::LeftButton);
        QTest::mouseRelease(edit_, Qt::LeftButton);
        break;
    case 2: {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit_, &out);
        break;
    }
    case 3: {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(edit_, &leave);
        break;
    }
    case 4: MoveOver(Hint()); break;
    }
    QVERIFY(!Hint()->isVisible());
    QCOMPARE(Hint()->HintState(), THintController::Idle);
    QCOMPARE(Hint()->Current(), nullptr);
    QVERIFY(!Hint()->TimerActive());
}

void HintctrlTest::modifiersOrSpHintOffStartNoWait()
{
    edit_->setText(LongText);
    MoveOver(edit_, Qt::ShiftModifier);
    MoveOver(edit_, Qt::ControlModifier);
    MoveOver(edit_, Qt::NoModifier, Qt::LeftButton);
    QCOMPARE(Hint()->HintState(), THintController::Idle);

    edit_->SetSpHint(false);
    MoveOver(edit_);
    TwoTicks();
    QCOMPARE(Hint()->HintState(), THintController::Idle);
    QVERIFY(!Hint()->isVisible());
}

void HintctrlTest::anotherEditTakesOver()
{
    edit_->setText(LongText);
    other_->setText(LongText + QStringLiteral(" (other)"));
    MoveOver(edit_);
    TwoTicks();
    QVERIFY(Hint()->isVisible());
    // Moving onto another edit hides the hint and starts waiting there.
    MoveOver(other_);
    QVERIFY(!Hint()->isVisible());
    QCOMPARE(Hint()->Current(), static_cast<QWidget*>(other_));
    QCOMPARE(Hint()->HintState(), THintController::Waiting);
    QCOMPARE(Hint()->Ticks(), 0);
    TwoTicks();
    QCOMPARE(Hint()->HintText(), other_->text());
    // Events of an edit that is not Current leave the hint alone.
    QTest::keyClick(edit_, Qt::Key_A);
    QVERIFY(Hint()->isVisible());
}

void HintctrlTest::onShowHintSuppressesOrForces()
{
    edit_->setText(LongText);
    edit_->SetOnShowHint([](THEdit*, bool& show, QString&) { show = false; });
    MoveOver(edit_);
    TwoTicks();
    QCOMPARE(Hint()->HintState(), THintController::Idle);
    QVERIFY(!Hint()->isVisible());

    edit_->setText(QStringLiteral("Short"));
    THEdit* seen = nullptr;
    bool wasTooWide = true;
    edit_->SetOnShowHint([&](THEdit* sender, bool& show, QString& text) {
        seen = sender;
        wasTooWide = show;
        show = true;
        text = QStringLiteral("Forced & shown");
    });
    MoveOver(edit_);
    TwoTicks();
    QCOMPARE(seen, edit_);
    QVERIFY(!wasTooWide);
    QCOMPARE(Hint()->HintState(), THintController::Showing);
    QCOMPARE(Hint()->HintText(), QStringLiteral("Forced & shown"));
    QCOMPARE(Hint()->width(), edit_->fontMetrics().horizontalAdvance("Forced & shown") + 5);
}

void HintctrlTest::destroyedEditIsForgotten()
{
    edit_->setText(LongText);
    MoveOver(edit_);
    TwoTicks();
    QVERIFY(Hint()->isVisible());
    THEdit* gone = edit_;
    delete edit_;
    edit_ = nullptr;
    QVERIFY(!Hint()->IsRegistered(gone));
    QVERIFY(!Hint()->isVisible());
    QCOMPARE(Hint()->HintState(), THintController::Idle);
    TwoTicks(); // nothing left to call
    QCOMPARE(Hint()->HintState(), THintController::Idle);
}

void HintctrlTest::hintStaysOnTheScreen()
{
    const QRect screen = window_->screen()->geometry();
    window_->move(screen.right() - window_->width() - 5, screen.bottom() - window_->height() - 5);
    QApplication::processEvents();
    edit_->setText(LongText);
    MoveOver(edit_);
    TwoTicks();
    QVERIFY(Hint()->isVisible());
    // Moved left to end at the screen's edge, not cut.
    const QRect hint = Hint()->geometry();
    QCOMPARE(hint.right(), screen.right());
    QCOMPARE(hint.width(), edit_->fontMetrics().horizontalAdvance(LongText) + 5);
    QVERIFY(hint.bottom() <= screen.bottom());
}

void HintctrlTest::realTimerShowsTheHint()
{
    edit_->setText(LongText);
    MoveOver(edit_);
    QTRY_VERIFY(Hint()->isVisible());
    QCOMPARE(Hint()->HintState(), THintController::Showing);
    QTest::keyClick(edit_, Qt::Key_End);
    QVERIFY(!Hint()->isVisible());
}

QTEST_MAIN(HintctrlTest)
#include "HintctrlTest.moc"
