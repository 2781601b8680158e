#include "WorldState.h"

#include <QUuid>
#include <set>

namespace Platform::DiskWorld {
namespace {

const QString kFormat = QStringLiteral("TarnwickDiskWorld");
constexpr int kFormatVersion = 1;

QVariantMap toVariant(const Volume &v)
{
    QVariantMap m{{QStringLiteral("Name"), v.name},       {QStringLiteral("FS"), v.fs},
                  {QStringLiteral("UUID"), v.uuid},       {QStringLiteral("MountName"), v.mountName},
                  {QStringLiteral("Mounted"), v.mounted}, {QStringLiteral("Writable"), v.writable},
                  {QStringLiteral("Boot"), v.boot},       {QStringLiteral("Role"), v.role}};
    if (!v.heldModes.isEmpty()) {
        // Paths are bytes: kept as data, never as text.
        QVariantList held;
        for (auto it = v.heldModes.cbegin(); it != v.heldModes.cend(); ++it)
            held.append(QVariantMap{{QStringLiteral("Path"), it.key()}, {QStringLiteral("Mode"), qint64(it.value())}});
        m.insert(QStringLiteral("HeldModes"), held);
    }
    return m;
}

Volume volumeFromVariant(const QVariantMap &m)
{
    Volume v;
    v.name = m.value(QStringLiteral("Name")).toString();
    v.fs = m.value(QStringLiteral("FS")).toString();
    v.uuid = m.value(QStringLiteral("UUID")).toString();
    v.mountName = m.value(QStringLiteral("MountName")).toString();
    v.mounted = m.value(QStringLiteral("Mounted")).toBool();
    v.writable = m.value(QStringLiteral("Writable"), true).toBool();
    v.boot = m.value(QStringLiteral("Boot")).toBool();
    v.role = m.value(QStringLiteral("Role")).toString();
    for (const QVariant &h : m.value(QStringLiteral("HeldModes")).toList()) {
        const QVariantMap e = h.toMap();
        v.heldModes.insert(e.value(QStringLiteral("Path")).toByteArray(),
                           quint32(e.value(QStringLiteral("Mode")).toLongLong()));
    }
    return v;
}

QVariantMap toVariant(const Node &n)
{
    QVariantMap m{{QStringLiteral("ID"), n.id},
                  {QStringLiteral("Content"), n.content},
                  {QStringLiteral("DiskUUID"), n.diskUUID},
                  {QStringLiteral("Size"), n.size},
                  {QStringLiteral("Container"), n.container}};
    if (n.volume)
        m.insert(QStringLiteral("Volume"), toVariant(*n.volume));
    return m;
}

Node nodeFromVariant(const QVariantMap &m)
{
    Node n;
    n.id = m.value(QStringLiteral("ID")).toString();
    n.content = m.value(QStringLiteral("Content")).toString();
    n.diskUUID = m.value(QStringLiteral("DiskUUID")).toString();
    n.size = m.value(QStringLiteral("Size")).toLongLong();
    n.container = m.value(QStringLiteral("Container")).toString();
    if (m.contains(QStringLiteral("Volume")))
        n.volume = volumeFromVariant(m.value(QStringLiteral("Volume")).toMap());
    return n;
}

QVariantList disksToVariant(const std::vector<Disk> &disks)
{
    QVariantList list;
    for (const Disk &d : disks)
        list.append(toVariant(d));
    return list;
}

std::vector<Disk> disksFromVariant(const QVariant &v)
{
    std::vector<Disk> disks;
    for (const QVariant &d : v.toList())
        disks.push_back(diskFromVariant(d.toMap()));
    return disks;
}

} // namespace

QVariantMap toVariant(const Disk &d)
{
    QVariantList nodes;
    for (const Node &n : d.nodes)
        nodes.append(toVariant(n));
    return {{QStringLiteral("ID"), d.id},
            {QStringLiteral("Bus"), d.bus},
            {QStringLiteral("RegistryName"), d.registryName},
            {QStringLiteral("MediaName"), d.mediaName},
            {QStringLiteral("Content"), d.content},
            {QStringLiteral("DiskUUID"), d.diskUUID},
            {QStringLiteral("Size"), d.size},
            {QStringLiteral("Internal"), d.internal},
            {QStringLiteral("Ejectable"), d.ejectable},
            {QStringLiteral("Virtual"), d.isVirtual},
            {QStringLiteral("SolidState"), d.solidState},
            {QStringLiteral("ImagePath"), d.imagePath},
            {QStringLiteral("ImageIdentity"), d.imageIdentity},
            {QStringLiteral("ImageSince"), d.imageSince},
            {QStringLiteral("PhysicalStore"), d.physicalStore},
            {QStringLiteral("Nodes"), nodes}};
}

Disk diskFromVariant(const QVariantMap &m)
{
    Disk d;
    d.id = m.value(QStringLiteral("ID")).toString();
    d.bus = m.value(QStringLiteral("Bus")).toString();
    d.registryName = m.value(QStringLiteral("RegistryName")).toString();
    d.mediaName = m.value(QStringLiteral("MediaName")).toString();
    d.content = m.value(QStringLiteral("Content")).toString();
    d.diskUUID = m.value(QStringLiteral("DiskUUID")).toString();
    d.size = m.value(QStringLiteral("Size")).toLongLong();
    d.internal = m.value(QStringLiteral("Internal")).toBool();
    d.ejectable = m.value(QStringLiteral("Ejectable")).toBool();
    d.isVirtual = m.value(QStringLiteral("Virtual")).toBool();
    d.solidState = m.value(QStringLiteral("SolidState")).toBool();
    d.imagePath = m.value(QStringLiteral("ImagePath")).toString();
    d.imageIdentity = m.value(QStringLiteral("ImageIdentity")).toString();
    d.imageSince = m.value(QStringLiteral("ImageSince")).toLongLong();
    d.physicalStore = m.value(QStringLiteral("PhysicalStore")).toString();
    for (const QVariant &n : m.value(QStringLiteral("Nodes")).toList())
        d.nodes.push_back(nodeFromVariant(n.toMap()));
    return d;
}

Disk *State::disk(const QString &id)
{
    for (Disk &d : disks)
        if (d.id == id)
            return &d;
    return nullptr;
}

const Disk *State::disk(const QString &id) const { return const_cast<State *>(this)->disk(id); }

Node *State::node(const QString &id, Disk **owner)
{
    for (Disk &d : disks)
        for (Node &n : d.nodes)
            if (n.id == id) {
                if (owner)
                    *owner = &d;
                return &n;
            }
    return nullptr;
}

const Node *State::node(const QString &id, const Disk **owner) const
{
    Disk *d = nullptr;
    const Node *n = const_cast<State *>(this)->node(id, &d);
    if (owner)
        *owner = d;
    return n;
}

const Disk *State::containerOf(const Node &store) const
{
    return store.container.isEmpty() ? nullptr : disk(store.container);
}

const Disk *State::physicalDisk(const Disk &d) const
{
    if (!d.isContainer())
        return &d;
    const Disk *owner = nullptr;
    if (node(d.physicalStore, &owner))
        return owner;
    return nullptr;
}

std::vector<const Disk *> State::family(const Disk &physical) const
{
    std::vector<const Disk *> out{&physical};
    for (const Node &n : physical.nodes)
        if (const Disk *c = containerOf(n))
            out.push_back(c);
    return out;
}

const Volume *State::bootVolume() const
{
    for (const Disk &d : disks)
        for (const Node &n : d.nodes)
            if (n.volume && n.volume->boot)
                return &*n.volume;
    return nullptr;
}

std::vector<std::pair<const Disk *, const Node *>> State::volumes() const
{
    std::vector<std::pair<const Disk *, const Node *>> out;
    for (const Disk &d : disks)
        for (const Node &n : d.nodes)
            if (n.volume)
                out.emplace_back(&d, &n);
    return out;
}

QString State::freeDiskId() const
{
    std::set<int> used;
    for (const Disk &d : disks)
        used.insert(d.id.mid(4).toInt());
    int n = 0;
    while (used.count(n))
        ++n;
    return QStringLiteral("disk") + QString::number(n);
}

QVariantMap State::toVariant() const
{
    return {{QStringLiteral("Format"), kFormat},
            {QStringLiteral("Version"), kFormatVersion},
            {QStringLiteral("ConsoleUser"), consoleUser},
            {QStringLiteral("Serial"), serial},
            {QStringLiteral("Disks"), disksToVariant(disks)},
            {QStringLiteral("Unplugged"), disksToVariant(unplugged)}};
}

std::optional<State> State::fromVariant(const QVariantMap &map, QString *error)
{
    if (map.value(QStringLiteral("Format")).toString() != kFormat ||
        map.value(QStringLiteral("Version")).toInt() != kFormatVersion) {
        if (error)
            *error = QStringLiteral("the world's state file is not one this program understands");
        return std::nullopt;
    }
    State s;
    s.consoleUser = map.value(QStringLiteral("ConsoleUser")).toString();
    s.serial = map.value(QStringLiteral("Serial")).toLongLong();
    s.disks = disksFromVariant(map.value(QStringLiteral("Disks")));
    s.unplugged = disksFromVariant(map.value(QStringLiteral("Unplugged")));
    return s;
}

QString newUUID() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

} // namespace Platform::DiskWorld
