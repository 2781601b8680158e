#pragma once
// POSIX tar (ustar, with pax records) for the disk image files: the headers
// encoded by libarchive, the data moved here with in-kernel copies and direct
// writes, and read here so a broken file is told apart from a good one.
#include <QByteArray>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <ctime>
#include <optional>

namespace Platform::DiskWorld::TarArchive {

// A file time as nanoseconds since 1970, the unit change times are compared in.
inline qint64 nanoseconds(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

// Set-uid and set-gid modes an archive held for files (relative path → mode),
// which extraction does not give the files it makes.
using HeldModes = QMap<QByteArray, quint32>;

// Writes the `leading` members (small files held in memory), then everything
// inside `folder` (folders, files, links), into the empty file `fd` from its
// start; file data is copied by several workers at once, and a file that is
// no longer the one listed (replaced, resized) fails the write. A file
// named in `held` whose mode is still the held one without its set-id bits is
// written with the held mode, so an archive keeps what it held.
// An archive that would be larger than `limit` bytes (when not -1) is refused
// with "No space left on device" before anything is written.
// `earlier`: the archive this one replaces, which the folder was unpacked
// from at the file system time `since` (ns): a member unchanged since then
// is stored with what that archive held for it (owner, group, mode, times,
// extended attributes, a device node unpacked without effect). Extended
// attributes (ACLs and capabilities among them) are stored as GNU tar stores
// them; pipes and device nodes as what they are; a socket fails the write.
struct Earlier {
    int fd = -1;
    qint64 since = 0;
};
bool write(int fd, const QList<QPair<QString, QByteArray>> &leading, const QString &folder, QString *error,
           const HeldModes &held = {}, qint64 limit = -1, const Earlier &earlier = {});

// The content of the archive's first member when it is a regular file called `name`.
std::optional<QByteArray> readFirst(const QString &path, const QString &name, QString *error);
std::optional<QByteArray> readFirst(int fd, const QString &name, QString *error);

// Extracts every member but those named in `skip` into the existing folder
// `dest`. Names that would leave `dest` are refused; links are made last, so no
// member is ever written through one. As removable media is mounted, content
// gains no privilege: device nodes are not made, and files get their
// modes without set-uid and set-gid, the modes held being given in `held`.
// Owners are not given to the files (they stay the extracting process's) and
// only extended attributes of the "user." namespace are set; the rest stays
// in the archive (see write). Pipes are made; a device node becomes an empty
// file without effect.
bool extract(int fd, const QString &dest, const QStringList &skip, QString *error, HeldModes *held = nullptr);

} // namespace Platform::DiskWorld::TarArchive
