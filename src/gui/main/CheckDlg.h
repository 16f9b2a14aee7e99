// The window of the check: the findings in a list that sorts by severity,
// file or text. Double-clicking a finding that names a list entry selects
// that entry in the main window. Its buttons add what the missions use and
// the list lacks, and name the game folder whose archives the check reads.
#pragma once

#include "core/check/Preflight.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace lw {

class TCheckDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCheckDialog(QWidget* parent = nullptr);

    void ShowFindings(const std::vector<Finding>& findings);
    // Where the game's resources were looked for, as a line for the author.
    void ShowGameFolder(const QString& text);

    // Raised with the file list index of a finding the author double-clicked.
    std::function<void(int entry)> OnSelectEntry;
    // "Add What the Missions Use", enabled while the findings name such files.
    std::function<void()> OnAddUsed;
    // "Game Folder...": the author names the game's folder.
    std::function<void()> OnChooseGameFolder;

private:
    QTreeWidget* FindingList;
    QLabel* SummaryText;
    QLabel* GameFolderText;
    QPushButton* AddUsedButton;
    QPushButton* GameFolderButton;
};

} // namespace lw
