#include "BGMView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

BGMView::BGMView(QWidget *parent) : QWidget(parent) {}

void BGMView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    painter.fillPath(QoDrawing::roundedPath(bounds, 0), QColor(249, 250, 251));
}
