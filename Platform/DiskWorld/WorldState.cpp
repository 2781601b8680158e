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

QVariantList disksToVariant(const std::vector<Disk> &disks)
{
    QVariantList list;
    for (const Disk &d : disks)
        list.append(toVariant(d));
    return list;
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

Disk *State::disk(const QString &id) { return Core::findDisk(*this, id); }

const Disk *State::disk(const QString &id) const { return Core::findDisk(*this, id); }

Node *State::node(const QString &id, Disk **owner) { return Core::findNode(*this, id, owner); }

const Node *State::node(const QString &id, const Disk **owner) const { return Core::findNode(*this, id, owner); }

const Disk *State::containerOf(const Node &store) const { return Core::containerOf(*this, store); }

const Disk *State::physicalDisk(const Disk &d) const { return Core::physicalDisk(*this, d); }

std::vector<const Disk *> State::family(const Disk &physical) const { return Core::family(*this, physical); }

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

namespace {

QString text(const std::string &s) { return QString::fromStdString(s); }

Volume volumeFromCore(const Core::Volume &c)
{
    Volume v;
    v.name = text(c.name);
    v.fs = text(c.fs);
    v.uuid = text(c.uuid);
    v.mountName = text(c.mountName);
    v.mounted = c.mounted;
    v.writable = c.writable;
    v.boot = c.boot;
    v.role = text(c.role);
    for (const auto &[path, mode] : c.heldModes)
        v.heldModes.insert(QByteArray::fromStdString(path), mode);
    return v;
}

Disk diskFromCore(const Core::Disk &c)
{
    Disk d;
    d.id = text(c.id);
    d.bus = text(c.bus);
    d.registryName = text(c.registryName);
    d.mediaName = text(c.mediaName);
    d.content = text(c.content);
    d.diskUUID = text(c.diskUUID);
    d.size = c.size;
    d.internal = c.internal;
    d.ejectable = c.ejectable;
    d.isVirtual = c.isVirtual;
    d.solidState = c.solidState;
    d.imagePath = text(c.imagePath);
    d.imageIdentity = text(c.imageIdentity);
    d.imageSince = c.imageSince;
    d.physicalStore = text(c.physicalStore);
    for (const Core::Node &cn : c.nodes) {
        Node n;
        n.id = text(cn.id);
        n.content = text(cn.content);
        n.diskUUID = text(cn.diskUUID);
        n.size = cn.size;
        n.container = text(cn.container);
        if (cn.volume)
            n.volume = volumeFromCore(*cn.volume);
        d.nodes.push_back(std::move(n));
    }
    return d;
}

} // namespace

Core::Disk toCore(const Disk &d)
{
    Core::Disk c;
    c.id = d.id.toStdString();
    c.bus = d.bus.toStdString();
    c.registryName = d.registryName.toStdString();
    c.mediaName = d.mediaName.toStdString();
    c.content = d.content.toStdString();
    c.diskUUID = d.diskUUID.toStdString();
    c.size = d.size;
    c.internal = d.internal;
    c.ejectable = d.ejectable;
    c.isVirtual = d.isVirtual;
    c.solidState = d.solidState;
    c.imagePath = d.imagePath.toStdString();
    c.imageIdentity = d.imageIdentity.toStdString();
    c.imageSince = d.imageSince;
    c.physicalStore = d.physicalStore.toStdString();
    for (const Node &n : d.nodes)
        c.nodes.push_back(toCore(n));
    return c;
}

Core::Node toCore(const Node &n)
{
    Core::Node c;
    c.id = n.id.toStdString();
    c.content = n.content.toStdString();
    c.diskUUID = n.diskUUID.toStdString();
    c.size = n.size;
    c.container = n.container.toStdString();
    if (n.volume)
        c.volume = toCore(*n.volume);
    return c;
}

State fromCore(const Core::State &c)
{
    State s;
    s.consoleUser = text(c.consoleUser);
    s.serial = c.serial;
    for (const Core::Disk &d : c.disks)
        s.disks.push_back(diskFromCore(d));
    for (const Core::Disk &d : c.unplugged)
        s.unplugged.push_back(diskFromCore(d));
    return s;
}

Core::State toCore(const State &s)
{
    Core::State c;
    c.consoleUser = s.consoleUser.toStdString();
    c.serial = s.serial;
    for (const Disk &d : s.disks)
        c.disks.push_back(toCore(d));
    for (const Disk &d : s.unplugged)
        c.unplugged.push_back(toCore(d));
    return c;
}

Core::Volume toCore(const Volume &v)
{
    Core::Volume c;
    c.name = v.name.toStdString();
    c.fs = v.fs.toStdString();
    c.uuid = v.uuid.toStdString();
    c.mountName = v.mountName.toStdString();
    c.mounted = v.mounted;
    c.writable = v.writable;
    c.boot = v.boot;
    c.role = v.role.toStdString();
    for (auto it = v.heldModes.cbegin(); it != v.heldModes.cend(); ++it)
        c.heldModes[it.key().toStdString()] = it.value();
    return c;
}

QString newUUID() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

} // namespace Platform::DiskWorld
