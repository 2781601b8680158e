#pragma once
#include "VolumeObj.h"

// What the volume picker tells its page: the user chose a record. The picker
// does not close its popover; the page does.
class SelectDiskVCDelegate {
public:
    virtual ~SelectDiskVCDelegate() = default;
    virtual void doSelectDiskWithVolume(const VolumeObjPtr &volume) { (void)volume; }
};
