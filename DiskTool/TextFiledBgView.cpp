#include "TextFiledBgView.h"

#include "GetColor.h"
#include "QoDrawing.h"

#include <QPainter>
#include <QPen>

TextFiledBgView::TextFiledBgView(QWidget *parent) : QWidget(parent) {}

void TextFiledBgView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    painter.fillPath(QoDrawing::roundedPath(bounds, 4, 0), getColor(255, 255, 255, 1));
    painter.setPen(QPen(getColor(218, 220, 224, 1), 1));
    painter.drawPath(QoDrawing::roundedPath(bounds, 4, 0.5));
}
