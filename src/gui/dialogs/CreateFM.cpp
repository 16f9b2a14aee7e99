#include "gui/dialogs/CreateFM.h"

#include "core/fm/FMUtils.h"
#include "gui/controls/Icons.h"
#include "gui/main/GuiQuestions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lw {

TCreateDialog::TCreateDialog(GuiQuestions& questions, QWidget* parent) : QDialog(parent), questions_(questions)
{
    setWindowTitle(tr("Create New Fan Mission"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* dirBox = new QGroupBox(tr("FM Directory"));
    FMDirEdit = new QLineEdit;
    FMDirEdit->setObjectName(QStringLiteral("FMDirEdit"));
    FMDirEdit->setPlaceholderText(tr("The game directory the mission was built in"));
    FMDirButton = new QPushButton(QStringLiteral("..."));
    FMDirButton->setObjectName(QStringLiteral("FMDirButton"));
    FMDirButton->setIcon(LoadIcon(QStringLiteral("folder")));
    FMDirButton->setToolTip(tr("Browse for the FM directory"));
    auto* dirRow = new QHBoxLayout(dirBox);
    dirRow->addWidget(FMDirEdit, 1);
    dirRow->addWidget(FMDirButton);

    auto* gameBox = new QGroupBox(tr("Game Type"));
    GameType = new QButtonGroup(this);
    GameType->setObjectName(QStringLiteral("GameType"));
    auto* gameRow = new QHBoxLayout(gameBox);
    for (int g = 0; g < GameCount; ++g) {
        auto* radio = new QRadioButton(QString::fromUtf8(GameLabels[size_t(g)]));
        GameType->addButton(radio, g);
        gameRow->addWidget(radio);
    }
    GameType->button(0)->setChecked(true);

    auto* langBox = new QGroupBox(tr("Language"));
    LangSelect = new QComboBox;
    LangSelect->setObjectName(QStringLiteral("LangSelect"));
    for (const char* name : LangNames) LangSelect->addItem(QString::fromUtf8(name));
    LangSelect->setMaxVisibleItems(5);
    LangSelect->setCurrentIndex(0);
    auto* langRow = new QHBoxLayout(langBox);
    langRow->addStretch();
    langRow->addWidget(LangSelect, 2);
    langRow->addStretch();

    auto* titleBox = new QGroupBox(tr("FM Title"));
    NameEdit = new QLineEdit;
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    ShortNameEdit = new QLineEdit;
    ShortNameEdit->setObjectName(QStringLiteral("ShortNameEdit"));
    ShortNameEdit->setToolTip(tr("The archive's file name: no blanks, slashes or  : * ? \" < > |"));
    auto* form = new QFormLayout(titleBox);
    form->addRow(tr("FM Name"), NameEdit);
    form->addRow(tr("File Name"), ShortNameEdit);

    auto* buttons = new QDialogButtonBox;
    OkButton = buttons->addButton(QDialogButtonBox::Ok);
    CancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FMDirButton, &QPushButton::clicked, this, &TCreateDialog::FMDirButtonClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dirBox);
    layout->addWidget(gameBox);
    layout->addWidget(langBox);
    layout->addWidget(titleBox);
    layout->addStretch();
    layout->addWidget(buttons);

    // Directory, game, names, then language; then the buttons, OK before
    // Cancel. The button box is ordered as a whole: it hands the focus to
    // its first button, so a box left behind its buttons in the chain would
    // send Tab from Cancel back to OK for good.
    setTabOrder(FMDirEdit, FMDirButton);
    setTabOrder(FMDirButton, GameType->button(0));
    setTabOrder(GameType->button(0), NameEdit);
    setTabOrder(NameEdit, ShortNameEdit);
    setTabOrder(ShortNameEdit, LangSelect);
    setTabOrder(LangSelect, buttons);

    // Enter means OK wherever the focus is. The default is set once the
    // buttons are in the dialog, and the folder button never becomes the
    // automatic default (Enter would open the chooser instead).
    FMDirButton->setAutoDefault(false);
    OkButton->setAutoDefault(true);
    OkButton->setDefault(true);

    // Wide enough for the long paths of Linux game directories.
    resize(qMax(sizeHint().width(), 440), qMax(sizeHint().height(), 324));
}

void TCreateDialog::SetGame(int game)
{
    if (game >= 0 && game < GameCount) {
        GameType->button(game)->setChecked(true);
        return;
    }
    // No game chosen: the user must pick one.
    GameType->setExclusive(false);
    for (QAbstractButton* b : GameType->buttons()) b->setChecked(false);
    GameType->setExclusive(true);
}

int TCreateDialog::Game() const
{
    return GameType->checkedId();
}

CreateEntries TCreateDialog::Entries() const
{
    CreateEntries e;
    e.dir = FMDirEdit->text().toStdString();
    e.game = Game();
    e.language = LangSelect->currentIndex();
    e.name = NameEdit->text().toStdString();
    e.shortName = ShortNameEdit->text().toStdString();
    return e;
}

void TCreateDialog::FMDirButtonClick()
{
    // File-system folders only, without a status line.
    const FolderOptions options{FolderOption::FileSysDirsOnly, FolderOption::SyncCustomButton,
                                FolderOption::AlignCustomButton, FolderOption::ParentCenter};
    const auto chosen = questions_.ChooseFolder({"Select FM Directory", "", FMDirEdit->text().toStdString(), options});
    if (!chosen) return;
    FMDirEdit->setText(QString::fromStdString(*chosen));
    const FolderPick pick = PickFMFolder(*chosen);
    if (pick.t2xWarning) questions_.ShowMessage(MessageKind::Warning, "Warning", T2xDirWarning);
    FMDirEdit->setText(QString::fromStdString(pick.dirText));
    SetGame(pick.game);
}

void TCreateDialog::done(int result)
{
    if (result == QDialog::Accepted) {
        CreateEntries e = Entries();
        const CreateFault fault = ValidateCreateEntries(e);
        FMDirEdit->setText(QString::fromStdString(e.dir));
        switch (fault) {
        case CreateFault::Dir: FMDirEdit->setFocus(); return;
        case CreateFault::Game: GameType->button(0)->setFocus(); return;
        case CreateFault::ShortName: ShortNameEdit->setFocus(); return;
        case CreateFault::None: ShortNameEdit->setText(QString::fromStdString(e.shortName)); break;
        }
    }
    QDialog::done(result);
}

} // namespace lw
