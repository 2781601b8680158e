#include "SetpViewController.h"
#include "ui_SetpViewController.h"

#include "QoImage.h"

#include <QLabel>

SetpViewController::SetpViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SetpViewController>())
{
    ui->setupUi(this);
}

SetpViewController::~SetpViewController() = default;

QLabel *SetpViewController::stepImageView() const { return ui->stepImageView; }

void SetpViewController::setSetpIn(qint32 step)
{
    if (step < 1 || step > 3)
        return;
    const QString prefix = m_aIndex == 1 ? QStringLiteral("step3") : QStringLiteral("step1");
    m_stepImageName = QStringLiteral("%1-%2").arg(prefix).arg(step);
    const QoImage image = QoImage::named(m_stepImageName);
    QLabel *view = ui->stepImageView;
    view->setPixmap(image.isNull() ? QPixmap() : image.pixmap(view->size(), view->devicePixelRatioF()));
}
