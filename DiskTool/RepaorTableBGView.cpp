#include "RepaorTableBGView.h"

#include "QoDrawing.h"

#include <QPainter>

RepaorTableBGView::RepaorTableBGView(QWidget *parent) : QWidget(parent) {}

void RepaorTableBGView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(QoDrawing::roundedPath(QRectF(rect()), 10),
                     QColor::fromRgbF(52 / 255.0, 52 / 255.0, 52 / 255.0, 1));
}
