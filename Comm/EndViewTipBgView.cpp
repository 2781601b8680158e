#include "EndViewTipBgView.h"

#include <QPainter>
#include <QPainterPath>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

EndViewTipBgView::EndViewTipBgView(QWidget *parent) : QWidget(parent) {}

void EndViewTipBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    const QRectF bounds(0, 0, width(), height());
    QPainterPath path;
    path.addRoundedRect(bounds, 4, 4);
    QPen pen(QColor(230, 230, 235), 2);
    // 5 points on, 5 off: Qt counts dashes in line widths, and its default
    // square cap would lengthen every dash by the line's width.
    pen.setCapStyle(Qt::FlatCap);
    pen.setDashPattern({5.0 / 2, 5.0 / 2});
    pen.setDashOffset(0);
    painter.strokePath(path, pen);
}
