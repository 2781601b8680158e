#pragma once
#include <QPointer>

class QWidget;

namespace Platform {

// runModalForWindow: / stopModal: a window shown application-modal in a nested
// event loop that returns once the window stops the loop (or is closed).
class App {
public:
    static int runModal(QWidget *window);
    static void stopModal(int code = 0);
    static bool isRunningModal();
    static QWidget *modalWindow();
};

} // namespace Platform
