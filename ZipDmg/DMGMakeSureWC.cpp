#include "DMGMakeSureWC.h"

#include "ui_DMGMakeSureWC.h"

#include "DMGMakeSureWCDelegate.h"
#include "TextImageButton.h"

#include <QPointer>

DMGMakeSureWC::DMGMakeSureWC(QWidget *parent) : PanelHostedController(parent), ui(std::make_unique<Ui::DMGMakeSureWC>())
{
    ui->setupUi(this);
    ui->cancelButton->setButtonEnabled(true);
    ui->cancelButton->setImageFromFileNormalName(QStringLiteral("btn_pop_sec"), QStringLiteral("btn_pop_press"),
                                                 QStringLiteral("btn_pop_hover"), QStringLiteral("btn_pop_disable"));
    ui->cancelButton->setTextWithName(QStringLiteral("取消"));
    connect(ui->cancelButton, &QAbstractButton::clicked, this, &DMGMakeSureWC::cancelButtonAction);

    ui->doneButton->setButtonEnabled(true);
    ui->doneButton->setImageFromFileNormalName(QStringLiteral("btn_pop_pri"), QStringLiteral("btn_pop_pri_press"),
                                               QStringLiteral("btn_pop_pri_hover"), QStringLiteral("btn_pop_disable"));
    ui->doneButton->setTextWithName(QStringLiteral("制作镜像"));
    connect(ui->doneButton, &QAbstractButton::clicked, this, &DMGMakeSureWC::doneButtonAction);
}

DMGMakeSureWC::~DMGMakeSureWC() = default;

TextImageButton *DMGMakeSureWC::cancelButton() const
{
    return ui->cancelButton;
}
TextImageButton *DMGMakeSureWC::doneButton() const
{
    return ui->doneButton;
}

void DMGMakeSureWC::cancelButtonAction()
{
    closeWindow();
}

void DMGMakeSureWC::doneButtonAction()
{
    // Closing the panel deletes this controller later, not now; the delegate
    // is read first all the same.
    DMGMakeSureWCDelegate *delegate = m_delegate;
    closeWindow();
    if (delegate)
        delegate->beginToMakeDMGorZIP();
}
