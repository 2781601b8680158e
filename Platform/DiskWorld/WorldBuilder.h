#pragma once
// Making worlds and plugging new disks into them: what `diskworld init` and
// `diskworld attach` do, and what tests use to build the world they need.
#include "World.h"

#include <QMap>
#include <QString>
#include <optional>
#include <vector>

namespace Platform::DiskWorld {

struct VolumeSpec {
    QString name;
    QString fs = QStringLiteral("ExFAT");
    qint64 size = 0; // the partition's size; 0: a share of what the disk has left
    bool mounted = true;
    std::optional<bool> writable;        // by default what the file system allows (NTFS: read-only)
    QString role;                        // APFS role
    QMap<QString, QByteArray> files;     // relative path → content
    QString sourceFolder;                // a folder whose content is copied in
    std::vector<VolumeSpec> apfsVolumes; // fs "APFS": the container's volumes (none: one of this name)
};

struct DiskSpec {
    QString registryName = QStringLiteral("Generic USB Flash Disk Media");
    QString mediaName; // empty: the registry name
    QString bus = QStringLiteral("USB");
    bool internal = false;
    bool ejectable = true;
    bool isVirtual = false;
    bool solidState = false;
    qint64 size = 64'000'000;
    QString scheme = QStringLiteral("GUID_partition_scheme"); // or "FDisk_partition_scheme"
    QString imagePath;                                        // a disk image's file
    std::vector<VolumeSpec> partitions;
};

struct WorldOptions {
    QString version = QStringLiteral("13.4"); // ProductVersion of the system on the boot volume
    QString consoleUser;                      // empty: the person running this
    bool demo = false;                        // the demo's disks and files
    qint64 bootDiskSize = 1'000'000'000;
};

// A new world at `root` (made when missing): an internal boot disk whose APFS
// container holds "Macintosh HD" (mounted at the root), "Preboot" and "Data",
// plus the demo's disks when asked. Fails, changing nothing, when a world is there.
bool createWorld(const QString &root, const WorldOptions &options, QString *error = nullptr);

// Plugs a new disk in: its volumes get their content and the mounted ones
// appear under Volumes. Gives the new BSD names, the whole disk first.
std::optional<QStringList> attachDisk(const World &w, const DiskSpec &spec, QString *error = nullptr);

// The demo's disks, for tests that want them one by one.
DiskSpec demoTravelDrive();
DiskSpec demoBackupStick();

// Size of the EFI partition a GUID disk of this size begins with.
qint64 efiPartitionSize(qint64 diskSize);

} // namespace Platform::DiskWorld
