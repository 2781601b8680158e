#include "WipeDiskProView.h"

#include "GetColor.h"

#include <QPainter>
#include <QPainterPath>

WipeDiskProView::WipeDiskProView(QWidget *parent) : QWidget(parent) {}

void WipeDiskProView::changeProgressValue(float percent)
{
    const float w = float(width());
    _value = w * percent / 100.0f;
    if (_value > w - 1)
        _value = w;
    // A record whose free space exceeds its size would give a negative width.
    if (_value < 0)
        _value = 0;
    update();
}

void WipeDiskProView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The bar is as high as the view's bottom four points (the original's y 0).
    const double y = height() - 4;
    QPainterPath track;
    track.addRoundedRect(QRectF(0, y, width(), 4), 2, 2);
    painter.fillPath(track, getColor(221, 221, 223, 1));
    if (_value <= 0)
        return;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(0, y, _value, 4), 2, 2);
    painter.fillPath(bar, getColor(75, 159, 255, 1));
}
