// The USB control's disk list and its callbacks on a demo world, with the
// stand-in diskutil and disks plugged in and out by the `diskworld` tool.
#include <gtest/gtest.h>

#include "QoUSBControl.h"

#include "ShellRunners.h"

#include "DiskWorldFixture.h"
#include "RunnerFolder.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::DiskWorldFixture;
using TestSupport::RunnerFolder;

namespace {

// The whole disk `diskworld attach` plugged in.
QString attach(const DiskWorldFixture &f, const QStringList &options)
{
    const TestSupport::ToolRun run =
        f.run(QStringLiteral("diskworld"), QStringList{QStringLiteral("attach")} + options);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return QString::fromUtf8(run.out).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0).trimmed();
}

QStringList listedDisks()
{
    QStringList out;
    for (const QVariant &entry : QoUSBControl::QoShareInstance()->QoGetUSBAllObjs())
        out << entry.toMap().value(QStringLiteral("QoUSBBsdName")).toString();
    return out;
}

const QStringList kBigStick{QStringLiteral("--name"), QStringLiteral("Big Stick"),  QStringLiteral("--size"),
                            QStringLiteral("3G"),     QStringLiteral("--registry"), QStringLiteral("Big Media")};
const QStringList kSmallStick{QStringLiteral("--name"), QStringLiteral("Small Stick"), QStringLiteral("--size"),
                              QStringLiteral("2G")};

// The big stick with one file of `bytes` bytes on its volume.
QString attachBigStickHolding(const DiskWorldFixture &f, const QString &file, int bytes)
{
    QTemporaryDir from;
    if (!TestSupport::writeFile(from.filePath(file), QByteArray(bytes, 'x')))
        return {};
    return attach(f, kBigStick + QStringList{QStringLiteral("--from"), from.path()});
}

} // namespace

TEST(QoUSBControlWorld, TheListHoldsTheLargeUsbDiskOnly)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    RunnerFolder runners;
    const QString big = attach(f, kBigStick);
    const QString small = attach(f, kSmallStick);
    ASSERT_FALSE(big.isEmpty());
    ASSERT_FALSE(small.isEmpty());

    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    // The demo's own sticks (64 and 32 MB), the 2 GB one and the internal disk stay out.
    const QVariantList list = usb->QoGetUSBAllObjs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().toMap(),
              (QVariantMap{
                  {"QoUSBBsdName", big}, {"QoUSBTotalSize", qint64(3'000'000'000)}, {"QoUSBMediaName", "Big Media"}}));
    EXPECT_TRUE(usb->QoGetErrObjs().isEmpty());
}

TEST(QoUSBControlWorld, TheCallbacksKeepTheListCurrent)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const QString before = attach(f, kBigStick);
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    ASSERT_EQ(listedDisks(), QStringList{before});

    usb->QoStartDiskCallbacks();
    EXPECT_TRUE(usb->QoDiskCallbacksRunning());
    // The disks there already are announced again, and stay listed once.
    QTest::qWait(500);
    EXPECT_EQ(listedDisks(), QStringList{before});

    const QString big = attach(
        f, {QStringLiteral("--name"), QStringLiteral("Second"), QStringLiteral("--size"), QStringLiteral("64G")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return listedDisks().contains(big); }, 10000));
    const QString small = attach(f, kSmallStick);
    ASSERT_FALSE(small.isEmpty());
    QTest::qWait(500);
    EXPECT_EQ(listedDisks(), (QStringList{before, big}));

    ASSERT_EQ(f.run(QStringLiteral("diskworld"), {QStringLiteral("detach"), before}).status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listedDisks().contains(before); }, 10000));
    EXPECT_EQ(listedDisks(), QStringList{big});

    // Plugged back in, it is listed again.
    ASSERT_EQ(f.run(QStringLiteral("diskworld"), {QStringLiteral("attach"), QStringLiteral("Big Stick")}).status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listedDisks().size() == 2; }, 10000));

    // Stopped, the list no longer follows the disks.
    usb->QoStopDiskCallbacks();
    EXPECT_FALSE(usb->QoDiskCallbacksRunning());
    ASSERT_EQ(f.run(QStringLiteral("diskworld"), {QStringLiteral("detach"), big}).status, 0);
    QTest::qWait(500);
    EXPECT_TRUE(listedDisks().contains(big));
}

TEST(QoUSBControlWorld, ThePartitionMakerAddsAMountedJournaledVolumeOfTheChosenName)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const QString disk = attachBigStickHolding(f, QStringLiteral("Photos/beach.jpg"), 20000);
    ASSERT_FALSE(disk.isEmpty());
    // A folder already holds the first name: the new volume takes the next one.
    ASSERT_TRUE(QDir().mkpath(f.at(QStringLiteral("/Volumes/NewCloneSystem"))));
    const QString stick = f.bsdName(QStringLiteral("Big Stick"));
    const qint64 before = f.info(stick).value("TotalSize").toLongLong();

    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    usb->HlbCreateVolumeName();
    ASSERT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem1"));
    EXPECT_EQ(usb->QoCreatePartition(disk, 1'000'000'000), QStringLiteral("/Volumes/NewCloneSystem1"))
        << usb->QoGetErrObjs().value(disk).toString().toStdString();

    // The stick's volume gave the room and kept its files.
    EXPECT_EQ(f.info(stick).value("TotalSize").toLongLong(), before - 1'000'000'000);
    EXPECT_EQ(TestSupport::readFile(f.at(QStringLiteral("/Volumes/Big Stick/Photos/beach.jpg"))),
              QByteArray(20000, 'x'));
    // The new volume sits on the same disk, Journaled HFS+, mounted where the clone engine looks for it.
    const QVariantMap info = f.info(QStringLiteral("NewCloneSystem1"));
    EXPECT_EQ(info.value("ParentWholeDisk").toString(), disk);
    EXPECT_EQ(info.value("TotalSize").toLongLong(), 1'000'000'000);
    EXPECT_EQ(info.value("FilesystemName").toString(), QStringLiteral("Journaled HFS+"));
    EXPECT_EQ(info.value("MountPoint").toString(), f.at(usb->QoGetMorvexVolumePath()));
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/NewCloneSystem1"))).isDir());
    // Without the folder the test planted, the world adds up.
    ASSERT_TRUE(QDir(f.at(QStringLiteral("/Volumes/NewCloneSystem"))).removeRecursively());
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(usb->QoGetErrObjs().contains(disk));
}

// The name was chosen while free; then a stick of that name was plugged in.
// The new volume mounts beside it, and that is where it is reported.
TEST(QoUSBControlWorld, ThePartitionMakerReportsItsOwnVolumeWhenAnotherDiskTookTheName)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const QString disk = attach(f, kBigStick);
    ASSERT_FALSE(disk.isEmpty());
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    usb->HlbCreateVolumeName();
    ASSERT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
    const QString other = attach(f, {QStringLiteral("--name"), QStringLiteral("NewCloneSystem")});
    ASSERT_FALSE(other.isEmpty());

    const QString mounted = usb->QoCreatePartition(disk, 1'000'000'000);
    ASSERT_FALSE(mounted.isEmpty()) << usb->QoGetErrObjs().value(disk).toString().toStdString();
    EXPECT_NE(mounted, usb->QoGetMorvexVolumePath());
    const QVariantMap info = f.info(mounted);
    EXPECT_EQ(info.value("ParentWholeDisk").toString(), disk);
    EXPECT_EQ(info.value("VolumeName").toString(), QStringLiteral("NewCloneSystem"));
    EXPECT_EQ(info.value("TotalSize").toLongLong(), 1'000'000'000);
    EXPECT_EQ(f.info(usb->QoGetMorvexVolumePath()).value("ParentWholeDisk").toString(), other);
}

TEST(QoUSBControlWorld, ARefusedPartitionLeavesTheWorldAsItWas)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const QString disk = attachBigStickHolding(f, QStringLiteral("big.bin"), 200000);
    ASSERT_FALSE(disk.isEmpty());
    const qint64 partition = f.info(f.bsdName(QStringLiteral("Big Stick"))).value("TotalSize").toLongLong();

    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    usb->HlbCreateVolumeName();
    const QByteArray before = f.stateBytes();
    // What is left of the partition could not hold its data.
    EXPECT_TRUE(usb->QoCreatePartition(disk, partition - 100000).isEmpty());
    EXPECT_EQ(f.stateBytes(), before);
    EXPECT_TRUE(usb->QoGetErrObjs().value(disk).toString().contains(QLatin1String("resizeVolume")));
    // The demo's small sticks are not the partition maker's to touch.
    const QString small = f.bsdName(QStringLiteral("Travel Drive"));
    EXPECT_TRUE(usb->QoCreatePartition(small.left(small.lastIndexOf(QLatin1Char('s'))), 10'000'000).isEmpty());
    EXPECT_EQ(f.stateBytes(), before);
    EXPECT_FALSE(QFileInfo::exists(f.at(usb->QoGetMorvexVolumePath())));
}
