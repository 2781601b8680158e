#include "CocoaGeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace CocoaGeometry {

QRectF toQt(const QRectF &r, double height)
{
    return QRectF(r.x(), height - r.y() - r.height(), r.width(), r.height());
}

QPointF toQt(const QPointF &p, double height) { return QPointF(p.x(), height - p.y()); }

QTransform toQtTransform(double height) { return QTransform(1, 0, 0, -1, 0, height); }

QRectF toCocoa(const QRectF &r, double height)
{
    return QRectF(r.x(), height - r.y() - r.height(), r.width(), r.height());
}

QPointF toCocoa(const QPointF &p, double height) { return QPointF(p.x(), height - p.y()); }

double screenHeight()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    const QRect g = screen->geometry();
    return g.y() + g.height();
}

} // namespace CocoaGeometry
