#include "LeftSelView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

LeftSelView::LeftSelView(QWidget *parent) : QWidget(parent) {}

void LeftSelView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    painter.fillPath(QoDrawing::roundedPath(bounds, 8), QColor(13, 193, 97));
}
