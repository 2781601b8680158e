#include "SpaceProvider.h"
#include "FileManager.h"
#include "SystemRoot.h"
#include "UsageCache.h"
#include "World.h"

namespace Platform::DiskWorld {
namespace {

qint64 used(const World &w, const Volume &v)
{
    return UsageCache::shared().bytes(w.contentPath(v), v.boot ? World::bootExclusions() : QStringList());
}

} // namespace

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
        // As World::freeBytes counts, with the folders read only where they changed.
        qint64 taken = 0;
        if (d->isContainer()) {
            for (const Node &other : d->nodes)
                if (other.volume)
                    taken += used(w, *other.volume);
        } else {
            taken = used(w, *n->volume);
        }
        free = std::max<qint64>(0, World::capacity(s, *d, *n) - taken);
    });
    return free;
}

void installSpaceProvider() { FileManager::setSpaceProvider(&spaceFor); }

} // namespace Platform::DiskWorld
