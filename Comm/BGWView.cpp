#include "BGWView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

BGWView::BGWView(QWidget *parent) : QWidget(parent) {}

void BGWView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, 518, 888, 40), 0), QColor(242, 247, 255));
    painter.fillPath(QoDrawing::roundedPath(QoDrawing::cocoaFrame(this), 16), QColor(242, 247, 255));
}
