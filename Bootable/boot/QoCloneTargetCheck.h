#pragma once
#include "VolumeObj.h"

#include <QStringList>
#include <QVariantMap>

// The last look at the clone's target before it is erased. Between the
// user's choice and the erase a disk can be pulled out and another one can
// take its BSD name, so the whole disk is read again and must still be the
// one chosen: a USB disk the external-only picker would offer, not the disk
// the running system sits on, with the chosen record's device name, size and
// (when the record has one) disk UUID.
class QoCloneTargetCheck {
public:
    // The picker's tests on `diskutil info -plist /dev/<disk>`: the bus is
    // USB, and it is no RAID set, no encrypted CoreStorage volume, no HFSX
    // partition and no virtual disk.
    static bool passesPickerTests(const QVariantMap &info);

    // The dictionary describes the whole disk of the chosen record.
    static bool isChosenDisk(const VolumeObj &chosen, const QVariantMap &info);

    // The whole disks under the running system's volume: its parent whole
    // disk (`diskutil info -plist /`) and, for an APFS container, the disks
    // that hold the container's physical stores (`diskutil list -plist`).
    static QStringList runningSystemDisks(const QVariantMap &rootInfo, const QVariantMap &list);

    // Runs the tools and answers whether `chosen` may be erased now.
    static bool mayErase(const VolumeObj &chosen);
};
