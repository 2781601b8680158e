// The Disk Copy page: its checks and refusals, the copy-mode rules, the
// destination folder, the confirmation and the end views.
#include "DiskCopyPageRig.h"

#include "CopyMakeSureWCDelegate.h"
#include "Dispatch.h"
#include "DoCopyFiles.h"
#include "FileManager.h"
#include "ITProgressBar.h"
#include "LComboBox.h"
#include "MainWindowPanel.h"
#include "QoHandButton.h"
#include "QoPublicUtilities.h"
#include "SetpViewController.h"
#include "StatusAttachedWindow.h"
#include "SystemRoot.h"
#include "VoPopoverWindow.h"
#include "WbgView.h"
#include "Workspace.h"
#include "WorldLockHolder.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <gmock/gmock.h>

using namespace DiskCopyPageRig;
using TestSupport::DiskWorldFixture;

namespace {

struct StepCase {
    qint32 index;
    qint32 step;
    QString image;
};

TEST(SetpViewControllerTest, ShowsTheStepImageOfItsPageAndIgnoresOtherSteps)
{
    const QList<StepCase> cases = {
        {0, 1, QStringLiteral("step1-1")}, {0, 2, QStringLiteral("step1-2")}, {0, 3, QStringLiteral("step1-3")},
        {1, 1, QStringLiteral("step3-1")}, {1, 3, QStringLiteral("step3-3")}, {7, 2, QStringLiteral("step1-2")},
    };
    for (const StepCase &c : cases) {
        SetpViewController vc;
        EXPECT_EQ(vc.aIndex(), 0);
        vc.setCopyOrDiskImage(c.index);
        vc.setSetpIn(c.step);
        EXPECT_EQ(vc.stepImageName(), c.image) << c.index << " " << c.step;
        EXPECT_FALSE(vc.stepImageView()->pixmap().isNull()) << c.image.toStdString();
        vc.setSetpIn(0);
        vc.setSetpIn(4);
        EXPECT_EQ(vc.stepImageName(), c.image);
    }
}

TEST(WbgViewTest, FillsARoundedWhiteCardInsideItsBounds)
{
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("background: black;"));
    WbgView view(&parent);
    view.resize(200, 100);
    QImage image(200, 100, QImage::Format_ARGB32);
    image.fill(Qt::black);
    view.render(&image);
    EXPECT_EQ(image.pixelColor(100, 50), QColor(Qt::white));
    // The corners stay outside the radius-16 rounding.
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(198, 98), QColor(Qt::black));
}

class Confirmed : public CopyMakeSureWCDelegate {
public:
    void beginToCopyFiles() override { ++count; }
    int count = 0;
};

TEST(CopyMakeSureWCTest, DoneClosesThePanelAndStartsCancelOnlyCloses)
{
    for (bool done : {true, false}) {
        QWidget main;
        main.resize(1200, 632);
        main.show();
        Confirmed delegate;
        QPointer<CopyMakeSureWC> vc = new CopyMakeSureWC;
        vc->setDelegate(&delegate);
        QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main, true);
        ASSERT_TRUE(panel);
        EXPECT_EQ(vc->size(), main.frameGeometry().size());
        QTest::mouseClick(done ? vc->doneButton() : vc->cancelButton(), Qt::LeftButton);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !panel; }, 3000));
        EXPECT_EQ(delegate.count, done ? 1 : 0);
    }
}

TEST(DiskCopyDestinationTest, DatedFolderOnTheTargetOrAtTheStartupRoot)
{
    TestSupport::TempRoot root;
    const QString date = QStringLiteral("2026-12-10 09:30:00");
    EXPECT_EQ(DiskCopyViewController::destinationFor(QStringLiteral("/x/Volumes/USB"), date),
              QStringLiteral("/x/Volumes/USB/KestrovaDiskClone(2026-12-10 09:30:00)"));
    const QString atRoot = Platform::rootPath(QStringLiteral("/KestrovaDiskClone(2026-12-10 09:30:00)"));
    EXPECT_EQ(DiskCopyViewController::destinationFor(QStringLiteral("/"), date), atRoot);
    EXPECT_EQ(DiskCopyViewController::destinationFor(Platform::systemRoot(), date), atRoot);
}

TEST(DiskCopyDestinationTest, FallsBackToTheConsoleUsersDesktopNotRoots)
{
    DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
    const QString date = QStringLiteral("2026-12-10 09:31:00");
    EXPECT_EQ(DiskCopyViewController::desktopDestinationFor(date),
              world.at(QStringLiteral("/Users/tester/Desktop/KestrovaDiskClone(2026-12-10 09:31:00)")));

    // A target ejected after it was chosen: nothing is made where it was
    // mounted, the Desktop takes the copy.
    VolumeObjPtr target = volumeRecord(world, QStringLiteral("BACKUP"));
    ASSERT_TRUE(target);
    const QString mount = target->volumePath;
    ASSERT_EQ(
        world.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), world.bsdName(QStringLiteral("BACKUP"))})
            .status,
        0);
    ASSERT_FALSE(QFileInfo::exists(mount + QStringLiteral("/old")));
    QDir().mkpath(world.at(QStringLiteral("/Users/tester")));
    const QString made = DiskCopyViewController::makeDestination(*target, date);
    EXPECT_EQ(made, DiskCopyViewController::desktopDestinationFor(date));
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_FALSE(QFileInfo::exists(mount + QStringLiteral("/KestrovaDiskClone(2026-12-10 09:31:00)")));
    Platform::SystemInfo::resetOverrides();
}

TEST(DiskCopyDestinationTest, LinksWhereTheDatedFolderOrTheDesktopGoReceiveNothing)
{
    DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
    VolumeObjPtr target = volumeRecord(world, QStringLiteral("BACKUP"));
    ASSERT_TRUE(target);
    const QString elsewhere = world.at(QStringLiteral("/private/root-only"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));

    // A link planted on the target where the dated folder goes.
    const QString date = QStringLiteral("2026-12-10 09:32:00");
    ASSERT_TRUE(QFile::link(elsewhere, DiskCopyViewController::destinationFor(target->volumePath, date)));
    std::shared_ptr<Platform::OpenFolder> opened;
    DiskCopyViewController::makeDestination(*target, date, &opened);
    EXPECT_FALSE(opened) << "no folder to copy into: the job fails";
    EXPECT_TRUE(QDir(elsewhere).isEmpty());

    // A Desktop that is a link, when the target has gone.
    ASSERT_EQ(
        world.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), world.bsdName(QStringLiteral("BACKUP"))})
            .status,
        0);
    ASSERT_TRUE(QDir().mkpath(world.at(QStringLiteral("/Users/tester"))));
    QDir().rename(world.at(QStringLiteral("/Users/tester/Desktop")), world.at(QStringLiteral("/Users/tester/Desk")));
    ASSERT_TRUE(QFile::link(elsewhere, world.at(QStringLiteral("/Users/tester/Desktop"))));
    DiskCopyViewController::makeDestination(*target, QStringLiteral("2026-12-10 09:33:00"), &opened);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    Platform::SystemInfo::resetOverrides();
}

class DiskCopyPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        travel = volumeRecord(world, QStringLiteral("Travel Drive"));
        backup = volumeRecord(world, QStringLiteral("BACKUP"));
        bootcamp = volumeRecord(world, QStringLiteral("BOOTCAMP"));
        ASSERT_TRUE(travel && backup && bootcamp);
        rig = std::make_unique<PageWindow>();
        page = rig->page;
    }
    void TearDown() override { rig.reset(); }

    bool startUsable() const { return page->cloneButton()->isButtonUsable(); }
    QString bubble() const { return page->errorBubbleText(); }

    DiskWorldFixture world;
    VolumeObjPtr travel, backup, bootcamp;
    std::unique_ptr<PageWindow> rig;
    DiskCopyViewController *page = nullptr;
};

TEST_F(DiskCopyPageTest, StartsOnTheSelectionScreenWithNothingChosen)
{
    EXPECT_FALSE(page->selectDiskView()->isHidden());
    EXPECT_TRUE(page->copyProgressView()->isHidden());
    EXPECT_FALSE(startUsable());
    EXPECT_EQ(page->usedSize(), -1);
    EXPECT_EQ(page->freeSize(), -1);
    EXPECT_EQ(page->selectFilesSize(), -1);
    EXPECT_EQ(page->selectFromVC()->nodeSelectLabel()->text(), QStringLiteral("点击选择源盘"));
    EXPECT_EQ(page->selectToVC()->nodeSelectLabel()->text(), QStringLiteral("点击选择目标盘"));
    EXPECT_EQ(page->setpVC()->stepImageName(), QStringLiteral("step1-1"));
    EXPECT_EQ(page->setpVC_2()->stepImageName(), QStringLiteral("step1-2"));
    EXPECT_FALSE(page->comboBoxView()->isHidden()) << "left as the interface file has it";
    TestSupport::saveScreenshot(rig->window.get(), QStringLiteral("DiskCopyPage_start"));
}

TEST_F(DiskCopyPageTest, SameVolumeIsRefusedOnTheSideChosenSecond)
{
    choose(page, 1, travel);
    choose(page, 2, volumeRecord(world, QStringLiteral("Travel Drive")));
    EXPECT_EQ(bubble(), DiskCopyViewController::sameVolumeText());
    EXPECT_FALSE(page->toVolume());
    EXPECT_EQ(page->freeSize(), -1);
    EXPECT_FALSE(startUsable());
    EXPECT_EQ(page->selectToVC()->bgImageName(), QStringLiteral("source_sel_error"));
    TestSupport::saveScreenshot(rig->window.get(), QStringLiteral("DiskCopyPage_bubble"));

    page->closeDiskValue(1);
    page->closeDiskValue(2);
    choose(page, 2, backup);
    choose(page, 1, volumeRecord(world, QStringLiteral("BACKUP")));
    EXPECT_EQ(bubble(), DiskCopyViewController::sameVolumeText());
    EXPECT_FALSE(page->fromeVolume());
    EXPECT_EQ(page->usedSize(), -1);
    EXPECT_TRUE(page->comboBoxView()->isHidden());
    EXPECT_FALSE(startUsable());
}

TEST_F(DiskCopyPageTest, ReadOnlyNtfsTargetIsRefusedOtherReadOnlyTargetsAccepted)
{
    choose(page, 1, travel);
    choose(page, 2, bootcamp);
    EXPECT_EQ(bubble(), DiskCopyViewController::ntfsText());
    EXPECT_FALSE(page->toVolume());
    EXPECT_FALSE(startUsable());

    // A read-only HFS+ volume: the same folder, another file system.
    auto hfs = std::make_shared<VolumeObj>(*bootcamp);
    hfs->volumeType = QStringLiteral("Mac OS Extended (Journaled)");
    hfs->volumePath = hfs->volumePath + QStringLiteral("/../BOOTCAMP");
    choose(page, 2, hfs);
    EXPECT_TRUE(page->toVolume());
    EXPECT_TRUE(startUsable());
}

TEST_F(DiskCopyPageTest, ATargetsOwnCheckNeverHoldsTheWindowUpAndALateAnswerIsDropped)
{
    struct Case {
        const char *what;
        VolumeObjPtr changedTo; // chosen while the first answer is out; none: kept
        QString bubble;
        bool usable;
    };
    const QList<Case> cases = {
        {"kept", nullptr, DiskCopyViewController::ntfsText(), false},
        {"changed", backup, QString(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        page->closeDiskValue(1);
        page->closeDiskValue(2);
        page->closeErrorWindow();
        choose(page, 1, travel);
        page->selectDiskButton(2, page->selectToVC());
        page->chengeTabCloseNode();
        {
            // An image's eject holds the disks' lock for its whole write.
            TestSupport::WorldLockHolder lock(world.world());
            page->doSelectDiskWithVolume(bootcamp);
            EXPECT_TRUE(lock.held()) << "the main thread waited for the disks";
            EXPECT_TRUE(TestSupport::eventLoopTurns());
            EXPECT_TRUE(page->isTargetCheckPending());
            EXPECT_FALSE(startUsable()) << "the start waits for the answer";
            if (c.changedTo)
                choose(page, 2, c.changedTo);
            EXPECT_TRUE(lock.held());
        }
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->isTargetCheckPending(); }));
        Platform::Dispatch::waitForGlobalQueue();
        QCoreApplication::processEvents();
        EXPECT_EQ(bubble(), c.bubble);
        EXPECT_EQ(startUsable(), c.usable);
        EXPECT_EQ(page->toVolume(), c.changedTo);
    }
}

TEST_F(DiskCopyPageTest, TheStartNeverHoldsTheWindowUpAndAStopMeanwhileCopiesNothing)
{
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped" : "copied");
        choose(page, 1, travel);
        choose(page, 2, backup);
        page->cloneButtonAction();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
        const QStringList before = cloneFolders(backup->volumePath);
        {
            // Whether the target is still mounted is looked up with the
            // start, not taken from when it was chosen.
            TestSupport::WorldLockHolder lock(world.world());
            QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
            EXPECT_TRUE(TestSupport::eventLoopTurns());
            EXPECT_TRUE(lock.held()) << "the main thread waited for the disks";
            EXPECT_FALSE(page->copyProgressView()->isHidden());
            EXPECT_TRUE(page->endView()->isHidden());
            if (stop)
                QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
        }
        if (stop) {
            Platform::Dispatch::waitForGlobalQueue();
            QCoreApplication::processEvents();
            EXPECT_TRUE(page->doCopy()->isCancel());
            EXPECT_FALSE(page->doCopy()->isRunning()) << "a job stopped before it began never starts";
            EXPECT_EQ(page->errorLable()->text(), DiskCopyViewController::stoppedText());
            for (const QString &folder : cloneFolders(backup->volumePath)) {
                if (!before.contains(folder)) {
                    EXPECT_TRUE(QDir(backup->volumePath + QLatin1Char('/') + folder).isEmpty()) << folder.toStdString();
                }
            }
        } else {
            ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->sussView()->isHidden(); }, 60000));
            const QStringList made = cloneFolders(backup->volumePath);
            ASSERT_EQ(made.size(), before.size() + 1);
            EXPECT_TRUE(page->openUrl().startsWith(backup->volumePath + QStringLiteral("/KestrovaDiskClone(")));
            EXPECT_FALSE(QDir(page->openUrl()).isEmpty());
        }
        if (page->makeSureWC())
            page->makeSureWC()->closeWindow();
        page->backHomeView();
        settle();
        QTest::qWait(1100); // the next dated folder gets another second
    }
}

TEST_F(DiskCopyPageTest, WholeVolumeNeedsFreeSpaceOfItsUsedSize)
{
    for (qint64 less : {0, 1}) {
        page->closeDiskValue(1);
        page->closeDiskValue(2);
        auto source = std::make_shared<VolumeObj>(*travel);
        auto target = std::make_shared<VolumeObj>(*backup);
        source->volumeTotalSizeNum = 5'000'000;
        source->volumeFreeSizeNum = 1'000'000;
        target->volumeFreeSizeNum = 4'000'000 - less;
        choose(page, 1, source);
        choose(page, 2, target);
        EXPECT_EQ(page->usedSize(), 4'000'000);
        EXPECT_EQ(startUsable(), less == 0) << less;
        EXPECT_EQ(bubble(), less == 0 ? QString() : DiskCopyViewController::noSpaceText()) << less;
        page->closeErrorWindow();
        settle();
    }
}

TEST_F(DiskCopyPageTest, AFileChoiceLargerThanTheTargetsFreeSpaceDisablesStartWithoutABubble)
{
    auto target = std::make_shared<VolumeObj>(*backup);
    target->volumeFreeSizeNum = 4000;
    auto source = std::make_shared<VolumeObj>(*travel);
    source->volumeTotalSizeNum = 5000;
    source->volumeFreeSizeNum = 2000;
    choose(page, 1, source);
    choose(page, 2, target);
    ASSERT_TRUE(startUsable());
    for (qint64 size : {4001, 4000}) {
        auto arr = std::make_shared<FileNodeArray>();
        arr->append(FileNode::initWithPath(travel->volumePath + QStringLiteral("/ReadMe.txt"),
                                           QStringLiteral("ReadMe.txt"), false, nullptr));
        arr->append(FileNode::initWithPath(travel->volumePath + QStringLiteral("/Photos"), QStringLiteral("Photos"),
                                           true, nullptr));
        arr->last()->state = FileNode::Unchecked;
        page->closeWindowWithSelect(arr, size);
        settle();
        EXPECT_EQ(page->selectFilesSize(), size);
        EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("1文件/文件夹"));
        EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(),
                  QoPublicUtilities::longlongConvertVolSpace(size) + QStringLiteral("被选择"));
        EXPECT_EQ(startUsable(), size == 4000) << size;
        EXPECT_EQ(page->selectToVC()->bgImageName() == QStringLiteral("source_sel_error"), size != 4000);
        EXPECT_EQ(bubble(), QString());
    }
}

TEST_F(DiskCopyPageTest, ATabChangeClosesThePicker)
{
    page->selectDiskButton(2, page->selectToVC());
    ASSERT_TRUE(page->popoverController());
    page->chengeTabCloseNode();
    EXPECT_FALSE(page->popoverController());
    EXPECT_FALSE(page->selectDiskVC());
    page->chengeTabCloseNode(); // nothing open: nothing to do
}

TEST_F(DiskCopyPageTest, PressingACardWhileThePickerIsOpenOnlyClosesIt)
{
    page->selectDiskButton(1, page->selectFromVC());
    ASSERT_TRUE(page->popoverController());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->popoverController()->popoverIsVisible(); }, 3000));
    VoPopoverController *first = page->popoverController();
    // Let it finish opening, as a user's second press would.
    TestSupport::waitUntil([&] { return first->popoverWindow()->windowOpacity() >= 0.999; }, 3000);
    QTest::qWait(600);
    page->selectDiskButton(2, page->selectToVC());
    EXPECT_EQ(page->popoverController(), first);
    EXPECT_EQ(page->openPopType(), 1u);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !first->popoverIsVisible(); }, 3000));
}

TEST_F(DiskCopyPageTest, ASelectionWithEveryBoxClearedIsRefusedAsEmpty)
{
    choose(page, 1, travel);
    choose(page, 2, backup);
    auto arr = std::make_shared<FileNodeArray>();
    for (const char *name : {"ReadMe.txt", "Documents"}) {
        auto node = FileNode::initWithPath(travel->volumePath + QLatin1Char('/') + QLatin1String(name),
                                           QLatin1String(name), false, nullptr);
        node->state = FileNode::Unchecked;
        arr->append(node);
    }
    page->closeWindowWithSelect(arr, 0);
    settle();
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("0文件/文件夹"));
    page->cloneButtonAction();
    settle();
    EXPECT_EQ(bubble(), DiskCopyViewController::emptySelectionText());
    EXPECT_FALSE(page->makeSureWC());
}

TEST_F(DiskCopyPageTest, DroppedFilesAreSizedForTheSpaceCheck)
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.bin"));
    ASSERT_TRUE(TestSupport::writeFile(big, QByteArray(3000, 'x')));
    auto target = std::make_shared<VolumeObj>(*backup);
    target->volumeFreeSizeNum = 2000;
    choose(page, 2, target);
    page->viewDragAction(SelectValueView::eumeArr({big}));
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("添加部分文件"));
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), QStringLiteral("1被选择"));
    EXPECT_FALSE(startUsable()); // until the sum is in
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectFilesSize() == 3000; }));
    EXPECT_FALSE(startUsable());

    target->volumeFreeSizeNum = 4000;
    choose(page, 2, target);
    EXPECT_TRUE(startUsable());
}

TEST_F(DiskCopyPageTest, ATargetChosenBeforeTheDropsSumArrivesLeavesStartOff)
{
    QTemporaryDir dir;
    const QString many = dir.filePath(QStringLiteral("many"));
    for (int d = 0; d < 400; ++d)
        for (int f = 0; f < 5; ++f)
            ASSERT_TRUE(TestSupport::writeFile(many + QStringLiteral("/d%1/f%2").arg(d).arg(f), QByteArray(10, 'x')));
    choose(page, 1, travel);
    page->viewDragAction(SelectValueView::eumeArr({many}));
    // The target comes before the sum (the main thread has not seen it yet).
    choose(page, 2, backup);
    EXPECT_FALSE(startUsable()) << "a size of 0 passed the space check";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectFilesSize() == 20000; }));
    EXPECT_TRUE(startUsable());
}

TEST_F(DiskCopyPageTest, AReplacedDropSumOfZeroNeverPassesTheSpaceCheck)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty"));
    const QString many = dir.filePath(QStringLiteral("many"));
    ASSERT_TRUE(QDir().mkpath(empty));
    for (int d = 0; d < 400; ++d)
        for (int f = 0; f < 5; ++f)
            ASSERT_TRUE(TestSupport::writeFile(many + QStringLiteral("/d%1/f%2").arg(d).arg(f), QByteArray(10, 'x')));
    auto target = std::make_shared<VolumeObj>(*backup);
    target->volumeFreeSizeNum = 1; // room for an empty drop only
    choose(page, 2, target);
    // The first drop sums to 0; the second replaces it before its sum is in.
    page->viewDragAction(SelectValueView::eumeArr({empty}));
    page->viewDragAction(SelectValueView::eumeArr({many}));
    bool everUsable = false;
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        everUsable = everUsable || startUsable();
        return page->selectFilesSize() == 20000;
    }));
    Platform::Dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();
    EXPECT_FALSE(everUsable) << "the replaced sum's 0 was taken for the new drop's size";
    EXPECT_EQ(page->selectFilesSize(), 20000);
    EXPECT_FALSE(startUsable());
}

TEST_F(DiskCopyPageTest, ChoosingAllFilesDropsAnEarlierPartialSelection)
{
    choose(page, 1, travel);
    choose(page, 2, backup);
    auto arr = std::make_shared<FileNodeArray>();
    arr->append(FileNode::initWithPath(travel->volumePath + QStringLiteral("/ReadMe.txt"), QStringLiteral("ReadMe.txt"),
                                       false, nullptr));
    page->selectFormatbyType(1);
    page->closeWindowWithSelect(arr, 21);
    settle();
    ASSERT_EQ(page->copyArr(), arr);
    page->selectFormatbyType(0);
    EXPECT_FALSE(page->copyArr());
    EXPECT_EQ(page->selectFilesSize(), -1);
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("Travel Drive"));
    EXPECT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::allFilesLabel());
}

TEST_F(DiskCopyPageTest, EndViewsLockAndUnlockTabsAndReturnHome)
{
    struct EndCase {
        std::function<void(DiskCopyViewController *)> end;
        bool failed;
        QString text;
        QString shot;
    };
    const QList<EndCase> cases = {
        {[](DiskCopyViewController *p) { p->topCopyProgress(100); }, false, QString(),
         QStringLiteral("DiskCopyPage_success")},
        {[](DiskCopyViewController *p) { p->copyFileError(); }, true, DiskCopyViewController::failedText(),
         QStringLiteral("DiskCopyPage_failure")},
        {[](DiskCopyViewController *p) { p->cancelButtonAction(); }, true, DiskCopyViewController::stoppedText(),
         QStringLiteral("DiskCopyPage_stopped")},
    };
    for (const EndCase &c : cases) {
        rig->lock.calls.clear();
        choose(page, 1, travel);
        choose(page, 2, backup);
        page->cloneButtonAction();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
        // Stop the real job at once: only the views are looked at here.
        page->beginToCopyFiles();
        page->doCopy()->setIsCancel(true);
        settle();
        EXPECT_FALSE(page->copyProgressView()->isHidden());
        EXPECT_EQ(page->setpVC_2()->stepImageName(), QStringLiteral("step1-2"));
        c.end(page);
        EXPECT_FALSE(page->endView()->isHidden());
        EXPECT_TRUE(page->progressView()->isHidden());
        EXPECT_EQ(page->failView()->isHidden(), !c.failed);
        EXPECT_EQ(page->sussView()->isHidden(), c.failed);
        if (c.failed) {
            EXPECT_EQ(page->errorLable()->text(), c.text);
        }
        EXPECT_EQ(page->setpVC_2()->stepImageName(), QStringLiteral("step1-3"));
        EXPECT_EQ(rig->lock.calls, (QList<bool>{false, true}));
        TestSupport::saveScreenshot(rig->window.get(), c.shot);
        if (page->makeSureWC())
            page->makeSureWC()->closeWindow();
        QTest::mouseClick(c.failed ? page->failCancelButton() : page->succCancelButton(), Qt::LeftButton);
        EXPECT_FALSE(page->selectDiskView()->isHidden());
        EXPECT_TRUE(page->copyProgressView()->isHidden());
        EXPECT_FALSE(page->fromeVolume());
        EXPECT_FALSE(page->toVolume());
        settle();
    }
}

TEST_F(DiskCopyPageTest, SuccessLinkColoursItsPhraseAndOpensTheDestination)
{
    Platform::Workspace::shared().setRecordingOpens(true);
    Platform::Workspace::shared().clearOpenedItems();
    choose(page, 1, travel);
    choose(page, 2, backup);
    page->cloneButtonAction();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
    QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->sussView()->isHidden(); }));
    EXPECT_TRUE(page->openLabel()->text().contains(QStringLiteral("#027dff")));
    QTest::mouseClick(page->openButton(), Qt::LeftButton);
    EXPECT_EQ(Platform::Workspace::shared().openedItems(), QStringList{page->openUrl()});
    EXPECT_TRUE(page->openUrl().startsWith(backup->volumePath + QStringLiteral("/KestrovaDiskClone(")));
    Platform::Workspace::shared().setRecordingOpens(false);
}

} // namespace
