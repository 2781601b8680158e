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
            {QStringLiteral("ImageFolder"), d.imageFolder},
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

// The fields of each record, named once for both directions: fields(to, from,
// copy) hands every pair of fields to copy.
template <typename To, typename From, typename Copy>
void volumeFields(To &to, const From &from, const Copy &copy)
{
    copy(to.name, from.name);
    copy(to.fs, from.fs);
    copy(to.uuid, from.uuid);
    copy(to.mountName, from.mountName);
    copy(to.mounted, from.mounted);
    copy(to.writable, from.writable);
    copy(to.boot, from.boot);
    copy(to.role, from.role);
    copy(to.heldModes, from.heldModes);
}

template <typename To, typename From, typename Copy>
void nodeFields(To &to, const From &from, const Copy &copy)
{
    copy(to.id, from.id);
    copy(to.content, from.content);
    copy(to.diskUUID, from.diskUUID);
    copy(to.size, from.size);
    copy(to.container, from.container);
    copy(to.volume, from.volume);
}

template <typename To, typename From, typename Copy>
void diskFields(To &to, const From &from, const Copy &copy)
{
    copy(to.id, from.id);
    copy(to.bus, from.bus);
    copy(to.registryName, from.registryName);
    copy(to.mediaName, from.mediaName);
    copy(to.content, from.content);
    copy(to.diskUUID, from.diskUUID);
    copy(to.size, from.size);
    copy(to.internal, from.internal);
    copy(to.ejectable, from.ejectable);
    copy(to.isVirtual, from.isVirtual);
    copy(to.solidState, from.solidState);
    copy(to.imagePath, from.imagePath);
    copy(to.imageIdentity, from.imageIdentity);
    copy(to.imageFolder, from.imageFolder);
    copy(to.imageSince, from.imageSince);
    copy(to.physicalStore, from.physicalStore);
    copy(to.nodes, from.nodes);
}

template <typename To, typename From, typename Copy>
void stateFields(To &to, const From &from, const Copy &copy)
{
    copy(to.disks, from.disks);
    copy(to.unplugged, from.unplugged);
    copy(to.consoleUser, from.consoleUser);
    copy(to.serial, from.serial);
}

// Copies a field of one form into the other: texts as UTF-8, paths as bytes.
struct Copy {
    template <typename T>
    void operator()(T &to, const T &from) const
    {
        to = from;
    }
    void operator()(qint64 &to, const int64_t &from) const { to = from; }
    void operator()(int64_t &to, const qint64 &from) const { to = from; }
    void operator()(QString &to, const std::string &from) const { to = QString::fromStdString(from); }
    void operator()(std::string &to, const QString &from) const { to = from.toStdString(); }
    void operator()(QMap<QByteArray, quint32> &to, const std::map<std::string, uint32_t> &from) const
    {
        for (const auto &[path, mode] : from)
            to.insert(QByteArray::fromStdString(path), mode);
    }
    void operator()(std::map<std::string, uint32_t> &to, const QMap<QByteArray, quint32> &from) const
    {
        for (auto it = from.cbegin(); it != from.cend(); ++it)
            to[it.key().toStdString()] = it.value();
    }
    template <typename T, typename F>
    void operator()(std::optional<T> &to, const std::optional<F> &from) const
    {
        if (from)
            (*this)(to.emplace(), *from);
    }
    template <typename T, typename F>
    void operator()(std::vector<T> &to, const std::vector<F> &from) const
    {
        for (const F &item : from)
            (*this)(to.emplace_back(), item);
    }
    void operator()(Volume &to, const Core::Volume &from) const { volumeFields(to, from, *this); }
    void operator()(Core::Volume &to, const Volume &from) const { volumeFields(to, from, *this); }
    void operator()(Node &to, const Core::Node &from) const { nodeFields(to, from, *this); }
    void operator()(Core::Node &to, const Node &from) const { nodeFields(to, from, *this); }
    void operator()(Disk &to, const Core::Disk &from) const { diskFields(to, from, *this); }
    void operator()(Core::Disk &to, const Disk &from) const { diskFields(to, from, *this); }
};

template <typename To, typename From>
To converted(const From &from)
{
    To to;
    Copy()(to, from);
    return to;
}

} // namespace

State fromCore(const Core::State &c)
{
    State s;
    stateFields(s, c, Copy());
    return s;
}

Core::State toCore(const State &s)
{
    Core::State c;
    stateFields(c, s, Copy());
    return c;
}

Core::Disk toCore(const Disk &d) { return converted<Core::Disk>(d); }
Core::Node toCore(const Node &n) { return converted<Core::Node>(n); }
Core::Volume toCore(const Volume &v) { return converted<Core::Volume>(v); }

QString newUUID() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

} // namespace Platform::DiskWorld
