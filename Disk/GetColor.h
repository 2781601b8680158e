#pragma once
#include <QColor>

// A colour from red, green and blue in 0 to 255 and an alpha in 0 to 1.
QColor getColor(float red, float green, float blue, float alpha);
