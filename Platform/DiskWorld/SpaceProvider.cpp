#include "SpaceProvider.h"
#include "FileManager.h"
#include "SystemRoot.h"
#include "UsageCache.h"
#include "VolumeSpace.h"
#include "World.h"

#include <QFile>

namespace Platform::DiskWorld {
std::optional<qint64> spaceFor(const QString &destination)
{
    const World w(systemRoot());
    if (!w.exists())
        return std::nullopt;
    std::optional<qint64> free;
    w.inspect([&](const State &s) {
        const std::optional<Ref> r = w.volumeHolding(s, destination);
        if (!r)
            return;
        const Disk *d = s.disk(r->disk);
        const Node *n = s.node(r->node);
        if (!n->volume->writable) {
            free = 0;
            return;
        }
        // The world's free-space rule, with the folders read only where they changed.
        const Core::WorldPaths paths = w.paths();
        free = Core::freeBytes(toCore(*d), toCore(*n), [&](const Core::Volume &v) {
            return UsageCache::shared().bytes(QFile::decodeName(QByteArray::fromStdString(paths.contentPath(v))),
                                              v.boot ? World::bootExclusions() : QStringList());
        });
    });
    return free;
}

void installSpaceProvider() { FileManager::setSpaceProvider(&spaceFor); }

} // namespace Platform::DiskWorld
