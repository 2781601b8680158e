// The USB control's disk list and its callbacks on a demo world, with the
// stand-in diskutil and disks plugged in and out by the `diskworld` tool.
#include <gtest/gtest.h>

#include "QoUSBControl.h"

#include "ShellRunners.h"

#include "DiskWorldFixture.h"
#include "RunnerFolder.h"

#include <QTemporaryDir>
#include <QTest>

using TestSupport::DiskWorldFixture;
using TestSupport::RunnerFolder;

namespace
{

// The whole disk `diskworld attach` plugged in.
QString attach(const DiskWorldFixture &f, const QStringList &options)
{
    const TestSupport::ToolRun run = f.run(QStringLiteral("diskworld"), QStringList{QStringLiteral("attach")} + options);
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

const QStringList kBigStick{QStringLiteral("--name"), QStringLiteral("Big Stick"), QStringLiteral("--size"),
                            QStringLiteral("3G"), QStringLiteral("--registry"), QStringLiteral("Big Media")};
const QStringList kSmallStick{QStringLiteral("--name"), QStringLiteral("Small Stick"), QStringLiteral("--size"),
                              QStringLiteral("2G")};

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
    EXPECT_EQ(list.first().toMap(), (QVariantMap{{"QoUSBBsdName", big},
                                                 {"QoUSBTotalSize", qint64(3'000'000'000)},
                                                 {"QoUSBMediaName", "Big Media"}}));
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

    const QString big = attach(f, {QStringLiteral("--name"), QStringLiteral("Second"), QStringLiteral("--size"),
                                   QStringLiteral("64G")});
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
