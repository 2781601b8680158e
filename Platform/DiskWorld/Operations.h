#pragma once
// The changes the stand-in tools make to the world. Each one either happens
// whole or not at all: on failure the world stays as it was and the outcome
// carries the message for standard error.
#include "World.h"

namespace Platform::DiskWorld {

struct Outcome {
    bool ok = false;
    QString output; // what the tool prints on standard output
    QString error;  // what it prints on standard error when it fails
};

namespace Operations {

Outcome renameVolume(const World &w, const QString &identifier, const QString &newName);
// `type` is any name fileSystemNamed knows; an empty name gives "Untitled".
Outcome eraseVolume(const World &w, const QString &type, const QString &name, const QString &identifier);
// `scheme`: "GPT" (the default when empty), "MBR" or "APM".
Outcome eraseDisk(const World &w, const QString &fs, const QString &name, const QString &scheme,
                  const QString &identifier);
// Shrinks the partition `identifier` to `size` and adds after it a new
// partition of `newSize` with an empty volume of file system `fs` called
// `name`, mounted. Sizes are bytes with an optional unit (B, K/KB, M/MB, G/GB,
// T/TB: powers of 1000; KiB, MiB, GiB, TiB: of 1024). Refused, with the world
// unchanged, when a size is malformed or not whole bytes, the partition's data
// would not fit, either partition would be below 1 MiB, the new partition does
// not fit in what the shrink frees, the partition is not one of a partitioned
// whole disk, lies on a disk image, holds a read-only volume, or the disk's
// master boot record has no room for another partition.
Outcome resizeVolume(const World &w, const QString &identifier, const QString &size, const QString &fs,
                     const QString &name, const QString &newSize);
// A size as resizeVolume takes it; nothing for a malformed one or one of a fraction of a byte.
std::optional<qint64> sizeNamed(const QString &text);
// Erases a volume keeping its name and type.
Outcome reformatVolume(const World &w, const QString &identifier);
// Takes the device out: its volumes are unmounted and the disk leaves the
// world; a disk image writes its content back into its file first.
Outcome eject(const World &w, const QString &identifier);
Outcome mountDisk(const World &w, const QString &identifier);
Outcome unmountDisk(const World &w, const QString &identifier);
Outcome mountVolume(const World &w, const QString &identifier);
Outcome unmountVolume(const World &w, const QString &identifier);

// `diskworld detach`: like a cable pulled out (nothing is asked, nothing refused but the startup disk).
Outcome unplug(const World &w, const QString &identifier);
// `diskworld attach` of a disk that was taken out: by its registry or media
// name, its DiskUUID, its last BSD name, or one of its volumes' names.
Outcome replug(const World &w, const QString &identifier);

// Roles of APFS volumes that stay unmounted when their disk is plugged in.
bool staysUnmounted(const Volume &v);

} // namespace Operations
} // namespace Platform::DiskWorld
