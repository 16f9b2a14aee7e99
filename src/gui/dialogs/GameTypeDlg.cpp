#include "gui/dialogs/GameTypeDlg.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace lw {

TGameTypeDialog::TGameTypeDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("What Game Is This For?"));

    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setFrameShadow(QFrame::Sunken);
    Label1 = new QLabel(QStringLiteral("The game type for this mission could not be determined."), bevel);
    Label2 = new QLabel(QStringLiteral("Please select which game this is intended for."), bevel);
    T1Button = new QRadioButton(QStringLiteral("Thief 1"), bevel);
    T2Button = new QRadioButton(QStringLiteral("Thief 2"), bevel);
    T2xButton = new QRadioButton(QStringLiteral("Thief 2x"), bevel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    T1Button->setObjectName(QStringLiteral("T1Button"));
    T2Button->setObjectName(QStringLiteral("T2Button"));
    T2xButton->setObjectName(QStringLiteral("T2xButton"));

    // The group's ids are the game types; it is made non-exclusive for a
    // moment when the dialog clears all three.
    group_ = new QButtonGroup(this);
    group_->addButton(T1Button, 0);
    group_->addButton(T2Button, 1);
    group_->addButton(T2xButton, 2);
    connect(group_, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton* b) { GameTypeClick(static_cast<QRadioButton*>(b)); });

    auto* radios = new QHBoxLayout;
    radios->setSpacing(0);
    for (QRadioButton* b : {T1Button, T2Button, T2xButton}) {
        b->setMinimumWidth(92);
        radios->addWidget(b);
    }
    auto* frameLayout = new QVBoxLayout(bevel);
    frameLayout->setContentsMargins(12, 12, 12, 14);
    frameLayout->setSpacing(2);
    frameLayout->addWidget(Label1);
    frameLayout->addWidget(Label2);
    frameLayout->addSpacing(20);
    frameLayout->addLayout(radios);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    // OK is the default button; no button becomes default by taking the
    // focus, so Enter does nothing while OK is disabled.
    OKBtn->setAutoDefault(false);
    OKBtn->setDefault(true);
    CancelBtn->setAutoDefault(false);
    for (QPushButton* b : {OKBtn, CancelBtn}) b->setMinimumSize(75, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(bevel);
    layout->addLayout(buttons);

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, T1Button);
    setTabOrder(T1Button, T2Button);
    setTabOrder(T2Button, T2xButton);
}

void TGameTypeDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        if (QScreen* s = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
            const QRect g = s->availableGeometry();
            move(g.left() + (g.width() - width()) / 2, g.top() + (g.height() - height()) / 2);
        }
    }
    QDialog::showEvent(event);
}

void TGameTypeDialog::FormShow()
{
    group_->setExclusive(false);
    for (QRadioButton* b : {T1Button, T2Button, T2xButton}) b->setChecked(false);
    group_->setExclusive(true);
    OKBtn->setEnabled(false);
    selectedGame_ = -1;
}

void TGameTypeDialog::GameTypeClick(QRadioButton* button)
{
    selectedGame_ = group_->id(button);
    OKBtn->setEnabled(true);
}

} // namespace lw
