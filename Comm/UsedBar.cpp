#include "UsedBar.h"

UsedBar::UsedBar(QWidget *parent) : QWidget(parent) {}

float UsedBar::usedWidth(float width, float percent)
{
    const float used = width * (percent / 100.0f);
    return used > width - 1 ? width : used;
}

void UsedBar::changeProgressValue(float percent)
{
    _used = usedWidth(float(geometry().width()), percent);
    update();
}
