// The program's own window: title bar layout, content sizing, sheets, the
// mouse-down report, double click and dragging.
#include <gtest/gtest.h>

#include "CocoaGeometry.h"
#include "StandardWindowButton.h"
#include "TestSupport.h"
#include "TopImageView.h"
#include "UserDefaults.h"
#include "VoTitlebarContainer.h"
#include "VoTitlebarView.h"
#include "ZrAdditions.h"
#include "ZrImageWindow.h"
#include "ZrImageWindowDelegate.h"
#include "ZrImageWindowDelegateProxy.h"
#include "ZrWindowButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {

struct CountingDelegate : ZrImageWindowDelegate {
    int mouseDowns = 0;
    bool allowClose = true;
    int willClose = 0;
    void zrimageWindowBecomeKeyWindow() override { ++mouseDowns; }
    bool windowShouldClose(ZrImageWindow *) override { return allowClose; }
    void windowWillClose(ZrImageWindow *) override { ++willClose; }
};

void send(QWidget *target, QEvent::Type type, const QPoint &local, Qt::MouseButton button, Qt::MouseButtons buttons,
          ulong timestamp = 0, QPoint global = QPoint(-1, -1))
{
    if (global == QPoint(-1, -1))
        global = target->mapToGlobal(local);
    QMouseEvent e(type, QPointF(local), QPointF(target->window()->mapFromGlobal(global)), QPointF(global), button,
                  buttons, Qt::NoModifier);
    e.setTimestamp(timestamp);
    QCoreApplication::sendEvent(target, &e);
}

void click(QWidget *target, const QPoint &local, ulong timestamp)
{
    send(target, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton, timestamp);
    send(target, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton, timestamp + 1);
}

QRect buttonRect(const ZrImageWindow &w, int kind) { return w.standardWindowButton(kind)->geometry(); }

// The main window's settings, in the order its controller makes them.
void setUpAsMainWindow(ZrImageWindow &w)
{
    w.setTitleBarHeight(48);
    w.setTrafficLightButtonsLeftMargin(16);
    w.setTopButtonMoveUp(-3);
}

} // namespace

TEST(WindowTitlebar, DefaultsAfterSetUp)
{
    ZrImageWindow w(QSize(400, 300));
    EXPECT_EQ(w.size(), QSize(400, 322));
    EXPECT_EQ(w.titleBarHeight(), 22);
    EXPECT_EQ(w.cachedTitleBarHeight(), 22);
    EXPECT_EQ(w.trafficLightButtonsLeftMargin(), 7);
    EXPECT_EQ(w.trafficLightSeparation(), 6);
    EXPECT_EQ(w.trafficLightButtonsTopMargin(), 3);
    EXPECT_EQ(w.fullScreenButtonTopMargin(), 3);
    EXPECT_EQ(w.topButtonMoveUp(), 0);
    EXPECT_TRUE(w.centerTrafficLightButtons());
    EXPECT_FALSE(w.verticalTrafficLightButtons());
    EXPECT_FALSE(w.showsTitle());
    // The first layout took the full-screen button's margin from where the
    // window placed it.
    EXPECT_TRUE(w.setFullScreenButtonRightMargin());
    EXPECT_EQ(w.fullScreenButtonRightMargin(), 7);
    EXPECT_EQ(w.backgroundColor().rgba(), QColor(38, 38, 38).rgba());
    EXPECT_TRUE(w.isMovableByWindowBackground());
    EXPECT_EQ(w.appearanceName(), QStringLiteral("NSAppearanceNameAqua"));
    EXPECT_TRUE(qobject_cast<VoTitlebarView *>(w.titleBarView()));
    EXPECT_EQ(w.titleBarView()->parentWidget(), w.titleBarContainer());
    ASSERT_TRUE(w.standardWindowButton(7));
    EXPECT_EQ(w.standardWindowButton(7)->objectName(), "fullScreenButton");
    // The strip is behind everything the window holds.
    EXPECT_EQ(w.children().indexOf(w.titleBarContainer()), 0);

    ZrImageWindow onScreen(QSize(400, 300), QGuiApplication::primaryScreen());
    EXPECT_TRUE(onScreen.appearanceName().isEmpty());
    EXPECT_EQ(onScreen.titleBarHeight(), 22);
}

TEST(WindowTitlebar, MainWindowLayoutExample)
{
    ZrImageWindow w(QSize(800, 600)); // frame height H = 622
    const int h = StandardWindowButton::Height, bw = StandardWindowButton::Width, s = 6;
    setUpAsMainWindow(w);
    // The strip spans y = H − 50 to H (the top 50 points in Qt's terms).
    EXPECT_EQ(w.titleBarContainer()->geometry(), QRect(0, 0, 800, 50));
    EXPECT_EQ(w.titleBarView()->geometry(), QRect(0, 0, 800, 50));
    // The offset is stored but waits for the next layout: y = round(H − 25 − h/2).
    const int centredY = qRound(622 - 25 - h / 2.0);
    EXPECT_EQ(buttonRect(w, 0), QRect(16, 622 - centredY - h, bw, h));

    w.setTitle(QStringLiteral("Tarnwick")); // a layout: now with the offset −3
    const int y = 622 - (centredY - 3) - h;
    EXPECT_EQ(buttonRect(w, 0), QRect(16, y, bw, h));
    EXPECT_EQ(buttonRect(w, 1), QRect(16 + bw + s, y, bw, h));
    EXPECT_EQ(buttonRect(w, 2), QRect(16 + 2 * bw + 2 * s, y, bw, h));
    EXPECT_EQ(y, 20);

    // The content view keeps its origin and width and loses the bar's height.
    EXPECT_EQ(w.contentView()->geometry(), QRect(0, 48, 800, 622 - 48));
    // Sheets open from the bar's lower edge, with or without a delegate.
    const QRectF sheet = w.delegateProxy()->windowWillPositionSheet(&w, nullptr, QRectF(10, 600, 300, 0));
    EXPECT_EQ(sheet, QRectF(10, 622 - 48, 300, 0));
}

TEST(WindowTitlebar, EqualSettingsDoNotLayOut)
{
    ZrImageWindow w(QSize(800, 600));
    setUpAsMainWindow(w);
    QAbstractButton *close = w.standardWindowButton(0);
    const QRect laidOut = close->geometry();
    close->move(200, 200);
    w.setTitleBarHeight(48);
    w.setTrafficLightButtonsLeftMargin(16);
    w.setTrafficLightSeparation(w.trafficLightSeparation());
    w.setCenterTrafficLightButtons(true);
    w.setTopButtonMoveUp(10); // stores only
    EXPECT_EQ(close->pos(), QPoint(200, 200));
    w.setTitleBarHeight(50); // a change lays out again
    EXPECT_NE(close->pos(), QPoint(200, 200));
    EXPECT_EQ(w.cachedTitleBarHeight(), 50);
    EXPECT_EQ(close->x(), laidOut.x());
    EXPECT_EQ(w.contentView()->geometry(), QRect(0, 50, 800, 572));
}

TEST(WindowTitlebar, NotCentredAndStackedButtons)
{
    ZrImageWindow w(QSize(800, 600));
    w.setTitleBarHeight(48);
    w.setTrafficLightButtonsTopMargin(5);
    w.setCenterTrafficLightButtons(false); // y = S.maxY − h − 5: 5 points below the top
    EXPECT_EQ(w.standardWindowButton(0)->y(), 5);
    w.setVerticalTrafficLightButtons(true);
    // Stack of three 16-point buttons with gaps of separation − 2, below the top margin.
    const int gap = 6 - 2;
    EXPECT_EQ(w.standardWindowButton(0)->geometry(), QRect(7, 5, 14, 16));
    EXPECT_EQ(w.standardWindowButton(1)->geometry(), QRect(7, 5 + 16 + gap, 14, 16));
    EXPECT_EQ(w.standardWindowButton(2)->geometry(), QRect(7, 5 + 2 * (16 + gap), 14, 16));
}

TEST(WindowTitlebar, TitleBarViewReplacement)
{
    ZrImageWindow w(QSize(400, 300));
    QPointer<QWidget> original = w.titleBarView();
    w.setTitleBarView(nullptr);
    w.setTitleBarView(original);
    EXPECT_EQ(w.titleBarView(), original.data());
    auto *mine = new QWidget;
    w.setTitleBarView(mine);
    EXPECT_TRUE(original.isNull());
    EXPECT_EQ(mine->parentWidget(), w.titleBarContainer());
    EXPECT_EQ(mine->geometry(), w.titleBarContainer()->rect());
    w.setTitleBarHeight(60);
    EXPECT_EQ(mine->geometry(), QRect(0, 0, 400, 62));
}

TEST(WindowTitlebar, CustomButtonsReplaceTheStandardOnes)
{
    ZrImageWindow w(QSize(400, 300));
    auto *custom = ZrWindowButton::windowButtonWithSize(QSize(12, 12), QStringLiteral("test.titlebar"));
    w.setCloseButton(custom);
    EXPECT_EQ(custom->parentWidget(), &w);
    // Placed at the standard button's origin (its bottom-left corner).
    EXPECT_EQ(custom->x(), w.standardWindowButton(0)->x());
    EXPECT_EQ(custom->geometry().bottom(), w.standardWindowButton(0)->geometry().bottom());
    w.setTitle(QStringLiteral("x")); // next layout: the standard one hidden, the custom one placed
    EXPECT_TRUE(w.standardWindowButton(0)->isHidden());
    EXPECT_EQ(custom->x(), 7);
    QPointer<ZrWindowButton> old = custom;
    w.setCloseButton(custom); // the same one again: nothing
    EXPECT_FALSE(old.isNull());
    w.setCloseButton(ZrWindowButton::windowButtonWithSize(QSize(12, 12), QStringLiteral("test.titlebar")));
    EXPECT_TRUE(old.isNull());
}

TEST(WindowTitlebar, MouseDownsThatNoControlTookReachTheDelegate)
{
    ZrImageWindow w(QSize(400, 300));
    auto *button = new QPushButton(QStringLiteral("b"), w.contentView());
    button->setGeometry(10, 10, 60, 24);
    w.show();
    // Without a delegate the window ignores it.
    click(w.contentView(), QPoint(200, 200), 10);

    CountingDelegate d;
    w.setDelegate(&d);
    EXPECT_EQ(w.delegate(), &d);
    EXPECT_EQ(w.delegateProxy()->secondaryDelegate(), &d);
    click(w.contentView(), QPoint(200, 200), 100);
    EXPECT_EQ(d.mouseDowns, 1);
    click(w.titleBarView(), QPoint(200, 10), 1000);
    EXPECT_EQ(d.mouseDowns, 2);
    click(button, QPoint(5, 5), 2000); // the button took it
    EXPECT_EQ(d.mouseDowns, 2);
    auto *image = new TopImageView(w.contentView());
    image->setGeometry(100, 100, 40, 40);
    image->show();
    click(image, QPoint(5, 5), 3000); // an image leaves it to the window
    EXPECT_EQ(d.mouseDowns, 3);
}

TEST(WindowTitlebar, ClosingAsksTheDelegate)
{
    ZrImageWindow w(QSize(200, 100));
    CountingDelegate d;
    d.allowClose = false;
    w.setDelegate(&d);
    w.show();
    w.performClose();
    EXPECT_TRUE(w.isVisible());
    d.allowClose = true;
    w.performClose();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(d.willClose, 1);
}

// A user's double click as the window system gives it: press, release,
// press, release, which the widgets get as press, release, double click,
// release.
TEST(WindowTitlebar, DoubleClickMiniaturisesOnlyWhenTheDefaultSaysSo)
{
    auto &defaults = Platform::UserDefaults::standard();
    const QVariant saved = defaults.objectForKey(QStringLiteral("AppleMiniaturizeOnDoubleClick"));
    ZrImageWindow w(QSize(400, 300));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    CountingDelegate d;
    w.setDelegate(&d);
    QWidget *bar = w.titleBarView();
    const QPoint onBar = bar->mapTo(&w, QPoint(100, 10));
    ASSERT_EQ(w.childAt(onBar), bar);
    const auto doubleClick = [&] { QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, onBar); };

    defaults.removeObject(QStringLiteral("AppleMiniaturizeOnDoubleClick"));
    doubleClick();
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(d.mouseDowns, 2); // each press is a mouse-down

    defaults.setObject(QStringLiteral("AppleMiniaturizeOnDoubleClick"), false);
    doubleClick();
    EXPECT_FALSE(w.isMinimized());

    defaults.setObject(QStringLiteral("AppleMiniaturizeOnDoubleClick"), true);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, onBar); // one click
    EXPECT_FALSE(w.isMinimized());
    doubleClick();
    EXPECT_TRUE(w.isMinimized());
    w.showNormal();

    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, onBar); // a single click later on
    EXPECT_FALSE(w.isMinimized());

    w.setDelegate(nullptr);
    if (saved.isValid())
        defaults.setObject(QStringLiteral("AppleMiniaturizeOnDoubleClick"), saved);
    else
        defaults.removeObject(QStringLiteral("AppleMiniaturizeOnDoubleClick"));
}

// Right and middle clicks are no mouse-down: the title bar's menu click does
// not close the pages' bubbles, and neither moves the window.
TEST(WindowTitlebar, OnlyTheLeftButtonMakesAMouseDown)
{
    ZrImageWindow w(QSize(400, 300));
    w.move(50, 50);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    CountingDelegate d;
    w.setDelegate(&d);
    const QPoint start = w.pos();
    const QPoint onBar = w.titleBarView()->mapTo(&w, QPoint(200, 10));
    const QPoint onContent = w.contentView()->mapTo(&w, QPoint(200, 200));
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        for (const QPoint &at : {onBar, onContent}) {
            QTest::mousePress(w.windowHandle(), button, {}, at);
            QTest::mouseMove(w.windowHandle(), at + QPoint(30, 30));
            QTest::mouseRelease(w.windowHandle(), button, {}, at + QPoint(30, 30));
            QTest::mouseDClick(w.windowHandle(), button, {}, at);
        }
    }
    EXPECT_EQ(d.mouseDowns, 0);
    EXPECT_EQ(w.pos(), start);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, onBar);
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, onContent);
    EXPECT_EQ(d.mouseDowns, 2);
    w.setDelegate(nullptr);
}

// A content view whose child keeps the place and size it was given, as the
// windows' interface files place theirs.
static QWidget *placedContent(ZrImageWindow &w)
{
    auto *list = new QWidget(w.contentView());
    list->setGeometry(20, 20, 360, 200);
    return list;
}

// A content view that lays its child out over all of it.
static QWidget *laidOutContent(ZrImageWindow &w)
{
    auto *list = new QWidget;
    auto *layout = new QVBoxLayout(w.contentView());
    layout->addWidget(list);
    return list;
}

// Zoom leaves a window whose size is fixed, or whose content keeps its
// places, as it is; a window whose content lays itself out it fills the
// screen with, content and all.
TEST(WindowTitlebar, ZoomOnlyWhereTheContentFollows)
{
    ZrImageWindow placed(QSize(400, 300));
    QWidget *placedList = placedContent(placed);
    placed.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&placed));
    QTest::mouseClick(placed.standardWindowButton(2), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(placed.isMaximized());
    EXPECT_EQ(placed.size(), QSize(400, 322));
    EXPECT_EQ(placedList->geometry(), QRect(20, 20, 360, 200));
    TestSupport::saveScreenshot(&placed, QStringLiteral("window_zoom_placed_content"));

    ZrImageWindow fixed(QSize(400, 300));
    fixed.setFixedSize(fixed.size());
    fixed.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixed));
    const QSize size = fixed.size();
    QTest::mouseClick(fixed.standardWindowButton(2), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(fixed.isMaximized());
    EXPECT_EQ(fixed.size(), size);

    ZrImageWindow free(QSize(400, 300));
    QWidget *list = laidOutContent(free);
    free.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&free));
    QTest::mouseClick(free.standardWindowButton(2), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return free.isMaximized(); }));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return free.contentView()->width() == free.width(); }));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return list->width() > 400; }));
}

// The full-screen button (kind 7) sits at the strip's right end and toggles
// full screen.
TEST(WindowTitlebar, FullScreenButtonTogglesFullScreen)
{
    ZrImageWindow w(QSize(400, 300));
    laidOutContent(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QAbstractButton *full = w.standardWindowButton(7);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->objectName(), "fullScreenButton");
    EXPECT_TRUE(full->isVisible());
    EXPECT_EQ(full->geometry().right(), w.width() - 1 - 7);
    EXPECT_EQ(w.fullScreenButtonRightMargin(), 7);
    w.setFullScreenButtonRightMargin(20);
    EXPECT_EQ(full->geometry().right(), w.width() - 1 - 20);

    QTest::mouseClick(full, Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return w.isFullScreen(); }));
    QTest::mouseClick(w.standardWindowButton(7), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !w.isFullScreen(); }));
    EXPECT_EQ(w.standardWindowButton(3), nullptr);

    // A window whose content keeps its places stays as it is.
    ZrImageWindow placed(QSize(400, 300));
    placedContent(placed);
    placed.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&placed));
    QTest::mouseClick(placed.standardWindowButton(7), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(placed.isFullScreen());
    EXPECT_EQ(placed.size(), QSize(400, 322));
}

TEST(WindowTitlebar, DraggingTheStripMovesTheWindowUnlessFullScreen)
{
    ZrImageWindow w(QSize(400, 300));
    w.move(100, 100);
    w.show();
    QWidget *bar = w.titleBarView();
    const QPoint start = w.pos();
    const QPoint g0 = bar->mapToGlobal(QPoint(50, 10));
    send(bar, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton, 1, g0);
    // The first drag event only fixes the start.
    send(bar, QEvent::MouseMove, QPoint(52, 10), Qt::NoButton, Qt::LeftButton, 2, g0 + QPoint(2, 0));
    send(bar, QEvent::MouseMove, QPoint(70, 30), Qt::NoButton, Qt::LeftButton, 3, g0 + QPoint(22, 20));
    send(bar, QEvent::MouseButtonRelease, QPoint(70, 30), Qt::LeftButton, Qt::NoButton, 4, g0 + QPoint(22, 20));
    EXPECT_EQ(w.pos(), start + QPoint(20, 20));

    w.setWindowState(Qt::WindowFullScreen);
    QCoreApplication::processEvents();
    const QPoint full = w.pos();
    const QPoint g1 = bar->mapToGlobal(QPoint(50, 10));
    send(bar, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton, 100, g1);
    send(bar, QEvent::MouseMove, QPoint(52, 10), Qt::NoButton, Qt::LeftButton, 101, g1 + QPoint(2, 0));
    send(bar, QEvent::MouseMove, QPoint(90, 50), Qt::NoButton, Qt::LeftButton, 102, g1 + QPoint(40, 40));
    send(bar, QEvent::MouseButtonRelease, QPoint(90, 50), Qt::LeftButton, Qt::NoButton, 103, g1 + QPoint(40, 40));
    EXPECT_EQ(w.pos(), full);
}

TEST(WindowTitlebar, SheetOpensBelowTheBar)
{
    ZrImageWindow w(QSize(800, 600));
    setUpAsMainWindow(w);
    w.move(50, 60);
    w.show();
    QWidget sheet;
    sheet.resize(300, 200);
    w.beginSheet(&sheet);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.geometry().topLeft(), w.geometry().topLeft() + QPoint(250, 48));
    w.endSheet(&sheet);
    EXPECT_FALSE(sheet.isVisible());
}

TEST(WindowTitlebar, HiddenBarInFullScreen)
{
    ZrImageWindow w(QSize(400, 300));
    w.setTitleBarHeight(38);
    w.show();
    w.setWindowState(Qt::WindowFullScreen); // the default keeps the bar
    EXPECT_EQ(w.titleBarHeight(), 38);
    w.setWindowState(Qt::WindowNoState);
    w.setHideTitleBarInFullScreen(true);
    w.setWindowState(Qt::WindowFullScreen);
    EXPECT_EQ(w.titleBarHeight(), 2);
    EXPECT_TRUE(w.titleBarView()->isHidden());
    w.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(w.titleBarHeight(), 38);
    EXPECT_FALSE(w.titleBarView()->isHidden());
}

TEST(WindowTitlebar, BarOutlineAndColourHelper)
{
    const QPainterPath p = VoTitlebarView::outline(QRectF(0, 0, 200, 50));
    EXPECT_EQ(p.boundingRect(), QRectF(0, 0, 200, 50));
    EXPECT_TRUE(p.contains(QPointF(1, 1))); // square bottom corners
    EXPECT_TRUE(p.contains(QPointF(199, 1)));
    EXPECT_FALSE(p.contains(QPointF(1, 49))); // rounded top corners
    EXPECT_FALSE(p.contains(QPointF(199, 49)));
    const QColor c = Vo_CGColorCreate(QColor::fromHsvF(0.5f, 1, 1, 0.5f));
    EXPECT_EQ(c.spec(), QColor::Rgb);
    EXPECT_EQ(c.rgba(), QColor::fromHsvF(0.5f, 1, 1, 0.5f).rgba());

    // The title, when shown, sits centred at the top of the bar.
    ZrImageWindow w(QSize(400, 300));
    w.setTitle(QStringLiteral("Tarnwick"));
    QRectF frame;
    VoTitlebarView::TitleAttributes attributes;
    static_cast<VoTitlebarView *>(w.titleBarView())->getTitleFrame(&frame, &attributes, &w);
    EXPECT_NEAR(frame.center().x(), 200, 0.5);
    EXPECT_NEAR(frame.bottom(), w.titleBarView()->height(), 0.01);
    EXPECT_NEAR(attributes.color.alphaF(), 0.5, 0.001); // not the main window: half alpha
    EXPECT_EQ(attributes.shadow.blurRadius, 8);
    static_cast<VoTitlebarView *>(w.titleBarView())->getTitleFrame(nullptr, nullptr, &w);
}
