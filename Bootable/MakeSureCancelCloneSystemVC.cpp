#include "MakeSureCancelCloneSystemVC.h"
#include "ui_MakeSureCancelCloneSystemVC.h"

#include "MakeSureCancelCloneSystemVCDelegate.h"

MakeSureCancelCloneSystemVC::MakeSureCancelCloneSystemVC(QWidget *parent)
    : ConfirmPanel(parent), ui(std::make_unique<Ui::MakeSureCancelCloneSystemVC>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setUpButtons(ui->cancelButton, ui->doneButton, QStringLiteral("继续"));
    // The panel takes the main window's size; the box stays in its middle.
    keepInMiddle(ui->dialogBox);
}

MakeSureCancelCloneSystemVC::~MakeSureCancelCloneSystemVC() = default;

QLabel *MakeSureCancelCloneSystemVC::titleLabel() const { return ui->titleLabel; }
QWidget *MakeSureCancelCloneSystemVC::titleBarView() const { return ui->titleBarView; }

// "取消" stops the clone.
void MakeSureCancelCloneSystemVC::cancelButtonAction()
{
    closeThenTell(&MakeSureCancelCloneSystemVCDelegate::cancelToCopySystem);
}
