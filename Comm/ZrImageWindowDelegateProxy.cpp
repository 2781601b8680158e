#include "ZrImageWindowDelegateProxy.h"

#include "ZrImageWindow.h"
#include "ZrImageWindowDelegate.h"

QRectF ZrImageWindowDelegateProxy::windowWillPositionSheet(const ZrImageWindow *window, const QWidget *sheet,
                                                           const QRectF &rect) const
{
    (void)sheet;
    QRectF r = rect;
    if (window)
        r.moveTop(window->height() - window->titleBarHeight()); // y of a bottom-left rectangle
    return r;
}

bool ZrImageWindowDelegateProxy::windowShouldClose(ZrImageWindow *window) const
{
    return m_secondaryDelegate ? m_secondaryDelegate->windowShouldClose(window) : true;
}

void ZrImageWindowDelegateProxy::windowWillClose(ZrImageWindow *window) const
{
    if (m_secondaryDelegate)
        m_secondaryDelegate->windowWillClose(window);
}

void ZrImageWindowDelegateProxy::windowDidBecomeKey(ZrImageWindow *window) const
{
    if (m_secondaryDelegate)
        m_secondaryDelegate->windowDidBecomeKey(window);
}

void ZrImageWindowDelegateProxy::windowDidResignKey(ZrImageWindow *window) const
{
    if (m_secondaryDelegate)
        m_secondaryDelegate->windowDidResignKey(window);
}

void ZrImageWindowDelegateProxy::windowDidResize(ZrImageWindow *window) const
{
    if (m_secondaryDelegate)
        m_secondaryDelegate->windowDidResize(window);
}

void ZrImageWindowDelegateProxy::windowDidMove(ZrImageWindow *window) const
{
    if (m_secondaryDelegate)
        m_secondaryDelegate->windowDidMove(window);
}
