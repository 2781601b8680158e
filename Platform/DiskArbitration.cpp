#include "DiskArbitration.h"
#include "DiskWorld/FileSystemKind.h"
#include "DiskWorld/World.h"
#include "SystemRoot.h"

namespace Platform::DiskArbitration
{
namespace
{

using DiskWorld::FileSystemKind;
using DiskWorld::fileSystemNamed;
using DiskWorld::Node;
using DiskWorld::Ref;
using DiskWorld::State;
using DiskWorld::World;

QVariantMap describe(const World &w, const State &s, const Ref &r)
{
    const DiskWorld::Disk *d = s.disk(r.disk);
    const DiskWorld::Disk *physical = s.physicalDisk(*d);
    if (!physical)
        physical = d;
    QVariantMap m{{QLatin1String(DescriptionMediaBSDNameKey), r.isWholeDisk() ? r.disk : r.node},
                  {QLatin1String(DescriptionMediaNameKey), physical->mediaName},
                  {QLatin1String(DescriptionMediaEjectableKey), physical->ejectable},
                  {QLatin1String(DescriptionMediaRemovableKey), physical->ejectable},
                  {QLatin1String(DescriptionMediaWholeKey), r.isWholeDisk()},
                  {QLatin1String(DescriptionDeviceProtocolKey), physical->bus},
                  {QLatin1String(DescriptionDeviceInternalKey), physical->internal}};
    if (r.isWholeDisk()) {
        m.insert(QLatin1String(DescriptionMediaSizeKey), d->size);
        m.insert(QLatin1String(DescriptionMediaContentKey), d->content);
        m.insert(QLatin1String(DescriptionMediaUUIDKey), d->diskUUID);
        return m;
    }
    const Node *n = s.node(r.node);
    m.insert(QLatin1String(DescriptionMediaSizeKey), World::capacity(s, *d, *n));
    m.insert(QLatin1String(DescriptionMediaContentKey), n->content);
    m.insert(QLatin1String(DescriptionMediaUUIDKey), n->diskUUID);
    if (n->volume) {
        const std::optional<FileSystemKind> kind = fileSystemNamed(n->volume->fs);
        m.insert(QLatin1String(DescriptionVolumeNameKey), n->volume->name);
        m.insert(QLatin1String(DescriptionVolumeKindKey), kind ? kind->type : n->volume->fs.toLower());
        m.insert(QLatin1String(DescriptionVolumeUUIDKey), n->volume->uuid);
        if (n->volume->mounted)
            m.insert(QLatin1String(DescriptionVolumePathKey), w.mountPoint(*n->volume));
    }
    return m;
}

} // namespace

Session::Session() : m_root(systemRoot()) {}

Session::Session(const QString &root) : m_root(root) {}

std::optional<Disk> Session::diskForVolumePath(const QString &path) const
{
    const World w(m_root);
    if (path.isEmpty() || !w.exists())
        return std::nullopt;
    std::optional<Disk> out;
    w.inspect([&](const State &s) {
        if (const std::optional<Ref> r = w.volumeAtMountPoint(s, path))
            out = Disk(describe(w, s, *r));
    });
    return out;
}

std::optional<Disk> Session::diskForBSDName(const QString &bsdName) const
{
    const World w(m_root);
    if (bsdName.isEmpty() || !w.exists())
        return std::nullopt;
    std::optional<Disk> out;
    w.inspect([&](const State &s) {
        QString id = bsdName;
        if (id.startsWith(QLatin1String("/dev/")))
            id = id.mid(5);
        if (s.disk(id)) {
            out = Disk(describe(w, s, Ref{id, {}}));
        } else {
            const DiskWorld::Disk *owner = nullptr;
            if (s.node(id, &owner))
                out = Disk(describe(w, s, Ref{owner->id, id}));
        }
    });
    return out;
}

} // namespace Platform::DiskArbitration
