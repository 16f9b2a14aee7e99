#include "gui/controls/Hintctrl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

#include <algorithm>

namespace lw {

namespace {
THintController* instance = nullptr;

// QLineEdit keeps this gap between its contents rectangle and the text.
constexpr int LineEditTextMargin = 2;
} // namespace

// ---- THintController -------------------------------------------------------

THintController::THintController()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    timer_.setInterval(SpHintDelay);
    connect(&timer_, &QTimer::timeout, this, &THintController::TimerTick);
}

THintController::~THintController()
{
    if (instance == this) instance = nullptr;
}

THintController* THintController::Instance()
{
    if (!instance) {
        instance = new THintController;
        // Widgets must go while the application object still exists; its
        // destructor runs the post routines first.
        qAddPostRoutine(&THintController::DestroyInstance);
    }
    return instance;
}

void THintController::DestroyInstance()
{
    delete instance;
    instance = nullptr;
}

bool THintController::IsRegistered(QWidget* edit) const
{
    return std::find(edits_.begin(), edits_.end(), edit) != edits_.end();
}

void THintController::RegisterEdit(QWidget* edit, THintCallback callback)
{
    edits_.push_back(edit);
    procs_.push_back(std::move(callback));
}

void THintController::UnregisterEdit(QWidget* edit)
{
    if (edit == current_) ResetHint();
    const auto it = std::find(edits_.begin(), edits_.end(), edit);
    if (it == edits_.end()) return;
    procs_.erase(procs_.begin() + (it - edits_.begin()));
    edits_.erase(it);
}

void THintController::ResetHint()
{
    timer_.stop();
    timer_.setInterval(SpHintDelay);
    ticks_ = 0;
    if (state_ == Showing) hide();
    current_ = nullptr;
    state_ = Idle;
}

void THintController::MouseOverEdit(QWidget* edit)
{
    if (edit != current_) ResetHint();
    if (current_ == nullptr) {
        current_ = edit;
        state_ = Waiting;
        timer_.start();
    }
}

void THintController::TimerTick()
{
    if (state_ != Waiting) return;
    if (ticks_ > 0) ShowHintFor(current_);
    else
        ++ticks_;
}

void THintController::ShowHintFor(QWidget* edit)
{
    ticks_ = 0;
    const auto it = std::find(edits_.begin(), edits_.end(), edit);
    const bool shown = it != edits_.end() && procs_[size_t(it - edits_.begin())] &&
                       procs_[size_t(it - edits_.begin())](QCursor::pos());
    if (shown) state_ = Showing;
    else
        ResetHint();
}

void THintController::ActivateHint(QRect rect, const QString& text)
{
    text_ = text;
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen && current_) screen = current_->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect s = screen->geometry();
        if (rect.bottom() > s.bottom()) rect.moveBottom(s.bottom());
        if (rect.right() > s.right()) rect.moveRight(s.right());
    }
    if (rect.left() < 0) rect.moveLeft(0);
    setGeometry(rect);
    update();
    show();
    raise();
}

void THintController::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::ToolTipText));
    // The edit's text is centred vertically; so is the hint's, to line up.
    // No accelerator processing: "&" is an ordinary character here.
    p.drawText(rect().adjusted(2, 1, -1, -1), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text_);
}

void THintController::mouseMoveEvent(QMouseEvent* event)
{
    ResetHint();
    QWidget::mouseMoveEvent(event);
}

// ---- THEdit ----------------------------------------------------------------

THEdit::THEdit(QWidget* parent) : QLineEdit(parent)
{
    setMouseTracking(true);
    THintController::Instance()->RegisterEdit(this, [this](const QPoint& pos) { return DoSpHint(pos); });
}

THEdit::~THEdit()
{
    // An edit that outlives the application finds no controller to leave.
    if (instance) instance->UnregisterEdit(this);
}

QRect THEdit::TextArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins m = textMargins();
    r.adjust(m.left() + LineEditTextMargin, m.top(), -m.right() - LineEditTextMargin, -m.bottom());
    return r;
}

bool THEdit::TextTooWide(const QString& text) const
{
    return fontMetrics().horizontalAdvance(text) > TextArea().width();
}

bool THEdit::DoSpHint(const QPoint& cursorPos)
{
    Q_UNUSED(cursorPos);
    QString text = this->text();
    bool showHint = TextTooWide(text);
    if (onShowHint_) onShowHint_(this, showHint, text);
    if (!showHint) return false;

    THintController* hint = THintController::Instance();
    hint->setFont(font());
    // Laid over the box so that the hint's text continues the edit's text:
    // the hint draws its text 2 pixels inside its left edge.
    const QRect area = TextArea();
    const QPoint topLeft = mapToGlobal(QPoint(area.left() - 2, 0));
    const int width = QFontMetrics(font()).horizontalAdvance(text) + 5;
    hint->ActivateHint(QRect(topLeft, QSize(width, height())), text);
    return true;
}

void THEdit::ResetIfCurrent()
{
    if (instance && instance->Current() == this) instance->ResetHint();
}

void THEdit::mouseMoveEvent(QMouseEvent* event)
{
    const auto mods = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (spHint_ && event->buttons() == Qt::NoButton && !(event->modifiers() & mods))
        THintController::Instance()->MouseOverEdit(this);
    QLineEdit::mouseMoveEvent(event);
}

void THEdit::mousePressEvent(QMouseEvent* event)
{
    ResetIfCurrent();
    QLineEdit::mousePressEvent(event);
}

void THEdit::keyPressEvent(QKeyEvent* event)
{
    ResetIfCurrent();
    QLineEdit::keyPressEvent(event);
}

void THEdit::focusOutEvent(QFocusEvent* event)
{
    ResetIfCurrent();
    QLineEdit::focusOutEvent(event);
}

void THEdit::leaveEvent(QEvent* event)
{
    ResetIfCurrent();
    QLineEdit::leaveEvent(event);
}

} // namespace lw
