// The OS Clone page end to end on a demo world: the user picks the USB disk
// on the target card, confirms, and the clone runs with the stand-in diskutil
// and asr; the tests then look at the disk, the world and the page.
#include <gtest/gtest.h>

#include "CloneRig.h"

#include "ErrorWindowController.h"
#include "FullDiskAccessViewController.h"
#include "HasM1Chip.h"
#include "MakeSureCancelCloneSystemVC.h"
#include "MakeSureToCloneSystemVC.h"
#include "SelectDrivceViewController.h"
#include "SelectDrivceViewControllerDelegate.h"

#include "DiskListView.h"
#include "DiskListViewController.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"

#include "ErrorViewController.h"
#include "NODEAttachedWindow.h"
#include "TextImageButton.h"

#include "SystemInfo.h"
#include "SystemLog.h"
#include "World.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

using CloneTest::CloneRig;

namespace {

// Every file, folder and link below `folder` by relative path, with what a
// copy has to keep of it; top-level names in `skip` left out.
QMap<QString, QByteArray> treeOf(const QString &folder, const QStringList &skip = {})
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(folder).relativeFilePath(path);
        if (skip.contains(rel.section(QLatin1Char('/'), 0, 0)))
            continue;
        const QFileInfo info(path);
        if (info.isSymLink())
            // The link's own text: a relative link must stay relative.
            out.insert(rel,
                       "link:" + QByteArray::fromStdString(std::filesystem::read_symlink(path.toStdString()).string()));
        else if (info.isDir())
            out.insert(rel, "dir");
        else
            out.insert(rel, "file:" + TestSupport::readFile(path));
    }
    return out;
}

QStringList differences(const QMap<QString, QByteArray> &expected, const QMap<QString, QByteArray> &actual)
{
    QStringList out;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            out << QStringLiteral("missing: ") + it.key();
        else if (actual.value(it.key()) != it.value())
            out << QStringLiteral("differs: ") + it.key();
    }
    for (auto it = actual.cbegin(); it != actual.cend(); ++it)
        if (!expected.contains(it.key()))
            out << QStringLiteral("extra: ") + it.key();
    return out;
}

// The volume of that name on that whole disk (APFS volumes through their
// container): where its files are, and where it is mounted (empty when not).
struct VolumeFolders {
    QString content;
    QString mountPoint;
};
VolumeFolders volumeOnDisk(const TestSupport::DiskWorldFixture &world, const QString &name, const QString &disk)
{
    const Platform::DiskWorld::State s = world.state();
    for (const auto &[d, n] : s.volumes()) {
        const Platform::DiskWorld::Disk *physical = s.physicalDisk(*d);
        if (n->volume->name == name && (physical ? physical->id : d->id) == disk)
            return {world.world().contentPath(*n->volume), world.world().mountPoint(*n->volume)};
    }
    return {};
}

struct TabSpy : SelectDrivceViewControllerDelegate {
    QList<bool> calls;
    void canChangeTab(bool can) override { calls.append(can); }
};

// Sits between the engine and the page: passes every report on and notes
// the bar value the page set for it.
struct BarWatch : QoBootableDelegate {
    SelectDrivceViewController *page = nullptr;
    QList<double> values;
    QList<int> errors;
    unsigned implementedMethods() const override { return page->implementedMethods(); }
    void QoUINotify(const _tagBootableProgress *p) override
    {
        if (p->iErrCode < 0)
            errors.append(p->iErrCode);
        page->QoUINotify(p);
        note();
    }
    void changeProLabelValue(const QString &value) override { page->changeProLabelValue(value); }
    void changeProTimeWithTag(int tag, int withStep) override
    {
        page->changeProTimeWithTag(tag, withStep);
        note();
    }
    void note()
    {
        if (values.isEmpty() || values.last() != page->progressValue())
            values.append(page->progressValue());
    }
};

struct PageWorld {
    CloneRig rig;
    TabSpy tabs;
    BarWatch bar;
    std::unique_ptr<SelectDrivceViewController> page;

    // The world's console user is `user`; unless `userFromWorld`, the test
    // also tells the platform who sits at the screen.
    explicit PageWorld(const QString &version, const std::function<void(CloneRig &)> &before = {},
                       const QString &user = QStringLiteral("tester"), bool userFromWorld = false)
        : rig(TestSupport::DiskWorldFixture::Options{true, version, user})
    {
        // What the world holds before the page measures the system.
        if (before)
            before(rig);
        if (!userFromWorld)
            Platform::SystemInfo::setConsoleUserName(user);
        Platform::SystemInfo::setCpuBrand(QStringLiteral("Intel(R) Core(TM) i7-8700B CPU @ 3.20GHz"));
        has_m1_chip_forget();
        page = std::make_unique<SelectDrivceViewController>();
        page->setDelegate(&tabs);
        page->resize(970, 632);
        page->show();
        bar.page = page.get();
        QoBootable::QoShareInstance()->QoSetDelegate(&bar);
        TestSupport::waitUntil([this] { return page->usedSize() != -1; });
    }
    ~PageWorld()
    {
        Platform::Dispatch::waitForGlobalQueue();
        QoBootable::QoShareInstance()->QoSetDelegate(nullptr);
        page.reset();
        has_m1_chip_forget();
    }

    // Opens the target card's picker and clicks the row of that whole disk.
    bool pick(const QString &bsdName)
    {
        QTest::mouseClick(page->selectToVC()->selectDiskBut(), Qt::LeftButton);
        if (!page->selectDiskVC() ||
            !TestSupport::waitUntil([this] { return page->selectDiskVC()->isListShown(); }, 30000))
            return false;
        for (DiskListViewController *row : page->selectDiskVC()->findChildren<DiskListViewController *>()) {
            if (row->volumeObj() && row->volumeObj()->volumePath == bsdName) {
                QTest::mouseClick(row->aView(), Qt::LeftButton);
                return TestSupport::waitUntil([this] { return page->toVolume() != nullptr; });
            }
        }
        return false;
    }
    // Presses "现在克隆" and confirms in the panel.
    bool startClone(const QString &confirmShot = {})
    {
        QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
        if (!TestSupport::waitUntil([this] { return page->makeSureToCloneVC() != nullptr; }))
            return false;
        MakeSureToCloneSystemVC *vc = page->makeSureToCloneVC();
        TestSupport::waitUntil([vc] { return vc->isVisible(); }, 2000);
        if (!confirmShot.isEmpty())
            TestSupport::saveScreenshot(vc->window(), confirmShot);
        QTest::mouseClick(vc->doneButton(), Qt::LeftButton);
        // The start answers once its access probe is back from a worker.
        TestSupport::waitUntil(
            [this] {
                return !page->copyProgressView()->isHidden() || page->fullDiskAccessWC() || page->errorWindowVC();
            },
            5000);
        return true;
    }
};

// Holds the Preboot copy at its first diskutil call until release(), so a
// test can act while the restore has ended and the copy still runs.
struct PrebootHold {
    CloneRig &rig;
    explicit PrebootHold(CloneRig &r) : rig(r)
    {
        const QString wrapper = rig.toolPath(QStringLiteral("diskutil"));
        QByteArray script = TestSupport::readFile(wrapper);
        // The engine lists the disk too, before the restore; the copy's
        // listing is the first one once the restore tool has run.
        const QByteArray hook = "if [ \"$1\" = list ] && [ \"$3\" = /dev/disk2 ] &&\n"
                                "   { [ -e \"$dir/asr.pid\" ] || [ -e \"$dir/asr.printed\" ]; }; then\n"
                                "  touch \"$dir/preboot.started\"\n"
                                "  while [ ! -e \"$dir/preboot.go\" ]; do sleep 0.05; done\n"
                                "fi\n";
        script.replace("exec \"$real\" \"$@\"\n", hook + "exec \"$real\" \"$@\"\n");
        TestSupport::writeFile(wrapper, script);
        CloneTest::makeExecutable(wrapper);
    }
    ~PrebootHold() { release(); }
    bool waitUntilHeld() const
    {
        return TestSupport::waitUntil(
            [this] { return QFileInfo::exists(rig.toolPath(QStringLiteral("preboot.started"))); }, 180000);
    }
    void release() const { TestSupport::writeFile(rig.toolPath(QStringLiteral("preboot.go")), {}); }
};

// The stand-in asr, kept from ending after its last line until release():
// the whole restore has been printed, the end is not yet reported.
void holdAsrEnd(CloneRig &rig)
{
    rig.setAsrScript(QByteArrayLiteral("#!/bin/sh\n"
                                       "dir=$(dirname \"$0\")\n"
                                       "'") +
                     QFile::encodeName(TestSupport::toolsPath() + QStringLiteral("/asr")) +
                     QByteArrayLiteral("' \"$@\"\n"
                                       "status=$?\n"
                                       "touch \"$dir/asr.printed\"\n"
                                       "while [ ! -e \"$dir/asr.go\" ]; do sleep 0.05; done\n"
                                       "exit $status\n"));
}

// Exactly one end view, and the tabs given free exactly once.
void expectOneSuccessfulEnd(const PageWorld &w)
{
    const SelectDrivceViewController &page = *w.page;
    EXPECT_FALSE(page.sussView()->isHidden());
    EXPECT_TRUE(page.failView()->isHidden());
    EXPECT_TRUE(page.errorLable()->text().isEmpty());
    EXPECT_EQ(page.pathLabel()->text(), QStringLiteral("完成中..."));
    EXPECT_EQ(w.tabs.calls, (QList<bool>{false, true}));
    EXPECT_TRUE(w.bar.errors.isEmpty());
}

} // namespace

TEST(ClonePageEndToEnd, ClonesTheSystemOntoThePickedUsbDiskWithItsCryptexes)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok()) << w.rig.world.error().toStdString();
    SelectDrivceViewController &page = *w.page;
    const QStringList bootSkip = Platform::DiskWorld::World::bootExclusions();
    const QMap<QString, QByteArray> system = treeOf(w.rig.world.root(), bootSkip);
    const QMap<QString, QByteArray> cryptexes =
        treeOf(w.rig.world.at(QStringLiteral("/System/Volumes/Preboot/Cryptexes")));
    ASSERT_FALSE(cryptexes.isEmpty());
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_start"));
    Platform::SystemLogCapture log;

    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    EXPECT_EQ(page.selectToVC()->nameLabel()->text(), QStringLiteral("SanDisk Cruzer Blade Media"));
    ASSERT_TRUE(page.cloneButton()->isButtonUsable());
    ASSERT_TRUE(w.startClone(QStringLiteral("ClonePage_confirm")));

    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.progressValue() >= 38; }, 120000));
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_progress"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 180000));
    TestSupport::waitUntil([] { return false; }, 600); // the bar's last glide
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_success"));
    EXPECT_EQ(page.pathLabel()->text(), QStringLiteral("完成中..."));
    EXPECT_TRUE(page.failView()->isHidden());
    EXPECT_EQ(w.tabs.calls, (QList<bool>{false, true}));

    // The bar went through the stages and both copying phases, never back.
    const QList<double> &values = w.bar.values;
    for (double v : {0.0, 5.0, 10.0, 15.0, 20.0, 30.0, 65.0, 95.0, 100.0})
        EXPECT_TRUE(values.contains(v)) << v;
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.last(), 100);
    EXPECT_TRUE(w.bar.errors.isEmpty());

    // The system, file by file, under the chosen name on the chosen disk.
    const QString clone = w.rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"));
    ASSERT_TRUE(QFileInfo(clone).isDir());
    EXPECT_EQ(differences(system, treeOf(clone)), QStringList());
    EXPECT_EQ(differences(system, treeOf(w.rig.world.root(), bootSkip)), QStringList())
        << "the source is left as it was";

    // The clone's own Preboot volume holds the cryptexes.
    const QString prebootContent =
        volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), QStringLiteral("disk2")).content;
    ASSERT_FALSE(prebootContent.isEmpty());
    EXPECT_EQ(differences(cryptexes, treeOf(prebootContent + QStringLiteral("/Cryptexes"))), QStringList());
    EXPECT_TRUE(w.rig.world.problems().isEmpty()) << w.rig.world.problems().join(QLatin1Char('\n')).toStdString();
    // The copy's own account of every entry it made, then its exit status.
    const QStringList lines = log.lines();
    const qsizetype status = lines.indexOf(QStringLiteral("Exit status: 0"));
    ASSERT_GT(status, 0) << lines.join(QLatin1Char('\n')).toStdString();
    const QString copied = lines.at(status - 1);
    for (const QString &entry : cryptexes.keys())
        EXPECT_TRUE(copied.contains(QStringLiteral("Cryptexes/") + entry + QStringLiteral("' -> '")))
            << entry.toStdString() << " in " << copied.toStdString();

    // "好的" brings back the empty choice.
    QTest::mouseClick(page.succCancelButton(), Qt::LeftButton);
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_FALSE(page.toVolume());
}

TEST(ClonePageEndToEnd, TooSmallADiskIsRefusedWithABubble)
{
    PageWorld w(QStringLiteral("13.4"), [](CloneRig &rig) {
        TestSupport::writeFile(rig.world.at(QStringLiteral("/Users/tester/Movies/holiday.mov")),
                               QByteArray(6'000'000, 'm'));
    });
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    const QString tiny = w.rig.world.attachUsb(QStringLiteral("Tiny"), QStringLiteral("ExFAT"), 4'000'000);
    ASSERT_FALSE(tiny.isEmpty());
    const QByteArray before = w.rig.world.stateBytes();
    ASSERT_GT(page.usedSize(), 4'000'000);

    ASSERT_TRUE(w.pick(tiny));
    ASSERT_TRUE(page.isErrorPopWin());
    EXPECT_EQ(page.errorVC()->errorLabel()->text(), QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    EXPECT_FALSE(page.cloneButton()->isButtonUsable());
    EXPECT_EQ(page.selectToVC()->bgImageName(), QStringLiteral("source_sel_error"));
    TestSupport::saveScreenshot(page.errorPopWin(), QStringLiteral("ClonePage_bubble"));
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_refused"));

    // The start button does nothing while refused.
    QTest::mouseClick(page.cloneButton(), Qt::LeftButton);
    TestSupport::waitUntil([] { return false; }, 200);
    EXPECT_FALSE(page.makeSureToCloneVC());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    EXPECT_TRUE(w.rig.eraseCalls().isEmpty());
    EXPECT_EQ(w.rig.world.stateBytes(), before);
}

TEST(ClonePageEndToEnd, StopDuringTheEraseEndsOnTheStopText)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    w.rig.setEraseMode(QStringLiteral("hang"));
    const QMap<QString, QByteArray> usb = treeOf(w.rig.world.mountPoint(QStringLiteral("Travel Drive")));

    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    const QString pidFile = w.rig.toolPath(QStringLiteral("erase.pid"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QFileInfo::exists(pidFile); }, 60000));
    EXPECT_EQ(w.tabs.calls, QList<bool>{false});

    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(page.makeSureCancelVC());
    MakeSureCancelCloneSystemVC *confirm = page.makeSureCancelVC();
    TestSupport::waitUntil([confirm] { return confirm->isVisible(); }, 2000);
    TestSupport::saveScreenshot(confirm->window(), QStringLiteral("ClonePage_stopConfirm"));
    QTest::mouseClick(confirm->cancelButton(), Qt::LeftButton); // "取消" stops

    EXPECT_FALSE(page.failView()->isHidden());
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("您已停止克隆过程。"));
    EXPECT_EQ(w.tabs.calls.last(), true);
    // The engine ends the erase and reports the stop; the view stays.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !w.bar.errors.isEmpty(); }, 30000));
    EXPECT_EQ(w.bar.errors.first(), -8);
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("您已停止克隆过程。"));
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_failure"));
    const qint64 pid = TestSupport::readFile(pidFile).trimmed().toLongLong();
    EXPECT_TRUE(TestSupport::waitUntil([pid] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }));
    EXPECT_FALSE(w.rig.asrRan());
    EXPECT_EQ(treeOf(w.rig.world.mountPoint(QStringLiteral("Travel Drive"))), usb);
}

TEST(ClonePageEndToEnd, StartWhileTheStoppedRunIsStillEndingShowsTheErrorWindow)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    w.rig.setEraseMode(QStringLiteral("hang"));
    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return QFileInfo::exists(w.rig.toolPath(QStringLiteral("erase.pid"))); }, 60000));

    // Stop, "好的", pick again and confirm at once: the engine has not ended yet.
    page.cancelToCopySystem();
    QTest::mouseClick(page.failCancelButton(), Qt::LeftButton);
    page.doSelectDiskWithVolume(w.rig.chooseDisk(QStringLiteral("disk2")));
    page.beginToCopySystem();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.errorWindowVC() != nullptr; }));
    EXPECT_EQ(page.errorWindowVC()->errorLabel()->text(), QStringLiteral("创建目标盘时发生错误。"));
    TestSupport::saveScreenshot(page.errorWindowVC()->window(), QStringLiteral("ClonePage_errorWindow"));
    // The page is back on the choice with the tabs free, not stuck on progress.
    EXPECT_FALSE(page.selectDiskView()->isHidden());
    EXPECT_TRUE(page.copyProgressView()->isHidden());
    EXPECT_EQ(w.tabs.calls.last(), true);
    QTest::mouseClick(page.errorWindowVC()->okButton(), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return page.errorWindowVC() == nullptr; }));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !w.bar.errors.isEmpty(); }, 30000));
    EXPECT_EQ(w.rig.eraseCalls().size(), 1);
}

TEST(ClonePageEndToEnd, CryptexesGoToTheClonesPrebootEvenWhenAnotherPrebootHoldsTheUsualFolder)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    const QString other = w.rig.world.attachUsb(QStringLiteral("Preboot"), QStringLiteral("ExFAT"), 32'000'000,
                                                {{QStringLiteral("notes.txt"), QByteArray("keep me\n")}});
    ASSERT_FALSE(other.isEmpty());
    const QString otherMount = volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), other).mountPoint;
    ASSERT_EQ(otherMount, w.rig.world.at(QStringLiteral("/Volumes/Preboot")));
    const QMap<QString, QByteArray> otherBefore = treeOf(otherMount);
    const QMap<QString, QByteArray> cryptexes =
        treeOf(w.rig.world.at(QStringLiteral("/System/Volumes/Preboot/Cryptexes")));

    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 180000));

    EXPECT_EQ(differences(otherBefore, treeOf(otherMount)), QStringList()) << "another disk's volume is left alone";
    const QString prebootContent =
        volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), QStringLiteral("disk2")).content;
    ASSERT_FALSE(prebootContent.isEmpty());
    EXPECT_EQ(differences(cryptexes, treeOf(prebootContent + QStringLiteral("/Cryptexes"))), QStringList());
}

TEST(ClonePageEndToEnd, UnmountedPrebootSkipsTheCopyAndStillEndsOnSuccess)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    // A diskutil whose mountDisk leaves the volume unmounted (it unmounts it instead).
    const QString wrapper = w.rig.toolPath(QStringLiteral("diskutil"));
    QByteArray script = TestSupport::readFile(wrapper);
    const QByteArray hook = "if [ \"$1\" = mountDisk ]; then exec \"$real\" unmount \"$2\"; fi\n";
    script.replace("exec \"$real\" \"$@\"\n", hook + "exec \"$real\" \"$@\"\n");
    ASSERT_TRUE(TestSupport::writeFile(wrapper, script));
    CloneTest::makeExecutable(wrapper);
    Platform::SystemLogCapture log;

    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 180000));
    EXPECT_EQ(page.pathLabel()->text(), QStringLiteral("完成中..."));
    EXPECT_TRUE(w.rig.diskutilCalls().filter(QStringLiteral("mountDisk")).size() == 1);
    const VolumeFolders preboot = volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), QStringLiteral("disk2"));
    ASSERT_FALSE(preboot.content.isEmpty());
    EXPECT_TRUE(preboot.mountPoint.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(preboot.content + QStringLiteral("/Cryptexes")));
    EXPECT_FALSE(log.contains(QStringLiteral("Exit status:")));
    EXPECT_EQ(w.tabs.calls, (QList<bool>{false, true}));
}

// A folder on the Preboot copy's way is swapped for a link to a folder of the
// user's: just before cp starts, or right after the clone's Preboot volume is
// mounted, before it is checked. Nothing goes through the link, the system's
// cryptexes stay as they are, and the clone gets them only from the folders
// that were checked.
TEST(ClonePageEndToEnd, PrebootCopyGoesThroughNoLinkSwappedIntoItsWay)
{
    struct Case {
        const char *what;
        const char *swapped;
        bool beforeTheChecks;
        bool copied;
    };
    const Case cases[] = {
        {"the clone's mount point, just before the copy", "/Volumes/Preboot", false, true},
        {"the system's Preboot folder, just before the copy", "/System/Volumes/Preboot", false, true},
        {"the clone's mount point, once it is mounted", "/Volumes/Preboot", true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PageWorld w(QStringLiteral("13.4"));
        ASSERT_TRUE(w.rig.world.ok());
        SelectDrivceViewController &page = *w.page;
        const QString swapped = w.rig.world.at(QLatin1String(c.swapped));
        const QString away = w.rig.world.at(QStringLiteral("/Users/tester/away"));
        const QString decoy = w.rig.world.at(QStringLiteral("/Users/tester/Decoy"));
        ASSERT_TRUE(TestSupport::writeFile(decoy + QStringLiteral("/Cryptexes/planted"), "not the system's\n"));
        const QMap<QString, QByteArray> decoyBefore = treeOf(decoy);
        const QString systemCryptexes = w.rig.world.at(QStringLiteral("/System/Volumes/Preboot/Cryptexes"));
        const QMap<QString, QByteArray> cryptexes = treeOf(systemCryptexes);
        ASSERT_FALSE(cryptexes.isEmpty());

        struct HookGuard {
            ~HookGuard() { SelectDrivceViewController::setPrebootCopyHook({}); }
        } guard;
        if (c.beforeTheChecks) {
            const QString wrapper = w.rig.toolPath(QStringLiteral("diskutil"));
            QByteArray script = TestSupport::readFile(wrapper);
            const QByteArray hook = "if [ \"$1\" = mountDisk ]; then \"$real\" \"$@\"; status=$?; mv '" +
                                    QFile::encodeName(swapped) + "' '" + QFile::encodeName(away) + "' && ln -s '" +
                                    QFile::encodeName(decoy) + "' '" + QFile::encodeName(swapped) +
                                    "'; exit $status; fi\n";
            script.replace("exec \"$real\" \"$@\"\n", hook + "exec \"$real\" \"$@\"\n");
            ASSERT_TRUE(TestSupport::writeFile(wrapper, script));
            CloneTest::makeExecutable(wrapper);
        } else {
            SelectDrivceViewController::setPrebootCopyHook([swapped, away, decoy] {
                if (!QDir().rename(swapped, away) || !QFile::link(decoy, swapped))
                    Platform::systemLog(QStringLiteral("test: the swap failed"));
            });
        }
        Platform::SystemLogCapture log;

        ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
        ASSERT_TRUE(w.startClone());
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 180000));
        TestSupport::waitUntil([] { return false; }, 300);
        expectOneSuccessfulEnd(w);
        ASSERT_TRUE(QFileInfo(swapped).isSymLink()) << "the swap was made";
        EXPECT_EQ(log.contains(QStringLiteral("Exit status: 0")), c.copied);

        // The world as it was before the swap; then what the copy did.
        ASSERT_TRUE(QFile::remove(swapped));
        ASSERT_TRUE(QDir().rename(away, swapped));
        EXPECT_EQ(differences(decoyBefore, treeOf(decoy)), QStringList()) << "nothing goes through the link";
        EXPECT_EQ(differences(cryptexes, treeOf(systemCryptexes)), QStringList()) << "the source is left as it was";
        const QString prebootContent =
            volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), QStringLiteral("disk2")).content;
        ASSERT_FALSE(prebootContent.isEmpty());
        if (c.copied)
            EXPECT_EQ(differences(cryptexes, treeOf(prebootContent + QStringLiteral("/Cryptexes"))), QStringList());
        else
            EXPECT_FALSE(QFileInfo::exists(prebootContent + QStringLiteral("/Cryptexes")));
        EXPECT_TRUE(w.rig.world.problems().isEmpty()) << w.rig.world.problems().join(QLatin1Char('\n')).toStdString();
    }
}

// Once the restore has reached 100 % the clone is made; the stop button is
// grey while the Preboot copy finishes it off, and a press does nothing.
TEST(ClonePageEndToEnd, StopPressedDuringThePrebootCopyIsRefused)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    PrebootHold hold(w.rig);
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(hold.waitUntilHeld());

    EXPECT_EQ(page.progressValue(), 100);
    EXPECT_TRUE(page.sussView()->isHidden());
    EXPECT_FALSE(page.cancelButton()->isButtonUsable());
    TestSupport::saveScreenshot(&page, QStringLiteral("ClonePage_finishing"));
    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    TestSupport::waitUntil([] { return false; }, 200);
    EXPECT_FALSE(page.makeSureCancelVC());
    // Had a panel come up anyway, the user would confirm it.
    if (MakeSureCancelCloneSystemVC *confirm = page.makeSureCancelVC())
        QTest::mouseClick(confirm->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(page.failView()->isHidden());
    EXPECT_EQ(w.tabs.calls, QList<bool>{false});

    hold.release();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 60000));
    TestSupport::waitUntil([] { return false; }, 300);
    expectOneSuccessfulEnd(w);
    EXPECT_FALSE(page.isUserCancel());

    // The next clone may be stopped again.
    QTest::mouseClick(page.succCancelButton(), Qt::LeftButton);
    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    w.rig.setEraseMode(QStringLiteral("hang"));
    ASSERT_TRUE(w.startClone());
    EXPECT_TRUE(page.cancelButton()->isButtonUsable());
    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(page.makeSureCancelVC());
    QTest::mouseClick(page.makeSureCancelVC()->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("您已停止克隆过程。"));
    EXPECT_EQ(w.tabs.calls, (QList<bool>{false, true, false, true}));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !w.bar.errors.isEmpty(); }, 30000));
}

// The stop panel was opened while the restore ran; the restore ends before
// the user answers. The panel goes with the end, and a confirmation that
// still reaches the page changes nothing.
TEST(ClonePageEndToEnd, StopPanelOpenAtTheEndOfTheRestoreClosesAndTheCloneEndsOnSuccess)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    holdAsrEnd(w.rig);
    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    PrebootHold hold(w.rig);
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QFileInfo::exists(w.rig.toolPath(QStringLiteral("asr.printed"))); },
                                       180000));

    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(page.makeSureCancelVC());
    QPointer<MakeSureCancelCloneSystemVC> confirm = page.makeSureCancelVC();
    TestSupport::waitUntil([&] { return confirm && confirm->isVisible(); }, 2000);

    // The restore ends while the panel is up.
    TestSupport::writeFile(w.rig.toolPath(QStringLiteral("asr.go")), {});
    ASSERT_TRUE(hold.waitUntilHeld());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page.progressValue() == 100; }));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return confirm.isNull() || !confirm->isVisible(); }));
    // The user's "取消" on the panel, if it can still be pressed.
    if (confirm)
        QTest::mouseClick(confirm->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(page.failView()->isHidden());
    EXPECT_EQ(w.tabs.calls, QList<bool>{false});
    EXPECT_FALSE(page.cancelButton()->isButtonUsable());

    hold.release();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.sussView()->isHidden(); }, 60000));
    TestSupport::waitUntil([] { return false; }, 300);
    expectOneSuccessfulEnd(w);
    // The clone was made, cryptexes and all.
    EXPECT_TRUE(QFileInfo(w.rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"))).isDir());
    const QString prebootContent =
        volumeOnDisk(w.rig.world, QStringLiteral("Preboot"), QStringLiteral("disk2")).content;
    ASSERT_FALSE(prebootContent.isEmpty());
    EXPECT_TRUE(QFileInfo(prebootContent + QStringLiteral("/Cryptexes")).isDir());
}

// The chosen stick is pulled out while the restore copies: the restore tool
// reports the failure and would go on printing progress until it is stopped.
// The page shows the text for a disk that went away, and the bar moves no
// further once the loss is reported.
TEST(ClonePageEndToEnd, TargetPulledOutDuringTheRestoreShowsTheUnpluggedTextAndTheBarStops)
{
    PageWorld w(QStringLiteral("13.4"));
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    w.rig.setAsrScript(CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                       "say 'Restoring  '\nsay '....10'\nsay '....20'\n"
                       "'" +
                       QFile::encodeName(TestSupport::toolsPath()) +
                       "/diskworld' detach disk2 >/dev/null\n"
                       "echo 'asr: restore failed: the target has gone' >&2\n"
                       // Stopped by now unless nobody listened; else it goes on.
                       "i=0; while [ $i -lt 2400 ]; do sleep 0.05; i=$((i+1)); done\n"
                       "for t in 30 40 50 60 70 80 90; do say \"....$t\"; done\n"
                       "exit 1\n");
    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.failView()->isHidden(); }, 180000));
    EXPECT_EQ(page.errorLable()->text(), QStringLiteral("USB设备已拔出，请重新连接设备并重试。"));
    EXPECT_EQ(w.bar.errors, QList<int>{-3});
    // Nothing later moves the bar: the tool was stopped in its wait.
    TestSupport::waitUntil([] { return false; }, 500);
    EXPECT_EQ(w.bar.values.last(), 3 * 2 + 35);
    EXPECT_EQ(*std::max_element(w.bar.values.begin(), w.bar.values.end()), 3 * 2 + 35);
    EXPECT_EQ(w.tabs.calls, (QList<bool>{false, true}));
    const qint64 pid = TestSupport::readFile(w.rig.toolPath(QStringLiteral("asr.pid"))).trimmed().toLongLong();
    EXPECT_TRUE(TestSupport::waitUntil([pid] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }));
}

// Started as root with nobody named through sudo, pkexec or the login
// session (the way scripts/run starts it on a machine without a screen), the
// program takes the world's user, as scripts/run makes the world for the
// process's own user, and finds that user's Safari folder under the root.
TEST(ClonePageEndToEnd, StartedWithoutACallerTheCloneGetsPastTheFullDiskAccessGate)
{
    const TestSupport::UnsetEnvironment noCaller({"SUDO_USER", "PKEXEC_UID"});
    const QString user = Platform::SystemInfo::userName();
    ASSERT_FALSE(user.isEmpty());
    PageWorld w(QStringLiteral("13.4"), {}, user, true);
    ASSERT_TRUE(w.rig.world.ok());
    SelectDrivceViewController &page = *w.page;
    EXPECT_EQ(Platform::SystemInfo::consoleUser().homeFolder(), w.rig.world.at(QStringLiteral("/Users/") + user));
    ASSERT_TRUE(QFileInfo(w.rig.world.at(QStringLiteral("/Users/%1/Library/Safari").arg(user))).isDir());

    // Should the Full Disk Access window come up, it is closed again (it runs modally).
    bool fullDiskAccessShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &page, [&] {
        if (FullDiskAccessViewController *wc = page.fullDiskAccessWC()) {
            fullDiskAccessShown = true;
            wc->closeWindow();
        }
    });
    watch.start(50);

    ASSERT_TRUE(w.pick(QStringLiteral("disk2")));
    ASSERT_TRUE(w.startClone());
    EXPECT_FALSE(fullDiskAccessShown);
    ASSERT_FALSE(page.copyProgressView()->isHidden());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page.endView()->isHidden(); }, 180000));
    TestSupport::waitUntil([] { return false; }, 300);
    expectOneSuccessfulEnd(w);
    EXPECT_TRUE(QFileInfo(w.rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"))).isDir());
}
