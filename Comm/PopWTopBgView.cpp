#include "PopWTopBgView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

PopWTopBgView::PopWTopBgView(QWidget *parent) : QWidget(parent) {}

void PopWTopBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF frame = QoDrawing::cocoaFrame(this);
    painter.fillPath(QoDrawing::roundedPath(frame, 10), QColor(52, 52, 52));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, -2, frame.width(), 12), 0), QColor(52, 52, 52));
}
