#include "UsageCache.h"
#include "FolderTree.h"

#include <QByteArray>
#include <QFile>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform::DiskWorld {

// Each folder of a measured tree has an inotify watch. The events name the
// entries that changed; only those are looked at again, and the difference in
// bytes goes up the chain of parents, so an answer costs what changed since the
// last one, not the size of the tree.
struct UsageCache::Impl {
    struct Folder {
        Folder *parent = nullptr;
        QByteArray path;
        int wd = -1;
        ino_t ino = 0;                      // the folder read, so that another one under its name is read anew
        qint64 total = 0;                   // bytes of every regular file below
        std::map<QByteArray, qint64> files; // regular files right here
        std::map<QByteArray, std::unique_ptr<Folder>> folders;
        std::set<QByteArray> pending; // names to look at again
        std::set<QByteArray> linked;  // files here with more than one name
    };
    struct Root {
        std::unique_ptr<Folder> folder;
        QList<QByteArray> skip;
        bool valid = true;
    };

    QMutex mutex;
    int fd = -1;
    std::map<QByteArray, Root> roots;
    std::map<int, Folder *> byWatch;
    std::set<Folder *> dirty;
    // A file written through another of its names gives an event only in
    // that name's folder, so files with several names are looked at again
    // at every answer.
    std::set<Folder *> withLinks;
    // Files seen with several names. One that turns up with several names
    // later may have other names read before, with no event in their folders
    // to tell: the trees are read anew then.
    std::set<std::pair<dev_t, ino_t>> knownLinked;
    bool readingTop = false; // a whole tree is being read: every name of it is seen
    bool relinked = false;

    static constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE |
                                      IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;

    static QByteArray join(const QByteArray &dir, const QByteArray &name)
    {
        return dir == "/" ? "/" + name : dir + '/' + name;
    }

    bool watch(Folder *f)
    {
        const int wd = inotify_add_watch(fd, f->path.constData(), kMask);
        if (wd < 0)
            return false;
        // The same inode watched again (a folder moved inside the tree) hands back its watch.
        if (auto it = byWatch.find(wd); it != byWatch.end() && it->second != f)
            it->second->wd = -1;
        byWatch[wd] = f;
        f->wd = wd;
        return true;
    }

    void unwatch(Folder *f)
    {
        for (auto &[name, sub] : f->folders)
            unwatch(sub.get());
        dirty.erase(f);
        withLinks.erase(f);
        if (f->wd >= 0) {
            if (auto it = byWatch.find(f->wd); it != byWatch.end() && it->second == f) {
                inotify_rm_watch(fd, f->wd);
                byWatch.erase(it);
            }
            f->wd = -1;
        }
    }

    // Keeps `linked` up to date for one entry (`st` null: it is gone).
    void noteLinks(Folder *f, const QByteArray &name, const struct stat *st)
    {
        if (st && S_ISREG(st->st_mode) && st->st_nlink > 1) {
            f->linked.insert(name);
            withLinks.insert(f);
            if (knownLinked.insert({st->st_dev, st->st_ino}).second && !readingTop)
                relinked = true;
        } else if (f->linked.erase(name) && f->linked.empty()) {
            withLinks.erase(f);
        }
    }

    void addUp(Folder *f, qint64 delta)
    {
        for (; f && delta; f = f->parent)
            f->total += delta;
    }

    // Reads a folder and everything below it, watching each folder before reading it.
    // A folder that is gone or no folder any more by the time it is watched
    // is not an error: an event brings it up again. Only running out of
    // watches is.
    bool scan(Folder *f, const QList<QByteArray> &skip)
    {
        if (!watch(f)) {
            if (errno != ENOENT && errno != ENOTDIR)
                return false;
            // Gone from under its listed path: a folder above it may have moved
            // after it was listed, and that folder's event will not say that
            // this part of it was missed, so those folders are read anew at
            // their next event.
            for (Folder *a = f; a; a = a->parent)
                a->ino = 0;
            return true;
        }
        int dirFd = open(f->path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dirFd < 0)
            return true; // gone meanwhile: its parent hears of it
        struct stat self;
        if (fstat(dirFd, &self) == 0)
            f->ino = self.st_ino;
        DIR *d = fdopendir(dirFd);
        if (!d) {
            close(dirFd);
            return true;
        }
        std::vector<QByteArray> subfolders;
        while (dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..") || skip.contains(QByteArray(e->d_name)))
                continue;
            struct stat st;
            if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISREG(st.st_mode)) {
                f->files[e->d_name] = qint64(st.st_size);
                f->total += qint64(st.st_size);
                noteLinks(f, e->d_name, &st);
            } else if (S_ISDIR(st.st_mode)) {
                subfolders.emplace_back(e->d_name);
            }
        }
        closedir(d);
        for (const QByteArray &name : subfolders) {
            auto sub = std::make_unique<Folder>();
            sub->parent = f;
            sub->path = join(f->path, name);
            if (!scan(sub.get(), {})) {
                unwatch(sub.get()); // nothing may point at a folder that is let go
                return false;
            }
            f->total += sub->total;
            f->folders[name] = std::move(sub);
        }
        return true;
    }

    // Looks at one entry of a folder again.
    bool refresh(Folder *f, const QByteArray &name, const QList<QByteArray> &skip)
    {
        if (skip.contains(name))
            return true;
        struct stat st;
        const QByteArray path = join(f->path, name);
        const bool there = lstat(path.constData(), &st) == 0;
        qint64 delta = 0;
        if (auto file = f->files.find(name); file != f->files.end() && !(there && S_ISREG(st.st_mode))) {
            delta -= file->second;
            f->files.erase(file);
        }
        if (auto sub = f->folders.find(name);
            sub != f->folders.end() &&
            !(there && S_ISDIR(st.st_mode) && sub->second->wd >= 0 && sub->second->ino == st.st_ino)) {
            delta -= sub->second->total;
            unwatch(sub->second.get());
            f->folders.erase(sub);
        }
        noteLinks(f, name, there ? &st : nullptr);
        if (there && S_ISREG(st.st_mode)) {
            qint64 &size = f->files[name];
            delta += qint64(st.st_size) - size;
            size = qint64(st.st_size);
        } else if (there && S_ISDIR(st.st_mode) && !f->folders.count(name)) {
            auto sub = std::make_unique<Folder>();
            sub->parent = f;
            sub->path = path;
            if (!scan(sub.get(), {})) {
                unwatch(sub.get());
                return false;
            }
            delta += sub->total;
            f->folders[name] = std::move(sub);
        }
        addUp(f, delta);
        return true;
    }

    void drain()
    {
        alignas(inotify_event) char buf[64 * 1024];
        for (;;) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                return;
            for (char *p = buf; p < buf + n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(p);
                p += sizeof(inotify_event) + e->len;
                if (e->mask & IN_Q_OVERFLOW) {
                    for (auto &[path, root] : roots)
                        root.valid = false;
                    continue;
                }
                const auto w = byWatch.find(e->wd);
                if (w == byWatch.end())
                    continue;
                Folder *f = w->second;
                if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                    // A folder inside a tree is taken care of by its parent's event; a tree's own top is not.
                    if (!f->parent)
                        for (auto &[path, root] : roots)
                            if (root.folder.get() == f)
                                root.valid = false;
                    continue;
                }
                if (e->len > 0 && e->name[0]) {
                    f->pending.insert(QByteArray(e->name));
                    dirty.insert(f);
                }
            }
        }
    }

    QList<QByteArray> skipFor(const Folder *f) const
    {
        if (f->parent)
            return {};
        for (const auto &[key, root] : roots)
            if (root.folder.get() == f)
                return root.skip;
        return {};
    }

    // Works off the pending names; false when a watch could not be had. A
    // refresh removes only folders below the one refreshed (and takes them
    // out of `dirty`), so the folder at hand stays alive while it is worked on.
    bool settle()
    {
        for (Folder *f : withLinks) {
            f->pending.insert(f->linked.begin(), f->linked.end());
            dirty.insert(f);
        }
        while (!dirty.empty()) {
            Folder *f = *dirty.begin();
            dirty.erase(dirty.begin());
            const std::set<QByteArray> names = std::move(f->pending);
            f->pending.clear();
            const QList<QByteArray> skip = skipFor(f);
            for (const QByteArray &name : names)
                if (!refresh(f, name, skip))
                    return false;
        }
        return true;
    }

    void dropRoot(const QByteArray &key)
    {
        auto it = roots.find(key);
        if (it == roots.end())
            return;
        unwatch(it->second.folder.get());
        roots.erase(it);
    }
};

UsageCache::UsageCache() : d(new Impl) { d->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC); }

UsageCache::~UsageCache()
{
    if (d->fd >= 0)
        close(d->fd);
    delete d;
}

UsageCache &UsageCache::shared()
{
    static UsageCache cache;
    return cache;
}

qint64 UsageCache::bytes(const QString &path, const QStringList &skipTopLevel)
{
    QMutexLocker lock(&d->mutex);
    if (d->fd < 0)
        return FolderTree::bytes(path, skipTopLevel);
    QList<QByteArray> skip;
    for (const QString &s : skipTopLevel)
        skip.append(QFile::encodeName(s));
    QByteArray key = QFile::encodeName(path);
    while (key.size() > 1 && key.endsWith('/'))
        key.chop(1);

    d->drain();
    for (auto it = d->roots.begin(); it != d->roots.end();) {
        const QByteArray k = it->first;
        const bool valid = it->second.valid;
        ++it;
        if (!valid)
            d->dropRoot(k); // its top went away, or events were lost: read it anew
    }
    auto root = d->roots.find(key);
    if (root != d->roots.end() && root->second.skip != skip) {
        d->dropRoot(key);
        root = d->roots.end();
    }
    bool ok = d->settle();
    if (ok && d->relinked) {
        while (!d->roots.empty())
            d->dropRoot(d->roots.begin()->first);
        d->relinked = false;
        root = d->roots.end();
    }
    if (ok && root == d->roots.end()) {
        Impl::Root fresh;
        fresh.folder = std::make_unique<Impl::Folder>();
        fresh.folder->path = key;
        fresh.skip = skip;
        d->readingTop = true;
        ok = d->scan(fresh.folder.get(), skip);
        d->readingTop = false;
        if (ok)
            root = d->roots.emplace(key, std::move(fresh)).first;
        else
            d->unwatch(fresh.folder.get());
    }
    if (ok)
        return root->second.folder->total;
    // Out of watches: let go of everything and count this tree the slow way.
    while (!d->roots.empty())
        d->dropRoot(d->roots.begin()->first);
    d->dirty.clear();
    return FolderTree::bytes(path, skipTopLevel);
}

} // namespace Platform::DiskWorld
