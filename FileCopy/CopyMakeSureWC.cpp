#include "CopyMakeSureWC.h"
#include "ui_CopyMakeSureWC.h"

#include "CopyMakeSureWCDelegate.h"

CopyMakeSureWC::CopyMakeSureWC(QWidget *parent) : ConfirmPanel(parent), ui(std::make_unique<Ui::CopyMakeSureWC>())
{
    ui->setupUi(this);
    awakeFromNib();
}

CopyMakeSureWC::~CopyMakeSureWC() = default;

void CopyMakeSureWC::awakeFromNib() { setUpButtons(ui->cancelButton, ui->doneButton, QStringLiteral("现在复制")); }

void CopyMakeSureWC::doneButtonAction() { closeThenTell(&CopyMakeSureWCDelegate::beginToCopyFiles); }
