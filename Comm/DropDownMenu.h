#pragma once
// The drop-down menu of the pages: an RMAAttachedWindow hosting a small menu
// view above a point of its parent window, closed after 3 seconds unless the
// pointer is in it. The page keeps the menu controller, the window and
// isPopSortWin in its own fields and hands them in here.
//
// isPopSortWin is set while the menu is up and the timed closing may take it
// away; the menu view clears it while the pointer is inside (through
// mouseEixtView), so the pending closing then does nothing.
#include "RMAAttachedWindow.h"

#include <QPointF>
#include <QPointer>
#include <functional>
#include <memory>

class DropDownMenu {
public:
    static constexpr double ClosingDelay = 3;

    template <class VC>
    struct Fields {
        std::unique_ptr<VC> &menuVC;
        std::unique_ptr<RMAAttachedWindow> &sortAttachedWindow;
        bool &isPopSortWin;
    };

    // Opens the menu unless one may still be closed by its timer
    // (isPopSortWin set). `makeController` creates the menu controller with
    // the page as its delegate; `closeMattachedWindow` is the page's closing
    // routine, called 3 seconds later through the main queue (dropped when the
    // page has gone).
    template <class VC>
    static void show(QObject *page, const Fields<VC> &f, QWidget *parentWindow, const QPointF &point,
                     const std::function<std::unique_ptr<VC>()> &makeController,
                     std::function<void()> closeMattachedWindow)
    {
        if (f.isPopSortWin)
            return;
        f.isPopSortWin = true;
        f.menuVC.reset();
        f.menuVC = makeController();
        takeAway(f.sortAttachedWindow);
        f.sortAttachedWindow = createWindow(f.menuVC.get(), parentWindow, point);
        scheduleClosing(page, f.sortAttachedWindow.get(), std::move(closeMattachedWindow));
    }

    // The closing step: queued on the main queue; nothing while isPopSortWin is clear.
    template <class VC>
    static void close(QObject *page, const Fields<VC> &fields)
    {
        QPointer<QObject> guard(page);
        queueOnMain([guard, f = fields] {
            if (!guard || !f.isPopSortWin)
                return;
            f.isPopSortWin = false;
            detach(f.sortAttachedWindow.get());
            f.menuVC.reset();
            takeAway(f.sortAttachedWindow);
        });
    }

    // What the menu view reports: `exited` is false when the pointer entered
    // the menu, true when it left it (or an entry was chosen). Leaving closes
    // the menu at once through the page's closing routine.
    template <class VC>
    static void mouseEixtView(const Fields<VC> &f, bool exited, const std::function<void()> &closeMattachedWindow)
    {
        f.isPopSortWin = exited;
        if (exited && closeMattachedWindow)
            closeMattachedWindow();
    }

private:
    static std::unique_ptr<RMAAttachedWindow> createWindow(QWidget *view, QWidget *parentWindow, const QPointF &point);
    static void detach(RMAAttachedWindow *window);
    static void takeAway(std::unique_ptr<RMAAttachedWindow> &window);
    // The timed closing of `window`: nothing once that menu has gone (closed,
    // or replaced by a newer one, whose own timer closes it).
    static void scheduleClosing(QObject *page, RMAAttachedWindow *window, std::function<void()> closer);
    static void queueOnMain(std::function<void()> block);
};
