#include "NODEAttachedWindow.h"

AttachedWindowDefaults NODEAttachedWindow::defaults()
{
    AttachedWindowDefaults d;
    d.backgroundColor = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 1.0f);
    d.borderColor = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 1.0f);
    d.borderWidth = 0.2f;
    d.viewMargin = 2;
    d.arrowBaseWidth = 0;
    d.arrowHeight = 0;
    d.hasArrow = true;
    d.cornerRadius = 4;
    d.drawsRoundCornerBesideArrow = false;
    d.hasShadow = true;
    d.movableByWindowBackground = true;
    d.usesOptimizedDrawing = true;
    d.stopsModalOnClose = true;
    return d;
}

NODEAttachedWindow::NODEAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance)
    : AttachedWindow(view, point, window, side, distance, defaults())
{
    finishCreation();
}

std::unique_ptr<NODEAttachedWindow> NODEAttachedWindow::initWithView(QWidget *view, const QPointF &point,
                                                                     QWidget *window, int side, double distance)
{
    if (!view)
        return nullptr;
    return std::unique_ptr<NODEAttachedWindow>(new NODEAttachedWindow(view, point, window, side, float(distance)));
}
