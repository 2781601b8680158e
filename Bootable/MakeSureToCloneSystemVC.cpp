#include "MakeSureToCloneSystemVC.h"
#include "ui_MakeSureToCloneSystemVC.h"

#include "MakeSureToCloneSystemVCDelegate.h"
#include "TextImageButton.h"

#include <QResizeEvent>

MakeSureToCloneSystemVC::MakeSureToCloneSystemVC(QWidget *parent) : PanelHostedController(parent), ui(std::make_unique<Ui::MakeSureToCloneSystemVC>())
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
    ui->doneButton->setTextWithName(QStringLiteral("现在克隆"));
    connect(ui->cancelButton, &QPushButton::clicked, this, &MakeSureToCloneSystemVC::cancelButtonAction);
    connect(ui->doneButton, &QPushButton::clicked, this, &MakeSureToCloneSystemVC::doneButtonAction);
}

MakeSureToCloneSystemVC::~MakeSureToCloneSystemVC() = default;

QLabel *MakeSureToCloneSystemVC::titleLabel() const { return ui->titleLabel; }
QWidget *MakeSureToCloneSystemVC::titleBarView() const { return ui->titleBarView; }
TextImageButton *MakeSureToCloneSystemVC::cancelButton() const { return ui->cancelButton; }
TextImageButton *MakeSureToCloneSystemVC::doneButton() const { return ui->doneButton; }

void MakeSureToCloneSystemVC::cancelButtonAction()
{
    closeWindow();
}

void MakeSureToCloneSystemVC::doneButtonAction()
{
    closeWindow();
    if (m_delegate)
        m_delegate->beginToCopySystem();
}

void MakeSureToCloneSystemVC::resizeEvent(QResizeEvent *event)
{
    PanelHostedController::resizeEvent(event);
    // The panel takes the main window's size; the box stays in its middle.
    QWidget *box = ui->dialogBox;
    box->move((width() - box->width()) / 2, (height() - box->height()) / 2);
}
