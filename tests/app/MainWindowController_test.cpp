// The main window: title bar, the tab bar with its hidden Disk Manager
// button, the four page containers, tab switching and its lock, closing.
#include <gtest/gtest.h>

#include "MainWindowController.h"

#include "DiskCopyViewController.h"
#include "Dispatch.h"
#include "DmgViewController.h"
#include "LeftButton.h"
#include "RunningApplications.h"
#include "RepairDiskViewController.h"
#include "SelectDrivceViewController.h"
#include "TestSupport.h"
#include "ZrImageWindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include <cstdlib>
#include <unistd.h>

namespace {

// Cocoa (bottom-left) rectangle of a child in its parent.
QRectF cocoaRect(const QWidget *w)
{
    const QRect g = w->geometry();
    return QRectF(g.x(), w->parentWidget()->height() - g.y() - g.height(), g.width(), g.height());
}

struct Tab {
    const char *name;
    LeftButton *(MainWindowController::*button)() const;
    QWidget *(MainWindowController::*container)() const;
    void (MainWindowController::*action)();
};

const Tab kTabs[] = {
    {"diskclone", &MainWindowController::tab_diskclone, &MainWindowController::diskCopyView,
     &MainWindowController::TopCloneButtonAction},
    {"bootable", &MainWindowController::tab_bootable, &MainWindowController::bootableView,
     &MainWindowController::BootableButtonAction},
    {"createImage", &MainWindowController::tab_createImage, &MainWindowController::dmgView,
     &MainWindowController::TopDmgButtonAction},
    {"disktool", &MainWindowController::tab_disktool, &MainWindowController::diskTool,
     &MainWindowController::TopDiskToolButtonAction},
};

// Which tab is selected and which container shows, by name ("" when none or
// more than one).
std::string selectedTab(const MainWindowController &c)
{
    std::string selected;
    for (const Tab &t : kTabs) {
        if ((c.*t.button)()->isAction())
            selected += selected.empty() ? t.name : std::string("+") + t.name;
    }
    return selected;
}

std::string visibleContainer(const MainWindowController &c)
{
    std::string shown;
    for (const Tab &t : kTabs) {
        if (!(c.*t.container)()->isHidden())
            shown += shown.empty() ? t.name : std::string("+") + t.name;
    }
    return shown;
}

class MainWindow : public ::testing::Test {
protected:
    // The pages look at the volumes of the system root: an empty one.
    TestSupport::TempRoot root;
    MainWindowController controller;
    // The pages' own background work ends before they do.
    void TearDown() override { Platform::Dispatch::waitForGlobalQueue(); }
};

} // namespace

TEST_F(MainWindow, TitleBarCarriesTheProductNameAndTheSeparator)
{
    ZrImageWindow *w = controller.window();
    EXPECT_EQ(w->titleBarHeight(), 48);
    EXPECT_EQ(w->trafficLightButtonsLeftMargin(), 16);
    EXPECT_EQ(w->topButtonMoveUp(), -3);
    EXPECT_EQ(w->delegate(), static_cast<ZrImageWindowDelegate *>(&controller));

    QLabel *title = controller.titleLabel();
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), "Tarnwick");
    EXPECT_EQ(title->parentWidget(), w->titleBarView());
    EXPECT_EQ(cocoaRect(title), QRectF(36, 14, 300, 20));
    EXPECT_EQ(title->font().pixelSize(), 18);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(255, 255, 255));

    QWidget *line = controller.separatorLine();
    ASSERT_TRUE(line);
    EXPECT_EQ(cocoaRect(line), QRectF(0, 0, w->width(), 1));
    EXPECT_EQ(line->palette().color(QPalette::Window), QColor(230, 230, 235));
}

TEST_F(MainWindow, ThreeVisibleTabsAndAHiddenDiskManagerButton)
{
    struct Expected {
        LeftButton *button;
        QRectF frame;
        QString label;
        bool visible;
        bool selected;
    };
    const Expected expected[] = {
        {controller.tab_diskclone(), {0, 569, 230, 60}, "磁盘拷贝", true, true},
        {controller.tab_bootable(), {0, 509, 230, 60}, "系统克隆", true, false},
        {controller.tab_createImage(), {0, 449, 230, 60}, "镜像制作", true, false},
        {controller.tab_disktool(), {20, 328, 230, 40}, "磁盘管理", false, false},
    };
    for (const Expected &e : expected) {
        ASSERT_TRUE(e.button);
        SCOPED_TRACE(e.label.toStdString());
        EXPECT_EQ(e.button->parentWidget(), controller.window()->contentView());
        EXPECT_EQ(cocoaRect(e.button), e.frame);
        ASSERT_TRUE(e.button->textField());
        EXPECT_EQ(e.button->textField()->text(), e.label);
        EXPECT_EQ(!e.button->isHidden(), e.visible);
        EXPECT_EQ(e.button->isAction(), e.selected);
        EXPECT_TRUE(e.button->isButtonUsable());
        EXPECT_FALSE(e.button->normalImage().isNull());
    }
    EXPECT_EQ(visibleContainer(controller), "diskclone");
}

TEST_F(MainWindow, EachContainerHoldsItsPage)
{
    const std::pair<QWidget *, QWidget *> pages[] = {
        {controller.diskCopyVC(), controller.diskCopyView()},
        {controller.dmgVC(), controller.dmgView()},
        {controller.repairDiskVC(), controller.diskTool()},
        {controller.bootableVC(), controller.bootableView()},
    };
    const char *names[] = {"DiskCopyViewController", "DmgViewController", "RepairDiskViewController",
                           "SelectDrivceViewController"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(pages[i].first) << names[i];
        EXPECT_STREQ(pages[i].first->metaObject()->className(), names[i]);
        EXPECT_EQ(pages[i].first->parentWidget(), pages[i].second);
        EXPECT_EQ(pages[i].first->geometry(), pages[i].second->rect());
    }
    EXPECT_EQ(controller.diskCopyVC()->delegate(), static_cast<DiskCopyVCDelegate *>(&controller));
    EXPECT_EQ(controller.dmgVC()->delegate(), static_cast<DmgVCDelegate *>(&controller));
    EXPECT_EQ(controller.bootableVC()->delegate(), static_cast<SelectDrivceViewControllerDelegate *>(&controller));
}

TEST_F(MainWindow, ClickingATabShowsItsPage)
{
    controller.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    QWidget *copyPage = controller.diskCopyVC();

    QTest::mouseClick(controller.tab_createImage(), Qt::LeftButton);
    EXPECT_EQ(selectedTab(controller), "createImage");
    EXPECT_EQ(visibleContainer(controller), "createImage");

    QTest::mouseClick(controller.tab_bootable(), Qt::LeftButton);
    EXPECT_EQ(selectedTab(controller), "bootable");
    EXPECT_EQ(visibleContainer(controller), "bootable");

    // The selected tab again: the same settings, the page kept.
    QTest::mouseClick(controller.tab_bootable(), Qt::LeftButton);
    EXPECT_EQ(selectedTab(controller), "bootable");
    EXPECT_EQ(visibleContainer(controller), "bootable");

    QTest::mouseClick(controller.tab_diskclone(), Qt::LeftButton);
    EXPECT_EQ(selectedTab(controller), "diskclone");
    EXPECT_EQ(visibleContainer(controller), "diskclone");
    EXPECT_EQ(controller.diskCopyVC(), copyPage);
}

TEST_F(MainWindow, DiskManagerActionShowsItsPageAndKeepsItsButtonHidden)
{
    controller.TopDiskToolButtonAction();
    EXPECT_EQ(selectedTab(controller), "disktool");
    EXPECT_EQ(visibleContainer(controller), "disktool");
    EXPECT_TRUE(controller.tab_disktool()->isHidden());
    EXPECT_FALSE(controller.tab_diskclone()->isHidden());
    EXPECT_FALSE(controller.tab_bootable()->isHidden());
    EXPECT_FALSE(controller.tab_createImage()->isHidden());
}

TEST_F(MainWindow, LockedTabsIgnoreEveryClick)
{
    controller.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    EXPECT_TRUE(controller.canChangeTab());
    controller.canChangeTab(false);
    for (const Tab &t : kTabs) {
        (controller.*t.action)();
        EXPECT_EQ(selectedTab(controller), "diskclone") << t.name;
        EXPECT_EQ(visibleContainer(controller), "diskclone") << t.name;
    }
    QTest::mouseClick(controller.tab_createImage(), Qt::LeftButton);
    EXPECT_EQ(visibleContainer(controller), "diskclone");

    // The end view opens the lock again.
    controller.canChangeTab(true);
    QTest::mouseClick(controller.tab_createImage(), Qt::LeftButton);
    EXPECT_EQ(visibleContainer(controller), "createImage");
}

TEST_F(MainWindow, PagesUnlockThroughTheirDelegate)
{
    // Each page reaches the same lock through its own delegate interface.
    static_cast<DmgVCDelegate *>(&controller)->canChangeTab(false);
    EXPECT_FALSE(controller.canChangeTab());
    static_cast<SelectDrivceViewControllerDelegate *>(&controller)->canChangeTab(true);
    EXPECT_TRUE(controller.canChangeTab());
    static_cast<DiskCopyVCDelegate *>(&controller)->canChangeTab(false);
    EXPECT_FALSE(controller.canChangeTab());
}

TEST_F(MainWindow, Screenshot)
{
    controller.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    const QImage img(TestSupport::saveScreenshot(controller.window(), "app_main_window"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(1200, 680));
    EXPECT_EQ(img.pixelColor(800, 20), QColor(38, 38, 38));          // title bar
    EXPECT_EQ(img.pixelColor(10, 500), QColor(38, 38, 38));          // tab bar
    EXPECT_EQ(img.pixelColor(25, 48 + 3 + 30), QColor(13, 193, 97)); // the selected tab's plate
}

TEST(MainWindowClose, EndsTheProcessWithStatusZeroEvenWhileLocked)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TestSupport::TempRoot root;
            MainWindowController controller;
            controller.canChangeTab(false);
            controller.window()->standardWindowButton(0)->click();
            std::abort();
        },
        ::testing::ExitedWithCode(0), "");
}

// The global queue's workers may still run when the window closes (here the
// pages' first scans): the end destroys no static object they use, and the
// cleanups of an orderly end still run (the activation socket goes).
TEST(MainWindowClose, EndsWithoutDestroyingWhatRunningWorkersUse)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            struct Witness {
                ~Witness() { std::_Exit(3); }
            };
            static Witness witness;
            static const QByteArray socketFile =
                QFile::encodeName(QDir::tempPath() + QStringLiteral("/tarnwick-activate-%1").arg(::getpid()));
            // Registered first, so it runs after every other cleanup.
            std::at_quick_exit([] { std::_Exit(::access(socketFile.constData(), F_OK) == 0 ? 5 : 0); });
            Platform::RunningApplications::listenForActivation([] {});
            if (::access(socketFile.constData(), F_OK) != 0)
                std::_Exit(4);
            TestSupport::TempRoot root;
            MainWindowController controller;
            controller.window()->standardWindowButton(0)->click();
            std::_Exit(6);
        },
        ::testing::ExitedWithCode(0), "");
}
