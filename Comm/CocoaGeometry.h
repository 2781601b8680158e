#pragma once
// Window and screen geometry is worked out with the numbers of the original
// design: points, origin at the bottom-left, y growing upwards. Qt puts the
// origin at the top-left with y growing downwards. These are the only places
// where one becomes the other; `height` is the height of the space the
// coordinates live in (a window's height for window coordinates, the screen
// reference height for screen coordinates).
#include <QPointF>
#include <QRectF>
#include <QTransform>

namespace CocoaGeometry {

// Bottom-left (Cocoa) → top-left (Qt).
QRectF toQt(const QRectF &cocoaRect, double height);
QPointF toQt(const QPointF &cocoaPoint, double height);
// The same mapping as a painter transform: draw Cocoa-coordinate paths into a
// Qt surface of that height.
QTransform toQtTransform(double height);

// Top-left (Qt) → bottom-left (Cocoa).
QRectF toCocoa(const QRectF &qtRect, double height);
QPointF toCocoa(const QPointF &qtPoint, double height);

// Cocoa screen coordinates are measured from the bottom edge of the primary
// screen; this is the Qt y of that edge (0 without a screen).
double screenHeight();

} // namespace CocoaGeometry
