#include <gtest/gtest.h>

#include "DiskTestSupport.h"

#include "WatchMountUnmount.h"

#include "NotificationCenter.h"
#include "Workspace.h"

#include <memory>
#include <vector>

using Platform::Notification;
using Platform::NotificationCenter;

namespace {

// Collects the program's notifications on the default centre.
class Received {
public:
    Received()
    {
        for (const char *name : {QmVolumeMountNotification, QmVolumeUnmountNotification})
            NotificationCenter::defaultCenter().addObserver(this, QString::fromLatin1(name), nullptr,
                                                            [this](const Notification &n) { all.push_back(n); });
    }
    ~Received() { NotificationCenter::defaultCenter().removeObserver(this); }
    std::vector<Notification> all;
};

void postWorkspace(const char *name, const QVariantMap &userInfo)
{
    Platform::Workspace::shared().notificationCenter().post(QString::fromLatin1(name), nullptr, userInfo);
}

const QVariantMap kVolume{{"NSDevicePath", QStringLiteral("/Volumes/USB Stick")},
                          {"NSWorkspaceVolumeLocalizedNameKey", QStringLiteral("USB Stick")}};

} // namespace

TEST(WatchMountUnmount, OneProgramNotificationPerWorkspaceNotificationWithItsUserInfo)
{
    Received received;
    WatchMountUnmount watcher;

    postWorkspace(Platform::WorkspaceDidMountNotification, kVolume);
    ASSERT_EQ(received.all.size(), 1u);
    EXPECT_EQ(received.all[0].name, QStringLiteral("QmVolumeMount"));
    EXPECT_EQ(received.all[0].object, &watcher);
    EXPECT_EQ(received.all[0].userInfo, kVolume);

    postWorkspace(Platform::WorkspaceDidUnmountNotification, kVolume);
    ASSERT_EQ(received.all.size(), 2u);
    EXPECT_EQ(received.all[1].name, QStringLiteral("QmVolumeUnmount"));
    EXPECT_EQ(received.all[1].userInfo, kVolume);

    // Other workspace notifications are not passed on.
    postWorkspace("NSWorkspaceDidLaunchApplicationNotification", {});
    EXPECT_EQ(received.all.size(), 2u);
}

TEST(WatchMountUnmount, ADestroyedWatcherPostsNothing)
{
    Received received;
    {
        WatchMountUnmount watcher;
    }
    postWorkspace(Platform::WorkspaceDidMountNotification, kVolume);
    EXPECT_TRUE(received.all.empty());
}

TEST(WatchMountUnmount, EachWatcherPostsForItself)
{
    Received received;
    auto first = std::make_unique<WatchMountUnmount>();
    auto second = std::make_unique<WatchMountUnmount>();
    postWorkspace(Platform::WorkspaceDidMountNotification, kVolume);
    ASSERT_EQ(received.all.size(), 2u);
    EXPECT_EQ(received.all[0].object, first.get());
    EXPECT_EQ(received.all[1].object, second.get());
}
