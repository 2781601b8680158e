#include "PanelHostedController.h"

#include "StatusAttachedWindow.h"

PanelHostedController::PanelHostedController(QWidget *parent) : QWidget(parent) {}

StatusAttachedWindow *PanelHostedController::superDelegate() const
{
    return static_cast<StatusAttachedWindow *>(m_superDelegate.data());
}

void PanelHostedController::setSuperDelegate(StatusAttachedWindow *window) { m_superDelegate = window; }

void PanelHostedController::closeWindow()
{
    if (auto *w = superDelegate())
        w->close();
}
