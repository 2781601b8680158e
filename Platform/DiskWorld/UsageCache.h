#pragma once
#include <QString>
#include <QStringList>

namespace Platform::DiskWorld {

// What FolderTree::bytes answers, kept up to date with inotify, so that the
// file manager's space check before every copy, and the usage keeper behind
// every diskutil info, do not walk the whole volume again: a folder is read
// again only when something in it changed, a file with several names at every
// answer. Where inotify gives out (no more watches), it walks as before.
class UsageCache {
public:
    static UsageCache &shared();
    qint64 bytes(const QString &path, const QStringList &skipTopLevel = {});

    UsageCache(const UsageCache &) = delete;
    UsageCache &operator=(const UsageCache &) = delete;

private:
    UsageCache();
    ~UsageCache();
    struct Impl;
    Impl *d;
};

} // namespace Platform::DiskWorld
