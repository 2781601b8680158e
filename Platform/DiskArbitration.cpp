#include "DiskArbitration.h"
#include "DiskWorld/FileSystemKind.h"
#include "DiskWorld/World.h"
#include "Dispatch.h"
#include "SystemRoot.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <map>
#include <vector>

namespace Platform::DiskArbitration {
namespace {

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

// Every disk, partition and volume of the world by BSD name and identity
// (the same name given to another disk later is another disk).
using Snapshot = std::map<QString, QVariantMap>;

Snapshot take(const QString &root)
{
    Snapshot out;
    const World w(root);
    if (!w.exists())
        return out;
    w.inspect([&](const State &s) {
        for (const DiskWorld::Disk &d : s.disks) {
            const QVariantMap whole = describe(w, s, Ref{d.id, {}});
            out.emplace(d.id + QLatin1Char('\n') + d.diskUUID, whole);
            for (const Node &n : d.nodes)
                out.emplace(n.id + QLatin1Char('\n') + n.diskUUID, describe(w, s, Ref{d.id, n.id}));
        }
    });
    return out;
}

bool matches(const QVariantMap &description, const QVariantMap &match)
{
    for (auto it = match.cbegin(); it != match.cend(); ++it)
        if (!description.contains(it.key()) || description.value(it.key()) != it.value())
            return false;
    return true;
}

} // namespace

// Watches the world's state file, which every change of the disks replaces
// (a new file renamed into its folder), and tells the registered callbacks
// what appeared and what went. Lives on the main thread; the state is read
// on the global queue. Nothing runs while the world does not change.
class DiskWatcher : public std::enable_shared_from_this<DiskWatcher> {
public:
    explicit DiskWatcher(const QString &root) : m_root(root)
    {
        QObject::connect(&m_files, &QFileSystemWatcher::directoryChanged, &m_context, [this] { m_debounce.start(); });
        m_debounce.setSingleShot(true);
        m_debounce.setInterval(20);
        QObject::connect(&m_debounce, &QTimer::timeout, &m_context, [this] { scan(); });
        watchFolders();
        m_known = take(m_root);
    }

    int add(bool appeared, const QVariantMap &match, DiskCallback callback)
    {
        const int id = m_nextId++;
        m_registrations.push_back(Registration{id, appeared, match, std::move(callback)});
        if (appeared) {
            // The disks there are now, as the original framework announces them.
            std::vector<QVariantMap> now;
            for (const auto &[key, description] : m_known)
                if (matches(description, match))
                    now.push_back(description);
            std::weak_ptr<DiskWatcher> self = weak_from_this();
            Dispatch::mainAsync([self, id, now = std::move(now)] {
                for (const QVariantMap &description : now)
                    if (const auto watcher = self.lock())
                        watcher->deliver(id, description);
            });
        }
        return id;
    }

    void remove(int id)
    {
        std::erase_if(m_registrations, [id](const Registration &r) { return r.id == id; });
    }

private:
    struct Registration {
        int id;
        bool appeared;
        QVariantMap match;
        DiskCallback callback;
    };

    void watchFolders()
    {
        const World w(m_root);
        for (const QString &dir : {w.root(), w.stateDir()})
            if (!m_files.directories().contains(dir) && QFileInfo(dir).isDir())
                m_files.addPath(dir);
    }

    void scan()
    {
        // A world made after the session: its state folder is watched from now on.
        watchFolders();
        if (m_scanning) {
            m_again = true;
            return;
        }
        m_scanning = true;
        std::weak_ptr<DiskWatcher> self = weak_from_this();
        const QString root = m_root;
        Dispatch::globalAsync([self, root] {
            Snapshot now = take(root);
            Dispatch::mainAsync([self, now = std::move(now)] {
                const auto watcher = self.lock();
                if (!watcher)
                    return;
                watcher->m_scanning = false;
                watcher->apply(now);
                if (watcher->m_again) {
                    watcher->m_again = false;
                    watcher->m_debounce.start();
                }
            });
        });
    }

    void apply(const Snapshot &now)
    {
        std::vector<QVariantMap> gone, came;
        for (const auto &[key, description] : m_known)
            if (!now.count(key))
                gone.push_back(description);
        for (const auto &[key, description] : now)
            if (!m_known.count(key))
                came.push_back(description);
        m_known = now;
        // A callback may unregister itself or others: each call checks that
        // its registration is still there.
        std::vector<std::pair<int, bool>> ids;
        for (const Registration &r : m_registrations)
            ids.emplace_back(r.id, r.appeared);
        for (const auto &[id, appeared] : ids)
            if (!appeared)
                for (const QVariantMap &description : gone)
                    deliver(id, description);
        for (const auto &[id, appeared] : ids)
            if (appeared)
                for (const QVariantMap &description : came)
                    deliver(id, description);
    }

    void deliver(int id, const QVariantMap &description)
    {
        const auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                                     [id](const Registration &r) { return r.id == id; });
        if (it == m_registrations.end() || !matches(description, it->match))
            return;
        const DiskCallback callback = it->callback; // the call may remove the registration
        callback(Disk(description));
    }

    QString m_root;
    QObject m_context;
    QFileSystemWatcher m_files;
    QTimer m_debounce;
    Snapshot m_known;
    std::vector<Registration> m_registrations;
    int m_nextId = 1;
    bool m_scanning = false;
    bool m_again = false;
};

Session::Session() : m_root(systemRoot()) {}

Session::Session(const QString &root) : m_root(root) {}

Session::~Session() = default;

DiskWatcher &Session::watcher()
{
    if (!m_watcher)
        m_watcher = std::make_shared<DiskWatcher>(m_root);
    return *m_watcher;
}

int Session::registerDiskAppearedCallback(const QVariantMap &match, DiskCallback callback)
{
    return watcher().add(true, match, std::move(callback));
}

int Session::registerDiskDisappearedCallback(const QVariantMap &match, DiskCallback callback)
{
    return watcher().add(false, match, std::move(callback));
}

void Session::unregisterCallback(int identifier)
{
    if (m_watcher)
        m_watcher->remove(identifier);
}

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
