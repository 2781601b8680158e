#include "QoHandButton.h"

QoHandButton::QoHandButton(QWidget *parent) : QPushButton(parent) {}

void QoHandButton::enterEvent(QEnterEvent *event)
{
    QPushButton::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
}

void QoHandButton::leaveEvent(QEvent *event)
{
    QPushButton::leaveEvent(event);
    setCursor(Qt::ArrowCursor);
}
