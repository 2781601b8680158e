#include "MainBgView.h"

#include "CocoaGeometry.h"

#include <QPainter>

MainBgView::MainBgView(QWidget *parent) : QWidget(parent) {}

void MainBgView::paintEvent(QPaintEvent *)
{
    // The whole view is drawn on every paint: Qt repaints small regions
    // often, and the line's place must not depend on which one.
    const double w = width(), h = height();
    QPainter p(this);
    p.setTransform(CocoaGeometry::toQtTransform(h));
    p.fillRect(QRectF(0, 0, w, h), QColor(38, 38, 38));
    if (w < 800) {
        p.setPen(QPen(QColor(55, 55, 55), 1));
        p.drawLine(QPointF(0, h - 1), QPointF(w, h - 1));
    }
}
