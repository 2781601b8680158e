#include "TopBgView.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

TopBgView::TopBgView(QWidget *parent) : QWidget(parent) {}

void TopBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    const double h = bounds.height();
    painter.fillPath(QoDrawing::roundedPath(QRectF(80, h - 100, 808, 100), 16), QColor(242, 247, 255));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, 90, 20), 16), QColor(65, 98, 255));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, h - 100, 112, 100), 16), QColor(65, 98, 255));
}
