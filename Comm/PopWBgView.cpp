#include "PopWBgView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

PopWBgView::PopWBgView(QWidget *parent) : QWidget(parent) {}

void PopWBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF frame = QoDrawing::cocoaFrame(this);
    painter.fillPath(QoDrawing::roundedPath(frame, 10), QColor(255, 255, 255));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, frame.height() - 19, frame.width(), 20), 0), QColor(255, 52, 52));
}
