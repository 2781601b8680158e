#include "SetpFViewController.h"
#include "ui_SetpFViewController.h"

#include "QoImage.h"

SetpFViewController::SetpFViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetpFViewController>())
{
    ui->setupUi(this);
}

SetpFViewController::~SetpFViewController() = default;

QLabel *SetpFViewController::stepImageView() const { return ui->stepImageView; }

void SetpFViewController::setSetpIn(int n)
{
    if (n < 1 || n > 4)
        return;
    m_stepImageName = QStringLiteral("step2-") + QString::number(n);
    ui->stepImageView->setPixmap(
        QoImage::named(m_stepImageName).pixmap(ui->stepImageView->size(), devicePixelRatioF()));
}
