// TGameTypeDialog: asks which game a mission is for when neither its file
// list nor its directory tells. Exec() gives Accepted or Rejected; after
// Accepted, SelectedGame() is the game type 0 (Thief 1), 1 (Thief 2) or
// 2 (Thief 2x).
#pragma once

#include <QDialog>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;

namespace lw {

class TGameTypeDialog : public QDialog {
    Q_OBJECT
public:
    explicit TGameTypeDialog(QWidget* parent = nullptr);

    // -1 until a game is picked.
    int SelectedGame() const { return selectedGame_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Label1;
    QLabel* Label2;
    QRadioButton* T1Button;
    QRadioButton* T2Button;
    QRadioButton* T2xButton;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void FormShow();
    void GameTypeClick(QRadioButton* button);

    QButtonGroup* group_;
    int selectedGame_ = -1;
};

} // namespace lw
