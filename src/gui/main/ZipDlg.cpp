#include "gui/main/ZipDlg.h"

#include "core/fm/Packaging.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace lw {

namespace {

QString sizeText(uint64_t bytes)
{
    const QString point = QLocale().decimalPoint();
    return QString::fromStdString(SizeText(bytes, point.isEmpty() ? '.' : point.at(0).toLatin1()));
}

} // namespace

TZipProgress::TZipProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(tr("Zipping FM"));
    setModal(false);
    TotalText = new QLabel(tr("Creating fan mission..."));
    TotalText->setObjectName(QStringLiteral("TotalText"));
    ItemText = new QLabel;
    ItemText->setObjectName(QStringLiteral("ItemText"));
    ItemText->setTextFormat(Qt::PlainText);
    ItemText->setMinimumWidth(200);
    ItemProgress = new QProgressBar;
    ItemProgress->setObjectName(QStringLiteral("ItemProgress"));
    TotalProgress = new QProgressBar;
    TotalProgress->setObjectName(QStringLiteral("TotalProgress"));
    for (QProgressBar* bar : {ItemProgress, TotalProgress}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setFixedHeight(17);
    }
    // A long run can be stopped; nothing of it is left behind then.
    CancelButton = new QPushButton(tr("Cancel"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    // Enter, pressed out of habit while a run goes on, must not stop it:
    // only a click or Space on the button does.
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        CancelButton->setEnabled(false);
        ItemText->setText(tr("Stopping..."));
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 12, 20, 12);
    layout->addWidget(TotalText);
    layout->addWidget(ItemText);
    layout->addWidget(ItemProgress);
    layout->addWidget(TotalProgress);
    layout->addWidget(CancelButton, 0, Qt::AlignRight);
    setFixedSize(QSize(242 + 120, 105 + 30).expandedTo(sizeHint()));
}

int TZipProgress::scaled(uint64_t v, uint64_t max)
{
    if (max <= uint64_t(INT32_MAX)) return int(v);
    return int(v / (max / uint64_t(INT32_MAX) + 1));
}

// A bar whose range is empty shows a busy animation; an empty file or run
// is no reason for one.
int TZipProgress::barMaximum(uint64_t max)
{
    return std::max(1, scaled(max, max));
}

void TZipProgress::SetTotalFiles(uint64_t count)
{
    TotalText->setText(tr("Creating fan mission with %1 files (%2)").arg(count).arg(sizeText(FTotalSize)));
    FFileCount = count;
}

void TZipProgress::SetTotalSize(uint64_t bytes)
{
    if (FFileCount != 0)
        TotalText->setText(tr("Creating fan mission with %1 files (%2)").arg(FFileCount).arg(sizeText(bytes)));
    else
        TotalText->setText(tr("Creating fan mission... (%1)").arg(sizeText(bytes)));
    ItemText->clear();
    ItemProgress->setValue(0);
    TotalProgress->setValue(0);
    TotalProgress->setMaximum(barMaximum(bytes));
    FTotalSize = bytes;
    totalDone_ = 0;
}

void TZipProgress::StartItem(const QString& fileName, uint64_t bytes)
{
    itemSize_ = bytes;
    itemDone_ = 0;
    ItemText->setText(tr("Adding %1...").arg(fileName));
    showBars(false);
}

void TZipProgress::StepItem(uint64_t bytes)
{
    itemDone_ += bytes;
    totalDone_ += bytes;
    showBars(false);
}

void TZipProgress::showBars(bool now)
{
    if (!now && isVisible() && barsShown_.isValid() && barsShown_.elapsed() < 33) {
        // What is held back is shown soon all the same, even if no call follows.
        if (!barsPending_) {
            barsPending_ = true;
            QTimer::singleShot(40, this, [this] {
                if (barsPending_) showBars(true);
            });
        }
        return;
    }
    barsPending_ = false;
    ItemProgress->setMaximum(barMaximum(itemSize_));
    ItemProgress->setValue(scaled(std::min(itemDone_, itemSize_), itemSize_));
    TotalProgress->setValue(scaled(std::min(totalDone_, FTotalSize), FTotalSize));
    barsShown_.start();
}

void TZipProgress::Finish()
{
    TotalText->setText(tr("Finished."));
    barsPending_ = false; // the counts held back are over
    ItemText->clear();
    ItemProgress->setValue(0);
    TotalProgress->setValue(0);
}

void TZipProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void TZipProgress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) return; // no way to close it but the end of the run
    QDialog::keyPressEvent(event);
}

} // namespace lw
