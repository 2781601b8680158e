// The OS Clone page and its dialogs, driven through their own calls and
// controls on a world of the test's own (no clone is run to its end here).
#include <gtest/gtest.h>

#include "CloneRig.h"

#include "ErrorWindowController.h"
#include "FullDiskAccessViewController.h"
#include "HasM1Chip.h"
#include "MakeSureCancelCloneSystemVC.h"
#include "MakeSureCancelCloneSystemVCDelegate.h"
#include "MakeSureToCloneSystemVC.h"
#include "MakeSureToCloneSystemVCDelegate.h"
#include "SelectDrivceViewController.h"
#include "SelectDrivceViewControllerDelegate.h"
#include "SetpFViewController.h"

#include "SelectDiskViewController.h"
#include "SelectValueView.h"
#include "VoPopoverController.h"

#include "ErrorViewController.h"
#include "ITProgressBar.h"
#include "MainWindowPanel.h"
#include "StatusAttachedWindow.h"
#include "TextImageButton.h"

#include "QoPublicUtilities.h"

#include "App.h"
#include "Clock.h"
#include "Dispatch.h"
#include "SystemInfo.h"
#include "Workspace.h"
#include "WorldLockHolder.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

using CloneTest::CloneRig;

namespace {

QString labelOf(QPushButton *button)
{
    QLabel *label = button->findChild<QLabel *>();
    return label ? label->text() : QString();
}

void setVersion(int major, int minor)
{
    Platform::SystemInfo::setSystemVersion(Platform::SystemVersion{major, minor, 0});
}

struct TabSpy : SelectDrivceViewControllerDelegate {
    QList<bool> calls;
    void canChangeTab(bool can) override { calls.append(can); }
};

struct StartSpy : MakeSureToCloneSystemVCDelegate {
    int begun = 0;
    void beginToCopySystem() override { ++begun; }
};

struct StopSpy : MakeSureCancelCloneSystemVCDelegate {
    int cancelled = 0;
    void cancelToCopySystem() override { ++cancelled; }
};

// A stand-in main window for the panels.
struct MainWindow {
    QWidget widget;
    MainWindow()
    {
        widget.resize(1200, 632);
        widget.show();
    }
};

VolumeObjPtr diskOfSize(qint64 bytes, const QString &bsd = QStringLiteral("disk2"))
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = QStringLiteral("Test Disk");
    v->volumePath = bsd;
    v->volumeTotalSize = QoPublicUtilities::longlongDiskSize(bytes);
    v->volumeTotalSizeNum = bytes;
    return v;
}

// The page on a demo world, shown as its own window, its used size measured.
struct PageRig {
    CloneRig rig;
    TabSpy tabs;
    std::unique_ptr<SelectDrivceViewController> page;

    explicit PageRig(const TestSupport::DiskWorldFixture::Options &options = {}) : rig(options)
    {
        page = std::make_unique<SelectDrivceViewController>();
        page->setDelegate(&tabs);
        page->resize(970, 632);
        page->show();
        TestSupport::waitUntil([this] { return page->usedSize() != -1; });
    }
    ~PageRig()
    {
        Platform::Dispatch::waitForGlobalQueue();
        page.reset();
        has_m1_chip_forget();
    }
    void notify(int err, int step)
    {
        _tagBootableProgress p;
        p.iErrCode = err;
        p.iStepCode = step;
        page->QoUINotify(&p);
    }
};

} // namespace

TEST(ClonePageDialogs, ButtonsAreSetUpAsTheirPanelsNeedThem)
{
    MakeSureToCloneSystemVC start;
    MakeSureCancelCloneSystemVC stop;
    ErrorWindowController error;
    struct Row {
        TextImageButton *button;
        QString label;
    };
    const QList<Row> rows = {{start.cancelButton(), QStringLiteral("取消")},
                             {start.doneButton(), QStringLiteral("现在克隆")},
                             {stop.cancelButton(), QStringLiteral("取消")},
                             {stop.doneButton(), QStringLiteral("继续")},
                             {error.okButton(), QStringLiteral("好的")}};
    for (const Row &row : rows) {
        EXPECT_TRUE(row.button->isButtonUsable()) << row.label.toStdString();
        EXPECT_EQ(labelOf(row.button), row.label);
    }
}

TEST(ClonePageDialogs, StartConfirmationClosesItsPanelBeforeStarting)
{
    MainWindow main;
    StartSpy spy;
    auto *vc = new MakeSureToCloneSystemVC;
    vc->setDelegate(&spy);
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main.widget, true);
    ASSERT_TRUE(panel);
    bool panelOpenAtStart = true;
    struct Probe : MakeSureToCloneSystemVCDelegate {
        QPointer<StatusAttachedWindow> *panel;
        bool *open;
        void beginToCopySystem() override { *open = *panel && (*panel)->isVisible(); }
    } probe;
    probe.panel = &panel;
    probe.open = &panelOpenAtStart;
    vc->setDelegate(&probe);
    QTest::mouseClick(vc->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(panelOpenAtStart);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull(); }));

    // "取消" only closes.
    auto *again = new MakeSureToCloneSystemVC;
    again->setDelegate(&spy);
    QPointer<StatusAttachedWindow> second = MainWindowPanel::show(again, &main.widget, true);
    QTest::mouseClick(again->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return second.isNull(); }));
    EXPECT_EQ(spy.begun, 0);
}

TEST(ClonePageDialogs, StopConfirmationCancelsOnlyThroughItsCancelButton)
{
    MainWindow main;
    StopSpy spy;
    auto *vc = new MakeSureCancelCloneSystemVC;
    vc->setDelegate(&spy);
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main.widget, true);
    QTest::mouseClick(vc->doneButton(), Qt::LeftButton); // "继续"
    EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull(); }));
    EXPECT_EQ(spy.cancelled, 0);

    auto *again = new MakeSureCancelCloneSystemVC;
    again->setDelegate(&spy);
    QPointer<StatusAttachedWindow> second = MainWindowPanel::show(again, &main.widget, true);
    QTest::mouseClick(again->cancelButton(), Qt::LeftButton); // "取消"
    EXPECT_TRUE(TestSupport::waitUntil([&] { return second.isNull(); }));
    EXPECT_EQ(spy.cancelled, 1);
}

TEST(ClonePageDialogs, WithoutAPanelTheButtonsOnlyTellTheDelegate)
{
    StartSpy start;
    StopSpy stop;
    MakeSureToCloneSystemVC a;
    a.setDelegate(&start);
    MakeSureCancelCloneSystemVC b;
    b.setDelegate(&stop);
    ErrorWindowController c;
    a.doneButtonAction();
    a.cancelButtonAction();
    b.cancelButtonAction();
    b.doneButtonAction();
    c.okButtonAction();
    EXPECT_EQ(start.begun, 1);
    EXPECT_EQ(stop.cancelled, 1);
}

TEST(ClonePageDialogs, ErrorWindowShowsItsTextAndClosesOnOk)
{
    MainWindow main;
    auto *vc = new ErrorWindowController;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main.widget, true);
    vc->changeErrorLabelStr(QStringLiteral("创建目标盘时发生错误。"));
    EXPECT_EQ(vc->errorLabel()->text(), QStringLiteral("创建目标盘时发生错误。"));
    QTest::mouseClick(vc->okButton(), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull(); }));
}

TEST(ClonePageDialogs, StepIndicatorShowsStepsOneToFourOnly)
{
    SetpFViewController step;
    step.setSetpIn(3);
    EXPECT_EQ(step.stepImageName(), QStringLiteral("step2-3"));
    for (int n : {0, 5, -1}) {
        step.setSetpIn(n);
        EXPECT_EQ(step.stepImageName(), QStringLiteral("step2-3")) << n;
    }
    for (int n = 1; n <= 4; ++n) {
        step.setSetpIn(n);
        EXPECT_EQ(step.stepImageName(), QStringLiteral("step2-") + QString::number(n));
        EXPECT_FALSE(step.stepImageView()->pixmap().isNull());
    }
}

TEST(ClonePageDialogs, FullDiskAccessWindowOpensTheSettingsFrom1014AndAlwaysEndsTheModalRun)
{
    Platform::Workspace &ws = Platform::Workspace::shared();
    ws.setRecordingOpens(true);
    for (const auto &[minor, opens] : {std::pair{13, false}, std::pair{14, true}}) {
        ws.clearOpenedItems();
        setVersion(10, minor);
        FullDiskAccessViewController wc;
        QTimer::singleShot(0, &wc, [&wc] { wc.openSetButton()->click(); });
        Platform::App::runModal(&wc); // returns only when the window ends the run
        EXPECT_FALSE(wc.isVisible());
        EXPECT_EQ(ws.openedItems(),
                  opens ? QStringList{QString::fromLatin1(FullDiskAccessViewController::PrivacySettingsLink)}
                        : QStringList{})
            << minor;
    }
    // The close button ends the run too.
    FullDiskAccessViewController wc;
    QTimer::singleShot(0, &wc, [&wc] { wc.closeButton()->click(); });
    Platform::App::runModal(&wc);
    EXPECT_FALSE(Platform::App::isRunningModal());
    ws.setRecordingOpens(false);
    Platform::SystemInfo::resetOverrides();
}

TEST(ClonePage, UsedSizeComesFromTheVolumeBefore1015AndFromTheContainerFrom1015)
{
    const QVariantMap info{{QStringLiteral("TotalSize"), 1000},
                           {QStringLiteral("FreeSpace"), 300},
                           {QStringLiteral("APFSContainerSize"), 5000},
                           {QStringLiteral("APFSContainerFree"), 1000}};
    EXPECT_EQ(SelectDrivceViewController::usedSizeFromInfo(info, 1014), 700);
    EXPECT_EQ(SelectDrivceViewController::usedSizeFromInfo(info, 1015), 4000);
    EXPECT_EQ(SelectDrivceViewController::usedSizeFromInfo(info, 1300), 4000);
    EXPECT_EQ(SelectDrivceViewController::usedSizeFromInfo(std::nullopt, 1300), 0);
}

TEST(ClonePage, EngineCodesGiveTheirFailureTexts)
{
    const QString retry = QStringLiteral("创建启动盘失败，请重试。");
    const QList<std::pair<int, QString>> table = {
        {-7, retry},
        {-6, retry},
        {-5, QStringLiteral("系统版本不支持此功能。")},
        {-4, QStringLiteral("清除数据时发生错误。请确保设备未被使用或您拥有足够的权限。")},
        {-3, QStringLiteral("USB设备已拔出，请重新连接设备并重试。")},
        {-2, retry},
        {-1, retry},
        {-8, QString()},
    };
    for (const auto &[code, text] : table) {
        EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(code, false), text) << code;
        EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(code, true), QStringLiteral("您已停止克隆过程。"))
            << code;
    }
}

TEST(ClonePage, StatusLineTrimsSpacesAndTabsButKeepsLineBreaks)
{
    const QList<std::pair<QString, QString>> table = {
        {QStringLiteral("  克隆中...\t"), QStringLiteral("克隆中...")},
        {QStringLiteral("\nline\n"), QStringLiteral("\nline\n")},
        {QStringLiteral(" \t "), QString()},
        {QString(), QString()},
    };
    for (const auto &[in, out] : table)
        EXPECT_EQ(SelectDrivceViewController::statusLineForText(in), out) << in.toStdString();
}

TEST(ClonePage, LoadsWithTheRunningSystemAsFixedSourceAndNoTarget)
{
    PageRig r;
    ASSERT_TRUE(r.rig.world.ok());
    SelectDrivceViewController &page = *r.page;
    EXPECT_GT(page.usedSize(), 0);
    EXPECT_EQ(page.freeSize(), -1);
    EXPECT_FALSE(page.cloneButton()->isButtonUsable());
    EXPECT_EQ(labelOf(page.cloneButton()), QStringLiteral("现在克隆"));
    EXPECT_EQ(labelOf(page.checkFullButton()), QStringLiteral("检查"));
    EXPECT_EQ(page.selectFromVC()->nameLabel()->text(), QStringLiteral("Mac启动磁盘"));
    EXPECT_EQ(page.selectFromVC()->sizeLabel()->text(), QoPublicUtilities::longlongDiskSize(page.usedSize()));
    EXPECT_FALSE(page.selectFromVC()->isCanSelect());
    EXPECT_EQ(page.selectToVC()->nodeSelectLabel()->text(), QStringLiteral("点击选择目标盘"));
    EXPECT_TRUE(page.selectToVC()->nameLabel()->text().isEmpty());
    EXPECT_EQ(page.stepVC()->stepImageName(), QStringLiteral("step2-1"));
    EXPECT_EQ(page.stepFVC()->stepImageName(), QStringLiteral("step2-2"));
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    // Clicking the source card does nothing: it cannot be changed.
    page.selectFromVC()->selectDiskButton(page.selectFromVC()->selectDiskBut());
    EXPECT_FALSE(page.popoverController());
}

TEST(ClonePage, TargetAsLargeAsTheUsedSizeIsAcceptedAndOneByteLessIsRefused)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    const qint64 used = page.usedSize();
    ASSERT_GT(used, 0);

    page.doSelectDiskWithVolume(diskOfSize(used - 1));
    EXPECT_FALSE(page.cloneButton()->isButtonUsable());
    EXPECT_EQ(page.selectToVC()->bgImageName(), QStringLiteral("source_sel_error"));
    ASSERT_TRUE(page.isErrorPopWin());
    ASSERT_TRUE(page.errorVC());
    EXPECT_EQ(page.errorVC()->errorLabel()->text(), QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));

    page.doSelectDiskWithVolume(diskOfSize(used));
    EXPECT_TRUE(page.cloneButton()->isButtonUsable());
    EXPECT_EQ(page.selectToVC()->bgImageName(), QStringLiteral("source_sel"));
    EXPECT_EQ(page.freeSize(), used);
    EXPECT_EQ(page.selectToVC()->nameLabel()->text(), QStringLiteral("Test Disk"));
    EXPECT_EQ(page.selectToVC()->sizeLabel()->text(),
              QoPublicUtilities::longlongDiskSize(used) + QStringLiteral("空间"));
    EXPECT_FALSE(page.selectToVC()->closeDisk()->isHidden());

    // Clearing the card forgets the target and locks the start again.
    page.closeDiskValue(2);
    EXPECT_FALSE(page.toVolume());
    EXPECT_EQ(page.freeSize(), -1);
    EXPECT_FALSE(page.cloneButton()->isButtonUsable());
    EXPECT_EQ(page.selectToVC()->nodeSelectLabel()->text(), QStringLiteral("点击选择目标盘"));
    EXPECT_TRUE(page.selectToVC()->closeDisk()->isHidden());
    EXPECT_EQ(page.selectToVC()->bgImageName(), QStringLiteral("source"));
}

TEST(ClonePage, ErrorBubbleClosesAfterTenSecondsOrOnRequest)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    page.doSelectDiskWithVolume(diskOfSize(page.usedSize() - 1));
    ASSERT_TRUE(page.isErrorPopWin());
    page.closeErrorWindow();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !page.isErrorPopWin(); }));

    Platform::ClockScaleGuard fast(100);
    page.doSelectDiskWithVolume(diskOfSize(page.usedSize() - 1));
    ASSERT_TRUE(page.isErrorPopWin());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !page.isErrorPopWin(); }, 5000));
}

TEST(ClonePage, SecondClickOnTheTargetCardClosesItsPicker)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    page.selectDiskButton(2, page.selectToVC()->selectDiskBut());
    ASSERT_TRUE(page.popoverController());
    EXPECT_TRUE(page.selectDiskVC()->isOnlyShowEx());
    EXPECT_EQ(page.openPopType(), 2u);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.popoverController()->popoverIsVisible(); }));
    // Let the opening animation end, as it has by the time a person clicks again.
    TestSupport::waitUntil([] { return false; }, 600);
    page.selectDiskButton(2, page.selectToVC()->selectDiskBut());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !page.popoverController()->popoverIsVisible(); }));
}

TEST(ClonePage, EngineReportsMoveTheBarAsTheStagesGo)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    struct Row {
        int step;
        double bar;
    };
    for (const Row &row : {Row{0, 0}, Row{1, 5}, Row{2, 10}, Row{3, 15}, Row{4, 20}, Row{5, 30}}) {
        r.notify(0, row.step);
        EXPECT_EQ(page.progressValue(), row.bar) << "step " << row.step;
        if (row.step == 1) {
            EXPECT_EQ(page.stepFVC()->stepImageName(), QStringLiteral("step2-2"));
            EXPECT_EQ(page.animImageName(), QStringLiteral("erase"));
        }
    }
    EXPECT_EQ(page.stepFVC()->stepImageName(), QStringLiteral("step2-3"));
    EXPECT_EQ(page.animImageName(), QStringLiteral("copy"));
    struct TagRow {
        int tag, phase;
        double bar;
    };
    for (const TagRow &row : {TagRow{1, 1, 38}, TagRow{10, 1, 65}, TagRow{1, 2, 68}, TagRow{10, 2, 95}}) {
        page.changeProTimeWithTag(row.tag, row.phase);
        EXPECT_EQ(page.progressValue(), row.bar) << row.tag << " of " << row.phase;
    }
    page.changeProLabelValue(QStringLiteral("  克隆中...  "));
    EXPECT_EQ(page.pathLabel()->text(), QStringLiteral("克隆中..."));
    page.changeProLabelValue(QString());
    EXPECT_TRUE(page.pathLabel()->text().isEmpty());
    // The bar follows.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return qAbs(page.iProgreeBar()->floatValue() - 0.95) < 1e-6; }));
}

TEST(ClonePage, FailureReportsShowTheirTextAndUnlockTheTabs)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    r.notify(-8, 1);
    EXPECT_TRUE(page.endView()->isHidden()) << "-8 without a user stop shows nothing";
    r.notify(-4, 2);
    EXPECT_FALSE(page.endView()->isHidden());
    EXPECT_TRUE(page.progressView()->isHidden());
    EXPECT_FALSE(page.failView()->isHidden());
    EXPECT_TRUE(page.sussView()->isHidden());
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("清除数据时发生错误。请确保设备未被使用或您拥有足够的权限。"));
    EXPECT_EQ(page.stepFVC()->stepImageName(), QStringLiteral("step2-4"));
    EXPECT_EQ(r.tabs.calls, QList<bool>{true});

    // After a user stop any code reads as the stop, and a second report
    // shows the same view again.
    page.cancelToCopySystem();
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("您已停止克隆过程。"));
    r.notify(-7, 8);
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("您已停止克隆过程。"));
    EXPECT_FALSE(page.failView()->isHidden());

    // "好的" goes back to the selection screen.
    QTest::mouseClick(page.failCancelButton(), Qt::LeftButton);
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    EXPECT_EQ(page.progressValue(), 0);
}

TEST(ClonePage, EndOfTheCloneOnAnIntelMacBefore1300GoesStraightToSuccess)
{
    PageRig r(TestSupport::DiskWorldFixture::Options{true, QStringLiteral("12.6"), QStringLiteral("tester")});
    Platform::SystemInfo::setCpuBrand(QStringLiteral("Intel(R) Core(TM) i7-8700B CPU @ 3.20GHz"));
    has_m1_chip_forget();
    SelectDrivceViewController &page = *r.page;
    r.notify(0, 8);
    EXPECT_EQ(page.progressValue(), 100);
    EXPECT_FALSE(page.sussView()->isHidden());
    EXPECT_TRUE(page.failView()->isHidden());
    EXPECT_EQ(r.tabs.calls, QList<bool>{true});
}

TEST(ClonePage, EndOfTheCloneFrom1300OrOnAppleSiliconRunsThePrebootCopyFirst)
{
    struct Case {
        QString version;
        QString cpu;
    };
    for (const Case &c : {Case{QStringLiteral("13.0"), QStringLiteral("Intel(R) Core(TM) i7")},
                          Case{QStringLiteral("12.6"), QStringLiteral("Apple M1")}}) {
        PageRig r(TestSupport::DiskWorldFixture::Options{true, c.version, QStringLiteral("tester")});
        Platform::SystemInfo::setCpuBrand(c.cpu);
        has_m1_chip_forget();
        SelectDrivceViewController &page = *r.page;
        // A target whose list shows no APFS container: the copy ends at once.
        page.doSelectDiskWithVolume(r.rig.chooseDisk(QStringLiteral("disk2")));
        r.notify(0, 8);
        EXPECT_TRUE(page.sussView()->isHidden()) << c.version.toStdString() << " copy first";
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }));
        EXPECT_EQ(page.pathLabel()->text(), QStringLiteral("完成中..."));
        EXPECT_EQ(r.tabs.calls, QList<bool>{true});
    }
}

TEST(ClonePage, FullDiskAccessGateFrom1300KeepsThePageOnTheSelection)
{
    PageRig r(TestSupport::DiskWorldFixture::Options{true, QStringLiteral("13.4"), QStringLiteral("tester")});
    SelectDrivceViewController &page = *r.page;
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
    EXPECT_EQ(SelectDrivceViewController::getAuthorizationStatus(), 2);
    // Without the Safari folder the probe gives 0.
    ASSERT_TRUE(QDir(r.rig.world.at(QStringLiteral("/Users/tester/Library/Safari"))).removeRecursively());
    EXPECT_EQ(SelectDrivceViewController::getAuthorizationStatus(), 0);

    page.doSelectDiskWithVolume(r.rig.chooseDisk(QStringLiteral("disk2")));
    bool windowShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &page, [&] {
        FullDiskAccessViewController *wc = page.fullDiskAccessWC();
        if (wc && wc->isVisible()) {
            windowShown = true;
            wc->closeWindow();
        }
    });
    watch.start(10);
    page.beginToCopySystem();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return windowShown; }));
    watch.stop();
    QTest::qWait(50);
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    EXPECT_TRUE(r.tabs.calls.isEmpty());
    EXPECT_FALSE(r.rig.asrRan());
    EXPECT_TRUE(r.rig.eraseCalls().isEmpty());
    Platform::SystemInfo::resetOverrides();
}

// Closed by the window manager (Alt+F4, the frame's close button), the Full
// Disk Access window ends its modal run as its own button does, and "检查"
// opens it again.
TEST(ClonePage, FullDiskAccessWindowClosedByTheWindowManagerLetsTheCheckButtonOpenItAgain)
{
    PageRig r;
    SelectDrivceViewController &page = *r.page;
    QList<bool> shown;
    // Each window that comes up: the first one is closed by the window
    // system's close request, the next by its own close button.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &page, [&] {
        FullDiskAccessViewController *wc = page.fullDiskAccessWC();
        if (!wc || !wc->isVisible() || !wc->windowHandle())
            return;
        shown.append(Platform::App::modalWindow() == wc);
        if (shown.size() == 1)
            wc->windowHandle()->close();
        else
            QTest::mouseClick(wc->closeButton(), Qt::LeftButton);
    });
    watch.start(20);
    // A session that the close did not end is ended here, so the test goes on.
    bool guardEnded = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardEnded = Platform::App::isRunningModal();
        Platform::App::stopModal();
    });
    guard.start(5000);

    QTest::mouseClick(page.checkFullButton(), Qt::LeftButton);
    EXPECT_FALSE(guardEnded) << "the close left the modal run going";
    EXPECT_EQ(shown, QList<bool>{true});
    EXPECT_FALSE(Platform::App::isRunningModal());
    // The closed window goes as the main loop would let it go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(page.fullDiskAccessWC());
    QTest::mouseClick(page.checkFullButton(), Qt::LeftButton);
    EXPECT_EQ(shown, (QList<bool>{true, true}));
    EXPECT_FALSE(guardEnded);
    EXPECT_FALSE(Platform::App::isRunningModal());
}

TEST(ClonePage, Before1300TheCloneStartsWhateverTheProbeGives)
{
    PageRig r(TestSupport::DiskWorldFixture::Options{true, QStringLiteral("12.6"), QStringLiteral("tester")});
    SelectDrivceViewController &page = *r.page;
    ASSERT_TRUE(QDir(r.rig.world.at(QStringLiteral("/Users/tester/Library/Safari"))).removeRecursively());
    // A disk that is not there: the engine starts and then reports it gone.
    page.doSelectDiskWithVolume(diskOfSize(page.usedSize() * 2, QStringLiteral("disk77")));
    page.beginToCopySystem();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.selectDiskView()->isHidden(); }));
    EXPECT_FALSE(page.copyProgressView()->isHidden());
    EXPECT_FALSE(page.fullDiskAccessWC());
    ASSERT_FALSE(r.tabs.calls.isEmpty());
    EXPECT_FALSE(r.tabs.calls.first());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.failView()->isHidden(); }, 60000));
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("USB设备已拔出，请重新连接设备并重试。"));
    EXPECT_EQ(r.tabs.calls.last(), true);
    EXPECT_TRUE(r.rig.eraseCalls().isEmpty());
}

// Who is at the screen comes from the disks' record, which an eject holds:
// the confirmed start asks on a worker, and a start whose target changed
// meanwhile begins nothing.
TEST(ClonePage, TheConfirmedStartNeverHoldsTheWindowUpForTheDisks)
{
    PageRig r(TestSupport::DiskWorldFixture::Options{true, QStringLiteral("13.4"), QStringLiteral("tester")});
    SelectDrivceViewController &page = *r.page;
    const VolumeObjPtr first = diskOfSize(page.usedSize() * 2, QStringLiteral("disk77"));
    page.doSelectDiskWithVolume(first);
    {
        TestSupport::WorldLockHolder lock(r.rig.world.world());
        page.beginToCopySystem();
        EXPECT_TRUE(TestSupport::eventLoopTurns());
        EXPECT_TRUE(lock.held()) << "the main thread waited for the disks";
        EXPECT_FALSE(page.selectDiskView()->isHidden());
        // Another target before the answer: the old start is dropped.
        page.doSelectDiskWithVolume(diskOfSize(page.usedSize() * 2, QStringLiteral("disk78")));
    }
    Platform::Dispatch::waitForGlobalQueue();
    QTest::qWait(100);
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    EXPECT_FALSE(page.fullDiskAccessWC());
    EXPECT_TRUE(r.tabs.calls.isEmpty());

    // Asked again for the target now shown, the clone starts.
    page.beginToCopySystem();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.selectDiskView()->isHidden(); }));
    EXPECT_FALSE(page.copyProgressView()->isHidden());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.failView()->isHidden(); }, 60000));
}
