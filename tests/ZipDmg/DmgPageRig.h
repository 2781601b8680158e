#pragma once
// What the Disk Image page's tests share: a page on a world of its own,
// driven through its cards, the volume picker's rows and its buttons.
#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include "DMGMakeSureWC.h"
#include "DmgVCDelegate.h"
#include "DmgViewController.h"
#include "MakeDmg.h"

#include "DiskListView.h"
#include "DiskListViewController.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"

#include "ErrorViewController.h"
#include "NODEAttachedWindow.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"

#include "Platform/Clock.h"
#include "Platform/Dispatch.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemRoot.h"
#include "Platform/Workspace.h"
#include "QoHandButton.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace DmgPageRig {

class TabRecorder : public DmgVCDelegate {
public:
    void canChangeTab(bool can) override { calls << can; }
    QList<bool> calls;
};

// The text of the bubble shown now; empty when none is up.
inline QString bubbleText(const DmgViewController &page)
{
    if (!page.isErrorPopWin() || !page.errorVC())
        return {};
    const auto labels = page.errorVC()->findChildren<QLabel *>();
    for (QLabel *l : labels)
        if (!l->text().isEmpty())
            return l->text();
    return {};
}

class PageOnWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        Platform::Workspace::shared().setRecordingOpens(true);
        Platform::Workspace::shared().clearOpenedItems();
        page = std::make_unique<DmgViewController>();
        page->setDelegate(&tabs);
        page->resize(970, 632);
        page->show();
    }
    void TearDown() override
    {
        page.reset();
        Platform::Dispatch::waitForGlobalQueue(30000);
        Platform::Workspace::shared().setRecordingOpens(false);
        Platform::SystemInfo::resetOverrides();
    }

    // Opens the card's picker, waits for its list and clicks the row of the volume.
    bool pick(int side, const QString &volumeName)
    {
        SelectValueView *card = side == 1 ? page->selectFromVC() : page->selectToVC();
        QTest::mouseClick(card->selectDiskBut(), Qt::LeftButton);
        if (!TestSupport::waitUntil([&] { return page->selectDiskVC() && page->selectDiskVC()->isListShown(); }, 30000))
            return false;
        for (DiskListViewController *row : page->selectDiskVC()->findChildren<DiskListViewController *>()) {
            if (row->volumeObj() && row->volumeObj()->volumeName == volumeName) {
                QTest::mouseClick(row->aView(), Qt::LeftButton, {}, QPoint(20, 20));
                return true;
            }
        }
        return false;
    }
    bool clickStart()
    {
        if (!page->cloneButton()->isButtonUsable())
            return false;
        QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
        return true;
    }
    // Waits for the confirmation and confirms it.
    bool confirm(const QString &screenshot = {})
    {
        if (!TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }, 30000))
            return false;
        if (!screenshot.isEmpty())
            TestSupport::saveScreenshot(page->makeSureWC(), screenshot);
        QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
        return true;
    }
    bool waitForEnd(int timeoutMs = 120000)
    {
        return TestSupport::waitUntil([&] { return !page->endView()->isHidden(); }, timeoutMs);
    }
    bool succeeded() const { return !page->endView()->isHidden() && !page->sussView()->isHidden(); }
    QString failure() const { return page->failView()->isHidden() ? QString() : page->errorLable()->text(); }

    TestSupport::DiskWorldFixture world;
    TabRecorder tabs;
    std::unique_ptr<DmgViewController> page;
};

} // namespace DmgPageRig
