// The About window closed by the window manager (Alt+F4, the frame's close
// button) rather than by its own close button: its modal run ends with it,
// and the main window takes input again.
#include <gtest/gtest.h>

#include "AppDelegate.h"

#include "App.h"
#include "TestSupport.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TEST(AboutWindow, AWindowManagerCloseEndsItsModalRun)
{
    TestSupport::TempRoot root;
    AppDelegate delegate;
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    mainWindow.show();

    bool closed = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (closed || w->objectName() != QLatin1String("ZrPreferenceWindowController") || !w->isVisible() ||
                !w->windowHandle())
                continue;
            EXPECT_EQ(QApplication::activeModalWidget(), w);
            closed = true;
            w->windowHandle()->close();
        }
    });
    watch.start(20);
    bool guardEnded = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardEnded = Platform::App::isRunningModal();
        Platform::App::stopModal();
    });
    guard.start(5000);

    delegate.aboutMenuItemAction();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(guardEnded) << "the close left the modal run going";
    EXPECT_FALSE(Platform::App::isRunningModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
