#include "CocoaPath.h"

#include <QLineF>
#include <QRectF>
#include <QtMath>

namespace CocoaPath {

void appendArc(QPainterPath &path, const QPointF &center, double radius, double startDegrees, double endDegrees,
               bool clockwise)
{
    double sweep = endDegrees - startDegrees;
    if (!clockwise) {
        while (sweep < 0)
            sweep += 360;
    } else {
        while (sweep > 0)
            sweep -= 360;
    }
    const double a = qDegreesToRadians(startDegrees);
    const QPointF start(center.x() + radius * std::cos(a), center.y() + radius * std::sin(a));
    if (path.elementCount() == 0)
        path.moveTo(start);
    else
        path.lineTo(start);
    // QPainterPath measures angles with y growing downwards; in a y-up space
    // the same arc has the negated angles.
    path.arcTo(QRectF(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius), -startDegrees, -sweep);
}

void appendArcFromPoint(QPainterPath &path, const QPointF &corner, const QPointF &toward, double radius)
{
    const QPointF current = path.currentPosition();
    if (radius <= 0) {
        path.lineTo(corner);
        return;
    }
    const QLineF in(corner, current);
    const QLineF out(corner, toward);
    if (in.length() == 0 || out.length() == 0) {
        path.lineTo(corner);
        return;
    }
    const QPointF uIn = (current - corner) / in.length();
    const QPointF uOut = (toward - corner) / out.length();
    // Right-angled corners only: the tangent points lie `radius` along each
    // line and the centre is their sum away from the corner.
    const QPointF t1 = corner + uIn * radius;
    const QPointF center = corner + (uIn + uOut) * radius;
    const QPointF t2 = corner + uOut * radius;
    path.lineTo(t1);
    const double startDeg = qRadiansToDegrees(std::atan2(t1.y() - center.y(), t1.x() - center.x()));
    const double endDeg = qRadiansToDegrees(std::atan2(t2.y() - center.y(), t2.x() - center.x()));
    double sweep = endDeg - startDeg;
    while (sweep > 180)
        sweep -= 360;
    while (sweep < -180)
        sweep += 360;
    path.arcTo(QRectF(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius), -startDeg, -sweep);
}

} // namespace CocoaPath
