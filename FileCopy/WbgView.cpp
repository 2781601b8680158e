#include "WbgView.h"

#include <QPainter>
#include <QPainterPath>

WbgView::WbgView(QWidget *parent) : QWidget(parent) {}

void WbgView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
    painter.fillPath(path, QColor(255, 255, 255, 255));
}
