#pragma once
// What `diskutil info -plist` and `diskutil list -plist` print, as property
// lists (keys in sorted order, sizes integers, flags booleans, as the readers
// of these lists expect). The caller owns what is returned (plist_free).
#include "CoreState.h"
#include "WorldPaths.h"

#include <optional>
#include <plist/plist.h>
#include <string>

namespace Platform::DiskWorld::Core {

// The entry `ref` leads to; nullptr when it leads nowhere.
plist_t diskInfo(const WorldPaths &w, const State &s, const Ref &ref);
// Every disk, or only the disk of `only` (a physical disk with its containers).
plist_t diskList(const WorldPaths &w, const State &s, const std::optional<Ref> &only = std::nullopt);

// The disks `list` goes through, in the order of their numbers.
std::vector<const Disk *> listedDisks(const State &s, const std::optional<Ref> &only);

// The property list as the tools print it (XML).
std::string toXml(plist_t plist);

} // namespace Platform::DiskWorld::Core
