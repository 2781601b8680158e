// A choice in a card's popover that makes the page show its error bubble,
// on a real X server with a compositing manager and a window manager: when
// the popover closes and its anchor's window comes to the front again, the
// bubble and its shadow stay above the main window, each shadow directly
// below its window; the screen shows it.
#include <gtest/gtest.h>

#include "ChildWindows.h"
#include "ErrorViewController.h"
#include "NODEAttachedWindow.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "VoPopoverController.h"
#include "WindowShadow.h"
#include "ZrImageWindow.h"

#include <QPushButton>
#include <QTest>

TEST(PopoverStacking, ErrorBubbleAfterAChoiceStaysAboveTheMainWindow)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .windowManager = true});
    TestSupport::XDisplay x;
    ASSERT_TRUE(x.ok());
    ZrImageWindow main(QSize(1000, 578));
    main.setTitleBarHeight(48);
    main.setBackgroundColor(QColor(230, 230, 230));
    main.move(100, 80);
    auto *card = new QPushButton(QStringLiteral("目标盘"), main.contentView());
    card->setGeometry(800, 200, 140, 120);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    QWidget content;
    content.resize(300, 200);
    VoPopoverController popover(&content);
    popover.setAnimates(false);
    popover.presentPopoverFromRect(QRectF(0, 0, 140, 120), card, 2, true);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return popover.popoverIsVisible(); }));

    // The choice: the page shows its bubble at the right-hand card, then the
    // popover closes and hands the front back to the main window.
    ErrorViewController vc;
    auto bubble = NODEAttachedWindow::initWithView(&vc, QPointF(946, 223), &main, 3, 0);
    vc.setErrorStr(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    ChildWindows::addChildWindow(&main, bubble.get());
    popover.closePopover();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !popover.popoverIsVisible(); }));

    auto index = [&](QWidget *w) { return x.stackingIndexOf(uint32_t(w->winId())); };
    auto inOrder = [&] {
        WindowShadow *mainShadow = WindowShadow::of(&main), *bubbleShadow = WindowShadow::of(bubble.get());
        return mainShadow && bubbleShadow && index(mainShadow) == index(&main) - 1 &&
               index(bubbleShadow) == index(bubble.get()) - 1 && index(&main) < index(bubbleShadow);
    };
    EXPECT_TRUE(TestSupport::waitUntil(inOrder, 5000));
    QTest::qWait(300);
    EXPECT_TRUE(inOrder());

    const QImage screen =
        x.screenshot(QStringLiteral(TARNWICK_BUILD_DIR) + "/screenshots/error_bubble_after_popover.png");
    ASSERT_FALSE(screen.isNull());
    // The bubble's dark body over the light main window, just above the card point.
    const QPoint inBubble = bubble->mapToGlobal(QPoint(bubble->width() / 2, bubble->height() / 2 + 8));
    EXPECT_EQ(screen.pixelColor(inBubble), QColor(33, 33, 33));
}
