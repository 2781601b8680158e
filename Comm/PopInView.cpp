#include "PopInView.h"

#include <QPainter>
#include <QPainterPath>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

PopInView::PopInView(QWidget *parent) : QWidget(parent) {}

void PopInView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    const QPainterPath path =
        QoDrawing::roundedPath(QRectF(bounds.x() + 6, bounds.y() + 6, bounds.width() - 12, bounds.height() - 12), 10);
    QColor card(255, 255, 255);
    card.setAlphaF(0.9f);
    painter.fillPath(path, card);
    QColor shadow(86, 123, 194);
    shadow.setAlphaF(0.2f);
    QoDrawing::strokeWithShadow(painter, path, QPen(QColor(225, 231, 239), 1), shadow, QPointF(0, 0), 6);
}
