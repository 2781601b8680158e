#include "ProgressView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

ProgressView::ProgressView(QWidget *parent) : UsedBar(parent) {}

void ProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, width(), 6), 3, 0), QColor(207, 222, 250));
    if (_used > 0)
        painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, _used, 6), 3, 0), QColor(78, 109, 255));
}
