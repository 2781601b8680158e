#pragma once
// Small drawing helpers shared by the drawn views and bars.
#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

class QPainter;
class QWidget;

namespace QoDrawing {

// The rounded rectangle of `rect` inset by `inset` on each side (half a point
// puts 1-point edges on pixel centres); radius 0 gives square corners.
QPainterPath roundedPath(const QRectF &rect, double radius, double inset = 0.5);

// Strokes `path` with `pen` over its shadow: the same stroke in
// `shadowColor`, moved by `offset` and softened over `blur` points.
void strokeWithShadow(QPainter &painter, const QPainterPath &path, const QPen &pen, const QColor &shadowColor,
                      const QPointF &offset, double blur);

// A view's frame as its superview places it, with the origin at the
// superview's bottom-left corner (the superview's height comes from the
// widget's parent; a widget without one sits at (0, 0)). Some drawn views use
// this rectangle, unchanged, as a rectangle of their own coordinates.
QRectF cocoaFrame(const QWidget *view);

} // namespace QoDrawing
