#include "MainRightView.h"

#include "CocoaGeometry.h"
#include "CocoaPath.h"
#include "GetColor.h"

#include <QPainter>
#include <QPainterPath>

MainRightView::MainRightView(QWidget *parent) : QWidget(parent) {}

void MainRightView::paintEvent(QPaintEvent *)
{
    const double w = width(), h = height();
    const QColor fill = getColor(55, 55, 55, 1);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(CocoaGeometry::toQtTransform(h));

    QPainterPath body;
    body.moveTo(0, 0);
    body.lineTo(0, h - 8);
    CocoaPath::appendArc(body, QPointF(8, h - 8), 8, 0, 90);
    body.lineTo(w, h);
    body.lineTo(w, 0);
    body.lineTo(0, 0);
    p.fillPath(body, fill);

    QPainterPath corner;
    corner.addRoundedRect(QRectF(0, h - 18, 100, 18), 8, 8);
    p.fillPath(corner, fill);
}
