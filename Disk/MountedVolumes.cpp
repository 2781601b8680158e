#include "MountedVolumes.h"

#include "DiskArbitration.h"
#include "FileManager.h"
#include "SystemRoot.h"

#include <optional>

QStringList MountedVolumeBSDNames()
{
    QStringList bsdNames;
    const QString volumes = Platform::rootPath(QStringLiteral("/Volumes/"));
    const QStringList names = Platform::FileManager::defaultManager().contentsOfDirectory(volumes);
    const Platform::DiskArbitration::Session session;
    for (const QString &name : names) {
        if (name == QLatin1String("(null)") || name == QLatin1String(".DS_Store"))
            continue;
        const std::optional<Platform::DiskArbitration::Disk> disk = session.diskForVolumePath(volumes + name);
        if (!disk)
            continue;
        const QString bsdName = disk->bsdName();
        if (bsdName.isEmpty() || bsdName == QLatin1String(" "))
            continue;
        bsdNames.append(bsdName);
    }
    return bsdNames;
}
