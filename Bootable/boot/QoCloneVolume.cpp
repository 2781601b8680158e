#include "QoCloneVolume.h"

#include "Platform/SystemRoot.h"

namespace {

QString str(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toString(); }

QVariantList entries(const QVariantMap &list) { return list.value(QStringLiteral("AllDisksAndPartitions")).toList(); }

// The partitions and APFS volumes listed under the whole disks `disks`.
QList<QVariantMap> volumesOf(const QVariantMap &list, const QStringList &disks)
{
    QList<QVariantMap> out;
    for (const QVariant &d : entries(list)) {
        const QVariantMap disk = d.toMap();
        if (!disks.contains(str(disk, "DeviceIdentifier")))
            continue;
        for (const char *key : {"Partitions", "APFSVolumes"})
            for (const QVariant &v : disk.value(QLatin1String(key)).toList())
                out.append(v.toMap());
    }
    return out;
}

} // namespace

QStringList QoCloneVolume::disksOf(const QString &wholeDisk, const QVariantMap &list)
{
    QStringList out;
    QStringList partitions;
    for (const QVariant &d : entries(list)) {
        const QVariantMap disk = d.toMap();
        if (str(disk, "DeviceIdentifier") != wholeDisk)
            continue;
        out.append(wholeDisk);
        for (const QVariant &p : disk.value(QStringLiteral("Partitions")).toList())
            partitions.append(str(p.toMap(), "DeviceIdentifier"));
    }
    if (out.isEmpty() || wholeDisk.isEmpty())
        return {};
    for (const QVariant &d : entries(list)) {
        const QVariantMap disk = d.toMap();
        const QString id = str(disk, "DeviceIdentifier");
        if (id.isEmpty() || out.contains(id))
            continue;
        for (const QVariant &store : disk.value(QStringLiteral("APFSPhysicalStores")).toList())
            if (partitions.contains(str(store.toMap(), "DeviceIdentifier"))) {
                out.append(id);
                break;
            }
    }
    return out;
}

QString QoCloneVolume::systemMountPoint(const QString &mountPoint)
{
    if (mountPoint.isEmpty())
        return {};
    return Platform::systemPath(mountPoint);
}

bool QoCloneVolume::describes(const QVariantMap &info, const QString &mountPoint, const QStringList &disks,
                              const QString &volumeName)
{
    if (mountPoint.isEmpty() || volumeName.isEmpty() || str(info, "VolumeName") != volumeName)
        return false;
    if (!disks.contains(str(info, "ParentWholeDisk")))
        return false;
    return systemMountPoint(str(info, "MountPoint")) == mountPoint;
}

QString QoCloneVolume::mountPointIn(const QVariantMap &list, const QStringList &disks, const QString &volumeName)
{
    for (const QVariantMap &v : volumesOf(list, disks))
        if (str(v, "VolumeName") == volumeName && !str(v, "MountPoint").isEmpty())
            return systemMountPoint(str(v, "MountPoint"));
    return {};
}

QString QoCloneVolume::deviceIn(const QVariantMap &list, const QStringList &disks, const QString &volumeName)
{
    for (const QVariantMap &v : volumesOf(list, disks))
        if (str(v, "VolumeName") == volumeName)
            return str(v, "DeviceIdentifier");
    return {};
}
