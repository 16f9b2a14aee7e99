// THEdit: a one-line edit that shows its whole text in a hint window laid
// over the box when the text is cut off and the mouse rests on the box.
// All such edits share one hint window, THintController, which waits two
// ticks of its timer before it asks the edit under the mouse what to show.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace lw {

// Whether and what to show for an edit; called with the mouse position in
// screen coordinates, returns true when it showed a hint.
using THintCallback = std::function<bool(const QPoint& cursorPos)>;

class THintController : public QWidget {
    Q_OBJECT
public:
    enum State { Idle = 0, Waiting = 1, Showing = 2 };

    // Interval of the wait timer, in milliseconds.
    static constexpr int SpHintDelay = 400;

    // The one controller of the process, created on first use and destroyed
    // when the application object goes.
    static THintController* Instance();

    void RegisterEdit(QWidget* edit, THintCallback callback);
    void UnregisterEdit(QWidget* edit);
    // The mouse moved over edit.
    void MouseOverEdit(QWidget* edit);
    // Ends any wait or hint.
    void ResetHint();
    void TimerTick();
    void ShowHintFor(QWidget* edit);

    // Shows text in the hint window at rect (screen coordinates), moved
    // back onto the screen when it would pass its edge, without activating.
    void ActivateHint(QRect rect, const QString& text);

    State HintState() const { return state_; }
    QWidget* Current() const { return current_; }
    int Ticks() const { return ticks_; }
    bool TimerActive() const { return timer_.isActive(); }
    QString HintText() const { return text_; }
    bool IsRegistered(QWidget* edit) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    THintController();
    ~THintController() override;
    static void DestroyInstance();

    std::vector<QWidget*> edits_;
    std::vector<THintCallback> procs_; // procs_[i] belongs to edits_[i]
    QTimer timer_;
    int ticks_ = 0;
    QWidget* current_ = nullptr;
    State state_ = Idle;
    QString text_;
};

class THEdit : public QLineEdit {
    Q_OBJECT
public:
    // Called just before a hint would be shown; may cancel it (showHint
    // false), force it (true) or change the text.
    using THintEvent = std::function<void(THEdit* sender, bool& showHint, QString& text)>;

    explicit THEdit(QWidget* parent = nullptr);
    ~THEdit() override;

    bool SpHint() const { return spHint_; }
    void SetSpHint(bool on) { spHint_ = on; }
    void SetOnShowHint(THintEvent handler) { onShowHint_ = std::move(handler); }

    // Decides on, places and shows the hint; the cursor position does not
    // affect the placement.
    virtual bool DoSpHint(const QPoint& cursorPos);

    // text is cut off in this box (measured in the edit's font).
    bool TextTooWide(const QString& text) const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect TextArea() const;
    void ResetIfCurrent();

    bool spHint_ = true;
    THintEvent onShowHint_;
};

} // namespace lw
