#pragma once

namespace Platform {
class NotificationCenter;
struct Notification;
} // namespace Platform

// The program's own names for a volume that was mounted or unmounted, posted
// on the default notification centre with the watcher as the object and the
// workspace notification's userInfo unchanged.
inline constexpr const char *QmVolumeMountNotification = "QmVolumeMount";
inline constexpr const char *QmVolumeUnmountNotification = "QmVolumeUnmount";

// Turns the workspace's mount and unmount notifications into the program's
// own. Registers itself on construction; its owner keeps it for as long as it
// wants the notifications (it stops observing when destroyed). Runs on the
// main thread, where the workspace delivers.
class WatchMountUnmount {
public:
    WatchMountUnmount();
    ~WatchMountUnmount();
    WatchMountUnmount(const WatchMountUnmount &) = delete;
    WatchMountUnmount &operator=(const WatchMountUnmount &) = delete;

    void registerNotifications();
    void mountedVolume(const Platform::Notification &notification);
    void unmountedVolume(const Platform::Notification &notification);

private:
    Platform::NotificationCenter *wsnc;
};
