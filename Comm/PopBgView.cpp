#include "PopBgView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

PopBgView::PopBgView(QWidget *parent) : QWidget(parent) {}

void PopBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    painter.fillPath(QoDrawing::roundedPath(bounds, 4), QColor(55, 55, 55));
}
