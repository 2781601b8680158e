#pragma once
// Whole-folder work the world does on volume content: measuring, copying with
// progress, comparing, moving without replacing.
#include <QString>
#include <QStringList>
#include <functional>

namespace Platform::DiskWorld::FolderTree {

// Bytes the regular files below `path` hold (logical sizes, links not followed),
// leaving out the named entries of the top level.
qint64 bytes(const QString &path, const QStringList &skipTopLevel = {});
// Number of entries below `path` (files, folders and links), top-level names skipped likewise.
qint64 entries(const QString &path, const QStringList &skipTopLevel = {});

// Copies `size` bytes (-1: up to the end) of `in` from offset `from` to `out`
// at offset `to`, in the kernel where it can; `progress` gets the bytes of
// each step. The one copy loop of the world's files and images.
bool copyRange(int in, qint64 from, int out, qint64 to, qint64 size, QString *error,
               const std::function<void(qint64 bytes)> &progress = {});

// Copies everything inside `from` into the existing folder `to`: folders,
// files (in-kernel copies), links as links, modes and times. Never replaces an
// entry. `progress` gets the bytes copied so far.
bool copyContents(const QString &from, const QString &to, const QStringList &skipTopLevel,
                  const std::function<void(qint64 bytesDone)> &progress, QString *error);

// Checks that `to` holds an entry of the same kind and size for every entry of
// `from`. `progress` gets the entries checked so far.
bool compareContents(const QString &from, const QString &to, const QStringList &skipTopLevel,
                     const std::function<void(qint64 entriesDone)> &progress, QString *error);

// rename(2) that fails instead of replacing what is at `to`.
bool moveNoReplace(const QString &from, const QString &to, QString *error = nullptr);
// Deletes a folder tree (or a file); true when nothing is left.
bool remove(const QString &path);

} // namespace Platform::DiskWorld::FolderTree
