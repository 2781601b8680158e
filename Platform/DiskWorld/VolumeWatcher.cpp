#include "VolumeWatcher.h"
#include "Dispatch.h"
#include "NotificationCenter.h"
#include "SystemRoot.h"
#include "Workspace.h"
#include "World.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <sys/stat.h>

namespace Platform::DiskWorld {
namespace {

// Inode and modification time: a folder that gained or lost an entry, or a
// state file replaced by a rename, shows a new pair.
qint64 stamp(const QString &path)
{
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_ino) * 1000003 + qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

QVariantMap userInfo(const VolumeWatcher::Entry &e)
{
    return {{QStringLiteral("NSDevicePath"), e.path},
            {QStringLiteral("NSWorkspaceVolumeLocalizedNameKey"), e.volumeName}};
}

} // namespace

VolumeWatcher::VolumeWatcher(NotificationCenter &center, QObject *parent) : QObject(parent), m_center(center)
{
    connect(&m_files, &QFileSystemWatcher::directoryChanged, this, [this] { scheduleScan(); });
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(20);
    connect(&m_debounce, &QTimer::timeout, this, &VolumeWatcher::scan);
    // The poll catches what inotify cannot: a new root, a Volumes folder made later.
    m_poll.setInterval(250);
    connect(&m_poll, &QTimer::timeout, this, &VolumeWatcher::poll);
    m_poll.start();
    follow(systemRoot());
}

void VolumeWatcher::synchronize() { follow(systemRoot()); }

void VolumeWatcher::followSystemRoot()
{
    if (systemRoot() != m_root)
        follow(systemRoot());
}

VolumeWatcher::Snapshot VolumeWatcher::take(const QString &root)
{
    Snapshot out;
    const World w(root);
    const QString volumes = w.volumesDir();
    auto list = [&] {
        const QStringList names = QDir(volumes).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &name : names)
            out[name] = Entry{QDir::cleanPath(volumes + QLatin1Char('/') + name), name, {}};
    };
    if (!w.exists() || !w.inspect([&](const State &s) {
            list();
            for (const auto &[d, n] : s.volumes()) {
                const Volume &v = *n->volume;
                const auto it = v.mounted ? out.find(v.mountName) : out.end();
                if (it != out.end())
                    it->second = Entry{w.mountPoint(v), v.name, v.uuid};
            }
        }))
        list();
    return out;
}

void VolumeWatcher::follow(const QString &root)
{
    m_root = root;
    ++m_generation;
    if (!m_files.directories().isEmpty())
        m_files.removePaths(m_files.directories());
    const World w(root);
    for (const QString &dir : {w.root(), w.volumesDir()})
        if (QFileInfo(dir).isDir())
            m_files.addPath(dir);
    m_lastVolumesTime = stamp(w.volumesDir());
    m_lastStateTime = stamp(w.statePath());
    m_known = take(root);
}

void VolumeWatcher::poll()
{
    const QString root = systemRoot();
    if (root != m_root) {
        follow(root);
        return;
    }
    const World w(root);
    if (!m_files.directories().contains(w.volumesDir()) && QFileInfo(w.volumesDir()).isDir())
        m_files.addPath(w.volumesDir());
    const qint64 volumes = stamp(w.volumesDir());
    const qint64 state = stamp(w.statePath());
    if (volumes != m_lastVolumesTime || state != m_lastStateTime) {
        m_lastVolumesTime = volumes;
        m_lastStateTime = state;
        scheduleScan();
    }
}

void VolumeWatcher::scheduleScan() { m_debounce.start(); }

void VolumeWatcher::scan()
{
    if (m_scanning) {
        m_again = true;
        return;
    }
    m_scanning = true;
    const quint64 generation = m_generation;
    const QString root = m_root;
    QPointer<VolumeWatcher> self(this);
    Dispatch::globalAsync([self, generation, root] {
        Snapshot now = take(root);
        Dispatch::mainAsync([self, generation, now = std::move(now)] {
            if (!self)
                return;
            self->m_scanning = false;
            if (generation == self->m_generation)
                self->apply(now);
            if (self->m_again) {
                self->m_again = false;
                self->scheduleScan();
            }
        });
    });
}

void VolumeWatcher::apply(const Snapshot &now)
{
    std::vector<Entry> gone, came;
    for (const auto &[name, e] : m_known) {
        const auto it = now.find(name);
        if (it == now.end()) {
            gone.push_back(e);
        } else if (it->second.uuid != e.uuid) {
            // The same folder now holds another volume (an erase gives a new one).
            gone.push_back(e);
            came.push_back(it->second);
        }
    }
    for (const auto &[name, e] : now)
        if (!m_known.count(name))
            came.push_back(e);
    std::vector<std::pair<Entry, Entry>> renamed;
    for (auto g = gone.begin(); g != gone.end();) {
        auto c = g->uuid.isEmpty()
                     ? came.end()
                     : std::find_if(came.begin(), came.end(), [&](const Entry &x) { return x.uuid == g->uuid; });
        if (c != came.end()) {
            renamed.emplace_back(*g, *c);
            came.erase(c);
            g = gone.erase(g);
        } else {
            ++g;
        }
    }
    m_known = now;
    for (const Entry &e : gone)
        m_center.post(QLatin1String(WorkspaceDidUnmountNotification), nullptr, userInfo(e));
    for (const Entry &e : came)
        m_center.post(QLatin1String(WorkspaceDidMountNotification), nullptr, userInfo(e));
    for (const auto &[from, to] : renamed) {
        QVariantMap info = userInfo(to);
        info.insert(QStringLiteral("NSWorkspaceVolumeOldLocalizedNameKey"), from.volumeName);
        info.insert(QStringLiteral("NSWorkspaceVolumeOldDevicePath"), from.path);
        m_center.post(QLatin1String(WorkspaceDidRenameVolumeNotification), nullptr, info);
    }
}

} // namespace Platform::DiskWorld
