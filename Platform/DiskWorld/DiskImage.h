#pragma once
// Read/write disk images of the world.
//
// The image file is a POSIX tar archive (so `file` calls it one and `tar -tvf`
// lists it): its first member ".TarnwickImage.plist" is a property list with
// "Format" = "TarnwickDiskImage", "Version" = 1, "VolumeName", "FilesystemName",
// "Capacity" (bytes) and "VolumeUUID"; every other member is the volume's content.
#include "Operations.h"
#include "World.h"

#include <optional>

namespace Platform::DiskWorld::DiskImage {

struct Header {
    QString volumeName;
    QString fs = QStringLiteral("HFS+");
    qint64 capacity = 0;
    QString volumeUUID;
};

struct CreateOptions {
    QString path;
    QString volumeName;
    qint64 size = -1; // bytes; -1: not given
    QString fs = QStringLiteral("HFS+");
    QString format = QStringLiteral("UDRW");
    QString sourceFolder;
};

// hdiutil create: a new image file, never over an existing one.
Outcome create(const World &w, const CreateOptions &options);
// hdiutil mount / attach: the image becomes a virtual disk with its volume mounted.
Outcome attach(const World &w, const QString &imagePath);
// Writes the volume of an image disk (unmounted: its content in the store)
// back into its file, through the folder it was attached from, replacing the
// file only once the new one is whole and on the disk. `room`: the bytes by
// which the file may grow (the free space of the volume it lies on), or -1.
enum class WriteBack { Written, Gone, Failed };
WriteBack writeBack(const World &w, const Disk &d, qint64 room, QString *error);

std::optional<Header> readHeader(const QString &path, QString *error = nullptr);
std::optional<Header> readHeader(int fd, QString *error = nullptr);

} // namespace Platform::DiskWorld::DiskImage
