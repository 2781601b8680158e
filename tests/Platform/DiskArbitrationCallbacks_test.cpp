// The disk appeared and disappeared callbacks follow the world, whoever
// changes it: here the `diskworld` tool in a process of its own.
#include <gtest/gtest.h>

#include "DiskArbitration.h"
#include "DiskWorldFixture.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace Platform::DiskArbitration;
using TestSupport::DiskWorldFixture;

namespace {

const QVariantMap kWholeDisks{{QLatin1String(DescriptionMediaWholeKey), true}};

// What one callback was told, in order.
struct Seen {
    QStringList names;
    QList<QVariantMap> descriptions;
    bool offMainThread = false;

    DiskCallback callback()
    {
        return [this](const Disk &disk) {
            names << disk.bsdName();
            descriptions << disk.description();
            offMainThread = offMainThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        };
    }
};

QStringList wholeDisksOf(const DiskWorldFixture &f)
{
    QStringList ids;
    for (const Platform::DiskWorld::Disk &d : f.state().disks)
        ids << d.id;
    ids.sort();
    return ids;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The events a change causes arrive within a moment; a short wait more shows
// that no second call follows.
void settle() { QTest::qWait(400); }

QStringList attach(const DiskWorldFixture &f, const QStringList &options)
{
    const TestSupport::ToolRun run =
        f.run(QStringLiteral("diskworld"), QStringList{QStringLiteral("attach")} + options);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return QString::fromUtf8(run.out).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

TEST(DiskArbitrationCallbacks, EachAttachAndDetachIsToldOnceOnTheMainThread)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    Session session;
    Seen appeared, disappeared;
    session.registerDiskAppearedCallback(kWholeDisks, appeared.callback());
    session.registerDiskDisappearedCallback(kWholeDisks, disappeared.callback());

    // First the disks there are now, each once.
    const QStringList before = wholeDisksOf(f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return appeared.names.size() >= before.size(); }, 5000));
    settle();
    EXPECT_EQ(sorted(appeared.names), before);
    EXPECT_TRUE(disappeared.names.isEmpty());
    appeared = {};

    const QStringList ids =
        attach(f, {QStringLiteral("--name"), QStringLiteral("Big Stick"), QStringLiteral("--size"),
                   QStringLiteral("3G"), QStringLiteral("--registry"), QStringLiteral("Big Media")});
    ASSERT_FALSE(ids.isEmpty());
    const QString disk = ids.first();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !appeared.names.isEmpty(); }, 5000));
    settle();
    EXPECT_EQ(appeared.names, QStringList{disk});
    EXPECT_TRUE(disappeared.names.isEmpty());
    const QVariantMap d = appeared.descriptions.value(0);
    EXPECT_EQ(d.value(QLatin1String(DescriptionDeviceProtocolKey)).toString(), QStringLiteral("USB"));
    EXPECT_EQ(d.value(QLatin1String(DescriptionMediaSizeKey)).toLongLong(), 3'000'000'000);
    EXPECT_TRUE(d.value(QLatin1String(DescriptionMediaWholeKey)).toBool());

    const TestSupport::ToolRun detach = f.run(QStringLiteral("diskworld"), {QStringLiteral("detach"), disk});
    ASSERT_EQ(detach.status, 0) << detach.err.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !disappeared.names.isEmpty(); }, 5000));
    settle();
    EXPECT_EQ(disappeared.names, QStringList{disk});
    // The description the disk had.
    EXPECT_EQ(disappeared.descriptions.value(0).value(QLatin1String(DescriptionMediaSizeKey)).toLongLong(),
              3'000'000'000);
    EXPECT_EQ(appeared.names, QStringList{disk});

    // Plugged back in, it appears again.
    ASSERT_EQ(f.run(QStringLiteral("diskworld"), {QStringLiteral("attach"), QStringLiteral("Big Stick")}).status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return appeared.names.size() == 2; }, 5000));
    settle();
    EXPECT_EQ(appeared.names.size(), 2);
    EXPECT_EQ(disappeared.names.size(), 1);
    EXPECT_FALSE(appeared.offMainThread);
    EXPECT_FALSE(disappeared.offMainThread);
}

TEST(DiskArbitrationCallbacks, AnEmptyMatchTakesPartitionsAndVolumesToo)
{
    DiskWorldFixture f;
    Session session;
    Seen appeared;
    session.registerDiskAppearedCallback({}, appeared.callback());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !appeared.names.isEmpty(); }, 5000));
    settle();
    appeared = {};
    const QStringList disks = attach(f, {QStringLiteral("--name"), QStringLiteral("Pocket")});
    ASSERT_FALSE(disks.isEmpty());
    // The whole disk with its partitions (an EFI one and the volume's).
    QStringList ids{disks.first()};
    const Platform::DiskWorld::State state = f.state();
    ASSERT_TRUE(state.disk(disks.first()));
    for (const Platform::DiskWorld::Node &n : state.disk(disks.first())->nodes)
        ids << n.id;
    ASSERT_GE(ids.size(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return appeared.names.size() >= ids.size(); }, 5000));
    settle();
    EXPECT_EQ(sorted(appeared.names), sorted(ids));
    // The volume's own description carries its name.
    bool volumeSeen = false;
    for (const QVariantMap &d : appeared.descriptions)
        volumeSeen =
            volumeSeen || d.value(QLatin1String(DescriptionVolumeNameKey)).toString() == QLatin1String("Pocket");
    EXPECT_TRUE(volumeSeen);
}

TEST(DiskArbitrationCallbacks, AnUnregisteredOrDroppedCallbackHearsNothingMore)
{
    DiskWorldFixture f;
    Seen kept, dropped, ofGoneSession;
    Session session;
    session.registerDiskAppearedCallback(kWholeDisks, kept.callback());
    const int id = session.registerDiskAppearedCallback(kWholeDisks, dropped.callback());
    session.unregisterCallback(id);
    {
        Session shortLived;
        shortLived.registerDiskAppearedCallback(kWholeDisks, ofGoneSession.callback());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !kept.names.isEmpty(); }, 5000));
    const QStringList ids = attach(f, {});
    ASSERT_FALSE(ids.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return kept.names.contains(ids.first()); }, 5000));
    settle();
    EXPECT_TRUE(dropped.names.isEmpty());
    EXPECT_TRUE(ofGoneSession.names.isEmpty());
}

TEST(DiskArbitrationCallbacks, AMatchByBusLeavesTheOtherDisksOut)
{
    DiskWorldFixture f;
    Session session;
    Seen usb;
    session.registerDiskAppearedCallback({{QLatin1String(DescriptionMediaWholeKey), true},
                                          {QLatin1String(DescriptionDeviceProtocolKey), QStringLiteral("USB")}},
                                         usb.callback());
    const QStringList internal =
        attach(f, {QStringLiteral("--internal"), QStringLiteral("--bus"), QStringLiteral("SATA")});
    const QStringList stick = attach(f, {QStringLiteral("--name"), QStringLiteral("Stick")});
    ASSERT_FALSE(internal.isEmpty());
    ASSERT_FALSE(stick.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return usb.names.contains(stick.first()); }, 5000));
    settle();
    EXPECT_FALSE(usb.names.contains(internal.first()));
    for (const QVariantMap &d : usb.descriptions)
        EXPECT_EQ(d.value(QLatin1String(DescriptionDeviceProtocolKey)).toString(), QStringLiteral("USB"));
}
