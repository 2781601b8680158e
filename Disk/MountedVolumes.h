#pragma once
#include <QStringList>

// The BSD names of the volumes mounted under "/Volumes", in the order the
// folder lists them: what the volume picker and the Disk Manager build their
// records from. Entries that are no volume, and "(null)" and ".DS_Store", are
// left out, as are volumes without a usable BSD name.
QStringList MountedVolumeBSDNames();
