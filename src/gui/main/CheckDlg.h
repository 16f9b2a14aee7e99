// The window of the check: the findings in a list that sorts by severity,
// file or text. Double-clicking a finding that names a list entry selects
// that entry in the main window.
#pragma once

#include "core/check/Preflight.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QTreeWidget;

namespace lw {

class TCheckDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCheckDialog(QWidget* parent = nullptr);

    void ShowFindings(const std::vector<Finding>& findings);

    // Raised with the file list index of a finding the author double-clicked.
    std::function<void(int entry)> OnSelectEntry;

private:
    QTreeWidget* FindingList;
    QLabel* SummaryText;
};

} // namespace lw
