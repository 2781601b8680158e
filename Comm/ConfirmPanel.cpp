#include "ConfirmPanel.h"

#include "TextImageButton.h"

#include <QResizeEvent>

void setPanelButtonLook(QoImageButton *button, PanelButtonLook look)
{
    button->setButtonEnabled(true);
    if (look == PanelButtonLook::Primary)
        button->setImageFromFileNormalName(QStringLiteral("btn_pop_pri"), QStringLiteral("btn_pop_pri_press"),
                                           QStringLiteral("btn_pop_pri_hover"), QStringLiteral("btn_pop_disable"));
    else
        button->setImageFromFileNormalName(QStringLiteral("btn_pop_sec"), QStringLiteral("btn_pop_press"),
                                           QStringLiteral("btn_pop_hover"), QStringLiteral("btn_pop_disable"));
}

ConfirmPanelController::ConfirmPanelController(QWidget *parent) : PanelHostedController(parent) {}

TextImageButton *ConfirmPanelController::cancelButton() const { return m_cancelButton; }
TextImageButton *ConfirmPanelController::doneButton() const { return m_doneButton; }

void ConfirmPanelController::setUpButtons(TextImageButton *cancelButton, TextImageButton *doneButton,
                                          const QString &doneText)
{
    m_cancelButton = cancelButton;
    m_doneButton = doneButton;
    setUpPanelButton(cancelButton, PanelButtonLook::Secondary, QStringLiteral("取消"));
    setUpPanelButton(doneButton, PanelButtonLook::Primary, doneText);
    connect(cancelButton, &QPushButton::clicked, this, &ConfirmPanelController::cancelButtonAction);
    connect(doneButton, &QPushButton::clicked, this, &ConfirmPanelController::doneButtonAction);
}

void ConfirmPanelController::cancelButtonAction() { closeWindow(); }

void ConfirmPanelController::doneButtonAction() { closeWindow(); }

void ConfirmPanelController::keepInMiddle(QWidget *box) { m_box = box; }

void ConfirmPanelController::resizeEvent(QResizeEvent *event)
{
    PanelHostedController::resizeEvent(event);
    if (QWidget *box = m_box)
        box->move((width() - box->width()) / 2, (height() - box->height()) / 2);
}
