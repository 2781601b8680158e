#pragma once
// POSIX tar (ustar, with pax records for long names) for the disk image files:
// written and read here so an image's content moves with in-kernel copies,
// and so a broken file is told apart from a good one.
#include <QByteArray>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace Platform::DiskWorld::TarArchive {

// Set-uid and set-gid modes an archive held for files (relative path → mode),
// which extraction does not give the files it makes.
using HeldModes = QMap<QByteArray, quint32>;

// Writes the `leading` members (small files held in memory), then everything
// inside `folder` (folders, files, links), into the empty file `fd` from its
// start; file data is copied by several workers at once, and a file that is
// no longer the one listed (replaced, resized) fails the write. A file
// named in `held` whose mode is still the held one without its set-id bits is
// written with the held mode, so an archive keeps what it held.
bool write(int fd, const QList<QPair<QString, QByteArray>> &leading, const QString &folder, QString *error,
           const HeldModes &held = {});

// The content of the archive's first member when it is a regular file called `name`.
std::optional<QByteArray> readFirst(const QString &path, const QString &name, QString *error);

// Extracts every member but those named in `skip` into the existing folder
// `dest`. Names that would leave `dest` are refused; links are made last, so no
// member is ever written through one. As removable media is mounted, content
// gains no privilege: device nodes and pipes are not made, and files get their
// modes without set-uid and set-gid, the modes held being given in `held`.
bool extract(const QString &path, const QString &dest, const QStringList &skip, QString *error,
             HeldModes *held = nullptr);

} // namespace Platform::DiskWorld::TarArchive
