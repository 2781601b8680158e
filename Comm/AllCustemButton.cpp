#include "AllCustemButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

AllCustemButton::AllCustemButton(QWidget *parent) : QPushButton(parent) {}

void AllCustemButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    QStyleOptionButton label(option);
    label.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    _cell.drawTitle(painter, label, this);
}
