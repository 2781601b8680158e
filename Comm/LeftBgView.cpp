#include "LeftBgView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

LeftBgView::LeftBgView(QWidget *parent) : QWidget(parent) {}

void LeftBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(QoDrawing::cocoaFrame(this), 9), QColor(225, 231, 239));
}
