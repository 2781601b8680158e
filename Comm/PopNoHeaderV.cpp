#include "PopNoHeaderV.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

PopNoHeaderV::PopNoHeaderV(QWidget *parent) : QWidget(parent) {}

void PopNoHeaderV::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(QoDrawing::cocoaFrame(this), 16), QColor(52, 52, 52));
}
