#pragma once
// What `diskutil info -plist` and `diskutil list -plist` print, as dictionaries.
// Sizes are integers, flags booleans, as the readers of these lists expect.
#include "World.h"

#include <QVariantMap>

namespace Platform::DiskWorld::DiskInfo {

QVariantMap info(const World &w, const State &s, const Ref &ref);
// Every disk, or only the disk of `only` (a physical disk with its containers).
QVariantMap list(const World &w, const State &s, const std::optional<Ref> &only = std::nullopt);

// The same information as text, for a person at a terminal.
QString infoText(const QVariantMap &info);
QString listText(const World &w, const State &s, const std::optional<Ref> &only = std::nullopt);

} // namespace Platform::DiskWorld::DiskInfo
