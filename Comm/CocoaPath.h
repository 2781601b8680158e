#pragma once
// Path building in bottom-left (Cocoa) coordinates: angles are counted
// counter-clockwise from the positive x axis with y growing upwards, as the
// drawing code of the original design states them. Draw the result through
// CocoaGeometry::toQtTransform.
#include <QPainterPath>
#include <QPointF>

namespace CocoaPath {

// Appends a circular arc around `center` from `startDegrees` to `endDegrees`
// (counter-clockwise when `clockwise` is false); a line joins the current
// point to the arc's start, and an empty path starts there.
void appendArc(QPainterPath &path, const QPointF &center, double radius, double startDegrees, double endDegrees,
               bool clockwise = false);

// Appends the arc of `radius` tangent to the lines current point → `corner`
// and `corner` → `toward` (for the right-angled corners of a rounded
// rectangle), preceded by the straight part up to the arc.
void appendArcFromPoint(QPainterPath &path, const QPointF &corner, const QPointF &toward, double radius);

} // namespace CocoaPath
