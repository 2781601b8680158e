#include "VolumeObjBuilders.h"

#include "DiskManagerSizeText.h"
#include "QoPublicUtilities.h"

#include "Platform/Workspace.h"

namespace {

QString str(const QVariantMap &info, const char *key) { return info.value(QLatin1String(key)).toString(); }

// longLongValue of a number; anything else (or a missing key) is 0.
qint64 num(const QVariantMap &info, const char *key) { return info.value(QLatin1String(key)).toLongLong(); }

bool hasVolumeName(const QVariantMap &info) { return info.contains(QStringLiteral("VolumeName")); }

bool isApfsIgnoringCase(const QVariantMap &info)
{
    return str(info, "FilesystemName").toUpper() == QLatin1String("APFS");
}

// What the clone rescan and both picker listings fill alike.
void fillCommon(VolumeObj &v, const QVariantMap &info)
{
    v.volumeMountPoint = str(info, "MountPoint");
    v.volumeTotalSizeNum = num(info, "TotalSize");
    v.volumeTotalSize = QoPublicUtilities::longlongConvertVolSpace(v.volumeTotalSizeNum);
    v.volumeFreeSizeNum = num(info, isApfsIgnoringCase(info) ? "APFSContainerFree" : "FreeSpace");
    v.volumeFreeSize = QoPublicUtilities::longlongConvertVolSpace(v.volumeFreeSizeNum);
    v.diskUUID = str(info, "DiskUUID");
}

VolumeObjPtr buildNamedVolume(const QVariantMap &info, const char *pathKey)
{
    if (!hasVolumeName(info))
        return nullptr;
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = str(info, "VolumeName");
    v->volumePath = str(info, pathKey);
    v->volumeType = str(info, "FilesystemName");
    v->bCanEject = info.value(QStringLiteral("Ejectable")).toBool();
    fillCommon(*v, info);
    return v;
}

} // namespace

VolumeObjPtr VolumeObjFromCloneRescan(const QVariantMap &info) { return buildNamedVolume(info, "DeviceIdentifier"); }

VolumeObjPtr VolumeObjFromPicker(const QVariantMap &info) { return buildNamedVolume(info, "MountPoint"); }

VolumeObjPtr VolumeObjFromPickerDeviceNode(const QVariantMap &info) { return buildNamedVolume(info, "DeviceNode"); }

VolumeObjPtr VolumeObjFromExternalDisk(const QVariantMap &info)
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = info.contains(QStringLiteral("IORegistryEntryName")) ? str(info, "IORegistryEntryName")
                                                                         : QStringLiteral("Unknown");
    v->volumePath = str(info, "DeviceIdentifier");
    v->volumeType = isApfsIgnoringCase(info) ? str(info, "FilesystemName") : QStringLiteral(" ");
    v->bCanEject = true;
    fillCommon(*v, info);
    return v;
}

VolumeObjPtr VolumeObjFromDiskManager(const QVariantMap &info)
{
    if (!hasVolumeName(info))
        return nullptr;
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = str(info, "VolumeName");
    v->BusProtocol = str(info, "BusProtocol");
    v->bCanEject = info.value(QStringLiteral("Ejectable")).toBool();
    v->diskType = str(info, "FilesystemName");
    qint64 freeBytes = num(info, "FreeSpace");
    // An APFS volume reports no free space of its own; the container's is shown.
    if (v->diskType == QLatin1String("APFS") && freeBytes == 0) {
        freeBytes = num(info, "APFSContainerFree");
        v->diskType = QStringLiteral("APFS");
    }
    v->volumeTotalSizeNum = num(info, "TotalSize");
    v->volumeFreeSizeNum = freeBytes;
    v->volumeTotalSize = byteToSizeWithByte(quint64(v->volumeTotalSizeNum));
    v->volumeFreeSize = byteToSizeWithByte(quint64(v->volumeFreeSizeNum));
    v->volRootDir = str(info, "DeviceNode");
    v->volumePath = v->volRootDir;
    v->parentWholeDisk = str(info, "ParentWholeDisk");
    v->volumeMountPoint = str(info, "MountPoint");
    v->diskUUID = str(info, "DiskUUID");
    return v;
}

VolumeObjPtr VolumeObjFromWorkspaceVolume(const QString &path)
{
    const Platform::Workspace &workspace = Platform::Workspace::shared();
    const std::optional<Platform::FileSystemInfo> fs = workspace.fileSystemInfo(path);
    const std::optional<Platform::FileSystemAttributes> attributes = workspace.fileSystemAttributes(path);
    if (!fs || !attributes)
        return nullptr;
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = workspace.displayNameAtPath(path);
    v->volumeType = fs->type;
    v->volumeTotalSizeNum = attributes->size;
    v->volumeFreeSizeNum = attributes->freeSize;
    v->volumeTotalSize = QoPublicUtilities::longlongConvertVolSpace(v->volumeTotalSizeNum);
    v->volumeFreeSize = QoPublicUtilities::longlongConvertVolSpace(v->volumeFreeSizeNum);
    v->volumePath = path;
    v->volumeMountPoint = path;
    return v;
}

std::vector<VolumeObjPtr> VolumeObjsFromWorkspace()
{
    std::vector<VolumeObjPtr> out;
    for (const QString &path : Platform::Workspace::shared().mountedLocalVolumePaths())
        if (VolumeObjPtr v = VolumeObjFromWorkspaceVolume(path))
            out.push_back(v);
    return out;
}
