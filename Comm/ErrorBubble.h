#pragma once
// The error bubble of the pages: a NODEAttachedWindow holding an
// ErrorViewController, above a point of the main window beside the left-hand
// or right-hand card, closed after 10 seconds. The page keeps the controller,
// the window and the two flags in its own fields and hands them in here.
//
// The closing is always done on the main queue and only while isErrorPopWin
// is set, so a late timed closing finds nothing to do. Every show schedules
// its own closing, which closes that bubble only: once a newer bubble has
// replaced it, or it was closed early, its timer does nothing.
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class ErrorViewController;
class NODEAttachedWindow;
class QObject;
class QWidget;

struct ErrorBubbleFields {
    std::unique_ptr<ErrorViewController> &errorVC;
    std::unique_ptr<NODEAttachedWindow> &errorPopWin;
    bool &showErrorW;
    bool &isErrorPopWin;
};

class ErrorBubble {
public:
    static constexpr double LeftCardX = 446;
    static constexpr double RightCardX = 946;
    static constexpr double CardY = 223;
    static constexpr double ClosingDelay = 10;

    // 946 (the right-hand card) for 1, 446 for any other value.
    static double xForLeftOrRight(int leftOrRight);

    // Shows `message` above (x, 223) of the main window and schedules
    // `closeErrorWindow` (the page's closing routine) 10 seconds ahead. The
    // delayed call reaches the page through the main queue and is dropped
    // when the page has gone meanwhile. Without a main window the bubble is
    // made but not shown.
    static void show(QObject *page, const ErrorBubbleFields &fields, QWidget *mainWindow, const QString &message,
                     double x, std::function<void()> closeErrorWindow);
    // The closing step: queued on the main queue; nothing while isErrorPopWin is clear.
    static void close(QObject *page, const ErrorBubbleFields &fields);
};
