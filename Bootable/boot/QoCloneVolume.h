#pragma once
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Which mounted volume belongs to the clone's disk. A folder of the expected
// name under /Volumes proves nothing: another disk's volume of that name (an
// earlier clone on a second stick, say) may hold it, and the volume of the
// chosen disk then mounts under another name. A mount point is taken only
// when `diskutil info` of it names a volume of the chosen disk.
class QoCloneVolume {
public:
    // The whole disks that make up `wholeDisk` in `diskutil list -plist
    // /dev/<wholeDisk>`: the disk itself and each APFS container whose
    // physical store is one of its partitions. Empty when the listing does
    // not show that disk.
    static QStringList disksOf(const QString &wholeDisk, const QVariantMap &list);

    // `info` (`diskutil info -plist` of `mountPoint`, a system path) is a
    // volume named `volumeName` on one of `disks`, mounted at that point.
    static bool describes(const QVariantMap &info, const QString &mountPoint, const QStringList &disks,
                          const QString &volumeName);

    // The mount point (a system path) of the volume named `volumeName` on
    // one of `disks` in the listing; empty when it has none or is not there.
    static QString mountPointIn(const QVariantMap &list, const QStringList &disks, const QString &volumeName);
    // The device identifier of that volume, mounted or not; empty when none.
    static QString deviceIn(const QVariantMap &list, const QStringList &disks, const QString &volumeName);

    // A mount point as diskutil gives it, as the system names it.
    static QString systemMountPoint(const QString &mountPoint);
};
