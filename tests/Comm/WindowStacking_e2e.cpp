// The windows and their shadows on a real X server of the test's own, with a
// compositing manager, with and without a window manager: the order the
// server stacks them in, what the window manager lists, minimise and
// restore, and clicks from the pointer reaching the window.
#include <gtest/gtest.h>

#include "ChildWindows.h"
#include "ErrorViewController.h"
#include "NODEAttachedWindow.h"
#include "PrivateXServer.h"
#include "StandardWindowButton.h"
#include "TestSupport.h"
#include "WindowShadow.h"
#include "ZrImageWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using TestSupport::XDisplay;

namespace {

std::unique_ptr<ZrImageWindow> shownMainWindow()
{
    auto w = std::make_unique<ZrImageWindow>(QSize(900, 578));
    w->setTitleBarHeight(48);
    w->setTrafficLightButtonsLeftMargin(16);
    w->setTopButtonMoveUp(-3);
    w->setWindowTitle(QStringLiteral("Tarnwick"));
    w->move(120, 100);
    w->show();
    return w;
}

uint32_t idOf(QWidget *w) { return uint32_t(w->winId()); }

// Where each window lies in the server's stacking: the shadow of each one
// directly below it, the bubble and its shadow above the main window.
void expectShadowsDirectlyBelow(const XDisplay &x, const QList<QWidget *> &bottomToTop)
{
    int previous = -1;
    for (QWidget *w : bottomToTop) {
        SCOPED_TRACE(w->objectName().toStdString());
        WindowShadow *shadow = WindowShadow::of(w);
        ASSERT_TRUE(shadow);
        const int window = x.stackingIndexOf(idOf(w));
        const int below = x.stackingIndexOf(idOf(shadow));
        ASSERT_GE(window, 0);
        EXPECT_EQ(below, window - 1) << "the shadow lies at " << below << ", its window at " << window;
        EXPECT_GT(below, previous) << "under the window before";
        previous = window;
    }
}

bool shadowsDirectlyBelow(const XDisplay &x, const QList<QWidget *> &windows)
{
    for (QWidget *w : windows) {
        WindowShadow *shadow = WindowShadow::of(w);
        if (!shadow || x.stackingIndexOf(idOf(shadow)) != x.stackingIndexOf(idOf(w)) - 1)
            return false;
    }
    return true;
}

// The error bubble over the card, then the main window raised and made
// active again (as a popover does when it closes after a choice).
void bubbleThenMainRaised()
{
    XDisplay x;
    ASSERT_TRUE(x.ok());
    auto main = shownMainWindow();
    main->setObjectName(QStringLiteral("main"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    ErrorViewController vc;
    auto bubble = NODEAttachedWindow::initWithView(&vc, QPointF(446, 223), main.get(), 3, 0);
    bubble->setObjectName(QStringLiteral("bubble"));
    vc.setErrorStr(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    ChildWindows::addChildWindow(main.get(), bubble.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bubble.get()));
    ASSERT_TRUE(WindowShadow::of(main.get()) && WindowShadow::of(bubble.get()));

    main->raise();
    main->activateWindow();
    const QList<QWidget *> order{main.get(), bubble.get()};
    TestSupport::waitUntil([&] { return shadowsDirectlyBelow(x, order); }, 5000);
    expectShadowsDirectlyBelow(x, order);
    // Still so once everything has settled.
    QTest::qWait(300);
    expectShadowsDirectlyBelow(x, order);
}

} // namespace

TEST(WindowStacking, ShadowsStayBelowTheirWindowsWithoutWindowManager)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true});
    bubbleThenMainRaised();
}

TEST(WindowStacking, ShadowsStayBelowTheirWindowsUnderAWindowManager)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .windowManager = true});
    bubbleThenMainRaised();
}

TEST(WindowStacking, MinimiseAndRestoreUnderAWindowManager)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .windowManager = true});
    XDisplay x;
    ASSERT_TRUE(x.ok());
    auto main = shownMainWindow();
    int clicks = 0;
    auto *button = new QPushButton(QStringLiteral("OK"), main->contentView());
    button->setGeometry(400, 300, 100, 40);
    button->show();
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    WindowShadow *shadow = WindowShadow::of(main.get());
    ASSERT_TRUE(shadow);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return x.isViewable(idOf(shadow)); }));

    // The shadow is no window of its own for the window manager.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return x.clientList().contains(idOf(main.get())); }));
    EXPECT_FALSE(x.clientList().contains(idOf(shadow)));
    EXPECT_EQ(x.clientList().size(), 1);

    auto centre = [](QWidget *w) { return w->mapToGlobal(w->rect().center()); };
    x.click(centre(main->standardWindowButton(StandardWindowButton::MiniaturizeButton)));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return x.wmState(idOf(main.get())) == 3; }))
        << "WM_STATE " << x.wmState(idOf(main.get()));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !x.isViewable(idOf(shadow)); }));
    EXPECT_TRUE(main->isMinimized());

    x.activate(idOf(main.get()));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return x.wmState(idOf(main.get())) == 1; }));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return x.isViewable(idOf(shadow)) && shadowsDirectlyBelow(x, {main.get()}); }, 5000));
    expectShadowsDirectlyBelow(x, {main.get()});
    EXPECT_FALSE(main->isMinimized());

    // A click on the window reaches its button, as before.
    QTest::qWait(200);
    x.click(centre(button));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return clicks == 1; }, 5000));
    TestSupport::saveScreenshot(x.screenshot(QStringLiteral(TARNWICK_BUILD_DIR) + "/screenshots/restored_main.png"),
                                QStringLiteral("restored_main"));
}

// With nothing on the display to take it, minimise leaves window and shadow
// as they are.
TEST(WindowStacking, MinimiseWithoutWindowManagerKeepsTheWindow)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true});
    XDisplay x;
    ASSERT_TRUE(x.ok());
    auto main = shownMainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    WindowShadow *shadow = WindowShadow::of(main.get());
    ASSERT_TRUE(shadow);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return x.isViewable(idOf(shadow)); }));
    QWidget *mini = main->standardWindowButton(StandardWindowButton::MiniaturizeButton);
    x.click(mini->mapToGlobal(mini->rect().center()));
    QTest::qWait(300);
    EXPECT_TRUE(x.isViewable(idOf(main.get())));
    EXPECT_TRUE(x.isViewable(idOf(shadow)));
    EXPECT_FALSE(main->isMinimized());
    expectShadowsDirectlyBelow(x, {main.get()});
}
