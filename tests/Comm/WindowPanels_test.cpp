// Panels over the main window, error bubbles and drop-down menus, as a page
// uses them with its own fields.
#include <gtest/gtest.h>

#include "App.h"
#include "ChildWindows.h"
#include "Clock.h"
#include "CocoaGeometry.h"
#include "Dispatch.h"
#include "DropDownMenu.h"
#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "PanelHostedController.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"
#include "ZrImageWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

// A menu view: it only has to be a view of some size.
class TestMenuVC : public QWidget {
public:
    TestMenuVC() { resize(150, 90); }
};

// The page side of the three procedures: the fields and the routines, as a
// page object has them.
class TestPage : public QObject {
public:
    explicit TestPage(QWidget *mainWindow) : main(mainWindow) {}

    QWidget *main;
    std::unique_ptr<ErrorViewController> errorVC;
    std::unique_ptr<NODEAttachedWindow> errorPopWin;
    bool showErrorW = false;
    bool isErrorPopWin = false;
    int closeErrorCalls = 0;

    std::unique_ptr<TestMenuVC> selectAllFileVC;
    std::unique_ptr<RMAAttachedWindow> sortAttachedWindow;
    bool isPopSortWin = false;
    int closeMenuCalls = 0;

    ErrorBubbleFields errorFields() { return {errorVC, errorPopWin, showErrorW, isErrorPopWin}; }
    DropDownMenu::Fields<TestMenuVC> menuFields() { return {selectAllFileVC, sortAttachedWindow, isPopSortWin}; }

    void showErrorWindowWithErrorStr(const QString &message, int leftOrRight)
    {
        ErrorBubble::show(this, errorFields(), main, message, ErrorBubble::xForLeftOrRight(leftOrRight),
                          [this] { closeErrorWindow(); });
    }
    void closeErrorWindow()
    {
        ++closeErrorCalls;
        ErrorBubble::close(this, errorFields());
    }

    void showSelectAllVC(QWidget *parent, const QPointF &point)
    {
        DropDownMenu::show<TestMenuVC>(
            this, menuFields(), parent, point, [] { return std::make_unique<TestMenuVC>(); },
            [this] { closeMattachedWindow(); });
    }
    void closeMattachedWindow()
    {
        ++closeMenuCalls;
        DropDownMenu::close(this, menuFields());
    }
    void mouseEixtView(bool exited)
    {
        DropDownMenu::mouseEixtView(menuFields(), exited, [this] { closeMattachedWindow(); });
    }
};

std::unique_ptr<ZrImageWindow> mainWindow()
{
    auto w = std::make_unique<ZrImageWindow>(QSize(1000, 628));
    w->setTitleBarHeight(48);
    w->setTrafficLightButtonsLeftMargin(16);
    w->setTopButtonMoveUp(-3);
    w->move(40, 30);
    w->show();
    QCoreApplication::processEvents();
    return w;
}

QRectF cocoaFrameOf(const QWidget *w)
{
    return CocoaGeometry::toCocoa(QRectF(w->frameGeometry()), CocoaGeometry::screenHeight());
}

class HostedPanel : public PanelHostedController {
public:
    HostedPanel() { resize(420, 240); }
};

} // namespace

TEST(WindowPanels, ErrorBubbleSitsAboveTheCardPoint)
{
    auto main = mainWindow();
    TestPage page(main.get());
    struct Row {
        int leftOrRight;
        double x;
    };
    for (const Row &r : {Row{1, 946}, Row{0, 446}, Row{2, 446}, Row{-1, 446}}) {
        SCOPED_TRACE(r.leftOrRight);
        page.showErrorWindowWithErrorStr(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"), r.leftOrRight);
        ASSERT_TRUE(page.errorPopWin);
        EXPECT_TRUE(page.showErrorW);
        EXPECT_TRUE(page.isErrorPopWin);
        EXPECT_EQ(page.errorPopWin->point(), QPointF(r.x, 223));
        EXPECT_EQ(page.errorPopWin->side(), 3);
        EXPECT_EQ(page.errorPopWin->parentWindow(), main.get());
        EXPECT_TRUE(page.errorPopWin->isVisible());
        EXPECT_EQ(ChildWindows::childWindows(main.get()), QList<QWidget *>{page.errorPopWin.get()});
        // Centred above the point: bottom edge at y 223 of the main window.
        const QRectF f = page.errorPopWin->cocoaFrame();
        const QPointF origin = cocoaFrameOf(main.get()).topLeft();
        EXPECT_DOUBLE_EQ(f.y(), origin.y() + 223);
        EXPECT_DOUBLE_EQ(f.x() + f.width() / 2, origin.x() + r.x);
        EXPECT_EQ(page.errorVC->errorLabel()->text(), QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    }
    page.closeErrorWindow();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !page.isErrorPopWin; }));
    EXPECT_FALSE(page.showErrorW);
    EXPECT_FALSE(page.errorPopWin);
    EXPECT_FALSE(page.errorVC);
    EXPECT_TRUE(ChildWindows::childWindows(main.get()).isEmpty());
    // Closing with nothing up does nothing.
    page.closeErrorWindow();
    QCoreApplication::processEvents();
    EXPECT_FALSE(page.isErrorPopWin);
}

TEST(WindowPanels, EachBubblesTimerClosesOnlyThatBubble)
{
    Platform::ClockScaleGuard fast(10); // 10 s take one second
    auto main = mainWindow();
    TestPage page(main.get());
    QElapsedTimer clock;
    clock.start();
    page.showErrorWindowWithErrorStr(QStringLiteral("first"), 0);
    QPointer<NODEAttachedWindow> first = page.errorPopWin.get();
    QTest::qWait(Platform::Clock::realMs(8.6));
    page.showErrorWindowWithErrorStr(QStringLiteral("second"), 1);
    // Replaced at once.
    EXPECT_TRUE(first.isNull());
    QPointer<NODEAttachedWindow> second = page.errorPopWin.get();
    ASSERT_FALSE(second.isNull());

    // The first one's 10 seconds pass: the second bubble stays.
    QTest::qWait(int(Platform::Clock::realMs(13) - clock.elapsed()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(second.isNull());
    EXPECT_TRUE(page.isErrorPopWin);
    EXPECT_TRUE(page.showErrorW);
    EXPECT_EQ(page.closeErrorCalls, 0);
    // Its own 10 seconds take it away.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.isErrorPopWin; }, 5000));
    EXPECT_GE(clock.elapsed(), Platform::Clock::realMs(18));
    EXPECT_EQ(page.closeErrorCalls, 1);
    EXPECT_TRUE(second.isNull());
    EXPECT_FALSE(page.showErrorW);
    EXPECT_FALSE(page.errorPopWin);
}

TEST(WindowPanels, EachMenusTimerClosesOnlyThatMenu)
{
    Platform::ClockScaleGuard fast(10); // 3 s take 0.3 s
    auto main = mainWindow();
    TestPage page(main.get());
    QElapsedTimer clock;
    clock.start();
    page.showSelectAllVC(main.get(), QPointF(443, 137));
    page.mouseEixtView(false); // the pointer went in
    page.mouseEixtView(true);  // and left: closed
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sortAttachedWindow; }, 2000));
    QTest::qWait(int(Platform::Clock::realMs(1.5) - clock.elapsed()));
    page.showSelectAllVC(main.get(), QPointF(443, 137));
    QPointer<RMAAttachedWindow> second = page.sortAttachedWindow.get();
    ASSERT_FALSE(second.isNull());
    const int calls = page.closeMenuCalls;

    // The first menu's 3 seconds pass: the second one stays ...
    QTest::qWait(int(Platform::Clock::realMs(3.8) - clock.elapsed()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(second.isNull());
    EXPECT_TRUE(page.isPopSortWin);
    EXPECT_EQ(page.closeMenuCalls, calls);
    // ... until its own.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return second.isNull(); }, 5000));
    EXPECT_GE(clock.elapsed(), Platform::Clock::realMs(4.4));
    EXPECT_FALSE(page.isPopSortWin);
}

TEST(WindowPanels, BubbleWithoutMainWindowIsNotShownAndAGonePageIsLeftAlone)
{
    Platform::ClockScaleGuard fast(1000);
    auto page = std::make_unique<TestPage>(nullptr);
    page->showErrorWindowWithErrorStr(QStringLiteral("x"), 1);
    ASSERT_TRUE(page->errorPopWin);
    EXPECT_FALSE(page->errorPopWin->isVisible());
    EXPECT_EQ(page->errorPopWin->parentWindow(), nullptr);
    page.reset(); // its closing still pending
    QTest::qWait(Platform::Clock::realMs(12));
    Platform::Dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();
    SUCCEED();
}

TEST(WindowPanels, MenuClosesAfterThreeSecondsUnlessThePointerIsIn)
{
    Platform::ClockScaleGuard fast(10);
    auto main = mainWindow();
    TestPage page(main.get());

    page.showSelectAllVC(main.get(), QPointF(443, 137));
    ASSERT_TRUE(page.sortAttachedWindow);
    EXPECT_TRUE(page.isPopSortWin);
    EXPECT_TRUE(page.sortAttachedWindow->isVisible());
    EXPECT_EQ(page.sortAttachedWindow->point(), QPointF(443, 137));
    EXPECT_EQ(page.sortAttachedWindow->side(), 3);
    EXPECT_EQ(ChildWindows::parentWindow(page.sortAttachedWindow.get()), main.get());
    // A second request while it may still be closed by its timer is ignored.
    TestMenuVC *menu = page.selectAllFileVC.get();
    page.showSelectAllVC(main.get(), QPointF(10, 10));
    EXPECT_EQ(page.selectAllFileVC.get(), menu);

    page.mouseEixtView(false); // the pointer went in
    EXPECT_FALSE(page.isPopSortWin);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.closeMenuCalls >= 1; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(page.sortAttachedWindow); // still up after its 3 seconds
    EXPECT_TRUE(page.selectAllFileVC);

    page.mouseEixtView(true); // and left: closed at once
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sortAttachedWindow; }, 2000));
    EXPECT_FALSE(page.isPopSortWin);
    EXPECT_FALSE(page.selectAllFileVC);
    EXPECT_TRUE(ChildWindows::childWindows(main.get()).isEmpty());

    // Left alone, a menu goes after its 3 seconds.
    page.showSelectAllVC(main.get(), QPointF(443, 137));
    ASSERT_TRUE(page.sortAttachedWindow);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sortAttachedWindow; }, 5000));
    EXPECT_FALSE(page.isPopSortWin);
}

TEST(WindowPanels, PanelLiesOverTheMainWindow)
{
    auto main = mainWindow();
    auto *hosted = new HostedPanel;
    QPointer<HostedPanel> guard = hosted;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(hosted, main.get());
    ASSERT_TRUE(panel);
    EXPECT_EQ(hosted->superDelegate(), panel.data());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(ChildWindows::childWindows(main.get()), QList<QWidget *>{panel.data()});
    const QRectF m = cocoaFrameOf(main.get());
    EXPECT_EQ(panel->point(), QPointF(m.x() + m.width() * 0.5 - 3, m.y()));
    EXPECT_EQ(panel->side(), 1);
    EXPECT_EQ(panel->distance(), 5);
    // Its bottom-left corner on the main window's; its own size is the view's.
    EXPECT_EQ(panel->cocoaFrame().topLeft(), m.topLeft());
    EXPECT_EQ(panel->size(), QSize(420, 240));
    EXPECT_EQ(panel->geometry().bottomLeft(), main->geometry().bottomLeft());

    // Not modal: the controller closes it, and the controller goes with it.
    hosted->closeWindow();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull() && guard.isNull(); }, 2000));
    EXPECT_TRUE(ChildWindows::childWindows(main.get()).isEmpty());
}

TEST(WindowPanels, PanelSizedToTheMainWindowAndClosingEndsAModalLoop)
{
    auto main = mainWindow();
    auto *hosted = new HostedPanel;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(hosted, main.get(), true);
    ASSERT_TRUE(panel);
    EXPECT_EQ(hosted->size(), main->frameGeometry().size());
    EXPECT_EQ(panel->geometry(), main->frameGeometry());
    bool safetyStop = false;
    QTimer::singleShot(0, hosted, [hosted] { hosted->closeWindow(); });
    QTimer::singleShot(3000, qApp, [&] {
        safetyStop = true;
        Platform::App::stopModal();
    });
    Platform::App::runModal(nullptr);
    EXPECT_FALSE(safetyStop);
}

TEST(WindowPanels, PanelWithoutMainWindow)
{
    auto *hosted = new HostedPanel;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(hosted, nullptr);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->point(), QPointF(-3, 0));
    EXPECT_EQ(panel->cocoaFrame().topLeft(), QPointF(0, 0));
    EXPECT_FALSE(panel->isVisible());
    hosted->closeWindow();
    // No event loop runs the deferred deletion here; run it by hand.
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return panel.isNull();
        },
        2000));
}

TEST(WindowPanels, MenuOfTheFormatPanelIsAChildOfThatPanel)
{
    Platform::ClockScaleGuard fast(100);
    auto main = mainWindow();
    auto *confirmation = new HostedPanel;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(confirmation, main.get());
    ASSERT_TRUE(panel);
    TestPage page(main.get());
    page.showSelectAllVC(confirmation->superDelegate(), QPointF(665, 182));
    ASSERT_TRUE(page.sortAttachedWindow);
    EXPECT_EQ(ChildWindows::parentWindow(page.sortAttachedWindow.get()), panel.data());
    EXPECT_EQ(ChildWindows::childWindows(panel), QList<QWidget *>{page.sortAttachedWindow.get()});
    EXPECT_EQ(ChildWindows::childWindows(main.get()), QList<QWidget *>{panel.data()});
    // Point in the panel's coordinates.
    const QRectF f = page.sortAttachedWindow->cocoaFrame();
    EXPECT_DOUBLE_EQ(f.y(), panel->cocoaFrame().y() + 182);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sortAttachedWindow; }, 5000));
    EXPECT_TRUE(ChildWindows::childWindows(panel).isEmpty());
    EXPECT_EQ(ChildWindows::childWindows(main.get()), QList<QWidget *>{panel.data()});
    confirmation->closeWindow();
}
