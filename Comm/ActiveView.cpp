#include "ActiveView.h"

#include <QPainter>
#include <QPainterPath>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

ActiveView::ActiveView(QWidget *parent) : QWidget(parent) {}

void ActiveView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    const QPainterPath path = QoDrawing::roundedPath(bounds, 20);
    painter.fillPath(path, QColor(255, 255, 255));
    // The platform's light grey (two thirds white).
    painter.strokePath(path, QPen(QColor(170, 170, 170), 1));
}
