#include "DMGMakeSureWC.h"

#include "ui_DMGMakeSureWC.h"

#include "DMGMakeSureWCDelegate.h"

DMGMakeSureWC::DMGMakeSureWC(QWidget *parent) : ConfirmPanel(parent), ui(std::make_unique<Ui::DMGMakeSureWC>())
{
    ui->setupUi(this);
    setUpButtons(ui->cancelButton, ui->doneButton, QStringLiteral("制作镜像"));
}

DMGMakeSureWC::~DMGMakeSureWC() = default;

void DMGMakeSureWC::doneButtonAction() { closeThenTell(&DMGMakeSureWCDelegate::beginToMakeDMGorZIP); }
