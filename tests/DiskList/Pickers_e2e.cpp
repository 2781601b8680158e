// The pickers against a demo world, as a page drives them: the volume picker
// in both modes inside its popover, a click that hands the record back, and
// the file browser on a volume with a folder and a file ticked and OK.
#include "DiskListView.h"
#include "DiskListWC.h"
#include "DiskListWCDelegate.h"
#include "ListFileOutlineModel.h"
#include "ListFileViewController.h"
#include "NewOutlineView.h"
#include "SelectDiskVCDelegate.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"
#include "SelectValueViewDelegate.h"

#include "DiskSizeProgress.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"
#include "VoPopoverWindow.h"
#include "ZrImageWindow.h"

#include "App.h"
#include "Clock.h"
#include "Dispatch.h"
#include "FileManager.h"
#include "TreeWalker.h"

#include "DiskListTestPrint.h"
#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>

#include <atomic>
#include <mutex>

using ::testing::UnorderedElementsAreArray;

namespace {

// The page's side of the cards, the picker and the browser.
class Page : public SelectValueViewDelegate, public SelectDiskVCDelegate, public DiskListWCDelegate {
public:
    Page()
    {
        window.resize(700, 320);
        window.setStyleSheet(QStringLiteral("background: rgb(30, 30, 32);"));
        source = new SelectValueView(&window);
        source->move(40, 40);
        source->setDiskFrom(1);
        source->setDelegate(this);
        target = new SelectValueView(&window);
        target->move(360, 40);
        target->setDiskFrom(2);
        target->setDelegate(this);
        window.show();
        QCoreApplication::processEvents();
    }

    // SelectValueViewDelegate: a card opens a new picker in a popover; the
    // target card lists external disks only.
    void selectDiskButton(qint32 withID, QObject *sender) override
    {
        if (popover)
            popover->forceClosePopover();
        popover.reset();
        picker = std::make_unique<SelectDiskViewController>();
        picker->setSelectDiskVCDelegate(this);
        picker->setIsOnlyShowEx(withID == 2);
        popover = std::make_unique<VoPopoverController>(picker.get());
        popover->setAnimates(false);
        auto *button = qobject_cast<QWidget *>(sender);
        popover->presentPopoverFromRect(QRectF(QPointF(0, 0), button->size()), button, withID == 1 ? 1 : 2, true);
    }
    // SelectDiskVCDelegate
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override
    {
        chosen.append(volume);
        popover->forceClosePopover();
    }
    // DiskListWCDelegate (background thread)
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 size) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        selection = arr;
        selectedSize = size;
        ++reports;
    }

    QWidget window;
    SelectValueView *source = nullptr;
    SelectValueView *target = nullptr;
    std::unique_ptr<SelectDiskViewController> picker;
    std::unique_ptr<VoPopoverController> popover;
    QList<VolumeObjPtr> chosen;
    std::mutex mutex;
    std::atomic<int> reports{0};
    FileNodeArrayPtr selection;
    qint64 selectedSize = -1;
};

// Runs a browser window modally; a script that goes wrong still gets out.
void runModal(DiskListWC &wc)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        ADD_FAILURE() << "the browser's modal loop did not end";
        Platform::App::stopModal();
    });
    guard.start(120000);
    wc.runModal();
}

struct ActiveApplication {
    ActiveApplication()
    {
        VoPopoverController::setApplicationActiveProvider([] { return true; });
    }
    ~ActiveApplication() { VoPopoverController::setApplicationActiveProvider(nullptr); }
};

QStringList namesOf(const QList<VolumeObjPtr> &list)
{
    QStringList out;
    for (const VolumeObjPtr &v : list)
        out << v->volumeName;
    return out;
}

QList<DiskListViewController *> rowsOf(SelectDiskViewController *picker)
{
    return picker->documentView()->findChildren<DiskListViewController *>(Qt::FindDirectChildrenOnly);
}

qint64 bytesUnder(const QString &path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

TEST(PickersE2E, TheVolumePickerListsTheWorldInBothModesAndHandsBackTheClickedRecord)
{
    TestSupport::DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    // Two disks the external-only list must not offer.
    Platform::DiskWorld::DiskSpec virtualUsb;
    virtualUsb.registryName = QStringLiteral("Virtual Stick Media");
    virtualUsb.isVirtual = true;
    Platform::DiskWorld::VolumeSpec virt;
    virt.name = QStringLiteral("VIRT");
    virtualUsb.partitions.push_back(virt);
    ASSERT_FALSE(world.attach(virtualUsb).isEmpty());
    Platform::DiskWorld::DiskSpec thunderbolt;
    thunderbolt.registryName = QStringLiteral("Fast External SSD Media");
    thunderbolt.bus = QStringLiteral("PCI-Express");
    Platform::DiskWorld::VolumeSpec fastVolume;
    fastVolume.name = QStringLiteral("FAST");
    thunderbolt.partitions.push_back(fastVolume);
    ASSERT_FALSE(world.attach(thunderbolt).isEmpty());

    QStringList mounted;
    QStringList usbWholeDisks;
    const Platform::DiskWorld::State state = world.state();
    for (const auto &[disk, node] : state.volumes())
        if (node->volume->mounted)
            mounted << node->volume->name;
    for (const Platform::DiskWorld::Disk &d : state.disks)
        if (d.bus == QLatin1String("USB") && !d.isVirtual && d.physicalStore.isEmpty())
            usbWholeDisks << d.registryName;
    ASSERT_GE(mounted.size(), 4);
    ASSERT_EQ(usbWholeDisks.size(), 2);

    Platform::ClockScaleGuard fast(20);
    ActiveApplication active;
    Page page;

    // The source card: every mounted volume, internal ones first.
    QTest::mouseClick(page.source->selectDiskBut(), Qt::LeftButton);
    ASSERT_TRUE(page.popover && page.popover->popoverIsVisible());
    SelectDiskViewController *normal = page.picker.get();
    EXPECT_FALSE(normal->loadP()->isHidden());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return normal->isListShown(); }, 60000));
    EXPECT_TRUE(normal->loadP()->isHidden());
    EXPECT_THAT(namesOf(normal->allVolumeArr()), UnorderedElementsAreArray(mounted));
    QList<DiskListViewController *> rows = rowsOf(normal);
    ASSERT_EQ(rows.size(), mounted.size());
    bool external = false;
    for (const DiskListViewController *row : rows) {
        // Rows come internal first, then external.
        EXPECT_TRUE(!external || row->volumeObj()->bCanEject);
        external = row->volumeObj()->bCanEject;
        EXPECT_EQ(row->nameLabel()->text(), row->volumeObj()->volumeName);
    }
    const QString popoverShot =
        TestSupport::saveScreenshot(page.popover->popoverWindow(), QStringLiteral("disklist_picker_popover"));
    EXPECT_FALSE(QImage(popoverShot).isNull());

    DiskListViewController *travel = nullptr;
    for (DiskListViewController *row : rows)
        if (row->volumeObj()->volumeName == QLatin1String("Travel Drive"))
            travel = row;
    ASSERT_TRUE(travel);
    QTest::mouseClick(travel->aView(), Qt::LeftButton, {}, QPoint(120, 24));
    ASSERT_EQ(page.chosen.size(), 1);
    EXPECT_EQ(page.chosen[0]->volumeName, QStringLiteral("Travel Drive"));
    EXPECT_EQ(page.chosen[0]->volumePath, world.mountPoint(QStringLiteral("Travel Drive")));
    EXPECT_TRUE(page.chosen[0]->bCanEject);
    EXPECT_FALSE(page.popover->popoverIsVisible());

    // The target card: whole USB disks only, under the external heading.
    QTest::mouseClick(page.target->sizeLabel(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(page.popover && page.popover->popoverIsVisible());
    SelectDiskViewController *usb = page.picker.get();
    ASSERT_TRUE(usb->isOnlyShowEx());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return usb->isListShown(); }, 60000));
    EXPECT_THAT(namesOf(usb->allVolumeArr()), UnorderedElementsAreArray(usbWholeDisks));
    rows = rowsOf(usb);
    ASSERT_EQ(rows.size(), 2);
    for (const DiskListViewController *row : rows) {
        EXPECT_TRUE(row->isOnlyShowEx());
        EXPECT_EQ(row->sizeLabel()->text(), row->volumeObj()->volumeTotalSize);
        EXPECT_FLOAT_EQ(row->diskSizeProgress()->used(), 250 * 0.001f);
    }
    QTest::mouseClick(rows[1]->aView(), Qt::LeftButton, {}, QPoint(120, 24));
    ASSERT_EQ(page.chosen.size(), 2);
    EXPECT_EQ(page.chosen[1], rows[1]->volumeObj());
    EXPECT_TRUE(page.chosen[1]->volumePath.startsWith(QLatin1String("disk")));
}

TEST(PickersE2E, TwoPickersDiscoveringAtOnceEachGetTheirOwnRecords)
{
    TestSupport::DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    Platform::ClockScaleGuard fast(20);
    SelectDiskViewController normal;
    SelectDiskViewController usb;
    usb.setIsOnlyShowEx(true);
    SelectDiskViewController again;
    normal.awakeFromNib();
    usb.awakeFromNib();
    again.awakeFromNib();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return normal.isListShown() && usb.isListShown() && again.isListShown(); },
                                       60000));
    EXPECT_THAT(namesOf(normal.allVolumeArr()), UnorderedElementsAreArray(namesOf(again.allVolumeArr())));
    for (const VolumeObjPtr &v : normal.allVolumeArr())
        EXPECT_FALSE(v->volumeMountPoint.isEmpty()) << v->volumeName.toStdString();
    for (const VolumeObjPtr &v : usb.allVolumeArr()) {
        EXPECT_TRUE(v->bCanEject);
        EXPECT_TRUE(v->volumeMountPoint.isEmpty()) << v->volumeName.toStdString();
    }
    EXPECT_EQ(usb.allVolumeArr().size(), 2);
}

TEST(PickersE2E, TheBrowserOnAVolumeReturnsTheTickedTreeAndItsSize)
{
    TestSupport::DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    const QString volume = world.mountPoint(QStringLiteral("Travel Drive"));
    ASSERT_FALSE(volume.isEmpty());
    Platform::ClockScaleGuard fast(20);
    Page page;

    DiskListWC wc;
    wc.setDelegate(&page);
    wc.showDetailWithPath(volume);
    ListFileViewController *vc = wc.listFileVC();
    NewOutlineView *outline = vc->outlineView();
    ListFileOutlineModel *model = vc->model();
    auto top = [&](const QString &name) -> FileNode * {
        for (const FileNodePtr &n : *vc->rootNodeArr())
            if (n->name == name)
                return n.get();
        return nullptr;
    };
    auto clickBox = [&](const FileNode *node) {
        const QRect r =
            outline->visualRect(model->indexForNode(node, outline->columnWithIdentifier(QStringLiteral("CheckBox"))));
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, r.center());
    };

    // The script runs inside the window's modal loop, without waiting there.
    wc.aWindow()->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !vc->isScan(); }, 30000));
    bool scripted = false;
    QTimer::singleShot(0, [&] {
        const auto finish = qScopeGuard([&] {
            if (!scripted)
                wc.aWindow()->standardWindowButton(0)->click();
        });
        // Nothing ticked, then the Photos folder, the ReadMe file and, inside
        // Documents, Budget.csv alone.
        QTest::mouseClick(vc->selectAllButton(), Qt::LeftButton);
        EXPECT_EQ(vc->selectAllButtonImageName(), QStringLiteral("checkbox_unsel"));
        FileNode *photos = top(QStringLiteral("Photos"));
        FileNode *readme = top(QStringLiteral("ReadMe.txt"));
        FileNode *documents = top(QStringLiteral("Documents"));
        ASSERT_TRUE(photos && readme && documents);
        clickBox(photos);
        clickBox(readme);
        outline->expand(model->indexForNode(documents));
        ASSERT_EQ(documents->children.size(), 2);
        FileNode *budget = nullptr;
        for (const FileNodePtr &c : documents->children)
            if (c->name == QLatin1String("Budget.csv"))
                budget = c.get();
        ASSERT_TRUE(budget);
        clickBox(budget);
        EXPECT_EQ(documents->state, FileNode::PartlyChecked);
        QCoreApplication::processEvents();
        TestSupport::saveScreenshot(wc.aWindow(), QStringLiteral("disklist_browser_world"));
        scripted = true;
        QTest::mouseClick(vc->doneButton(), Qt::LeftButton);
    });
    runModal(wc);
    ASSERT_TRUE(scripted);

    ASSERT_EQ(page.reports, 1);
    const qint64 expected = bytesUnder(volume + QStringLiteral("/Photos")) +
                            QFileInfo(volume + QStringLiteral("/ReadMe.txt")).size() +
                            QFileInfo(volume + QStringLiteral("/Documents/Budget.csv")).size();
    EXPECT_EQ(page.selectedSize, expected);
    ASSERT_TRUE(page.selection);
    EXPECT_EQ(page.selection, vc->rootNodeArr());
    QMap<QString, qint64> states;
    for (const FileNodePtr &n : *page.selection)
        states.insert(n->name, n->state);
    EXPECT_EQ(states.value(QStringLiteral("Photos")), FileNode::Checked);
    EXPECT_EQ(states.value(QStringLiteral("ReadMe.txt")), FileNode::Checked);
    EXPECT_EQ(states.value(QStringLiteral("Documents")), FileNode::PartlyChecked);
    EXPECT_EQ(states.value(QStringLiteral("Music")), FileNode::Unchecked);
    // What every consumer reads from it.
    QStringList taken;
    FileNode::walkSelection(*page.selection, [&](FileNode *n) { taken << n->name; });
    EXPECT_THAT(taken, ::testing::UnorderedElementsAre(QStringLiteral("Photos"), QStringLiteral("ReadMe.txt"),
                                                       QStringLiteral("Budget.csv")));
    EXPECT_FALSE(wc.aWindow()->isVisible());

    // Opened again on the kept selection: the same marks, no scan; closed
    // without OK it stays as the page has it.
    DiskListWC again;
    again.setDelegate(&page);
    again.listFileVC()->setArrForListWithArr(page.selection, volume);
    EXPECT_FALSE(again.listFileVC()->isScan());
    EXPECT_EQ(again.listFileVC()->selectAllButtonImageName(), QStringLiteral("checkbox_halfsel"));
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(again.listFileVC()->selectAllButton(), Qt::LeftButton);
        again.aWindow()->standardWindowButton(0)->click();
    });
    runModal(again);
    EXPECT_EQ(page.reports, 1);
    for (const FileNodePtr &n : *page.selection)
        EXPECT_EQ(n->state, states.value(n->name)) << n->name.toStdString();
}
