#pragma once
// Colour additions of the window classes.
#include <QColor>

// The colour's red, green, blue and alpha read out in RGB and made into a new
// RGB colour (whatever colour model it was given in).
QColor Vo_CGColorCreate(const QColor &color);
