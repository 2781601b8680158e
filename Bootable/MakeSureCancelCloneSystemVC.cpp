#include "MakeSureCancelCloneSystemVC.h"
#include "ui_MakeSureCancelCloneSystemVC.h"

#include "MakeSureCancelCloneSystemVCDelegate.h"
#include "TextImageButton.h"

#include <QResizeEvent>

MakeSureCancelCloneSystemVC::MakeSureCancelCloneSystemVC(QWidget *parent) : PanelHostedController(parent), ui(std::make_unique<Ui::MakeSureCancelCloneSystemVC>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->cancelButton->setButtonEnabled(true);
    ui->cancelButton->setImageFromFileNormalName(QStringLiteral("btn_pop_sec"), QStringLiteral("btn_pop_press"),
                                                 QStringLiteral("btn_pop_hover"), QStringLiteral("btn_pop_disable"));
    ui->cancelButton->setTextWithName(QStringLiteral("取消"));
    ui->doneButton->setButtonEnabled(true);
    ui->doneButton->setImageFromFileNormalName(QStringLiteral("btn_pop_pri"), QStringLiteral("btn_pop_pri_press"),
                                               QStringLiteral("btn_pop_pri_hover"), QStringLiteral("btn_pop_disable"));
    ui->doneButton->setTextWithName(QStringLiteral("继续"));
    connect(ui->cancelButton, &QPushButton::clicked, this, &MakeSureCancelCloneSystemVC::cancelButtonAction);
    connect(ui->doneButton, &QPushButton::clicked, this, &MakeSureCancelCloneSystemVC::doneButtonAction);
}

MakeSureCancelCloneSystemVC::~MakeSureCancelCloneSystemVC() = default;

QLabel *MakeSureCancelCloneSystemVC::titleLabel() const { return ui->titleLabel; }
QWidget *MakeSureCancelCloneSystemVC::titleBarView() const { return ui->titleBarView; }
TextImageButton *MakeSureCancelCloneSystemVC::cancelButton() const { return ui->cancelButton; }
TextImageButton *MakeSureCancelCloneSystemVC::doneButton() const { return ui->doneButton; }

void MakeSureCancelCloneSystemVC::cancelButtonAction()
{
    closeWindow();
    if (m_delegate)
        m_delegate->cancelToCopySystem();
}

void MakeSureCancelCloneSystemVC::doneButtonAction()
{
    closeWindow();
}

void MakeSureCancelCloneSystemVC::resizeEvent(QResizeEvent *event)
{
    PanelHostedController::resizeEvent(event);
    // The panel takes the main window's size; the box stays in its middle.
    QWidget *box = ui->dialogBox;
    box->move((width() - box->width()) / 2, (height() - box->height()) / 2);
}
