#include "NSProgressBar.h"

#include <QPainter>
#include <QPainterPath>

#include "QoDrawing.h"

NSProgressBar::NSProgressBar(QWidget *parent) : QWidget(parent) {}

void NSProgressBar::paintEvent(QPaintEvent *)
{
    if (width() <= 0)
        return;
    QPainter painter(this);
    QPainterPath path;
    path.addRect(rect());
    QColor shadow(244, 244, 244);
    shadow.setAlphaF(0.5f);
    const QColor fill(26, 161, 203);
    QoDrawing::strokeWithShadow(painter, path, QPen(fill, 1), shadow, QPointF(0, 0), 1);
    painter.fillPath(path, fill);
}
