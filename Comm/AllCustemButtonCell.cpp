#include "AllCustemButtonCell.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

void AllCustemButtonCell::drawTitle(QPainter &painter, const QStyleOptionButton &option,
                                    const QWidget *controlView) const
{
    painter.save();
    QStyleOptionButton white(option);
    white.palette.setColor(QPalette::ButtonText, Qt::white);
    white.palette.setColor(QPalette::WindowText, Qt::white);
    white.palette.setColor(QPalette::Text, Qt::white);
    QStyle *style = controlView ? controlView->style() : nullptr;
    if (style)
        style->drawControl(QStyle::CE_PushButtonLabel, &white, &painter, controlView);
    painter.restore();
}
