#include "ErrorWindowController.h"
#include "ui_ErrorWindowController.h"

#include "TextImageButton.h"

#include <QResizeEvent>

ErrorWindowController::ErrorWindowController(QWidget *parent)
    : PanelHostedController(parent), ui(std::make_unique<Ui::ErrorWindowController>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->okButton->setButtonEnabled(true);
    ui->okButton->setImageFromFileNormalName(QStringLiteral("btn_pop_sec"), QStringLiteral("btn_pop_press"),
                                             QStringLiteral("btn_pop_hover"), QStringLiteral("btn_pop_sec"));
    ui->okButton->setTextWithName(QStringLiteral("好的"));
    connect(ui->okButton, &QPushButton::clicked, this, &ErrorWindowController::okButtonAction);
}

ErrorWindowController::~ErrorWindowController() = default;

QLabel *ErrorWindowController::errorLabel() const { return ui->errorLabel; }
TextImageButton *ErrorWindowController::okButton() const { return ui->okButton; }

void ErrorWindowController::changeErrorLabelStr(const QString &text)
{
    ui->errorLabel->setText(text);
    ui->errorLabel->update();
}

void ErrorWindowController::okButtonAction() { closeWindow(); }

void ErrorWindowController::resizeEvent(QResizeEvent *event)
{
    PanelHostedController::resizeEvent(event);
    QWidget *box = ui->dialogBox;
    box->move((width() - box->width()) / 2, (height() - box->height()) / 2);
}
