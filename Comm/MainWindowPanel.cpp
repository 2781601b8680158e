#include "MainWindowPanel.h"

#include "ChildWindows.h"
#include "CocoaGeometry.h"
#include "PanelHostedController.h"
#include "StatusAttachedWindow.h"

StatusAttachedWindow *MainWindowPanel::show(PanelHostedController *controller, QWidget *mainWindow,
                                            bool sizeToMainWindow)
{
    if (!controller)
        return nullptr;
    QWidget *main = mainWindow ? mainWindow->window() : nullptr;
    const QRectF m =
        main ? CocoaGeometry::toCocoa(QRectF(main->frameGeometry()), CocoaGeometry::screenHeight()) : QRectF();
    if (sizeToMainWindow)
        controller->resize(m.size().toSize());

    const QPointF point(m.x() + m.width() * 0.5 - 3, m.y());
    StatusAttachedWindow *panel = StatusAttachedWindow::initWithView(controller, point, nullptr, 1, 5).release();
    panel->setAttribute(Qt::WA_DeleteOnClose);
    // The window lets go of the hosted view when it goes; nothing else holds a
    // controller that a page keeps in no field.
    QObject::connect(panel, &QObject::destroyed, controller, &QObject::deleteLater);
    controller->setSuperDelegate(panel);
    panel->setFrameOrigin(m.topLeft());
    if (main) {
        ChildWindows::addChildWindow(main, panel);
        panel->show();
        panel->raise();
    }
    return panel;
}
