// What a user meets in the shell and on the pages: panels that keep their
// own size, names in the clone picker, zoom on the main window, and links
// that cannot be opened.
#include <gtest/gtest.h>

#include "AppDelegate.h"
#include "DiskListViewController.h"
#include "MainWindowController.h"
#include "MakeSureToCloneSystemVC.h"
#include "QoPublicUtilities.h"
#include "SelectDiskViewController.h"
#include "SelectDrivceViewController.h"
#include "SelectValueView.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"
#include "ZrImageWindow.h"

#include "DiskWorldFixture.h"
#include "Dispatch.h"
#include "LeftButton.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTest>
#include <functional>

namespace {

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        controller = std::make_unique<MainWindowController>();
        controller->window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    }
    void TearDown() override
    {
        Platform::Dispatch::waitForGlobalQueue();
        controller.reset();
        Platform::Dispatch::waitForGlobalQueue();
    }
    SelectDrivceViewController *clonePage()
    {
        QTest::mouseClick(controller->tab_bootable(), Qt::LeftButton);
        SelectDrivceViewController *page = controller->bootableVC();
        TestSupport::waitUntil([&] { return page->usedSize() != -1; });
        return page;
    }

    TestSupport::DiskWorldFixture world;
    std::unique_ptr<MainWindowController> controller;
};

} // namespace

// The OS Clone page's confirmation keeps the size of its own view; only the
// Disk Copy page sizes its panel to the main window.
TEST_F(Shell, CloneConfirmationKeepsItsOwnSize)
{
    SelectDrivceViewController *page = clonePage();
    ASSERT_GT(page->usedSize(), 0);
    auto disk = std::make_shared<VolumeObj>();
    disk->volumeName = QStringLiteral("Big Disk");
    disk->volumePath = QStringLiteral("disk9");
    disk->volumeTotalSizeNum = page->usedSize() * 2;
    disk->volumeTotalSize = QoPublicUtilities::longlongDiskSize(disk->volumeTotalSizeNum);
    page->doSelectDiskWithVolume(disk);
    ASSERT_TRUE(page->cloneButton()->isButtonUsable());
    QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureToCloneVC() != nullptr; }));
    MakeSureToCloneSystemVC *vc = page->makeSureToCloneVC();
    EXPECT_EQ(vc->size(), MakeSureToCloneSystemVC().size());
    EXPECT_NE(vc->size(), controller->window()->size());
    TestSupport::saveScreenshot(controller->window(), QStringLiteral("clone_confirmation_panel"));
}

// A long name in the clone picker ends in "…" and takes the room up to the
// type text; a short one stands whole.
TEST_F(Shell, ClonePickerElidesLongNamesAtTheEnd)
{
    // The demo's "Kingston DataTraveler 3.0 Media" fits the row; this one does not.
    Platform::DiskWorld::DiskSpec spec;
    spec.registryName = QStringLiteral("Kingston DataTraveler 3.0 Media Workstation Edition");
    Platform::DiskWorld::VolumeSpec volume;
    volume.name = QStringLiteral("KEY");
    volume.fs = QStringLiteral("ExFAT");
    spec.partitions.push_back(volume);
    ASSERT_FALSE(world.attach(spec).isEmpty());
    SelectDrivceViewController *page = clonePage();
    QTest::mouseClick(page->selectToVC()->selectDiskBut(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectDiskVC() && page->selectDiskVC()->isListShown(); }));
    int checked = 0;
    bool sawElided = false;
    for (DiskListViewController *row : page->selectDiskVC()->findChildren<DiskListViewController *>()) {
        QLabel *name = row->nameLabel();
        QLabel *type = row->diskInfoLabel();
        // The whole name, as the tool tip shows it.
        QTextDocument tip;
        tip.setHtml(name->toolTip());
        const QString full = tip.toPlainText();
        SCOPED_TRACE(full.toStdString());
        const QFontMetrics metrics(name->font());
        const int typeLeft = type->geometry().right() + 1 - metrics.boundingRect(type->text()).width();
        EXPECT_LE(name->geometry().right(), type->geometry().right());
        EXPECT_LE(metrics.horizontalAdvance(name->text()), name->width());
        EXPECT_LT(name->x() + metrics.horizontalAdvance(name->text()), typeLeft + 1);
        if (metrics.horizontalAdvance(full) <= name->width()) {
            EXPECT_EQ(name->text(), full);
        } else {
            EXPECT_TRUE(name->text().endsWith(QChar(0x2026))) << name->text().toStdString();
            EXPECT_TRUE(full.startsWith(name->text().chopped(1)));
            sawElided = true;
        }
        ++checked;
    }
    EXPECT_GE(checked, 3);
    EXPECT_TRUE(sawElided);
    TestSupport::saveScreenshot(page->selectDiskVC(), QStringLiteral("clone_picker_long_name"));
}

// The main window's pages have fixed places: zoom keeps its size.
TEST_F(Shell, ZoomKeepsTheMainWindowsSize)
{
    ZrImageWindow *w = controller->window();
    const QSize size = w->size();
    QTest::mouseClick(w->standardWindowButton(2), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isMaximized());
    EXPECT_EQ(w->size(), size);
    EXPECT_EQ(w->minimumSize(), size);
    EXPECT_EQ(w->maximumSize(), size);
}

// Whether `action` logs a failed open whose line holds `reason`.
bool logsFailedOpen(const std::function<void()> &action, const QString &reason)
{
    Platform::SystemLogCapture log;
    action();
    const bool logged = TestSupport::waitUntil(
        [&] {
            for (const QString &line : log.lines())
                if (line.startsWith("could not open ") && line.contains(reason))
                    return true;
            return false;
        },
        5000);
    if (!logged)
        ADD_FAILURE() << log.lines().join('\n').toStdString();
    return logged;
}

// A link that nothing can open is logged with the reason.
TEST(Links, AFailedOpenIsLoggedWithItsReason)
{
    QTemporaryDir dir;
    const QByteArray savedPath = qgetenv("PATH");
    AppDelegate delegate;

    qputenv("PATH", QFile::encodeName(dir.path()));
    EXPECT_TRUE(logsFailedOpen([&] { delegate.helpMenuItemAction(); }, ": no xdg-open installed"));

    // An opener that finds no handler, as xdg-open does on a bare desktop.
    TestSupport::writeFile(dir.filePath("xdg-open"),
                           "#!/bin/sh\necho \"no method available for opening '$1'\" >&2\nexit 3\n");
    QFile::setPermissions(dir.filePath("xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(dir.path()) + ":" + savedPath);
    // The opener runs in the user's session, which has a display.
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":57");
    EXPECT_TRUE(
        logsFailedOpen([&] { delegate.userGuideMenuItemAction(); }, ": xdg-open ended with 3: no method available"));
    qputenv("PATH", savedPath);
    if (savedDisplay.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", savedDisplay);
}
