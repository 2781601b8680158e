#include "VoPopoverParentWindow.h"

#include "ChildWindows.h"
#include "VoPopoverController.h"
#include "VoPopoverWindow.h"

VoPopoverParentWindow::VoPopoverParentWindow(QWidget *parent) : QWidget(parent, Qt::Window) {}

bool VoPopoverParentWindow::isKeyWindow() const
{
    if (isActiveWindow())
        return true;
    for (QWidget *child : ChildWindows::childWindows(this)) {
        if (qobject_cast<VoPopoverWindow *>(child))
            return VoPopoverController::isApplicationActive();
    }
    return false;
}
