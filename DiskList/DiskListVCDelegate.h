#pragma once
#include "VolumeObj.h"

// What a volume row tells the picker: the user chose its record.
class DiskListVCDelegate {
public:
    virtual ~DiskListVCDelegate() = default;
    virtual void doSelectDiskWithVolume(const VolumeObjPtr &volume) { (void)volume; }
};
