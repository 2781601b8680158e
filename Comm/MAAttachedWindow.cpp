#include "MAAttachedWindow.h"

AttachedWindowDefaults MAAttachedWindow::defaults()
{
    AttachedWindowDefaults d;
    d.backgroundColor = QColor(Qt::white);
    d.borderColor = QColor(Qt::white);
    d.borderWidth = 0.2f;
    d.viewMargin = 2;
    d.arrowBaseWidth = 0;
    d.arrowHeight = 0;
    d.hasArrow = true;
    d.cornerRadius = 8;
    d.drawsRoundCornerBesideArrow = true;
    d.hasShadow = true;
    d.movableByWindowBackground = true;
    d.usesOptimizedDrawing = true;
    d.stopsModalOnClose = true;
    return d;
}

MAAttachedWindow::MAAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance)
    : AttachedWindow(view, point, window, side, distance, defaults())
{
    finishCreation();
}

std::unique_ptr<MAAttachedWindow> MAAttachedWindow::initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                                 int side, double distance)
{
    if (!view)
        return nullptr;
    return std::unique_ptr<MAAttachedWindow>(new MAAttachedWindow(view, point, window, side, float(distance)));
}
