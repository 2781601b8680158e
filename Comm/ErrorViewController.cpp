#include "ErrorViewController.h"

#include "ui_ErrorViewController.h"

ErrorViewController::ErrorViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ErrorViewController>())
{
    ui->setupUi(this);
    // The bubble draws the background; the view only carries the text.
    setAttribute(Qt::WA_TranslucentBackground);
}

ErrorViewController::~ErrorViewController() = default;

void ErrorViewController::setErrorStr(const QString &message)
{
    ui->errorLabel->setText(message);
    ui->errorLabel->update();
}

QLabel *ErrorViewController::errorLabel() const { return ui->errorLabel; }
