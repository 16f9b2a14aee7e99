#include "gui/main/CheckDlg.h"

#include "core/check/MissionUseRules.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lw {

namespace {

enum Column { SeverityColumn, FileColumn, MessageColumn };
constexpr int kEntryRole = Qt::UserRole;
constexpr int kRankRole = Qt::UserRole + 1;

// Sorts the severity column by rank (errors first), not by its caption.
class FindingItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == SeverityColumn) return data(0, kRankRole).toInt() < other.data(0, kRankRole).toInt();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

QIcon iconOf(Severity s)
{
    QStyle* style = QApplication::style();
    switch (s) {
    case Severity::Error: return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case Severity::Warning: return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case Severity::Note: return style->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    return {};
}

QString captionOf(Severity s)
{
    switch (s) {
    case Severity::Error: return QObject::tr("Error");
    case Severity::Warning: return QObject::tr("Warning");
    case Severity::Note: return QObject::tr("Note");
    }
    return {};
}

} // namespace

TCheckDialog::TCheckDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Check"));
    SummaryText = new QLabel;
    SummaryText->setObjectName(QStringLiteral("SummaryText"));
    SummaryText->setWordWrap(true);
    FindingList = new QTreeWidget;
    FindingList->setObjectName(QStringLiteral("FindingList"));
    FindingList->setColumnCount(3);
    FindingList->setHeaderLabels({tr("Severity"), tr("File"), tr("Finding")});
    FindingList->setRootIsDecorated(false);
    FindingList->setUniformRowHeights(true);
    FindingList->setSortingEnabled(true);
    FindingList->setWordWrap(true);
    FindingList->header()->setSectionResizeMode(MessageColumn, QHeaderView::Stretch);
    connect(FindingList, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int entry = item->data(0, kEntryRole).toInt();
        if (entry >= 0 && OnSelectEntry) OnSelectEntry(entry);
    });

    GameFolderText = new QLabel;
    GameFolderText->setObjectName(QStringLiteral("GameFolderText"));
    GameFolderText->setWordWrap(true);
    GameFolderText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    AddUsedButton = buttons->addButton(tr("&Add What the Missions Use"), QDialogButtonBox::ActionRole);
    AddUsedButton->setObjectName(QStringLiteral("AddUsedButton"));
    AddUsedButton->setToolTip(tr("Add every file the missions use that the FM folder holds and the list lacks"));
    AddUsedButton->setEnabled(false);
    GameFolderButton = buttons->addButton(tr("&Game Folder..."), QDialogButtonBox::ActionRole);
    GameFolderButton->setObjectName(QStringLiteral("GameFolderButton"));
    GameFolderButton->setToolTip(tr("The game's folder, whose .crf archives hold what the FM need not ship"));
    // Enter in the list goes to a finding, as a double-click does; it must
    // not also press a button and take the other findings off the screen.
    for (QAbstractButton* b : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(b)) push->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(AddUsedButton, &QPushButton::clicked, this, [this] {
        if (OnAddUsed) OnAddUsed();
    });
    connect(GameFolderButton, &QPushButton::clicked, this, [this] {
        if (OnChooseGameFolder) OnChooseGameFolder();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SummaryText);
    layout->addWidget(FindingList, 1);
    layout->addWidget(GameFolderText);
    layout->addWidget(buttons);
    resize(640, 360);
}

void TCheckDialog::ShowFindings(const std::vector<Finding>& findings)
{
    FindingList->setSortingEnabled(false);
    FindingList->clear();
    for (const Finding& f : findings) {
        auto* item = new FindingItem(FindingList);
        item->setIcon(SeverityColumn, iconOf(f.severity));
        item->setText(SeverityColumn, captionOf(f.severity));
        item->setData(SeverityColumn, kRankRole, int(f.severity));
        item->setData(SeverityColumn, kEntryRole, f.entry);
        item->setText(FileColumn, QString::fromStdString(f.file));
        item->setText(MessageColumn, QString::fromStdString(f.message));
        item->setToolTip(MessageColumn, QString::fromStdString(f.message));
    }
    FindingList->setSortingEnabled(true);
    FindingList->sortByColumn(SeverityColumn, Qt::AscendingOrder);
    FindingList->resizeColumnToContents(SeverityColumn);
    FindingList->resizeColumnToContents(FileColumn);
    AddUsedButton->setEnabled(!FilesTheListLacks(findings).empty());
    const int errors = CountOf(findings, Severity::Error);
    const int warnings = CountOf(findings, Severity::Warning);
    const int notes = CountOf(findings, Severity::Note);
    if (findings.empty()) SummaryText->setText(tr("The check found nothing: the package is ready to ship."));
    else
        SummaryText->setText(tr("The check found %1 error(s), %2 warning(s) and %3 note(s). "
                                "Double-click a finding to select its file in the list.")
                                 .arg(errors)
                                 .arg(warnings)
                                 .arg(notes));
}

void TCheckDialog::ShowGameFolder(const QString& text)
{
    GameFolderText->setText(text);
}

} // namespace lw
