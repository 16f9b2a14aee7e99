// The "Create New Fan Mission" dialog: the FM directory, the game, the
// language and the FM's names. One instance lives for the whole run, so each
// New starts from what was typed the time before.
#pragma once

#include "core/fm/CreateFMRules.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lw {

class GuiQuestions;

class TCreateDialog : public QDialog {
    Q_OBJECT
public:
    TCreateDialog(GuiQuestions& questions, QWidget* parent = nullptr);

    // What the main window reads after OK.
    CreateEntries Entries() const;

    // The game's radio button, or none checked for a game out of range.
    void SetGame(int game);
    int Game() const;

protected:
    void done(int result) override; // validates before closing with OK

private:
    void FMDirButtonClick();

    QLineEdit* FMDirEdit;
    QPushButton* FMDirButton;
    QButtonGroup* GameType;
    QComboBox* LangSelect;
    QLineEdit* NameEdit;
    QLineEdit* ShortNameEdit;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    GuiQuestions& questions_;
};

} // namespace lw
