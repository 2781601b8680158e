#include "RMAAttachedWindow.h"

AttachedWindowDefaults RMAAttachedWindow::defaults()
{
    AttachedWindowDefaults d;
    d.backgroundColor = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 0.97f);
    d.borderColor = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 1.0f);
    d.borderWidth = 1;
    d.viewMargin = 2;
    d.arrowBaseWidth = 0;
    d.arrowHeight = 0;
    d.hasArrow = true;
    d.cornerRadius = 6;
    d.drawsRoundCornerBesideArrow = true;
    d.hasShadow = false;
    d.movableByWindowBackground = false;
    d.usesOptimizedDrawing = true;
    d.stopsModalOnClose = false;
    return d;
}

RMAAttachedWindow::RMAAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance)
    : AttachedWindow(view, point, window, side, distance, defaults())
{
    finishCreation();
}

std::unique_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                                   int side, double distance, double withWindowBgAlpha)
{
    (void)withWindowBgAlpha;
    if (!view)
        return nullptr;
    return std::unique_ptr<RMAAttachedWindow>(new RMAAttachedWindow(view, point, window, side, float(distance)));
}

void RMAAttachedWindow::windowDidResignKey()
{
    if (m_delegate)
        m_delegate->closeMattachedWindow();
}
