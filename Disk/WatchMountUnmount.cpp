#include "WatchMountUnmount.h"

#include "Platform/NotificationCenter.h"
#include "Platform/Workspace.h"

WatchMountUnmount::WatchMountUnmount() : wsnc(&Platform::Workspace::shared().notificationCenter())
{
    registerNotifications();
}

WatchMountUnmount::~WatchMountUnmount() { wsnc->removeObserver(this); }

void WatchMountUnmount::registerNotifications()
{
    wsnc->addObserver(this, QString::fromLatin1(Platform::WorkspaceDidMountNotification), nullptr,
                      [this](const Platform::Notification &n) { mountedVolume(n); });
    wsnc->addObserver(this, QString::fromLatin1(Platform::WorkspaceDidUnmountNotification), nullptr,
                      [this](const Platform::Notification &n) { unmountedVolume(n); });
}

void WatchMountUnmount::mountedVolume(const Platform::Notification &notification)
{
    Platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(QmVolumeMountNotification), this,
                                                       notification.userInfo);
}

void WatchMountUnmount::unmountedVolume(const Platform::Notification &notification)
{
    Platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(QmVolumeUnmountNotification), this,
                                                       notification.userInfo);
}
