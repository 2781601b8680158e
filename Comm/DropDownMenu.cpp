#include "DropDownMenu.h"

#include "ChildWindows.h"
#include "Dispatch.h"

std::unique_ptr<RMAAttachedWindow> DropDownMenu::createWindow(QWidget *view, QWidget *parentWindow,
                                                              const QPointF &point)
{
    QWidget *parent = parentWindow ? parentWindow->window() : nullptr;
    auto window = RMAAttachedWindow::initWithView(view, point, parent, 3, 0, 0.8);
    if (window && parent)
        ChildWindows::addChildWindow(parent, window.get());
    return window;
}

void DropDownMenu::detach(RMAAttachedWindow *window)
{
    if (!window)
        return;
    if (QWidget *parent = ChildWindows::parentWindow(window))
        ChildWindows::removeChildWindow(parent, window);
}

void DropDownMenu::takeAway(std::unique_ptr<RMAAttachedWindow> &window)
{
    if (!window)
        return;
    detach(window.get());
    window->orderOut();
    window.reset();
}

void DropDownMenu::scheduleClosing(QObject *page, RMAAttachedWindow *window, std::function<void()> closer)
{
    QPointer<QObject> guard(page);
    const bool made = window != nullptr;
    QPointer<RMAAttachedWindow> menu = window;
    Platform::Dispatch::after(ClosingDelay, Platform::Dispatch::Queue::Global,
                              [guard, made, menu, closer = std::move(closer)] {
                                  Platform::Dispatch::mainAsync([guard, made, menu, closer] {
                                      if (guard && closer && (!made || menu))
                                          closer();
                                  });
                              });
}

void DropDownMenu::queueOnMain(std::function<void()> block) { Platform::Dispatch::mainAsync(std::move(block)); }
