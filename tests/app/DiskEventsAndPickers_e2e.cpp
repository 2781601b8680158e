// The shown main window on an X server of its own, under a window manager,
// while disks are plugged in and pulled out of the world from another thread:
// the volume pickers of Disk Copy, OS Clone and Disk Image open and close
// with real clicks (closed again at once, after their list came, or by a
// choice of a row), and the window is dragged by its title bar meanwhile.
// Nothing may crash, and the window can go while work it started still runs.
#include <gtest/gtest.h>

#include "DiskCopyViewController.h"
#include "DiskListView.h"
#include "DiskListViewController.h"
#include "DmgViewController.h"
#include "LeftButton.h"
#include "MainWindowController.h"
#include "SelectDiskViewController.h"
#include "SelectDrivceViewController.h"
#include "SelectValueView.h"
#include "VoPopoverController.h"
#include "ZrImageWindow.h"

#include "Clock.h"
#include "DiskWorldFixture.h"
#include "Dispatch.h"
#include "Operations.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "WorldBuilder.h"

#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>

namespace {

namespace DW = Platform::DiskWorld;

// One card whose button opens a picker, and the page that owns the picker.
struct Card {
    const char *name;
    LeftButton *tab;
    QPushButton *button;
    std::function<SelectDiskViewController *()> picker;
    std::function<VoPopoverController *()> popover;
};

bool popoverShows(const Card &card)
{
    VoPopoverController *p = card.popover();
    return p && p->popoverIsVisible();
}

// Plugs a USB stick in and pulls it out again, over and over, until told to
// stop: every round is one mount and one unmount the program sees.
class DiskChurn {
public:
    explicit DiskChurn(const QString &root)
        : m_thread([this, root] {
              const DW::World world(root);
              QStringList names;
              for (int i = 0; i < 2; ++i) {
                  DW::DiskSpec spec;
                  spec.size = 40'000'000;
                  spec.registryName = QStringLiteral("Churn Stick %1 Media").arg(i);
                  DW::VolumeSpec volume;
                  volume.name = QStringLiteral("CHURN%1").arg(i);
                  volume.fs = QStringLiteral("ExFAT");
                  spec.partitions.push_back(volume);
                  if (DW::attachDisk(world, spec))
                      names << volume.name;
              }
              // The same disks each time, so the world stays as small as it began.
              for (int i = 0; !m_stop.load() && !names.isEmpty(); ++i) {
                  const QString &name = names.at(i % names.size());
                  if (DW::Operations::unplug(world, name).ok && DW::Operations::replug(world, name).ok)
                      ++m_plugged;
                  // A breath between changes lets the tools that look at the
                  // world have their turn at its lock.
                  std::this_thread::sleep_for(std::chrono::milliseconds(15));
              }
          })
    {
    }
    ~DiskChurn() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int plugged() const { return m_plugged.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_plugged{0};
    std::thread m_thread;
};

// A few steps of a drag by the title bar, as a hand makes it.
void dragTitleBar(ZrImageWindow *window, int dx)
{
    QWidget *bar = window->titleBarView();
    const QPoint start(bar->width() / 2 + 200, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(bar, start + QPoint(dx * step / 4, 0));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(dx, 0));
}

} // namespace

TEST(DiskEventsAndPickers, PickersOpenAndCloseWhileDisksComeAndGo)
{
    TARNWICK_RUN_ON_PRIVATE_X({.windowManager = true});
    TestSupport::DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    Platform::ClockScaleGuard fast(20);

    auto controller = std::make_unique<MainWindowController>();
    ZrImageWindow *window = controller->window();
    window->move(40, 40);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QApplication::setActiveWindow(window);

    DiskCopyViewController *copy = controller->diskCopyVC();
    DmgViewController *image = controller->dmgVC();
    SelectDrivceViewController *clone = controller->bootableVC();
    const Card cards[] = {
        {"Disk Copy source", controller->tab_diskclone(), copy->selectFromVC()->selectDiskBut(),
         [copy] { return copy->selectDiskVC(); }, [copy] { return copy->popoverController(); }},
        {"OS Clone target", controller->tab_bootable(), clone->selectToVC()->selectDiskBut(),
         [clone] { return clone->selectDiskVC(); }, [clone] { return clone->popoverController(); }},
        {"Disk Image target", controller->tab_createImage(), image->selectToVC()->selectDiskBut(),
         [image] { return image->selectDiskVC(); }, [image] { return image->popoverController(); }},
        {"Disk Copy target", controller->tab_diskclone(), copy->selectToVC()->selectDiskBut(),
         [copy] { return copy->selectDiskVC(); }, [copy] { return copy->popoverController(); }},
        {"Disk Image source", controller->tab_createImage(), image->selectFromVC()->selectDiskBut(),
         [image] { return image->selectDiskVC(); }, [image] { return image->popoverController(); }},
    };

    DiskChurn churn(world.root());
    auto stopChurn = qScopeGuard([&] { churn.stop(); });

    // Most pickers close again while their discovery still runs (the next one
    // replaces them meanwhile); every fifth waits for its list and is closed,
    // every fifth has a row chosen; the window is dragged by its title bar with a
// popover open and between rounds.
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const Card &card = cards[round % std::size(cards)];
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << card.name);
        QTest::mouseClick(card.tab, Qt::LeftButton);
        QTest::mouseClick(card.button, Qt::LeftButton);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return popoverShows(card); }, 30000));
        const QPointer<SelectDiskViewController> picker = card.picker();
        ASSERT_TRUE(picker);

        // Each card meets each kind of round in turn.
        const int kind = (round + round / int(std::size(cards))) % 5;
        if (kind == 1 && card.tab == controller->tab_diskclone()) {
            // Another tab while the picker discovers: the Disk Copy page lets go of it.
            QTest::mouseClick(controller->tab_bootable(), Qt::LeftButton);
        } else if (kind < 3) {
            QTest::qWait(kind);
        } else {
            ASSERT_TRUE(TestSupport::waitUntil([&] { return picker && picker->isListShown(); }, 60000));
            const QList<DiskListViewController *> rows = picker->findChildren<DiskListViewController *>();
            if (kind == 4 && !rows.isEmpty())
                QTest::mouseClick(rows.at(round % rows.size())->aView(), Qt::LeftButton);
            else // the open popover goes with the window
                dragTitleBar(window, round % 2 ? 40 : -40);
        }
        if (popoverShows(card))
            QTest::mouseClick(card.button, Qt::LeftButton);
        if (round % 4 == 3)
            dragTitleBar(window, round % 8 == 3 ? 60 : -60);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !popoverShows(card); }, 30000));
    }
    churn.stop();
    EXPECT_GT(churn.plugged(), 0);

    // What the closed pickers started ends without them; the window goes
    // while mount notifications may still be on their way.
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    controller.reset();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
}
