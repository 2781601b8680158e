#include "VoTitlebarContainer.h"

#include "ZrImageWindow.h"

#include <QMouseEvent>

VoTitlebarContainer::VoTitlebarContainer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("titleBarContainer"));
}

bool VoTitlebarContainer::endDragTracking()
{
    const bool was = m_tracking;
    m_tracking = false;
    return was;
}

void VoTitlebarContainer::mousePressEvent(QMouseEvent *event)
{
    // The mouse-down itself goes on to the window, as nothing here takes it;
    // only the left button makes one.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (auto *w = qobject_cast<ZrImageWindow *>(window()))
        w->mouseDown();
    m_tracking = false;
    event->accept();
}

void VoTitlebarContainer::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    QWidget *w = window();
    if (w->windowState() & Qt::WindowFullScreen) {
        event->accept();
        return;
    }
    const QPoint now = event->globalPosition().toPoint();
    if (!m_tracking) {
        // The first drag event fixes the start; the window follows from the next one.
        m_tracking = true;
        m_previous = now;
        m_origin = w->pos();
        event->accept();
        return;
    }
    m_origin += now - m_previous;
    w->move(m_origin);
    m_previous = now;
    event->accept();
}

void VoTitlebarContainer::mouseReleaseEvent(QMouseEvent *event)
{
    if (endDragTracking()) {
        event->accept();
        return;
    }
    event->ignore();
}
