#pragma once
// The disk world: simulated disks whose volumes are real folders under a
// system root. Every stand-in tool, DiskArbitration, the workspace and the file
// manager's space check go through this class, so they all see one world.
//
// On disk:
//   <root>/.diskworld/state.plist   the State (replaced atomically: temp file + rename)
//   <root>/.diskworld/lock          flock(2): shared to look, exclusive to change
//   <root>/.diskworld/intent.plist  the folder steps of a change under way (see Intent.h)
//   <root>/.diskworld/store/<uuid>  content of a volume that is not mounted
//   <root>/.diskworld/trash/        content being deleted after a change
//   <root>/Volumes/<mount name>     content of a mounted volume
//   <root>                          content of the boot volume (Volumes and .diskworld left out);
//                                   <root>/Volumes/<boot name> is a link to it, as on the original platform
#include "Intent.h"
#include "WorldPaths.h"
#include "WorldState.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace Platform::DiskWorld {

class Change;

// Where an identifier leads: a whole disk (node empty) or one of its nodes.
struct Ref {
    QString disk;
    QString node;
    bool isWholeDisk() const { return node.isEmpty(); }
};

class World {
public:
    // The world under a root; the process's system root by default.
    explicit World(const QString &root = QString());

    QString root() const { return m_root; }
    QString stateDir() const;
    QString statePath() const;
    QString intentPath() const;
    QString storeDir() const;
    QString trashDir() const;
    QString volumesDir() const;
    bool exists() const;
    // Makes the folders that hold volumes (Volumes/ and the store), each the
    // top of separate trees: the world's volumes share one host file system,
    // and a volume made there is placed apart from the others' files, as it
    // would be on its own disk, not packed among what a removed volume freed.
    bool makeVolumeFolders() const;

    // The state as it is now (under a shared lock).
    std::optional<State> load(QString *error = nullptr) const;
    // Runs fn while the world holds still: the state and every folder agree.
    bool inspect(const std::function<void(const State &)> &fn, QString *error = nullptr) const;
    // Changes the world under the exclusive lock. fn works on a copy of the
    // state and moves folders through the Change, which records each step
    // before it is taken; when fn returns false (or the state cannot be
    // written), the folders are put back and the state file is left as it
    // was. A change a killed tool left half done is finished or undone first. fn must not look at the world through
    // another call (load, inspect, change): the lock is held and would wait for itself.
    bool change(const std::function<bool(Change &)> &fn, QString *error = nullptr) const;
    // Writes a first state (creating the world's folders); fails when a world exists.
    bool create(const State &initial, QString *error = nullptr) const;

    // The folder that holds a volume's files now.
    QString contentPath(const Volume &v) const;
    // "MountPoint": the root for the boot volume, <root>/Volumes/<name> else; empty when not mounted.
    QString mountPoint(const Volume &v) const;
    qint64 usedBytes(const Volume &v) const;
    // What the boot volume's content leaves out of the root folder.
    static QStringList bootExclusions();

    // Space of the volume on a node: its partition, or for an APFS volume its container.
    static qint64 capacity(const State &s, const Disk &d, const Node &n);
    qint64 containerFree(const State &s, const Disk &container) const;
    qint64 freeBytes(const State &s, const Disk &d, const Node &n) const;

    // A BSD name ("disk2s1"), device node ("/dev/disk2s1"), mount point,
    // DiskUUID or VolumeUUID, or volume name.
    std::optional<Ref> resolve(const State &s, const QString &identifier) const;
    // The mounted volume whose mount point is `path` (links followed): a path
    // of this machine, or one of the original platform ("/Volumes/X") under the root.
    std::optional<Ref> volumeAtMountPoint(const State &s, const QString &path) const;
    // The mounted volume whose folder holds `path`, a path of this machine
    // (which need not exist yet).
    std::optional<Ref> volumeHolding(const State &s, const QString &path) const;

    // Everything that does not add up (folders missing or left over, names used
    // twice); empty for a sound world.
    QStringList problems() const;

    // The same world as the Qt-free core sees it.
    Core::WorldPaths paths() const;

private:
    QString m_root;
};

// One change to the world, made while the exclusive lock is held.
class Change {
public:
    Change(const World &world, State state);

    const World &world;
    State state;

    // Gives an error text back to the caller; returns false for `return c.fail(…)`.
    bool fail(const QString &text);
    QString error() const { return m_error; }

    // Moves a volume's folder into <root>/Volumes (under a free mount name) or
    // back into the store. The volume must live in `state`.
    bool mount(Volume &v);
    bool unmount(Volume &v);
    // Replaces a volume's content by an empty folder (the old one is deleted
    // after the lock is released); the volume takes `newUuid` when one is given.
    bool eraseContent(Volume &v, const QString &newUuid = QString());
    // Makes the empty folder of a new volume where contentPath says.
    bool createContent(const Volume &v);
    // Moves existing content (prepared outside the lock) in as the volume's folder.
    bool adoptContent(const Volume &v, const QString &folder);
    // Gets rid of a folder after the lock is released.
    bool discard(const QString &path);
    // Moves a folder, never over an existing entry.
    bool move(const QString &from, const QString &to);
    // Puts back every folder this change moved or made, newest first: the
    // world as it was when the change began.
    void rollBack();
    // A free folder name under <root>/Volumes for a volume name ("/" shown as
    // ":"): the name itself, else "name 1", "name 2", …
    QString freeMountName(const QString &volumeName) const;

    void afterCommit(std::function<void()> fn) { m_after.push_back(std::move(fn)); }
    std::vector<std::function<void()>> takeAfterCommit() { return std::move(m_after); }

    Intent &intent() { return m_intent; }

private:
    bool makeFolder(const QString &path, bool writable);

    QString m_error;
    std::vector<std::function<void()>> m_after;
    Intent m_intent;
};

} // namespace Platform::DiskWorld
