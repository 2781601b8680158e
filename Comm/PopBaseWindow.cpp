#include "PopBaseWindow.h"

#include "WindowShadow.h"

#include <QCloseEvent>
#include <QWindowStateChangeEvent>

PopBaseWindow::PopBaseWindow(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    WindowShadow::setWindowHasShadow(this, m_hasShadow);
}

void PopBaseWindow::setHasShadow(bool shadow)
{
    m_hasShadow = shadow;
    WindowShadow::setWindowHasShadow(this, shadow);
}

void PopBaseWindow::invalidateShadow()
{
    ++m_shadowUpdates;
    WindowShadow::invalidate(this);
}

void PopBaseWindow::windowWillClose() { m_observing = false; }

void PopBaseWindow::windowDidDeminiaturize() { invalidateShadow(); }

void PopBaseWindow::closeEvent(QCloseEvent *event)
{
    if (m_observing)
        windowWillClose();
    QWidget::closeEvent(event);
}

void PopBaseWindow::changeEvent(QEvent *event)
{
    if (m_observing && event->type() == QEvent::WindowStateChange) {
        const auto *e = static_cast<QWindowStateChangeEvent *>(event);
        if ((e->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            windowDidDeminiaturize();
    }
    QWidget::changeEvent(event);
}
