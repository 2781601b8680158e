#include "ZrAdditions.h"

QColor Vo_CGColorCreate(const QColor &color)
{
    const QColor rgb = color.toRgb();
    float r = 0, g = 0, b = 0, a = 0;
    rgb.getRgbF(&r, &g, &b, &a);
    return QColor::fromRgbF(r, g, b, a);
}
