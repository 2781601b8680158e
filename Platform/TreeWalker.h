#pragma once
#include <QByteArray>
#include <QList>
#include <QStringList>

namespace Platform {

// Sums what folder trees hold the way the file system's catalog counts it: the
// logical size of every entry that is not a folder, at any depth, hidden ones
// included. Links count their own size and are never followed; a file with
// several hard links counts once for each; folders add nothing themselves; the
// walk stays on the file system each given path lives on. A given path that is
// not a folder counts its own size; one that cannot be read counts 0.
//
// Folders are read in parallel: `threads` workers (0: one per core, at most 8).
class TreeWalker {
public:
    static quint64 totalSize(const QStringList &paths, int threads = 0);
    // The same for paths given as the file system's bytes.
    static quint64 totalSize(const QList<QByteArray> &paths, int threads = 0);
    static quint64 totalSize(const QString &path, int threads = 0) { return totalSize(QStringList{path}, threads); }
};

} // namespace Platform
