// The workspace's mount and unmount notifications over a live world, and its
// volume services.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "Dispatch.h"
#include "NotificationCenter.h"
#include "Operations.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using Platform::Workspace;
using TestSupport::DiskWorldFixture;

namespace {

// Every workspace notification of one test, and whether it came on the main thread.
struct Recorder {
    struct Seen {
        QString name;
        QVariantMap userInfo;
        bool onMain;
    };
    std::vector<Seen> seen;

    Recorder()
    {
        Platform::NotificationCenter &c = Workspace::shared().notificationCenter();
        for (const char *name : {Platform::WorkspaceDidMountNotification, Platform::WorkspaceDidUnmountNotification,
                                 Platform::WorkspaceDidRenameVolumeNotification})
            c.addObserver(this, QLatin1String(name), nullptr, [this](const Platform::Notification &n) {
                seen.push_back({n.name, n.userInfo, Platform::Dispatch::isMainThread()});
            });
    }
    ~Recorder() { Platform::NotificationCenter::workspaceCenter().removeObserver(this); }

    int count(const char *name) const
    {
        return int(
            std::count_if(seen.begin(), seen.end(), [&](const Seen &s) { return s.name == QLatin1String(name); }));
    }
    const Seen *last(const char *name) const
    {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
            if (it->name == QLatin1String(name))
                return &*it;
        return nullptr;
    }
};

// Runs a tool without blocking the event loop, as a person at a terminal would.
int runLive(const DiskWorldFixture &f, const QString &tool, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    p.setProcessEnvironment(env);
    p.start(TestSupport::toolsPath() + QLatin1Char('/') + tool, args);
    TestSupport::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Lets the event loop run a while longer, so a second notification would have come.
void settle(int ms = 700)
{
    QDeadlineTimer t(ms);
    TestSupport::waitUntil([&] { return t.hasExpired(); }, ms + 1000);
}

} // namespace

TEST(WorkspaceNotifications, PluggingADiskInPostsOneMountAndPullingItOutOneUnmount)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    Recorder r;
    ASSERT_EQ(runLive(f, QStringLiteral("diskworld"),
                      {QStringLiteral("attach"), QStringLiteral("--name"), QStringLiteral("Plugged"),
                       QStringLiteral("--size"), QStringLiteral("16M")}),
              0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidMountNotification) >= 1; }));
    settle();
    EXPECT_EQ(r.count(Platform::WorkspaceDidMountNotification), 1);
    EXPECT_EQ(r.count(Platform::WorkspaceDidUnmountNotification), 0);
    const Recorder::Seen *mount = r.last(Platform::WorkspaceDidMountNotification);
    ASSERT_NE(mount, nullptr);
    EXPECT_TRUE(mount->onMain);
    EXPECT_EQ(mount->userInfo.value("NSDevicePath").toString(), f.at(QStringLiteral("/Volumes/Plugged")));
    EXPECT_EQ(mount->userInfo.value("NSWorkspaceVolumeLocalizedNameKey").toString(), QStringLiteral("Plugged"));

    ASSERT_EQ(runLive(f, QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("Plugged")}), 0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidUnmountNotification) >= 1; }));
    settle();
    EXPECT_EQ(r.count(Platform::WorkspaceDidUnmountNotification), 1);
    EXPECT_EQ(r.count(Platform::WorkspaceDidMountNotification), 1);
    const Recorder::Seen *unmount = r.last(Platform::WorkspaceDidUnmountNotification);
    EXPECT_TRUE(unmount->onMain);
    EXPECT_EQ(unmount->userInfo.value("NSDevicePath").toString(), f.at(QStringLiteral("/Volumes/Plugged")));
    EXPECT_EQ(unmount->userInfo.value("NSWorkspaceVolumeLocalizedNameKey").toString(), QStringLiteral("Plugged"));
}

TEST(WorkspaceNotifications, ARenameIsNoUnmountAndNoMount)
{
    DiskWorldFixture f;
    Recorder r;
    ASSERT_EQ(runLive(f, QStringLiteral("diskutil"),
                      {QStringLiteral("rename"), QStringLiteral("Travel Drive"), QStringLiteral("Holiday")}),
              0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidRenameVolumeNotification) >= 1; }));
    settle();
    EXPECT_EQ(r.count(Platform::WorkspaceDidMountNotification), 0);
    EXPECT_EQ(r.count(Platform::WorkspaceDidUnmountNotification), 0);
    const Recorder::Seen *renamed = r.last(Platform::WorkspaceDidRenameVolumeNotification);
    EXPECT_EQ(renamed->userInfo.value("NSDevicePath").toString(), f.at(QStringLiteral("/Volumes/Holiday")));
    EXPECT_EQ(renamed->userInfo.value("NSWorkspaceVolumeOldLocalizedNameKey").toString(),
              QStringLiteral("Travel Drive"));
}

TEST(WorkspaceNotifications, ChangesOfThisProcessAndErasesArePostedToo)
{
    DiskWorldFixture f;
    Recorder r;
    const QString node = f.bsdName(QStringLiteral("BACKUP"));
    ASSERT_TRUE(Platform::DiskWorld::Operations::unmountVolume(f.world(), node).ok);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidUnmountNotification) == 1; }));
    ASSERT_TRUE(Platform::DiskWorld::Operations::mountDisk(f.world(), node).ok);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidMountNotification) == 1; }));

    // An erase that keeps the name still replaces the volume: out, then in.
    r.seen.clear();
    ASSERT_EQ(runLive(f, QStringLiteral("diskutil"),
                      {QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"), QStringLiteral("Travel Drive"),
                       QStringLiteral("Travel Drive")}),
              0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return r.count(Platform::WorkspaceDidMountNotification) == 1; }));
    settle();
    ASSERT_EQ(r.seen.size(), 2u);
    EXPECT_EQ(r.seen[0].name, QLatin1String(Platform::WorkspaceDidUnmountNotification));
    EXPECT_EQ(r.seen[1].name, QLatin1String(Platform::WorkspaceDidMountNotification));
}

TEST(WorkspaceNotifications, NothingIsPostedWhileNothingChanges)
{
    DiskWorldFixture f;
    Recorder r;
    // Reading the world changes nothing.
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(runLive(f, QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")}), 0);
    ASSERT_TRUE(TestSupport::writeFile(f.at(QStringLiteral("/Volumes/Travel Drive/new.txt")), "x"));
    settle();
    EXPECT_TRUE(r.seen.empty());
}

TEST(Workspace, AnswersForVolumesDeviceNodesAndOtherPaths)
{
    DiskWorldFixture f;
    Workspace &ws = Workspace::shared();
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));

    // A device node lies on the device file system, as on the original platform.
    for (const QString &dev : {QStringLiteral("/dev/") + travel, f.root() + QStringLiteral("/dev/") + travel}) {
        const auto info = ws.fileSystemInfo(dev);
        ASSERT_TRUE(info.has_value()) << dev.toStdString();
        EXPECT_EQ(info->type, QStringLiteral("devfs"));
        const auto attributes = ws.fileSystemAttributes(dev);
        ASSERT_TRUE(attributes.has_value());
        EXPECT_GT(attributes->size, 0);
    }
    EXPECT_FALSE(ws.fileSystemInfo(QStringLiteral("/dev/disk42s1")).has_value());
    EXPECT_FALSE(ws.fileSystemAttributes(QStringLiteral("/dev/disk42s1")).has_value());

    const auto usb = ws.fileSystemInfo(f.mountPoint(QStringLiteral("Travel Drive")));
    ASSERT_TRUE(usb.has_value());
    EXPECT_EQ(usb->type, QStringLiteral("exfat"));
    EXPECT_TRUE(usb->removable);
    EXPECT_TRUE(usb->writable);
    EXPECT_TRUE(usb->unmountable);
    const auto ntfs = ws.fileSystemInfo(f.mountPoint(QStringLiteral("BOOTCAMP")));
    ASSERT_TRUE(ntfs.has_value());
    EXPECT_EQ(ntfs->type, QStringLiteral("ntfs"));
    EXPECT_FALSE(ntfs->writable);
    EXPECT_FALSE(ntfs->removable);
    const auto boot = ws.fileSystemInfo(f.root());
    ASSERT_TRUE(boot.has_value());
    EXPECT_EQ(boot->type, QStringLiteral("apfs"));
    EXPECT_FALSE(boot->unmountable);

    const auto attributes =
        ws.fileSystemAttributes(f.mountPoint(QStringLiteral("Travel Drive")) + QStringLiteral("/Documents"));
    ASSERT_TRUE(attributes.has_value());
    const QVariantMap info = f.info(travel);
    EXPECT_EQ(attributes->size, info.value("TotalSize").toLongLong());
    EXPECT_EQ(attributes->freeSize, info.value("FreeSpace").toLongLong());

    EXPECT_TRUE(ws.fileSystemInfo(QDir::tempPath()).has_value());
    EXPECT_FALSE(ws.fileSystemInfo(f.at(QStringLiteral("/Volumes/Travel Drive/nothing here"))).has_value());

    const QStringList mounted = ws.mountedLocalVolumePaths();
    ASSERT_FALSE(mounted.isEmpty());
    EXPECT_EQ(mounted.first(), f.root());
    for (const char *name : {"Travel Drive", "BACKUP", "BOOTCAMP"})
        EXPECT_TRUE(mounted.contains(f.at(QStringLiteral("/Volumes/") + QLatin1String(name)))) << name;
    EXPECT_EQ(mounted.size(), 4);
}

TEST(Workspace, GivesIconsForVolumesFoldersAndFiles)
{
    DiskWorldFixture f;
    Workspace &ws = Workspace::shared();
    for (const QString &path : {f.mountPoint(QStringLiteral("Travel Drive")), f.root(),
                                f.at(QStringLiteral("/Volumes/Travel Drive/Documents")),
                                f.at(QStringLiteral("/Volumes/Travel Drive/ReadMe.txt"))})
        EXPECT_FALSE(ws.iconForFile(path).isNull()) << path.toStdString();
}

TEST(Workspace, RecordsWhatItIsAskedToOpen)
{
    Workspace &ws = Workspace::shared();
    ws.setRecordingOpens(true);
    EXPECT_TRUE(ws.openFile(QStringLiteral("/tmp/some folder")));
    EXPECT_TRUE(ws.openURL(QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")));
    EXPECT_EQ(
        ws.openedItems(),
        (QStringList{QStringLiteral("/tmp/some folder"),
                     QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")}));
    ws.setRecordingOpens(false);
    EXPECT_TRUE(ws.openedItems().isEmpty());
}
