#pragma once
#include "VolumeObj.h"

#include <QVariantMap>
#include <vector>

// Builders of VolumeObj records from one `diskutil info -plist` dictionary.
// Byte counts come from the number values ("TotalSize", "FreeSpace",
// "APFSContainerFree"; a missing key counts 0) and the size texts are made
// from the same numbers.
//
//   field             clone rescan        picker             external disk            Disk Manager
//   volumeName        VolumeName          VolumeName         IORegistryEntryName      VolumeName
//                                                            (or "Unknown")
//   volumePath        DeviceIdentifier    MountPoint         DeviceIdentifier         DeviceNode
//   volumeType        FilesystemName      FilesystemName     FilesystemName if APFS,  —
//                                                            else " "
//   diskType          —                   —                  —                        FilesystemName
//   free size         APFSContainerFree when FilesystemName    same                   APFSContainerFree only when
//                     upper-cased is "APFS", else FreeSpace                           exactly "APFS" and FreeSpace 0
//   bCanEject         Ejectable           Ejectable          always true              Ejectable
//   size texts        longlongConvertVolSpace                                         byteToSizeWithByte
//
// All four also fill volumeMountPoint, the total size and diskUUID; the Disk
// Manager's adds volRootDir (DeviceNode), BusProtocol and parentWholeDisk.
//
// Two variants of the picker are used by no flow. One reads the same
// dictionary with volumePath "DeviceNode". The other asks the workspace
// instead of diskutil, one record per mounted local volume path:
//
//   field                          workspace volume
//   volumeName                     displayNameAtPath (the volume's name)
//   volumePath, volumeMountPoint   the mount path
//   volumeType                     file-system type ("apfs", "hfs", "exfat", "msdos", "ntfs")
//   volumeTotalSizeNum             file-system size (NSFileSystemSize)
//   volumeFreeSizeNum              file-system free size (NSFileSystemFreeSize)
//   size texts                     longlongConvertVolSpace
//
// Nothing else is filled (bCanEject stays false, diskUUID null).
//
// Records that need a "VolumeName" (all but the external disk's) are not
// built without one: the builder returns nullptr. The callers' own tests
// stay with them: the Disk Manager skips "EFI" and duplicates, the external
// listing accepts only some disks.

VolumeObjPtr VolumeObjFromCloneRescan(const QVariantMap &info);
VolumeObjPtr VolumeObjFromPicker(const QVariantMap &info);
VolumeObjPtr VolumeObjFromExternalDisk(const QVariantMap &info);
VolumeObjPtr VolumeObjFromDiskManager(const QVariantMap &info);
// The picker's unused variant: as VolumeObjFromPicker with volumePath "DeviceNode".
VolumeObjPtr VolumeObjFromPickerDeviceNode(const QVariantMap &info);
// The workspace's record of the volume mounted at `path`; nullptr when the
// workspace knows no file system there.
VolumeObjPtr VolumeObjFromWorkspaceVolume(const QString &path);
// One record per mountedLocalVolumePaths entry, in that order (the startup volume first).
std::vector<VolumeObjPtr> VolumeObjsFromWorkspace();
