#include "CopyMakeSureWC.h"
#include "ui_CopyMakeSureWC.h"

#include "CopyMakeSureWCDelegate.h"
#include "TextImageButton.h"

#include <QPointer>

CopyMakeSureWC::CopyMakeSureWC(QWidget *parent)
    : PanelHostedController(parent), ui(std::make_unique<Ui::CopyMakeSureWC>())
{
    ui->setupUi(this);
    awakeFromNib();
}

CopyMakeSureWC::~CopyMakeSureWC() = default;

TextImageButton *CopyMakeSureWC::cancelButton() const
{
    return ui->cancelButton;
}
TextImageButton *CopyMakeSureWC::doneButton() const
{
    return ui->doneButton;
}

void CopyMakeSureWC::awakeFromNib()
{
    ui->cancelButton->setButtonEnabled(true);
    ui->cancelButton->setImageFromFileNormalName(QStringLiteral("btn_pop_sec"), QStringLiteral("btn_pop_press"),
                                                 QStringLiteral("btn_pop_hover"), QStringLiteral("btn_pop_disable"));
    ui->cancelButton->setTextWithName(QStringLiteral("取消"));
    ui->doneButton->setButtonEnabled(true);
    ui->doneButton->setImageFromFileNormalName(QStringLiteral("btn_pop_pri"), QStringLiteral("btn_pop_pri_press"),
                                               QStringLiteral("btn_pop_pri_hover"), QStringLiteral("btn_pop_disable"));
    ui->doneButton->setTextWithName(QStringLiteral("现在复制"));
    connect(ui->cancelButton, &QPushButton::clicked, this, [this] { cancelButtonAction(); });
    connect(ui->doneButton, &QPushButton::clicked, this, [this] { doneButtonAction(); });
}

void CopyMakeSureWC::cancelButtonAction()
{
    closeWindow();
}

void CopyMakeSureWC::doneButtonAction()
{
    // Closing the panel may take this controller with it: keep what is needed.
    CopyMakeSureWCDelegate *delegate = m_delegate;
    closeWindow();
    if (delegate)
        delegate->beginToCopyFiles();
}
