#include "FileSystemKind.h"
#include "FileSystems.h"

#include <QStringList>

namespace Platform::DiskWorld {

std::optional<FileSystemKind> fileSystemNamed(const QString &personality)
{
    const Core::FileSystem *fs = Core::fileSystemNamed(personality.toStdString());
    if (!fs)
        return std::nullopt;
    return FileSystemKind{QString::fromStdString(fs->names.front()), QString::fromStdString(fs->type),
                          QString::fromStdString(fs->partitionType), fs->maxNameLength, fs->writable};
}

bool validVolumeName(const QString &name, const FileSystemKind &fs, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (name.isEmpty())
        return fail(QStringLiteral("a volume name cannot be empty"));
    // The name gives the mount folder's name ("/" shows there as ":", as on the original platform).
    // Line ends and tabs are fine; other control characters would not survive
    // the property lists the name is written into.
    for (const QChar c : name)
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            return fail(QStringLiteral("a volume name cannot contain control characters"));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("\"%1\" is not a volume name").arg(name));
    if (name.size() > fs.maxNameLength)
        return fail(QStringLiteral("a %1 volume name has at most %2 characters").arg(fs.name).arg(fs.maxNameLength));
    if (name.toUtf8().size() > 255)
        return fail(QStringLiteral("the volume name is too long"));
    return true;
}

} // namespace Platform::DiskWorld
