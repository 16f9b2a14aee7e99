// The small window that shows a zip run: the files and bytes of the whole
// run, and the file being added.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace lw {

class TZipProgress : public QDialog {
    Q_OBJECT
public:
    explicit TZipProgress(QWidget* parent = nullptr);

    // The user asked to stop the run.
    bool Cancelled() const { return cancelled_; }

    void SetTotalFiles(uint64_t count);
    void SetTotalSize(uint64_t bytes);
    void StartItem(const QString& fileName, uint64_t bytes);
    void StepItem(uint64_t bytes);
    void Finish();

    uint64_t FileCount() const { return FFileCount; }
    uint64_t TotalSize() const { return FTotalSize; }

protected:
    void closeEvent(QCloseEvent* event) override; // stays until the run ends
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* TotalText;
    QLabel* ItemText;
    QProgressBar* ItemProgress;
    QProgressBar* TotalProgress;
    QPushButton* CancelButton;

    // Progress bars count in ints; large runs are shown in scaled units.
    static int scaled(uint64_t v, uint64_t max);
    static int barMaximum(uint64_t max);
    uint64_t FFileCount = 0;
    uint64_t FTotalSize = 0;
    uint64_t itemSize_ = 0, itemDone_ = 0, totalDone_ = 0;
    bool cancelled_ = false;
    // A bar repaints itself at once on every change, which for thousands of
    // small files costs far more than packing them: while the window is
    // shown, the bars follow the counts some 30 times a second.
    void showBars(bool now);
    QElapsedTimer barsShown_;
    bool barsPending_ = false; // counts not yet on the bars
};

} // namespace lw
