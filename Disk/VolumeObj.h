#pragma once
#include <QString>
#include <QtGlobal>
#include <memory>

// The record of one mounted volume or one whole disk, handed between the
// volume pickers, the job pages, the clone engine and the Disk Manager and
// shared by reference (VolumeObjPtr). It has no behaviour; the builders in
// VolumeObjBuilders.h fill it from a `diskutil info -plist` dictionary, and
// what some fields hold depends on the builder (see there). A new record has
// null strings, zero numbers and false flags. Records are not changed after
// building, except the Disk Manager's new volumeName after a rename.
struct VolumeObj {
    QString volumeType;       // file-system name ("FilesystemName")
    QString volumeName;       // name shown to the user
    QString volumePath;       // what users pass back to tools; form depends on the builder
    QString volumeMountPoint; // "MountPoint"; null when not mounted
    QString volumeTotalSize;  // display texts
    QString volumeFreeSize;
    bool bCanEject = false;
    qint64 volumeTotalSizeNum = 0; // bytes
    qint64 volumeFreeSizeNum = 0;
    QString BusProtocol; // Disk Manager only
    QString diskType;    // file-system name for the Disk Manager's choices
    QString diskId;
    QString diskMediaName;
    QString diskSMARTStatus;
    QString diskContent;
    QString diskEx;
    QString vORpStr;
    QString diskUUID;        // "DiskUUID"
    QString volRootDir;      // device node, Disk Manager only
    QString parentWholeDisk; // Disk Manager only
    qint16 volumeNum = 0;
    bool isInter = false;
    bool isSolidState = false;
    bool isWritable = false;
    bool isDisk = false;
    bool isOeners = false;
    qint32 chrCount = 0;
};

using VolumeObjPtr = std::shared_ptr<VolumeObj>;
