#include "SizeView.h"

#include "QoDrawing.h"

#include "GetColor.h"

#include <QPainter>
#include <algorithm>

SizeView::SizeView(QWidget *parent) : QWidget(parent) {}

void SizeView::setPercent(double percent)
{
    m_percent = std::clamp(percent, 0.0, 100.0);
    update();
}

double SizeView::filledWidth() const { return width() * m_percent / 100.0; }

void SizeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = height() / 2.0;
    painter.fillPath(QoDrawing::roundedPath(QRectF(rect()), radius), getColor(70, 70, 74, 1));
    const double filled = filledWidth();
    if (filled > 0)
        painter.fillPath(QoDrawing::roundedPath(QRectF(0, 0, filled, height()), radius), getColor(75, 159, 255, 1));
}
