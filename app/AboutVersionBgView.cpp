#include "AboutVersionBgView.h"

#include "GetColor.h"

#include <QPainter>
#include <QPainterPath>

AboutVersionBgView::AboutVersionBgView(QWidget *parent) : QWidget(parent) {}

void AboutVersionBgView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 4, 4);
    p.fillPath(plate, getColor(229, 239, 255, 1));
}
