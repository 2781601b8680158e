#include "DiskSizeProgress.h"

#include <QPainter>

#include "CocoaGeometry.h"
#include "QoDrawing.h"

DiskSizeProgress::DiskSizeProgress(QWidget *parent) : UsedBar(parent) {}

void DiskSizeProgress::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, width(), height()), 2, 0), QColor(221, 221, 223));
    if (_used > 0) {
        // A two-stop gradient of one colour: a plain fill.
        painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, _used, height()), 2, 0), QColor(75, 159, 255));
    }
}
