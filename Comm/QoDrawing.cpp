#include "QoDrawing.h"

#include <QPainter>
#include <QWidget>
#include <cmath>

#include "CocoaGeometry.h"

namespace QoDrawing {

QPainterPath roundedPath(const QRectF &rect, double radius, double inset)
{
    const QRectF r = rect.adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    if (radius <= 0)
        path.addRect(r);
    else
        path.addRoundedRect(r, radius, radius);
    return path;
}

void strokeWithShadow(QPainter &painter, const QPainterPath &path, const QPen &pen, const QColor &shadowColor,
                      const QPointF &offset, double blur)
{
    painter.save();
    const QPainterPath moved = path.translated(offset);
    const double width = pen.widthF() > 0 ? pen.widthF() : 1.0;
    if (blur <= 0) {
        QPen shadowPen(pen);
        shadowPen.setColor(shadowColor);
        painter.strokePath(moved, shadowPen);
    } else {
        // Widening strokes of a fraction of the shadow's alpha pile up to a
        // soft edge that is strongest on the line itself.
        const int steps = std::max(2, int(std::ceil(blur * 2)));
        for (int i = steps; i >= 1; --i) {
            QColor ring(shadowColor);
            ring.setAlphaF(float(shadowColor.alphaF() / steps * 1.5));
            QPen ringPen(pen);
            ringPen.setColor(ring);
            ringPen.setWidthF(width + 2.0 * blur * i / steps);
            painter.strokePath(moved, ringPen);
        }
    }
    painter.strokePath(path, pen);
    painter.restore();
}

QRectF cocoaFrame(const QWidget *view)
{
    const QWidget *parent = view->parentWidget();
    if (!parent || view->isWindow())
        return QRectF(QPointF(0, 0), QSizeF(view->size()));
    return CocoaGeometry::toCocoa(QRectF(view->geometry()), parent->height());
}

} // namespace QoDrawing
