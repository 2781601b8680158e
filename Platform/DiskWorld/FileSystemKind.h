#pragma once
#include <QString>
#include <optional>

namespace Platform::DiskWorld {

// One file system the world can put on a volume, with the names the tools use for it.
struct FileSystemKind {
    QString name;            // FilesystemName ("MS-DOS FAT32")
    QString type;            // FilesystemType ("msdos"), also the workspace's type text
    QString partitionType;   // the partition's content when it is not APFS
    int maxNameLength = 255; // in UTF-16 units
    bool writable = true;    // NTFS is mounted read-only, as on the original platform

    bool isAPFS() const { return type == QLatin1String("apfs"); }
};

// The kind a tool argument names: every FilesystemName the world reports and the
// usual short forms ("JHFS+", "FAT32", "ExFAT", "APFS", …), case ignored.
std::optional<FileSystemKind> fileSystemNamed(const QString &personality);

// Checks a new volume name for a file system; the text says what is wrong.
bool validVolumeName(const QString &name, const FileSystemKind &fs, QString *error);

} // namespace Platform::DiskWorld
