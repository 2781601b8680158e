#pragma once
#include <QString>
#include <optional>

namespace Platform::DiskWorld {

// Free bytes of the world volume a new entry at `destination` would land on
// (0 for a read-only volume); nothing when no world volume holds it. The world
// is the one at the system root at the time of the call.
std::optional<qint64> spaceFor(const QString &destination);

// Makes Platform::FileManager ask spaceFor before every copy and again while
// it writes (every chunk of data is held to the volume's live use), so a copy
// that would overfill a world volume fails as on a full disk, whoever else
// writes there meanwhile. The program installs it at start-up.
void installSpaceProvider();

} // namespace Platform::DiskWorld
