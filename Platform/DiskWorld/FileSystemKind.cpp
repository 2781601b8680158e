#include "FileSystemKind.h"

#include <QStringList>

namespace Platform::DiskWorld {

std::optional<FileSystemKind> fileSystemNamed(const QString &personality)
{
    struct Entry {
        QStringList names;
        FileSystemKind kind;
    };
    static const std::vector<Entry> table = {
        {{QStringLiteral("APFS"), QStringLiteral("APFSX")},
         {QStringLiteral("APFS"), QStringLiteral("apfs"), QStringLiteral("Apple_APFS"), 255, true}},
        {{QStringLiteral("Journaled HFS+"), QStringLiteral("JHFS+"), QStringLiteral("HFSJ"),
          QStringLiteral("Mac OS Extended (Journaled)")},
         {QStringLiteral("Journaled HFS+"), QStringLiteral("hfs"), QStringLiteral("Apple_HFS"), 255, true}},
        {{QStringLiteral("HFS+"), QStringLiteral("HFS"), QStringLiteral("Mac OS Extended")},
         {QStringLiteral("HFS+"), QStringLiteral("hfs"), QStringLiteral("Apple_HFS"), 255, true}},
        {{QStringLiteral("ExFAT")},
         {QStringLiteral("ExFAT"), QStringLiteral("exfat"), QStringLiteral("Microsoft Basic Data"), 255, true}},
        {{QStringLiteral("MS-DOS FAT32"), QStringLiteral("FAT32"), QStringLiteral("MS-DOS"), QStringLiteral("msdos")},
         {QStringLiteral("MS-DOS FAT32"), QStringLiteral("msdos"), QStringLiteral("Microsoft Basic Data"), 11, true}},
        {{QStringLiteral("NTFS")},
         {QStringLiteral("NTFS"), QStringLiteral("ntfs"), QStringLiteral("Microsoft Basic Data"), 255, false}},
    };
    const QString wanted = personality.trimmed();
    for (const Entry &e : table)
        for (const QString &n : e.names)
            if (n.compare(wanted, Qt::CaseInsensitive) == 0)
                return e.kind;
    return std::nullopt;
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
