#include "ErrorBubble.h"

#include "ChildWindows.h"
#include "Dispatch.h"
#include "ErrorViewController.h"
#include "NODEAttachedWindow.h"

namespace {

void takeAway(std::unique_ptr<NODEAttachedWindow> &window)
{
    if (!window)
        return;
    if (QWidget *parent = ChildWindows::parentWindow(window.get()))
        ChildWindows::removeChildWindow(parent, window.get());
    window->orderOut();
    window.reset();
}

} // namespace

double ErrorBubble::xForLeftOrRight(int leftOrRight) { return leftOrRight == 1 ? RightCardX : LeftCardX; }

void ErrorBubble::show(QObject *page, const ErrorBubbleFields &f, QWidget *mainWindow, const QString &message, double x,
                       std::function<void()> closeErrorWindow)
{
    f.showErrorW = true;
    f.errorVC = std::make_unique<ErrorViewController>();
    f.isErrorPopWin = true;

    takeAway(f.errorPopWin);
    QWidget *main = mainWindow ? mainWindow->window() : nullptr;
    f.errorPopWin = NODEAttachedWindow::initWithView(f.errorVC.get(), QPointF(x, CardY), main, 3, 0);
    f.errorVC->setErrorStr(message);
    if (main && f.errorPopWin)
        ChildWindows::addChildWindow(main, f.errorPopWin.get());

    // The closing belongs to this bubble: once a newer one has taken its
    // place (or it was closed early) there is nothing left for it to close.
    QPointer<QObject> guard(page);
    const bool made = f.errorPopWin != nullptr;
    QPointer<NODEAttachedWindow> shown = f.errorPopWin.get();
    Platform::Dispatch::after(ClosingDelay, Platform::Dispatch::Queue::Global,
                              [guard, made, shown, closer = std::move(closeErrorWindow)] {
                                  Platform::Dispatch::mainAsync([guard, made, shown, closer] {
                                      if (guard && closer && (!made || shown))
                                          closer();
                                  });
                              });
}

void ErrorBubble::close(QObject *page, const ErrorBubbleFields &fields)
{
    QPointer<QObject> guard(page);
    Platform::Dispatch::mainAsync([guard, f = fields] {
        if (!guard || !f.isErrorPopWin)
            return;
        f.showErrorW = false;
        f.isErrorPopWin = false;
        if (f.errorPopWin) {
            if (QWidget *parent = ChildWindows::parentWindow(f.errorPopWin.get()))
                ChildWindows::removeChildWindow(parent, f.errorPopWin.get());
        }
        f.errorVC.reset();
        if (f.errorPopWin) {
            f.errorPopWin->orderOut();
            f.errorPopWin.reset();
        }
    });
}
