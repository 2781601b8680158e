#include <gtest/gtest.h>

#include "CloneRig.h"

#include "QoBootable.h"
#include "QoCloneTargetCheck.h"

#include "Clock.h"
#include "SystemInfo.h"
#include "World.h"

#include <QFile>
#include <QFileInfo>

#include <functional>

using CloneTest::CloneRig;
using CloneTest::Event;

namespace {

const QString kValidatingTarget = QStringLiteral("正在验证目标...");

bool processGone(qint64 pid)
{
    return TestSupport::waitUntil([pid] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }, 10000);
}

qint64 waitForPid(const QString &file)
{
    TestSupport::waitUntil([&] { return QFileInfo::exists(file); }, 30000);
    return TestSupport::readFile(file).trimmed().toLongLong();
}

// The erase stage's reports up to the disk being about to be erased.
QList<Event> eraseStageStart()
{
    return {Event::label(kValidatingTarget), Event::notify(0, 0, 0), Event::notify(0, 1, 12), Event::notify(0, 2, 25)};
}

// ---- The file system of the erase ----

struct VersionCase {
    int major;
    int minor;
    const char *fileSystem;
};

void PrintTo(const VersionCase &c, std::ostream *os) { *os << c.major << '.' << c.minor; }

class QoBootableFileSystem : public ::testing::TestWithParam<VersionCase> {};

TEST_P(QoBootableFileSystem, FollowsTheSystemVersion)
{
    const VersionCase &c = GetParam();
    EXPECT_EQ(QoBootable::fileSystemForSystemVersion(c.major * 100 + c.minor).toStdString(), c.fileSystem);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, QoBootableFileSystem,
                         ::testing::Values(VersionCase{10, 9, "HFS+"}, VersionCase{10, 12, "HFS+"},
                                           VersionCase{10, 13, "APFS"}, VersionCase{10, 14, "APFS"},
                                           VersionCase{10, 15, "JHFS+"}, VersionCase{12, 99, "JHFS+"},
                                           VersionCase{13, 0, "APFS"}, VersionCase{14, 2, "APFS"}),
                         [](const ::testing::TestParamInfo<VersionCase> &info) {
                             return "V" + std::to_string(info.param.major * 100 + info.param.minor);
                         });

class QoBootableEraseCommand : public ::testing::TestWithParam<VersionCase> {};

// The version comes from the running system, so the world decides it.
TEST_P(QoBootableEraseCommand, NamesTheFileSystemOfTheRunningVersion)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok()) << rig.world.error().toStdString();
    Platform::SystemInfo::setSystemVersion(Platform::SystemVersion{GetParam().major, GetParam().minor, 0});
    rig.setEraseMode(QStringLiteral("none"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());
    EXPECT_EQ(
        rig.eraseCalls(),
        QStringList{QStringLiteral("eraseDisk %1 NewCloneSystem disk2").arg(QLatin1String(GetParam().fileSystem))});
}

INSTANTIATE_TEST_SUITE_P(Versions, QoBootableEraseCommand,
                         ::testing::Values(VersionCase{10, 12, "HFS+"}, VersionCase{10, 13, "APFS"},
                                           VersionCase{10, 15, "JHFS+"}, VersionCase{13, 0, "APFS"}),
                         [](const ::testing::TestParamInfo<VersionCase> &info) {
                             return "V" + std::to_string(info.param.major * 100 + info.param.minor);
                         });

// ---- Stops and failures of the erase stage ----

TEST(QoBootable, NoTargetStartsNothing)
{
    CloneRig rig;
    EXPECT_EQ(QoBootable::QoShareInstance()->QoStart(nullptr), -2);
    rig.settle();
    EXPECT_TRUE(rig.delegate.events.isEmpty());
    EXPECT_TRUE(rig.diskutilCalls().isEmpty());
}

TEST(QoBootable, StopRightAfterTheStartEndsAtStepOneWithoutErasing)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    const QByteArray before = rig.world.stateBytes();
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    QoBootable::QoShareInstance()->QoStop();
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();

    EXPECT_EQ(rig.delegate.events, (QList<Event>{Event::label(kValidatingTarget), Event::notify(0, 0, 0),
                                                 Event::notify(0, 1, 12), Event::notify(-8, 1, 12)}));
    EXPECT_TRUE(rig.diskutilCalls().isEmpty());
    EXPECT_FALSE(rig.asrRan());
    EXPECT_EQ(rig.world.stateBytes(), before);
}

TEST(QoBootable, StopDuringTheEraseEndsItWithinAboutASecond)
{
    Platform::ClockScaleGuard fast(10);
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.setEraseMode(QStringLiteral("hang"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    const qint64 pid = waitForPid(rig.toolPath(QStringLiteral("erase.pid")));
    ASSERT_GT(pid, 0);

    // A second start while this run lives is refused and keeps its stop intact.
    EXPECT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk3"))), -1);

    const double stoppedAt = Platform::Clock::now();
    QoBootable::QoShareInstance()->QoStop();
    ASSERT_TRUE(processGone(pid));
    EXPECT_LT(Platform::Clock::now() - stoppedAt, 5.0);

    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-8, 2, 25));
    EXPECT_FALSE(rig.delegate.sawStep(3));
    EXPECT_FALSE(rig.asrRan());
    EXPECT_EQ(rig.eraseCalls().size(), 1);
}

TEST(QoBootable, NoMountPointAfterEraseAndRemountEndsWithMinusFour)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.setEraseMode(QStringLiteral("none"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();

    EXPECT_EQ(rig.delegate.events, eraseStageStart() + QList<Event>{Event::notify(-4, 3, 37)});
    const QStringList calls = rig.diskutilCalls();
    const qsizetype erase = calls.indexOf(QStringLiteral("eraseDisk APFS NewCloneSystem disk2"));
    const qsizetype unmount = calls.indexOf(QStringLiteral("unmountDisk /dev/disk2"));
    const qsizetype mount = calls.indexOf(QStringLiteral("mountDisk /dev/disk2"));
    EXPECT_GE(erase, 0);
    EXPECT_GT(unmount, erase);
    EXPECT_GT(mount, unmount);
    EXPECT_EQ(calls.count(QStringLiteral("mountDisk /dev/disk2")), 1);
    EXPECT_FALSE(rig.asrRan());
}

// The volume of the chosen name's predecessor is no mount point of ours.
TEST(QoBootable, VolumeOfAnEarlierNameIsNotTakenForTheNewOne)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    const QString other = rig.world.attachUsb(QStringLiteral("NewCloneSystem"));
    ASSERT_FALSE(other.isEmpty());
    ASSERT_TRUE(QFileInfo(rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"))).isDir());
    rig.setEraseMode(QStringLiteral("none"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());

    EXPECT_EQ(*rig.delegate.end(), Event::notify(-4, 3, 37));
    EXPECT_EQ(rig.eraseCalls(), QStringList{QStringLiteral("eraseDisk APFS NewCloneSystem1 disk2")});
    // The remount stays on the chosen disk.
    EXPECT_TRUE(rig.diskutilCalls().contains(QStringLiteral("mountDisk /dev/disk2")));
    EXPECT_TRUE(rig.diskutilCalls().filter(other).filter(QStringLiteral("ountDisk")).isEmpty());
    EXPECT_FALSE(rig.asrRan());
}

TEST(QoBootable, RemountBringsBackAVolumeTheEraseLeftUnmounted)
{
    CloneRig rig(TestSupport::DiskWorldFixture::Options{true, QStringLiteral("10.15.7"), QStringLiteral("tester")});
    ASSERT_TRUE(rig.world.ok());
    rig.setEraseMode(QStringLiteral("unmount"));
    rig.setAsrScript(CloneTest::asrSuccess());
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());

    EXPECT_EQ(*rig.delegate.end(), Event::notify(0, 8, 100));
    EXPECT_TRUE(rig.delegate.sawStep(3));
    const QStringList calls = rig.diskutilCalls();
    EXPECT_GE(calls.indexOf(QStringLiteral("eraseDisk JHFS+ NewCloneSystem disk2")), 0);
    EXPECT_GT(calls.indexOf(QStringLiteral("mountDisk /dev/disk2")),
              calls.indexOf(QStringLiteral("unmountDisk /dev/disk2")));
    EXPECT_TRUE(QFileInfo(rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"))).isDir());
    EXPECT_TRUE(rig.asrArguments().contains(QStringLiteral("/Volumes/NewCloneSystem")));
}

// ---- The chosen disk is read again right before the erase ----

struct TargetCase {
    const char *name;
    // Changes the world or the chosen record after the choice was made.
    std::function<void(CloneRig &, VolumeObjPtr &)> change;
};

void PrintTo(const TargetCase &c, std::ostream *os) { *os << c.name; }

Platform::DiskWorld::DiskSpec usbDisk(const QString &registryName, qint64 size, const QString &volume)
{
    Platform::DiskWorld::DiskSpec spec;
    spec.registryName = registryName;
    spec.size = size;
    Platform::DiskWorld::VolumeSpec v;
    v.name = volume;
    v.files = {{QStringLiteral("keep.txt"), QByteArray("must survive")}};
    spec.partitions.push_back(v);
    return spec;
}

class QoBootableTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(QoBootableTarget, ThatIsNoLongerTheChosenDiskIsNotErased)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    VolumeObjPtr chosen = rig.chooseDisk(QStringLiteral("disk2"));
    GetParam().change(rig, chosen);
    if (::testing::Test::HasFatalFailure())
        return;
    const QByteArray before = rig.world.stateBytes();

    ASSERT_EQ(rig.start(chosen), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();

    EXPECT_EQ(rig.delegate.events, eraseStageStart() + QList<Event>{Event::notify(-3, 2, 25)});
    EXPECT_TRUE(rig.eraseCalls().isEmpty());
    EXPECT_FALSE(rig.asrRan());
    EXPECT_EQ(rig.world.stateBytes(), before);
    EXPECT_TRUE(rig.world.problems().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, QoBootableTarget,
    ::testing::Values(
        TargetCase{"PulledOut",
                   [](CloneRig &rig, VolumeObjPtr &) {
                       ASSERT_EQ(
                           rig.world
                               .run(QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("disk2")})
                               .status,
                           0);
                   }},
        TargetCase{"AnotherDiskTookItsName",
                   [](CloneRig &rig, VolumeObjPtr &) {
                       ASSERT_EQ(
                           rig.world
                               .run(QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("disk2")})
                               .status,
                           0);
                       ASSERT_EQ(rig.world.attach(usbDisk(QStringLiteral("Generic USB Flash Disk Media"), 64'000'000,
                                                          QStringLiteral("Holiday"))),
                                 QStringLiteral("disk2"));
                   }},
        // Two sticks of one model and size: only the disk's UUID tells them apart.
        TargetCase{"SameModelOtherStick",
                   [](CloneRig &rig, VolumeObjPtr &chosen) {
                       ASSERT_EQ(
                           rig.world
                               .run(QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("disk2")})
                               .status,
                           0);
                       ASSERT_EQ(rig.world.attach(usbDisk(chosen->volumeName, chosen->volumeTotalSizeNum,
                                                          QStringLiteral("Holiday"))),
                                 QStringLiteral("disk2"));
                   }},
        TargetCase{"OtherSize", [](CloneRig &, VolumeObjPtr &chosen) { chosen->volumeTotalSizeNum -= 512; }},
        TargetCase{"InternalDisk",
                   [](CloneRig &rig, VolumeObjPtr &chosen) { chosen = rig.chooseDisk(QStringLiteral("disk0")); }},
        TargetCase{"ApfsContainer",
                   [](CloneRig &rig, VolumeObjPtr &chosen) { chosen = rig.chooseDisk(QStringLiteral("disk1")); }},
        TargetCase{"VirtualUsbDisk",
                   [](CloneRig &rig, VolumeObjPtr &chosen) {
                       Platform::DiskWorld::DiskSpec spec =
                           usbDisk(QStringLiteral("Virtual Stick"), 64'000'000, QStringLiteral("V"));
                       spec.isVirtual = true;
                       const QString id = rig.world.attach(spec);
                       ASSERT_FALSE(id.isEmpty());
                       chosen = rig.chooseDisk(id);
                   }},
        // A system started from a USB disk: that disk passes every picker test
        // and still must not be erased.
        TargetCase{"DiskOfTheRunningSystem",
                   [](CloneRig &rig, VolumeObjPtr &chosen) {
                       ASSERT_TRUE(rig.world.world().change([](Platform::DiskWorld::Change &c) {
                           Platform::DiskWorld::Disk *d = c.state.disk(QStringLiteral("disk0"));
                           d->bus = QStringLiteral("USB");
                           d->internal = false;
                           d->ejectable = true;
                           return true;
                       }));
                       chosen = rig.chooseDisk(QStringLiteral("disk0"));
                       ASSERT_TRUE(QoCloneTargetCheck::passesPickerTests(rig.world.info(QStringLiteral("/dev/disk0"))));
                   }},
        TargetCase{"NoBsdName", [](CloneRig &, VolumeObjPtr &chosen) { chosen->volumePath.clear(); }}),
    [](const ::testing::TestParamInfo<TargetCase> &info) { return std::string(info.param.name); });

TEST(QoBootableTargetCheck, RunningSystemSitsOnTheContainersPhysicalStore)
{
    const QVariantMap rootInfo{{QStringLiteral("ParentWholeDisk"), QStringLiteral("disk3")}};
    auto disk = [](const QString &id, const QVariantList &parts, const QVariantList &stores = {}) {
        QVariantMap m{{QStringLiteral("DeviceIdentifier"), id}};
        QVariantList partitions;
        for (const QVariant &p : parts)
            partitions.append(QVariantMap{{QStringLiteral("DeviceIdentifier"), p}});
        m.insert(QStringLiteral("Partitions"), partitions);
        if (!stores.isEmpty()) {
            QVariantList s;
            for (const QVariant &p : stores)
                s.append(QVariantMap{{QStringLiteral("DeviceIdentifier"), p}});
            m.insert(QStringLiteral("APFSPhysicalStores"), s);
        }
        return QVariant(m);
    };
    const QVariantMap list{
        {QStringLiteral("AllDisksAndPartitions"),
         QVariantList{disk(QStringLiteral("disk0"), {QStringLiteral("disk0s1"), QStringLiteral("disk0s2")}),
                      disk(QStringLiteral("disk2"), {QStringLiteral("disk2s1"), QStringLiteral("disk2s2")}),
                      disk(QStringLiteral("disk3"), {}, {QStringLiteral("disk2s2")})}}};
    EXPECT_EQ(QoCloneTargetCheck::runningSystemDisks(rootInfo, list),
              (QStringList{QStringLiteral("disk3"), QStringLiteral("disk2")}));
    // Without the listing the parent disk is still known; without the root's
    // information nothing is, and the caller erases nothing.
    EXPECT_EQ(QoCloneTargetCheck::runningSystemDisks(rootInfo, {}), QStringList{QStringLiteral("disk3")});
    EXPECT_TRUE(QoCloneTargetCheck::runningSystemDisks({}, list).isEmpty());
}

// ---- The restore ----

TEST(QoBootable, SuccessfulRestoreReportsEveryStageInOrder)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.setAsrScript(CloneTest::asrSuccess());
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();

    QList<Event> expected = eraseStageStart();
    expected << Event::notify(0, 3, 37) << Event::label(QString(""));
    // Validation, answered prompt, then the first copying phase.
    expected << Event::notify(0, 3, 37) << Event::label(kValidatingTarget) << Event::label(kValidatingTarget)
             << Event::notify(0, 4, 50) << Event::label(QStringLiteral("正在验证源..."))
             << Event::label(kValidatingTarget) << Event::label(QStringLiteral("克隆中...")) << Event::notify(0, 5, 62);
    for (int t = 1; t <= 10; ++t)
        expected << Event::tagOf(t, 1);
    expected << Event::label(QStringLiteral("克隆中..."));
    for (int t = 1; t <= 10; ++t)
        expected << Event::tagOf(t, 2);
    expected << Event::label(QStringLiteral("100"))
             << Event::label(QStringLiteral("\nRestore completed successfully.\n")) << Event::notify(0, 8, 100);
    EXPECT_EQ(rig.delegate.events, expected);
    EXPECT_FALSE(rig.delegate.calledOffMainThread);

    EXPECT_EQ(rig.asrArguments(), (QStringList{QStringLiteral("restore"), QStringLiteral("--source"),
                                               QStringLiteral("/"), QStringLiteral("--target"),
                                               QStringLiteral("/Volumes/NewCloneSystem"), QStringLiteral("--erase")}));
    // The prompt's answer: one "y", no line end, and the input closed after it.
    EXPECT_EQ(TestSupport::readFile(rig.toolPath(QStringLiteral("asr.answer"))), QByteArray("y"));
    EXPECT_TRUE(rig.logFile().contains("  task terminated\n"));
    EXPECT_FALSE(rig.logFile().contains("User cancel"));
}

struct EndingCase {
    const char *name;
    QByteArray script;
};

void PrintTo(const EndingCase &c, std::ostream *os) { *os << c.name; }

class QoBootableRestoreEnding : public ::testing::TestWithParam<EndingCase> {};

TEST_P(QoBootableRestoreEnding, WithoutAFinishedRestoreIsMinusSeven)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.setAsrScript(GetParam().script);
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-7, 8, 100));
    EXPECT_TRUE(rig.logFile().contains("task terminated"));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, QoBootableRestoreEnding,
    ::testing::Values(
        EndingCase{"FailsAfterBothMarks", CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                                              CloneTest::asrPhase("Restoring") + CloneTest::asrPhase("\nVerifying") +
                                              QByteArray("exit 1\n")},
        EndingCase{"KilledAfterBothMarks", CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                                               CloneTest::asrPhase("Restoring") + CloneTest::asrPhase("\nVerifying") +
                                               QByteArray("kill -9 $$\n")},
        EndingCase{"OnlyTheCopyingMark", CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                                             CloneTest::asrPhase("Restoring") + QByteArray("exit 0\n")},
        EndingCase{"EndsBeforeThePrompt",
                   CloneTest::asrPrologue() +
                       QByteArray("say 'Validating target...'\necho 'asr: no target' >&2\nexit 1\n")},
        EndingCase{"ToolCannotBeStarted", QByteArray()}),
    [](const ::testing::TestParamInfo<EndingCase> &info) { return std::string(info.param.name); });

TEST(QoBootable, RestoreThatEndsBeforeThePromptFailsWhateverAnEarlierRunCounted)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    const VolumeObjPtr disk = rig.chooseDisk(QStringLiteral("disk2"));
    rig.setAsrScript(CloneTest::asrSuccess());
    ASSERT_EQ(rig.start(disk), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    ASSERT_EQ(*rig.delegate.end(), Event::notify(0, 8, 100));

    rig.delegate.events.clear();
    rig.setAsrScript(CloneTest::asrPrologue() + QByteArray("say 'Validating target...'\nexit 0\n"));
    ASSERT_EQ(rig.start(disk), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-7, 8, 100));
    // The first clone's volume holds the first name, so the second one got the next.
    EXPECT_TRUE(rig.asrArguments().contains(QStringLiteral("/Volumes/NewCloneSystem1")));
}

struct StopCase {
    const char *name;
    QByteArray script;
    Event stopAfter; // the report after which the user stops
};

void PrintTo(const StopCase &c, std::ostream *os) { *os << c.name; }

class QoBootableRestoreStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(QoBootableRestoreStop, TerminatesTheToolAndFails)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.setAsrScript(GetParam().script);
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return rig.delegate.events.contains(GetParam().stopAfter); }, 60000));
    const qint64 pid = waitForPid(rig.toolPath(QStringLiteral("asr.pid")));

    QoBootable::QoShareInstance()->QoStop();
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-7, 8, 100));
    EXPECT_TRUE(processGone(pid));
    EXPECT_TRUE(rig.logFile().contains("  task terminated\n"));
    EXPECT_TRUE(rig.logFile().contains("  User cancel\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Stops, QoBootableRestoreStop,
    ::testing::Values(StopCase{"WhileCopying",
                               CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                                   QByteArray("say 'Restoring  '\nsay '....10'\nexec sleep 100000\n"),
                               Event::tagOf(1, 1)},
                      // Both marks are there, but a stopped restore has made no clone.
                      StopCase{"AfterBothMarks",
                               CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                                   CloneTest::asrPhase("Restoring") + CloneTest::asrPhase("\nVerifying") +
                                   QByteArray("exec sleep 100000\n"),
                               Event::label(QStringLiteral("100"))}),
    [](const ::testing::TestParamInfo<StopCase> &info) { return std::string(info.param.name); });

// A new page initialises the engine afresh. A clone that an earlier page
// left in its restore is given up: its tool is stopped, nothing of it reaches
// the new page, and the new page's clone runs and ends on its own.
TEST(QoBootable, InitGivesUpARunLeftInItsRestore)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    QoBootable *engine = QoBootable::QoShareInstance();
    rig.setAsrScript(CloneTest::asrPrologue() + CloneTest::asrUpToPrompt() +
                     QByteArray("say 'Restoring  '\nsay '....10'\nexec sleep 100000\n"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return rig.delegate.events.contains(Event::tagOf(1, 1)); }, 60000));
    const qint64 first = waitForPid(rig.toolPath(QStringLiteral("asr.pid")));
    ASSERT_GT(first, 0);
    const qsizetype seenBefore = rig.delegate.events.size();

    CloneTest::RecordingDelegate second;
    engine->QoInit();
    engine->QoSetDelegate(&second);
    EXPECT_TRUE(processGone(first));

    QFile::remove(rig.toolPath(QStringLiteral("asr.pid")));
    rig.setAsrScript(CloneTest::asrSuccess());
    ASSERT_EQ(engine->QoStart(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return second.end().has_value(); }, 60000));
    rig.settle();
    EXPECT_EQ(*second.end(), Event::notify(0, 8, 100));
    // Exactly one end, the second run's own.
    QList<Event> ends;
    for (const Event &e : second.of(Event::Kind::Notify))
        if (e.err < 0 || e.step == 8)
            ends.append(e);
    EXPECT_EQ(ends, QList<Event>{Event::notify(0, 8, 100)});
    EXPECT_EQ(second.events.first(), Event::label(kValidatingTarget));
    // The first page heard nothing more.
    EXPECT_EQ(rig.delegate.events.size(), seenBefore);
    EXPECT_NE(waitForPid(rig.toolPath(QStringLiteral("asr.pid"))), first);

    engine->QoSetDelegate(&rig.delegate);
    rig.started.clear();
}

// The counting of the completion marks does not depend on the status lines.
TEST(QoBootable, DelegateThatTakesOnlyNotificationsStillSeesTheEnd)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.delegate.methods = QoBootableDelegate::MethodQoUINotify;
    rig.setAsrScript(CloneTest::asrSuccess());
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd());
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(0, 8, 100));
    EXPECT_TRUE(rig.delegate.of(Event::Kind::Label).isEmpty());
    EXPECT_TRUE(rig.delegate.of(Event::Kind::Tag).isEmpty());
    EXPECT_TRUE(rig.delegate.sawStep(5));
}

TEST(QoBootable, DelegateThatImplementsNothingIsSentNothing)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    rig.delegate.methods = 0;
    rig.setEraseMode(QStringLiteral("none"));
    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    // The run ends with the remount's -4, reported to nobody.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return rig.diskutilCalls().contains(QStringLiteral("mountDisk /dev/disk2")); }, 60000));
    rig.settle();
    EXPECT_TRUE(rig.delegate.events.isEmpty());
    rig.started.clear();
}

} // namespace
