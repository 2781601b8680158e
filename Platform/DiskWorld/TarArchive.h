#pragma once
// POSIX tar (ustar, with pax records for long names) for the disk image files:
// written and read here so an image's content moves with in-kernel copies,
// and so a broken file is told apart from a good one.
#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace Platform::DiskWorld::TarArchive
{

// Writes the `leading` members (small files held in memory), then everything
// inside `folder` (folders, files, links), to the file descriptor.
bool write(int fd, const QList<QPair<QString, QByteArray>> &leading, const QString &folder, QString *error);

// The content of the archive's first member when it is a regular file called `name`.
std::optional<QByteArray> readFirst(const QString &path, const QString &name, QString *error);

// Extracts every member but those named in `skip` into the existing folder
// `dest`. Names that would leave `dest` are refused; links are made last, so no
// member is ever written through one.
bool extract(const QString &path, const QString &dest, const QStringList &skip, QString *error);

} // namespace Platform::DiskWorld::TarArchive
