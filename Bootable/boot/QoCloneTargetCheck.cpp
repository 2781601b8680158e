#include "QoCloneTargetCheck.h"

#include "ShellRunners.h"

#include "Platform/SystemLog.h"

namespace {

QString str(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toString(); }
bool flag(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toBool(); }

// The engine's own runner with the picker's 64-byte line.
std::optional<QVariantMap> diskInfo(const QString &identifier)
{
    return AexecCommand(
               ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), identifier})
                   .withBuffer(64))
        .dictionary();
}

// The whole disk in `list` ("AllDisksAndPartitions") that holds the partition `id`.
QString wholeDiskHolding(const QVariantList &disks, const QString &id)
{
    for (const QVariant &d : disks) {
        const QVariantMap disk = d.toMap();
        if (str(disk, "DeviceIdentifier") == id)
            return id;
        for (const QVariant &p : disk.value(QStringLiteral("Partitions")).toList())
            if (str(p.toMap(), "DeviceIdentifier") == id)
                return str(disk, "DeviceIdentifier");
    }
    return {};
}

} // namespace

bool QoCloneTargetCheck::passesPickerTests(const QVariantMap &info)
{
    if (str(info, "BusProtocol") != QLatin1String("USB"))
        return false;
    return !flag(info, "RAIDMaster") && !flag(info, "CoreStorageEncrypted") &&
           str(info, "Content") != QLatin1String("Apple_HFSX") &&
           str(info, "VirtualOrPhysical") != QLatin1String("Virtual");
}

bool QoCloneTargetCheck::isChosenDisk(const VolumeObj &chosen, const QVariantMap &info)
{
    if (chosen.volumePath.isEmpty() || str(info, "DeviceIdentifier") != chosen.volumePath)
        return false;
    if (info.contains(QStringLiteral("WholeDisk")) && !flag(info, "WholeDisk"))
        return false;
    // Named as the picker names a whole disk.
    const QString name = info.contains(QStringLiteral("IORegistryEntryName")) ? str(info, "IORegistryEntryName")
                                                                              : QStringLiteral("Unknown");
    if (name != chosen.volumeName)
        return false;
    if (info.value(QStringLiteral("TotalSize")).toLongLong() != chosen.volumeTotalSizeNum)
        return false;
    return chosen.diskUUID.isEmpty() || str(info, "DiskUUID") == chosen.diskUUID;
}

QStringList QoCloneTargetCheck::runningSystemDisks(const QVariantMap &rootInfo, const QVariantMap &list)
{
    QStringList out;
    const QString parent = str(rootInfo, "ParentWholeDisk");
    if (parent.isEmpty())
        return out;
    out.append(parent);
    const QVariantList disks = list.value(QStringLiteral("AllDisksAndPartitions")).toList();
    for (const QVariant &d : disks) {
        const QVariantMap disk = d.toMap();
        if (str(disk, "DeviceIdentifier") != parent)
            continue;
        for (const QVariant &store : disk.value(QStringLiteral("APFSPhysicalStores")).toList()) {
            const QString holder = wholeDiskHolding(disks, str(store.toMap(), "DeviceIdentifier"));
            if (!holder.isEmpty() && !out.contains(holder))
                out.append(holder);
        }
    }
    return out;
}

bool QoCloneTargetCheck::mayErase(const VolumeObj &chosen)
{
    const std::optional<QVariantMap> info = diskInfo(QStringLiteral("/dev/") + chosen.volumePath);
    if (!info) {
        Platform::systemLog(QStringLiteral("clone target %1 is gone").arg(chosen.volumePath));
        return false;
    }
    if (!passesPickerTests(*info) || !isChosenDisk(chosen, *info)) {
        Platform::systemLog(
            QStringLiteral("clone target %1 is no longer the disk that was chosen").arg(chosen.volumePath));
        return false;
    }
    // Without knowing where the running system lives nothing is erased.
    const std::optional<QVariantMap> rootInfo = diskInfo(QStringLiteral("/"));
    const std::optional<QVariantMap> list =
        AexecCommand(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")}).withBuffer(64))
            .dictionary();
    const QStringList system = rootInfo ? runningSystemDisks(*rootInfo, list.value_or(QVariantMap())) : QStringList();
    if (system.isEmpty() || system.contains(chosen.volumePath)) {
        Platform::systemLog(
            QStringLiteral("clone target %1 holds the running system, or that cannot be told").arg(chosen.volumePath));
        return false;
    }
    return true;
}
