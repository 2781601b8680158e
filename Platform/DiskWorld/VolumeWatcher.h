#pragma once
// Turns volume folders appearing and disappearing under <root>/Volumes into
// the workspace's mount and unmount notifications, whoever changed the world
// (a stand-in tool, `diskworld attach`, this process). Lives on the main
// thread; the folder and state reads run on the global queue.
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <map>

namespace Platform {
class NotificationCenter;
}

namespace Platform::DiskWorld {

class VolumeWatcher : public QObject {
    Q_OBJECT
public:
    explicit VolumeWatcher(NotificationCenter &center, QObject *parent = nullptr);

    // Takes the volumes there are now as known, posting nothing; also follows
    // a change of the system root. Blocks only for one look at the world.
    void synchronize();
    // The same, but only when the system root is not the one being watched.
    void followSystemRoot();

    struct Entry {
        QString path;       // the mount point
        QString volumeName; // the world's name for it (the folder's name outside a world)
        QString uuid;       // VolumeUUID; empty outside a world
    };
    using Snapshot = std::map<QString, Entry>; // by folder name under Volumes
    static Snapshot take(const QString &root);

private:
    void follow(const QString &root);
    void poll();
    void scheduleScan();
    void scan();
    void apply(const Snapshot &now);

    NotificationCenter &m_center;
    QFileSystemWatcher m_files;
    QTimer m_poll;
    QTimer m_debounce;
    QString m_root;
    Snapshot m_known;
    quint64 m_generation = 0;
    bool m_scanning = false;
    bool m_again = false;
    qint64 m_lastVolumesTime = -1;
    qint64 m_lastStateTime = -1;
};

} // namespace Platform::DiskWorld
