#include "StatusAttachedWindow.h"

#include "WindowImage.h"

#include <QLabel>
#include <QMouseEvent>

AttachedWindowDefaults StatusAttachedWindow::defaults()
{
    AttachedWindowDefaults d;
    d.backgroundColor = QColor(Qt::transparent);
    d.borderColor = QColor();
    d.borderWidth = 0;
    d.viewMargin = 0;
    d.arrowBaseWidth = 15;
    d.arrowHeight = 0;
    d.hasArrow = false;
    d.cornerRadius = 8;
    d.drawsRoundCornerBesideArrow = true;
    d.outlineOnWholeBody = true;
    d.hasShadow = true;
    d.movableByWindowBackground = false;
    d.usesOptimizedDrawing = false;
    d.stopsModalOnClose = true;
    return d;
}

StatusAttachedWindow::StatusAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side,
                                           float distance)
    : AttachedWindow(view, point, window, side, distance, defaults())
{
    setMovableByWindowBackground(false);
    setMouseTracking(true);
    finishCreation();
    updateTrackingAreas();
}

std::unique_ptr<StatusAttachedWindow> StatusAttachedWindow::initWithView(QWidget *view, const QPointF &point,
                                                                         QWidget *window, int side, double distance)
{
    if (!view)
        return nullptr;
    return std::unique_ptr<StatusAttachedWindow>(new StatusAttachedWindow(view, point, window, side, float(distance)));
}

void StatusAttachedWindow::addBackgroundViews()
{
    m_imageView = new QLabel(this);
    m_imageView->setObjectName(QStringLiteral("popWBg"));
    m_imageView->setGeometry(rect());
    m_imageView->setScaledContents(true);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_imageView->setPixmap(windowImageNamed(QStringLiteral("popWBg"), size(), devicePixelRatioF()));
    m_imageView->show();
}

void StatusAttachedWindow::updateTrackingAreas() { m_trackingArea = rect(); }

void StatusAttachedWindow::setPointerInside(bool inside)
{
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    if (m_delegate)
        m_delegate->mouseInWindow(inside);
}

void StatusAttachedWindow::windowDidResignKey()
{
    if (m_delegate)
        m_delegate->isHiddenWindow();
}

void StatusAttachedWindow::pointerEntered() { setPointerInside(true); }

void StatusAttachedWindow::pointerExited() { setPointerInside(false); }

void StatusAttachedWindow::mouseMoveEvent(QMouseEvent *event)
{
    setPointerInside(m_trackingArea.contains(event->position().toPoint()));
    AttachedWindow::mouseMoveEvent(event);
}
