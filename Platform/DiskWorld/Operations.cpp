#include "Operations.h"
#include "DiskImage.h"
#include "FileSystemKind.h"
#include "FolderTree.h"
#include "WorldBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstring>

namespace Platform::DiskWorld::Operations {
namespace {

const QString kContainerContent = QStringLiteral("EF57347C-0000-11AA-AA11-00306543ECAC");
const QString kApfsVolumeContent = QStringLiteral("41504653-0000-11AA-AA11-00306543ECAC");

Outcome done(const QString &output) { return Outcome{true, output, {}}; }

// The smallest partition a volume is made on or shrunk to.
constexpr qint64 kSmallestVolume = qint64(1) << 20;
Outcome failed(const QString &error) { return Outcome{false, {}, error}; }

// Runs one change and turns it into an outcome.
Outcome changeWorld(const World &w, const std::function<bool(Change &, QString &output)> &fn)
{
    QString output, error;
    if (!w.change([&](Change &c) { return fn(c, output); }, &error))
        return failed(error);
    return done(output);
}

Volume *volumeOf(State &s, const Ref &r)
{
    Node *n = r.isWholeDisk() ? nullptr : s.node(r.node);
    return n && n->volume ? &*n->volume : nullptr;
}

// The startup disk with everything on it is never erased, unmounted or ejected.
bool holdsStartup(const State &s, const Disk &d)
{
    const Disk *physical = s.physicalDisk(d);
    if (!physical)
        return false;
    for (const Disk *member : s.family(*physical))
        for (const Node &n : member->nodes)
            if (n.volume && n.volume->boot)
                return true;
    return false;
}

std::optional<Ref> find(Change &c, const QString &identifier)
{
    std::optional<Ref> r = c.world.resolve(c.state, identifier);
    if (!r)
        c.fail(QStringLiteral("Could not find disk: %1").arg(identifier));
    return r;
}

// Runs one change on what an identifier names; an identifier that names
// nothing fails the change with the tool's own message.
Outcome onRef(const World &w, const QString &identifier,
              const std::function<bool(Change &, const Ref &, QString &output)> &fn)
{
    return changeWorld(w, [&](Change &c, QString &out) {
        const std::optional<Ref> r = find(c, identifier);
        return r && fn(c, *r, out);
    });
}

// The same for a verb that works on a volume: noVolume is its message (%1 the
// identifier) when the identifier names a disk or partition without one.
Outcome onVolume(const World &w, const QString &identifier, const QString &noVolume,
                 const std::function<bool(Change &, const Ref &, Volume &, QString &output)> &fn)
{
    return onRef(w, identifier, [&](Change &c, const Ref &r, QString &out) {
        Volume *v = volumeOf(c.state, r);
        if (!v)
            return c.fail(noVolume.arg(identifier));
        return fn(c, r, *v, out);
    });
}

// The same for a verb that works on the physical disk under what the identifier names.
Outcome onPhysicalDisk(const World &w, const QString &identifier,
                       const std::function<bool(Change &, const Disk &physical, QString &output)> &fn)
{
    return onRef(w, identifier, [&](Change &c, const Ref &r, QString &out) {
        const Disk *physical = c.state.physicalDisk(*c.state.disk(r.disk));
        if (!physical)
            return c.fail(QStringLiteral("the disk of %1 is not there").arg(identifier));
        return fn(c, *physical, out);
    });
}

QString schemeNamed(const QString &scheme)
{
    const QString s = scheme.toUpper();
    if (s.isEmpty() || s.startsWith(QLatin1String("GPT")))
        return QStringLiteral("GUID_partition_scheme");
    if (s.startsWith(QLatin1String("MBR")))
        return QStringLiteral("FDisk_partition_scheme");
    if (s.startsWith(QLatin1String("APM")))
        return QStringLiteral("Apple_partition_scheme");
    return {};
}

Volume newVolume(const QString &name, const FileSystemKind &kind)
{
    return Volume{name, kind.name, newUUID(), {}, false, kind.writable, false, {}, {}};
}

// Gives a volume that is in the state (unmounted, no folder yet) its folder
// and mounts it under a free name.
bool makeAndMount(Change &c, Volume &v)
{
    v.mounted = false;
    if (!c.createContent(v))
        return false;
    return c.mount(v);
}

// Discards every volume of a container and removes it from the state.
bool dropContainer(Change &c, const QString &containerId)
{
    Disk *container = c.state.disk(containerId);
    if (!container)
        return true;
    for (Node &n : container->nodes)
        if (n.volume && !c.discard(c.world.contentPath(*n.volume)))
            return false;
    auto &disks = c.state.disks;
    disks.erase(std::remove_if(disks.begin(), disks.end(), [&](const Disk &d) { return d.id == containerId; }),
                disks.end());
    return true;
}

// Turns a partition into an APFS physical store with a new container of one volume.
Volume *makeContainer(Change &c, const QString &diskId, const QString &storeId, const QString &name)
{
    Disk container;
    container.id = c.state.freeDiskId();
    Disk *physical = c.state.disk(diskId);
    Node *store = c.state.node(storeId);
    container.bus = physical->bus;
    container.registryName = QStringLiteral("AppleAPFSMedia");
    container.content = kContainerContent;
    container.diskUUID = newUUID();
    container.size = store->size;
    container.internal = physical->internal;
    container.ejectable = physical->ejectable;
    container.solidState = physical->solidState;
    container.physicalStore = storeId;
    Node n{container.id + QStringLiteral("s1"), kApfsVolumeContent, newUUID(), 0, {}, {}};
    n.volume = newVolume(name, *fileSystemNamed(QStringLiteral("APFS")));
    container.nodes.push_back(n);
    store->content = QStringLiteral("Apple_APFS");
    store->container = container.id;
    store->volume.reset();
    c.state.disks.push_back(container);
    return &*c.state.disks.back().nodes.back().volume;
}

QString eraseName(const QString &name) { return name.isEmpty() ? QStringLiteral("Untitled") : name; }

bool checkName(Change &c, const QString &name, const FileSystemKind &kind)
{
    QString err;
    if (!validVolumeName(name, kind, &err))
        return c.fail(err);
    return true;
}

QString sizeText(qint64 bytes) { return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1); }

// Takes a physical disk and its containers out of the disks, unmounting
// every volume; returns them in order (the disk first).
std::optional<std::vector<Disk>> takeOut(Change &c, const QString &physicalId)
{
    const Disk *physical = c.state.disk(physicalId);
    std::vector<QString> ids;
    for (const Disk *d : c.state.family(*physical))
        ids.push_back(d->id);
    for (const QString &id : ids)
        for (Node &n : c.state.disk(id)->nodes)
            if (n.volume && !c.unmount(*n.volume))
                return std::nullopt;
    std::vector<Disk> out;
    for (const QString &id : ids)
        out.push_back(*c.state.disk(id));
    auto &disks = c.state.disks;
    disks.erase(std::remove_if(disks.begin(), disks.end(),
                               [&](const Disk &d) { return std::find(ids.begin(), ids.end(), d.id) != ids.end(); }),
                disks.end());
    return out;
}

// Puts disks taken out back in under fresh BSD names, mounting what plugging in mounts.
QStringList putBack(Change &c, std::vector<Disk> family, bool mountAll)
{
    QStringList ids;
    std::map<QString, QString> renamed; // old id → new id
    for (Disk &d : family) {
        const QString old = d.id;
        d.id = c.state.freeDiskId();
        renamed[old] = d.id;
        for (Node &n : d.nodes)
            n.id = d.id + n.id.mid(old.size());
        c.state.disks.push_back(d);
        ids << d.id;
    }
    auto rename = [&](const QString &nodeId) {
        const QString disk = nodeId.left(nodeId.indexOf(QLatin1Char('s'), 4));
        const auto it = renamed.find(disk);
        return it == renamed.end() ? nodeId : it->second + nodeId.mid(disk.size());
    };
    for (const QString &id : ids) {
        Disk &d = *c.state.disk(id);
        if (d.isContainer())
            d.physicalStore = rename(d.physicalStore);
        for (Node &n : d.nodes)
            if (!n.container.isEmpty())
                n.container = renamed.count(n.container) ? renamed[n.container] : n.container;
    }
    for (const QString &id : ids)
        for (Node &n : c.state.disk(id)->nodes)
            if (n.volume && (mountAll || !staysUnmounted(*n.volume)))
                c.mount(*n.volume);
    return ids;
}

} // namespace

bool staysUnmounted(const Volume &v)
{
    static const QStringList hidden = {QStringLiteral("Preboot"), QStringLiteral("Recovery"), QStringLiteral("VM"),
                                       QStringLiteral("Update"),  QStringLiteral("Hardware"), QStringLiteral("xART")};
    return hidden.contains(v.role);
}

Outcome renameVolume(const World &w, const QString &identifier, const QString &newName)
{
    return onVolume(w, identifier, QStringLiteral("%1 does not hold a volume that could be renamed"),
                    [&](Change &c, const Ref &r, Volume &v, QString &out) {
                        const std::optional<FileSystemKind> kind = fileSystemNamed(v.fs);
                        if (!kind)
                            return c.fail(
                                QStringLiteral("%1 has a file system that cannot be renamed").arg(identifier));
                        if (!checkName(c, newName, *kind))
                            return false;
                        if (!v.writable)
                            return c.fail(QStringLiteral("%1 is read-only and cannot be renamed").arg(v.name));
                        const QString oldName = v.name;
                        QString folderName = newName;
                        folderName.replace(QLatin1Char('/'), QLatin1Char(':'));
                        if (v.mounted && v.mountName != folderName) {
                            // The folder keeps its own name out of the way of the free-name search.
                            const QString oldMount = v.mountName;
                            v.mountName.clear();
                            v.mounted = false;
                            const QString mountName = c.freeMountName(newName);
                            v.mounted = true;
                            v.mountName = oldMount;
                            if (!c.move(c.world.volumesDir() + QLatin1Char('/') + oldMount,
                                        c.world.volumesDir() + QLatin1Char('/') + mountName))
                                return c.fail(QStringLiteral("cannot rename %1: %2").arg(oldName, c.error()));
                            v.mountName = mountName;
                        }
                        v.name = newName;
                        out = QStringLiteral("Volume on %1 renamed to %2\n").arg(r.node, newName);
                        return true;
                    });
}

Outcome eraseVolume(const World &w, const QString &type, const QString &name, const QString &identifier)
{
    return changeWorld(w, [&](Change &c, QString &out) {
        const std::optional<FileSystemKind> kind = fileSystemNamed(type);
        if (!kind)
            return c.fail(QStringLiteral("%1 does not appear to be a valid file system format").arg(type));
        const QString newName = eraseName(name);
        if (!checkName(c, newName, *kind))
            return false;
        const std::optional<Ref> r = find(c, identifier);
        if (!r)
            return false;
        if (r->isWholeDisk())
            return c.fail(QStringLiteral("%1 is a whole disk; eraseVolume erases one volume").arg(identifier));
        Disk *disk = c.state.disk(r->disk);
        if (holdsStartup(c.state, *disk))
            return c.fail(QStringLiteral("%1 is on the startup disk and in use").arg(identifier));
        Node *node = c.state.node(r->node);
        if (node->content == QLatin1String("EFI"))
            return c.fail(QStringLiteral("%1 is an EFI system partition").arg(identifier));
        const QString oldName = node->volume ? node->volume->name : node->id;
        Volume *fresh = nullptr;
        if (disk->isContainer()) {
            if (kind->isAPFS()) {
                // An APFS volume is erased in place, inside its container.
                if (!c.discard(c.world.contentPath(*node->volume)))
                    return false;
                node->volume = newVolume(newName, *kind);
                fresh = &*node->volume;
            } else {
                if (disk->nodes.size() > 1)
                    return c.fail(QStringLiteral("the APFS container of %1 holds other volumes").arg(identifier));
                const QString storeId = disk->physicalStore;
                if (!dropContainer(c, disk->id))
                    return false;
                Node *store = c.state.node(storeId);
                store->content = kind->partitionType;
                store->container.clear();
                store->volume = newVolume(newName, *kind);
                fresh = &*store->volume;
            }
        } else {
            const QString diskId = disk->id;
            const QString nodeId = node->id;
            if (!node->container.isEmpty() && !dropContainer(c, node->container))
                return false;
            node = c.state.node(nodeId);
            if (node->volume && !c.discard(c.world.contentPath(*node->volume)))
                return false;
            node->container.clear();
            if (kind->isAPFS()) {
                fresh = makeContainer(c, diskId, nodeId, newName);
            } else {
                node->content = kind->partitionType;
                node->volume = newVolume(newName, *kind);
                fresh = &*node->volume;
            }
        }
        if (!makeAndMount(c, *fresh))
            return false;
        QTextStream t(&out);
        t << "Started erase on " << r->node << " " << oldName << "\n"
          << "Unmounting disk\nErasing\n"
          << "Initialized as a " << kind->name << " volume with name " << newName << "\n"
          << "Mounting disk\n"
          << "Finished erase on " << r->node << " " << newName << "\n";
        return true;
    });
}

Outcome eraseDisk(const World &w, const QString &fs, const QString &name, const QString &scheme,
                  const QString &identifier)
{
    return changeWorld(w, [&](Change &c, QString &out) {
        const std::optional<FileSystemKind> kind = fileSystemNamed(fs);
        if (!kind)
            return c.fail(QStringLiteral("%1 does not appear to be a valid file system format").arg(fs));
        const QString newName = eraseName(name);
        if (!checkName(c, newName, *kind))
            return false;
        const QString partitionScheme = schemeNamed(scheme);
        if (partitionScheme.isEmpty())
            return c.fail(QStringLiteral("%1 is not a partition scheme").arg(scheme));
        const std::optional<Ref> r = find(c, identifier);
        if (!r)
            return false;
        Disk *disk = c.state.disk(r->disk);
        if (disk->isContainer())
            return c.fail(QStringLiteral("%1 is an APFS container; erase the disk it lives on").arg(identifier));
        if (holdsStartup(c.state, *disk))
            return c.fail(QStringLiteral("%1 holds the startup volume and cannot be erased").arg(identifier));
        const QString diskId = disk->id;
        // Everything on the disk goes, its containers too.
        for (const Node &n : disk->nodes)
            if (!n.container.isEmpty() && !dropContainer(c, n.container))
                return false;
        disk = c.state.disk(diskId);
        for (const Node &n : disk->nodes)
            if (n.volume && !c.discard(c.world.contentPath(*n.volume)))
                return false;
        disk->nodes.clear();
        disk->content = partitionScheme;
        qint64 left = disk->size;
        int index = 1;
        if (partitionScheme == QLatin1String("GUID_partition_scheme")) {
            const qint64 efi = efiPartitionSize(disk->size);
            disk->nodes.push_back(Node{
                diskId + QLatin1Char('s') + QString::number(index++), QStringLiteral("EFI"), newUUID(), efi, {}, {}});
            left -= efi + 20480;
        } else {
            left -= 1 << 20;
        }
        if (left < 1 << 20)
            return c.fail(QStringLiteral("%1 is too small to be erased").arg(identifier));
        const QString mainId = diskId + QLatin1Char('s') + QString::number(index);
        disk->nodes.push_back(Node{mainId, kind->partitionType, newUUID(), left & ~qint64(4095), {}, {}});
        Volume *fresh = nullptr;
        if (kind->isAPFS()) {
            fresh = makeContainer(c, diskId, mainId, newName);
        } else {
            c.state.node(mainId)->volume = newVolume(newName, *kind);
            fresh = &*c.state.node(mainId)->volume;
        }
        if (!makeAndMount(c, *fresh))
            return false;
        QTextStream t(&out);
        t << "Started erase on " << diskId << "\n"
          << "Unmounting disk\nCreating the partition map\nWaiting for partitions to activate\n"
          << "Formatting " << mainId << " as " << kind->name << " with name " << newName << "\n"
          << "Initialized a " << sizeText(left) << " volume\n"
          << "Mounting disk\n"
          << "Finished erase on " << diskId << "\n";
        return true;
    });
}

Outcome reformatVolume(const World &w, const QString &identifier)
{
    return onVolume(
        w, identifier, QStringLiteral("%1 does not hold a volume"),
        [&](Change &c, const Ref &r, Volume &v, QString &out) {
            if (holdsStartup(c.state, *c.state.disk(r.disk)))
                return c.fail(QStringLiteral("%1 is on the startup disk and in use").arg(identifier));
            if (!c.eraseContent(v, newUUID()))
                return false;
            out = QStringLiteral("Started erase on %1 %2\nErasing\nFinished erase on %1 %2\n").arg(r.node, v.name);
            return true;
        });
}

std::optional<qint64> sizeNamed(const QString &text)
{
    struct Unit {
        const char *suffix;
        qint64 bytes;
    };
    static const Unit units[] = {{"KiB", 1LL << 10},
                                 {"MiB", 1LL << 20},
                                 {"GiB", 1LL << 30},
                                 {"TiB", 1LL << 40},
                                 {"KB", 1000LL},
                                 {"MB", 1000000LL},
                                 {"GB", 1000000000LL},
                                 {"TB", 1000000000000LL},
                                 {"K", 1000LL},
                                 {"M", 1000000LL},
                                 {"G", 1000000000LL},
                                 {"T", 1000000000000LL},
                                 {"B", 1}};
    QString digits = text;
    qint64 unit = 1;
    for (const Unit &u : units)
        if (digits.endsWith(QLatin1String(u.suffix), Qt::CaseInsensitive)) {
            unit = u.bytes;
            digits.chop(qsizetype(strlen(u.suffix)));
            break;
        }
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    // Whole and fractional digits, counted exactly: a size must come to whole bytes.
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? digits : digits.left(point);
    const QString fraction = point < 0 ? QString() : digits.mid(point + 1);
    for (const QString &part : {whole, fraction})
        for (const QChar ch : part)
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return std::nullopt;
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    __int128 scale = 1, numerator = 0;
    for (const QChar ch : fraction) {
        scale *= 10;
        numerator = numerator * 10 + (ch.unicode() - '0');
    }
    const __int128 bytes = __int128(whole.isEmpty() ? 0 : whole.toLongLong()) * unit;
    if (numerator * unit % scale != 0)
        return std::nullopt;
    const __int128 total = bytes + numerator * unit / scale;
    if (total <= 0 || total >= __int128(9'000'000'000'000'000'000LL))
        return std::nullopt;
    return qint64(total);
}

Outcome resizeVolume(const World &w, const QString &identifier, const QString &size, const QString &fs,
                     const QString &name, const QString &newSize)
{
    return changeWorld(w, [&](Change &c, QString &out) {
        const std::optional<qint64> shrinkTo = sizeNamed(size);
        if (!shrinkTo)
            return c.fail(QStringLiteral("%1 is not a size").arg(size));
        const std::optional<qint64> added = sizeNamed(newSize);
        if (!added)
            return c.fail(QStringLiteral("%1 is not a size").arg(newSize));
        const std::optional<FileSystemKind> kind = fileSystemNamed(fs);
        if (!kind || kind->isAPFS())
            return c.fail(QStringLiteral("%1 is not a file system for a new partition here").arg(fs));
        if (!checkName(c, name, *kind))
            return false;
        const std::optional<Ref> r = find(c, identifier);
        if (!r)
            return false;
        Disk *disk = c.state.disk(r->disk);
        if (r->isWholeDisk() || disk->isContainer() || disk->content.isEmpty() || disk->nodes.empty())
            return c.fail(QStringLiteral("%1 is not a partition of a partitioned whole disk").arg(identifier));
        // An image's file keeps one volume: a partition added to it would be lost at its eject.
        if (disk->isImage())
            return c.fail(QStringLiteral("%1 is on a disk image, whose partitions cannot be changed").arg(identifier));
        if (disk->content == QLatin1String("FDisk_partition_scheme") && disk->nodes.size() >= 4)
            return c.fail(
                QStringLiteral("%1 already holds the four partitions a master boot record has room for").arg(disk->id));
        if (holdsStartup(c.state, *disk))
            return c.fail(QStringLiteral("%1 is on the startup disk and in use").arg(identifier));
        Node *node = c.state.node(r->node);
        if (node->content == QLatin1String("EFI"))
            return c.fail(QStringLiteral("%1 is an EFI system partition").arg(identifier));
        if (node->volume && !node->volume->writable)
            return c.fail(QStringLiteral("%1 holds a read-only %2 volume, which cannot be resized")
                              .arg(identifier, node->volume->fs));
        // What the partition holds now: its volume's files, or an APFS container's.
        qint64 used = 0;
        Disk *container = node->container.isEmpty() ? nullptr : c.state.disk(node->container);
        if (container)
            used = container->size - c.world.containerFree(c.state, *container);
        else if (node->volume)
            used = c.world.usedBytes(*node->volume);
        if (*shrinkTo >= node->size)
            return c.fail(
                QStringLiteral("%1 is %2 bytes; it can only be made smaller").arg(identifier).arg(node->size));
        if (*shrinkTo < used)
            return c.fail(QStringLiteral("the data on %1 (%2 bytes) would not fit in %3 bytes")
                              .arg(identifier)
                              .arg(used)
                              .arg(*shrinkTo));
        if (*added > node->size - *shrinkTo)
            return c.fail(QStringLiteral("a partition of %1 bytes does not fit in the %2 bytes the shrink frees")
                              .arg(*added)
                              .arg(node->size - *shrinkTo));
        // Neither partition may end up below the smallest volume a file system takes.
        for (const qint64 partition : {*shrinkTo, *added})
            if (partition < kSmallestVolume)
                return c.fail(QStringLiteral("a partition of %1 bytes is too small for a volume").arg(partition));
        const QString diskId = disk->id;
        const QString nodeId = node->id;
        node->size = *shrinkTo;
        if (container)
            container->size = *shrinkTo;
        int index = 0;
        for (const Node &n : disk->nodes)
            index = std::max(index, n.id.mid(diskId.size() + 1).toInt());
        Node fresh{
            diskId + QLatin1Char('s') + QString::number(index + 1), kind->partitionType, newUUID(), *added, {}, {}};
        fresh.volume = newVolume(name, *kind);
        const auto at =
            std::find_if(disk->nodes.begin(), disk->nodes.end(), [&](const Node &n) { return n.id == nodeId; });
        const QString freshId = fresh.id;
        disk->nodes.insert(at + 1, fresh);
        Volume &v = *c.state.node(freshId)->volume;
        if (!makeAndMount(c, v))
            return false;
        QTextStream t(&out);
        t << "Resizing " << nodeId << " to " << *shrinkTo << " bytes\n"
          << "Adding partition " << freshId << " of " << *added << " bytes\n"
          << "Initialized " << freshId << " as a " << kind->name << " volume with name " << name << "\n"
          << "Mounting disk\n"
          << "Finished partitioning on " << diskId << "\n";
        return true;
    });
}

Outcome eject(const World &w, const QString &identifier)
{
    return onPhysicalDisk(w, identifier, [&](Change &c, const Disk &physical, QString &out) {
        if (holdsStartup(c.state, physical))
            return c.fail(QStringLiteral("%1 holds the startup volume and cannot be ejected").arg(identifier));
        if (!physical.ejectable)
            return c.fail(QStringLiteral("%1 is not ejectable").arg(identifier));
        const QString id = physical.id;
        const QString imagePath = physical.imagePath;
        // An image file on a world volume grows only into that volume's free space.
        qint64 room = -1;
        if (!imagePath.isEmpty())
            if (const std::optional<Ref> holder = c.world.volumeHolding(c.state, imagePath)) {
                const Node *n = c.state.node(holder->node);
                room = n->volume->writable ? c.world.freeBytes(c.state, *c.state.disk(holder->disk), *n) : 0;
            }
        std::optional<std::vector<Disk>> family = takeOut(c, id);
        if (!family)
            return false;
        bool gone = false;
        if (imagePath.isEmpty()) {
            c.state.unplugged.insert(c.state.unplugged.end(), family->begin(), family->end());
        } else {
            // A disk image goes back into its file while the world holds
            // still; if that cannot be written the disk stays attached. An
            // image whose file has gone (its disk unplugged) has nowhere to
            // go back to: it is taken out as a disk whose medium went away.
            QString error;
            const DiskImage::WriteBack written = DiskImage::writeBack(c.world, family->front(), room, &error);
            if (written == DiskImage::WriteBack::Failed)
                return c.fail(QStringLiteral("cannot write the image %1 back: %2").arg(imagePath, error));
            gone = written == DiskImage::WriteBack::Gone;
            for (const Disk &d : *family)
                for (const Node &n : d.nodes)
                    if (n.volume && !c.discard(c.world.contentPath(*n.volume)))
                        return false;
        }
        out = QStringLiteral("Disk %1 ejected\n").arg(id);
        if (gone)
            out += QStringLiteral("The image file %1 is gone; nothing was written back.\n").arg(imagePath);
        return true;
    });
}

Outcome mountDisk(const World &w, const QString &identifier)
{
    return onRef(w, identifier, [&](Change &c, const Ref &r, QString &out) {
        std::vector<QString> nodes;
        if (r.isWholeDisk()) {
            const Disk *d = c.state.disk(r.disk);
            const Disk *physical = d->isContainer() ? d : c.state.physicalDisk(*d);
            for (const Disk *member : d->isContainer() ? std::vector<const Disk *>{d} : c.state.family(*physical))
                for (const Node &n : member->nodes)
                    if (n.volume)
                        nodes.push_back(n.id);
        } else {
            const Node *n = c.state.node(r.node);
            if (const Disk *container = c.state.containerOf(*n)) {
                for (const Node &v : container->nodes)
                    nodes.push_back(v.id);
            } else if (n->volume) {
                nodes.push_back(n->id);
            } else {
                return c.fail(QStringLiteral("%1 holds no volume that could be mounted").arg(identifier));
            }
        }
        QTextStream t(&out);
        for (const QString &id : nodes) {
            Volume &v = *c.state.node(id)->volume;
            if (!c.mount(v))
                return false;
            t << "Volume " << v.name << " on " << id << " mounted\n";
        }
        if (r.isWholeDisk())
            t << "Volume(s) mounted successfully\n";
        return true;
    });
}

Outcome unmountDisk(const World &w, const QString &identifier)
{
    return onRef(w, identifier, [&](Change &c, const Ref &r, QString &out) {
        const Disk *d = c.state.disk(r.disk);
        if (holdsStartup(c.state, *d))
            return c.fail(QStringLiteral("Unmount of %1 failed: the startup volume is in use").arg(d->id));
        const std::vector<const Disk *> members = d->isContainer() ? std::vector<const Disk *>{d} : c.state.family(*d);
        std::vector<QString> ids;
        for (const Disk *m : members)
            ids.push_back(m->id);
        for (const QString &id : ids)
            for (Node &n : c.state.disk(id)->nodes)
                if (n.volume && !c.unmount(*n.volume))
                    return false;
        out = QStringLiteral("Unmount of all volumes on %1 was successful\n").arg(r.disk);
        return true;
    });
}

Outcome mountVolume(const World &w, const QString &identifier)
{
    return onVolume(w, identifier, QStringLiteral("%1 holds no volume that could be mounted"),
                    [&](Change &c, const Ref &r, Volume &v, QString &out) {
                        if (!c.mount(v))
                            return false;
                        out = QStringLiteral("Volume %1 on %2 mounted\n").arg(v.name, r.node);
                        return true;
                    });
}

Outcome unmountVolume(const World &w, const QString &identifier)
{
    return onVolume(w, identifier, QStringLiteral("%1 holds no volume"),
                    [&](Change &c, const Ref &r, Volume &v, QString &out) {
                        const QString name = v.name;
                        if (!c.unmount(v))
                            return false;
                        out = QStringLiteral("Volume %1 on %2 unmounted\n").arg(name, r.node);
                        return true;
                    });
}

Outcome unplug(const World &w, const QString &identifier)
{
    {
        const std::optional<State> s = w.load();
        const std::optional<Ref> r = s ? w.resolve(*s, identifier) : std::nullopt;
        const Disk *d = r ? s->disk(r->disk) : nullptr;
        const Disk *physical = d ? s->physicalDisk(*d) : nullptr;
        if (physical && physical->isImage())
            return eject(w, identifier);
    }
    return onPhysicalDisk(w, identifier, [&](Change &c, const Disk &physical, QString &out) {
        if (holdsStartup(c.state, physical))
            return c.fail(QStringLiteral("%1 holds the startup volume").arg(identifier));
        const QString id = physical.id;
        std::optional<std::vector<Disk>> family = takeOut(c, id);
        if (!family)
            return false;
        c.state.unplugged.insert(c.state.unplugged.end(), family->begin(), family->end());
        out = QStringLiteral("%1 unplugged\n").arg(id);
        return true;
    });
}

Outcome replug(const World &w, const QString &identifier)
{
    return changeWorld(w, [&](Change &c, QString &out) {
        auto &unplugged = c.state.unplugged;
        // Unplugged disks in groups: a disk, then the containers that lived on it.
        std::vector<std::pair<size_t, size_t>> groups; // first index, count
        for (size_t i = 0; i < unplugged.size(); ++i) {
            if (!unplugged[i].isContainer() || groups.empty())
                groups.emplace_back(i, 1);
            else
                ++groups.back().second;
        }
        auto matches = [&](const std::pair<size_t, size_t> &g) {
            const Disk &d = unplugged[g.first];
            if (d.registryName == identifier || d.mediaName == identifier || d.id == identifier ||
                d.diskUUID.compare(identifier, Qt::CaseInsensitive) == 0)
                return true;
            for (size_t i = g.first; i < g.first + g.second; ++i)
                for (const Node &n : unplugged[i].nodes)
                    if (n.volume &&
                        (n.volume->name == identifier || n.volume->uuid.compare(identifier, Qt::CaseInsensitive) == 0))
                        return true;
            return false;
        };
        // The most recent match: a disk unplugged last is the one plugged back.
        const auto found = std::find_if(groups.rbegin(), groups.rend(), matches);
        if (found == groups.rend())
            return c.fail(QStringLiteral("no unplugged disk is called %1").arg(identifier));
        const auto begin = unplugged.begin() + qsizetype(found->first);
        std::vector<Disk> family(begin, begin + qsizetype(found->second));
        unplugged.erase(begin, begin + qsizetype(found->second));
        const QStringList ids = putBack(c, family, false);
        out = ids.join(QLatin1Char(' ')) + QLatin1Char('\n');
        return true;
    });
}

} // namespace Platform::DiskWorld::Operations
