#include "BgProgressView.h"

#include <QPainter>

#include "QoDrawing.h"

BgProgressView::BgProgressView(QWidget *parent) : QWidget(parent) {}

void BgProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = QoDrawing::roundedPath(rect(), 0.5);
    QColor shadow(229, 229, 229);
    shadow.setAlphaF(0.2f);
    QoDrawing::strokeWithShadow(painter, path, QPen(shadow, 1), shadow, QPointF(0, 0), 1);
    painter.fillPath(path, Qt::white);
}
