#include "MakeSureToCloneSystemVC.h"
#include "ui_MakeSureToCloneSystemVC.h"

#include "MakeSureToCloneSystemVCDelegate.h"

MakeSureToCloneSystemVC::MakeSureToCloneSystemVC(QWidget *parent)
    : ConfirmPanel(parent), ui(std::make_unique<Ui::MakeSureToCloneSystemVC>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setUpButtons(ui->cancelButton, ui->doneButton, QStringLiteral("现在克隆"));
    // The panel takes the main window's size; the box stays in its middle.
    keepInMiddle(ui->dialogBox);
}

MakeSureToCloneSystemVC::~MakeSureToCloneSystemVC() = default;

QLabel *MakeSureToCloneSystemVC::titleLabel() const { return ui->titleLabel; }
QWidget *MakeSureToCloneSystemVC::titleBarView() const { return ui->titleBarView; }

void MakeSureToCloneSystemVC::doneButtonAction() { closeThenTell(&MakeSureToCloneSystemVCDelegate::beginToCopySystem); }
