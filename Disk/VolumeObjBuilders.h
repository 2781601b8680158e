#pragma once
#include "VolumeObj.h"

#include <QVariantMap>

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
