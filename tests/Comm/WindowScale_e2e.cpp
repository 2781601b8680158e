// The drawn window pieces on a screen of twice the pixel density (Qt's
// QT_SCALE_FACTOR 2, on an X server of the test's own): the bubble, menu and
// panel backgrounds are pictures of that density, not half-size ones
// stretched.
#include <gtest/gtest.h>

#include "ErrorViewController.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "PanelHostedController.h"
#include "PrivateXServer.h"
#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"
#include "ZrImageWindow.h"

#include <QLabel>
#include <QTest>

namespace {

class HostedPanel : public PanelHostedController {
public:
    HostedPanel() { resize(300, 160); }
};

template <class W>
void expectSharp(const W *window, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_DOUBLE_EQ(window->devicePixelRatioF(), 2.0);
    EXPECT_DOUBLE_EQ(window->backgroundImage().devicePixelRatio(), 2.0);
    EXPECT_EQ(window->backgroundImage().size(), window->size() * 2);
}

} // namespace

TEST(WindowScale, BackgroundsHaveTheScreensPixels)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .scaleFactor = 2});
    auto main = std::make_unique<ZrImageWindow>(QSize(600, 378));
    main->setTitleBarHeight(48);
    main->move(20, 20);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));

    ErrorViewController vc;
    auto bubble = NODEAttachedWindow::initWithView(&vc, QPointF(300, 200), main.get(), 3, 0.0);
    bubble->show();
    QWidget menuView;
    menuView.resize(150, 64);
    auto menu = RMAAttachedWindow::initWithView(&menuView, QPointF(300, 137), main.get(), 3, 0.0, 0.8);
    menu->show();
    StatusAttachedWindow *panel = MainWindowPanel::show(new HostedPanel, main.get());
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bubble.get()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));

    expectSharp(bubble.get(), "bubble");
    expectSharp(menu.get(), "menu");
    expectSharp(panel, "panel");
    const QPixmap panelImage = panel->backgroundImageView()->pixmap();
    EXPECT_DOUBLE_EQ(panelImage.devicePixelRatio(), 2.0);
    EXPECT_EQ(panelImage.size(), panel->size() * 2);
    panel->close();
}
