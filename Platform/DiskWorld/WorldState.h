#pragma once
// The simulated disks as plain records: what the world's state file holds.
// Content never lives here: a volume's files are a real folder, found through
// World::contentPath.
#include "CoreState.h"

#include <QMap>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <vector>

namespace Platform::DiskWorld {

struct Volume {
    QString name;
    QString fs;        // the file system's name as diskutil gives it ("APFS", "ExFAT", …)
    QString uuid;      // VolumeUUID
    QString mountName; // the folder under <root>/Volumes while mounted
    bool mounted = false;
    bool writable = true;
    bool boot = false; // the running system: mounted at the root itself
    QString role;      // APFS role ("System", "Preboot", "Data"); empty elsewhere
    // A disk image's volume: the set-id modes its image held, which the
    // mounted files do not have (relative path → mode); written back on eject.
    QMap<QByteArray, quint32> heldModes;
};

// A partition of a whole disk, or one volume of an APFS container.
struct Node {
    QString id;      // "disk2s1"
    QString content; // partition type ("EFI", "Apple_APFS", "Microsoft Basic Data", …)
    QString diskUUID;
    qint64 size = 0;   // bytes; APFS volumes share their container's space and keep 0
    QString container; // an APFS physical store: the id of the container that lives on it
    std::optional<Volume> volume;
};

struct Disk {
    QString id;           // "disk2"
    QString bus;          // "PCI-Express", "USB", "Disk Image"
    QString registryName; // IORegistryEntryName
    QString mediaName;
    QString content; // partition scheme
    QString diskUUID;
    qint64 size = 0;
    bool internal = false;
    bool ejectable = false;
    bool isVirtual = false;
    bool solidState = false;
    QString imagePath;       // a disk image: the file it was attached from
    QString imageIdentity;   // the file as it was then (device, inode, size, modification time)
    QString imageFolder;     // the folder that holds the file (device:inode), which the eject writes into
    qint64 imageSince = 0;   // the file system's time (ns) once its content was out: later changes are newer
    QString physicalStore;   // an APFS container: the partition it lives on
    std::vector<Node> nodes; // partitions, or a container's volumes

    bool isContainer() const { return !physicalStore.isEmpty(); }
    bool isImage() const { return !imagePath.isEmpty(); }
};

struct State {
    std::vector<Disk> disks;
    // Disks taken out with `diskworld detach` or ejected; a container follows
    // the disk that holds its store. Their volumes' content stays in the store.
    std::vector<Disk> unplugged;
    QString consoleUser;
    // Counts the changes made: a change writes the state with the next number.
    qint64 serial = 0;

    // Lookups by BSD name ("disk2", "disk2s1").
    Disk *disk(const QString &id);
    const Disk *disk(const QString &id) const;
    Node *node(const QString &id, Disk **owner = nullptr);
    const Node *node(const QString &id, const Disk **owner = nullptr) const;

    // The container that lives on a physical store partition, and back.
    const Disk *containerOf(const Node &store) const;
    // The physical disk a disk belongs to: itself, or for a container the disk of its store.
    const Disk *physicalDisk(const Disk &d) const;
    // A physical disk and every container on it.
    std::vector<const Disk *> family(const Disk &physical) const;

    const Volume *bootVolume() const;
    // Every volume, mounted or not, with the node that carries it.
    std::vector<std::pair<const Disk *, const Node *>> volumes() const;

    // The lowest disk number no disk uses ("disk4").
    QString freeDiskId() const;

    QVariantMap toVariant() const;
};

QVariantMap toVariant(const Disk &d);

// The same records in the form of the Qt-free core, which reads the state
// file and holds the rules the stand-in tools share with the application.
State fromCore(const Core::State &s);
Core::State toCore(const State &s);
Core::Disk toCore(const Disk &d);
Core::Node toCore(const Node &n);
Core::Volume toCore(const Volume &v);

QString newUUID();

} // namespace Platform::DiskWorld
