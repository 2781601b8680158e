#pragma once
// The panel laid over the main window (confirmations, busy and done panels):
// a StatusAttachedWindow that hosts a controller's view, its bottom-left
// corner on the main window's, a child of the main window above it. It is not
// modal: the caller carries on at once, and the panel stays until the hosted
// controller closes it.
class PanelHostedController;
class QWidget;
class StatusAttachedWindow;

class MainWindowPanel {
public:
    // `sizeToMainWindow` gives the view the main window's frame size first.
    // Without a main window the panel is built from the empty rectangle and
    // is not shown. The panel deletes itself, and the controller with it,
    // when it closes.
    static StatusAttachedWindow *show(PanelHostedController *controller, QWidget *mainWindow,
                                      bool sizeToMainWindow = false);
};
