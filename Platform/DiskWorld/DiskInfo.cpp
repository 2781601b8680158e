#include "DiskInfo.h"
#include "FileSystemKind.h"

#include <QTextStream>
#include <algorithm>

namespace Platform::DiskWorld::DiskInfo {
namespace {

int diskNumber(const QString &id) { return id.mid(4).toInt(); }

std::vector<const Disk *> sortedDisks(const State &s, const std::optional<Ref> &only)
{
    std::vector<const Disk *> out;
    if (only) {
        const Disk *d = s.disk(only->disk);
        if (!d)
            return out;
        if (d->isContainer())
            return {d};
        out = s.family(*d);
    } else {
        for (const Disk &d : s.disks)
            out.push_back(&d);
    }
    std::sort(out.begin(), out.end(),
              [](const Disk *a, const Disk *b) { return diskNumber(a->id) < diskNumber(b->id); });
    return out;
}

const Disk &physicalOf(const State &s, const Disk &d)
{
    const Disk *p = s.physicalDisk(d);
    return p ? *p : d;
}

// What every entry of one disk shares: the device it sits on.
void addDeviceKeys(QVariantMap &m, const State &s, const Disk &d)
{
    const Disk &p = physicalOf(s, d);
    m[QStringLiteral("BusProtocol")] = p.bus;
    m[QStringLiteral("CoreStorageEncrypted")] = false;
    m[QStringLiteral("DeviceBlockSize")] = qint64(512);
    m[QStringLiteral("Ejectable")] = p.ejectable;
    m[QStringLiteral("EjectableOnly")] = p.ejectable;
    m[QStringLiteral("Internal")] = p.internal;
    m[QStringLiteral("MediaType")] = QStringLiteral("Generic");
    m[QStringLiteral("OSInternalMedia")] = p.internal;
    m[QStringLiteral("RAIDMaster")] = false;
    m[QStringLiteral("RAIDSlice")] = false;
    m[QStringLiteral("Removable")] = p.ejectable;
    m[QStringLiteral("RemovableMedia")] = p.ejectable;
    m[QStringLiteral("RemovableMediaOrExternalDevice")] = !p.internal;
    m[QStringLiteral("SMARTStatus")] = p.internal ? QStringLiteral("Verified") : QStringLiteral("Not Supported");
    m[QStringLiteral("SolidState")] = p.solidState;
    m[QStringLiteral("SystemImage")] = false;
    m[QStringLiteral("VirtualOrPhysical")] =
        (d.isVirtual || d.isContainer() || p.isVirtual) ? QStringLiteral("Virtual") : QStringLiteral("Physical");
    m[QStringLiteral("WritableMedia")] = true;
}

void addContainerKeys(QVariantMap &m, const World &w, const State &s, const Disk &container)
{
    m[QStringLiteral("APFSContainerReference")] = container.id;
    m[QStringLiteral("APFSContainerSize")] = container.size;
    m[QStringLiteral("APFSContainerFree")] = w.containerFree(s, container);
    m[QStringLiteral("APFSPhysicalStores")] =
        QVariantList{QVariantMap{{QStringLiteral("APFSPhysicalStore"), container.physicalStore}}};
}

QVariantMap wholeDiskInfo(const World &w, const State &s, const Disk &d)
{
    QVariantMap m;
    addDeviceKeys(m, s, d);
    const Disk &p = physicalOf(s, d);
    m[QStringLiteral("Bootable")] = false;
    m[QStringLiteral("Content")] = d.content;
    m[QStringLiteral("DeviceIdentifier")] = d.id;
    m[QStringLiteral("DeviceNode")] = QStringLiteral("/dev/") + d.id;
    m[QStringLiteral("DiskUUID")] = d.diskUUID;
    m[QStringLiteral("FreeSpace")] = qint64(0);
    m[QStringLiteral("IOKitSize")] = d.size;
    m[QStringLiteral("IORegistryEntryName")] = d.isContainer() ? QStringLiteral("AppleAPFSMedia") : p.registryName;
    m[QStringLiteral("MediaName")] = d.isContainer() ? QString() : p.mediaName;
    m[QStringLiteral("ParentWholeDisk")] = d.id;
    m[QStringLiteral("PartitionMapPartition")] = false;
    m[QStringLiteral("Size")] = d.size;
    m[QStringLiteral("TotalSize")] = d.size;
    m[QStringLiteral("WholeDisk")] = true;
    m[QStringLiteral("Writable")] = true;
    if (d.isContainer())
        addContainerKeys(m, w, s, d);
    if (d.isImage())
        m[QStringLiteral("DiskImagePath")] = d.imagePath;
    return m;
}

QVariantMap nodeInfo(const World &w, const State &s, const Disk &d, const Node &n)
{
    QVariantMap m;
    addDeviceKeys(m, s, d);
    const qint64 size = World::capacity(s, d, n);
    m[QStringLiteral("Bootable")] = n.volume && n.volume->boot;
    m[QStringLiteral("Content")] = n.content;
    m[QStringLiteral("DeviceIdentifier")] = n.id;
    m[QStringLiteral("DeviceNode")] = QStringLiteral("/dev/") + n.id;
    m[QStringLiteral("DiskUUID")] = n.diskUUID;
    m[QStringLiteral("IOKitSize")] = size;
    m[QStringLiteral("MediaName")] = QString();
    m[QStringLiteral("ParentWholeDisk")] = d.id;
    m[QStringLiteral("PartitionMapPartition")] = !d.isContainer();
    m[QStringLiteral("Size")] = size;
    m[QStringLiteral("TotalSize")] = size;
    m[QStringLiteral("WholeDisk")] = false;
    if (const Disk *c = s.containerOf(n))
        m[QStringLiteral("APFSContainerReference")] = c->id;

    if (!n.volume) {
        m[QStringLiteral("FreeSpace")] = qint64(0);
        m[QStringLiteral("IORegistryEntryName")] = n.content;
        m[QStringLiteral("Writable")] = false;
        if (n.content == QLatin1String("EFI")) {
            m[QStringLiteral("VolumeName")] = QStringLiteral("EFI");
            m[QStringLiteral("FilesystemName")] = QStringLiteral("MS-DOS FAT32");
            m[QStringLiteral("FilesystemType")] = QStringLiteral("msdos");
            m[QStringLiteral("FilesystemUserVisibleName")] = QStringLiteral("MS-DOS (FAT32)");
        }
        return m;
    }
    const Volume &v = *n.volume;
    const std::optional<FileSystemKind> kind = fileSystemNamed(v.fs);
    m[QStringLiteral("FilesystemName")] = v.fs;
    m[QStringLiteral("FilesystemType")] = kind ? kind->type : v.fs.toLower();
    m[QStringLiteral("FilesystemUserVisibleName")] = v.fs;
    m[QStringLiteral("FreeSpace")] = w.freeBytes(s, d, n);
    m[QStringLiteral("GlobalPermissionsEnabled")] = true;
    m[QStringLiteral("IORegistryEntryName")] = v.name;
    if (v.mounted)
        m[QStringLiteral("MountPoint")] = w.mountPoint(v);
    m[QStringLiteral("VolumeAllocationBlockSize")] = qint64(4096);
    m[QStringLiteral("VolumeName")] = v.name;
    m[QStringLiteral("VolumeSize")] = size;
    m[QStringLiteral("VolumeUUID")] = v.uuid;
    m[QStringLiteral("Writable")] = v.writable;
    m[QStringLiteral("WritableVolume")] = v.writable;
    if (d.isContainer()) {
        addContainerKeys(m, w, s, d);
        if (!v.role.isEmpty())
            m[QStringLiteral("APFSVolumeRoles")] = QVariantList{v.role};
    }
    return m;
}

QVariantMap listEntry(const State &s, const Disk &d)
{
    const Disk &p = physicalOf(s, d);
    QVariantMap m{{QStringLiteral("DeviceIdentifier"), d.id},
                  {QStringLiteral("Content"), d.content},
                  {QStringLiteral("Size"), d.size},
                  {QStringLiteral("OSInternal"), p.internal}};
    QVariantList children;
    for (const Node &n : d.nodes) {
        QVariantMap c{{QStringLiteral("DeviceIdentifier"), n.id},
                      {QStringLiteral("Content"), n.content},
                      {QStringLiteral("DiskUUID"), n.diskUUID},
                      {QStringLiteral("Size"), d.isContainer() ? d.size : n.size}};
        if (n.volume) {
            c[QStringLiteral("VolumeName")] = n.volume->name;
            c[QStringLiteral("VolumeUUID")] = n.volume->uuid;
            if (n.volume->mounted)
                c[QStringLiteral("MountPoint")] = QString(); // filled by the caller, which knows the world
        } else if (n.content == QLatin1String("EFI")) {
            c[QStringLiteral("VolumeName")] = QStringLiteral("EFI");
        }
        if (d.isContainer())
            c[QStringLiteral("OSInternal")] = p.internal;
        children.append(c);
    }
    if (d.isContainer()) {
        m[QStringLiteral("APFSPhysicalStores")] =
            QVariantList{QVariantMap{{QStringLiteral("DeviceIdentifier"), d.physicalStore}}};
        m[QStringLiteral("APFSVolumes")] = children;
    } else {
        m[QStringLiteral("Partitions")] = children;
    }
    return m;
}

QString sizeText(qint64 bytes)
{
    const char *units[] = {"B", "KB", "MB", "GB", "TB"};
    double v = double(bytes);
    int u = 0;
    while (v >= 1000 && u < 4) {
        v /= 1000;
        ++u;
    }
    return u == 0 ? QStringLiteral("%1 B").arg(bytes)
                  : QStringLiteral("%1 %2").arg(v, 0, 'f', 1).arg(QLatin1String(units[u]));
}

} // namespace

QVariantMap info(const World &w, const State &s, const Ref &ref)
{
    const Disk *d = s.disk(ref.disk);
    if (!d)
        return {};
    if (ref.isWholeDisk())
        return wholeDiskInfo(w, s, *d);
    for (const Node &n : d->nodes)
        if (n.id == ref.node)
            return nodeInfo(w, s, *d, n);
    return {};
}

QVariantMap list(const World &w, const State &s, const std::optional<Ref> &only)
{
    QVariantList allDisks, whole, volumes, entries;
    for (const Disk *d : sortedDisks(s, only)) {
        allDisks.append(d->id);
        whole.append(d->id);
        QVariantMap entry = listEntry(s, *d);
        const QString childKey = d->isContainer() ? QStringLiteral("APFSVolumes") : QStringLiteral("Partitions");
        QVariantList children = entry.value(childKey).toList();
        for (int i = 0; i < int(d->nodes.size()); ++i) {
            const Node &n = d->nodes[size_t(i)];
            allDisks.append(n.id);
            if (n.volume && n.volume->mounted) {
                volumes.append(n.volume->name);
                QVariantMap c = children[i].toMap();
                c[QStringLiteral("MountPoint")] = w.mountPoint(*n.volume);
                children[i] = c;
            }
        }
        entry[childKey] = children;
        entries.append(entry);
    }
    return {{QStringLiteral("AllDisks"), allDisks},
            {QStringLiteral("AllDisksAndPartitions"), entries},
            {QStringLiteral("VolumesFromDisks"), volumes},
            {QStringLiteral("WholeDisks"), whole}};
}

QString infoText(const QVariantMap &info)
{
    QString out;
    QTextStream t(&out);
    for (auto it = info.constBegin(); it != info.constEnd(); ++it) {
        const QVariant &v = it.value();
        QString text;
        if (v.typeId() == QMetaType::Bool)
            text = v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
        else if (v.typeId() == QMetaType::QVariantList)
            continue;
        else
            text = v.toString();
        t << "   " << it.key() << ": " << text << "\n";
    }
    return out;
}

QString listText(const World &w, const State &s, const std::optional<Ref> &only)
{
    QString out;
    QTextStream t(&out);
    for (const Disk *d : sortedDisks(s, only)) {
        const Disk &p = physicalOf(s, *d);
        QString kind = p.internal ? QStringLiteral("internal") : QStringLiteral("external");
        kind += (d->isVirtual || d->isContainer()) ? QStringLiteral(", virtual") : QStringLiteral(", physical");
        t << "/dev/" << d->id << " (" << kind << "):\n";
        t << QStringLiteral("   #: %1 %2 %3 %4\n")
                 .arg(QStringLiteral("TYPE"), -28)
                 .arg(QStringLiteral("NAME"), -24)
                 .arg(QStringLiteral("SIZE"), 10)
                 .arg(QStringLiteral("IDENTIFIER"));
        t << QStringLiteral("   0: %1 %2 %3 %4\n")
                 .arg(d->content, -28)
                 .arg(QString(), -24)
                 .arg(sizeText(d->size), 10)
                 .arg(d->id);
        int i = 1;
        for (const Node &n : d->nodes) {
            const QString name = n.volume ? n.volume->name : QString();
            const QString type = n.volume && d->isContainer() ? QStringLiteral("APFS Volume") : n.content;
            const qint64 size = n.volume ? (d->isContainer() ? w.usedBytes(*n.volume) : n.size) : n.size;
            t << QStringLiteral("%1: %2 %3 %4 %5\n")
                     .arg(i++, 4)
                     .arg(type, -28)
                     .arg(name, -24)
                     .arg(sizeText(size), 10)
                     .arg(n.id);
        }
        t << "\n";
    }
    return out;
}

} // namespace Platform::DiskWorld::DiskInfo
