#pragma once
// What a volume's folder holds and how much room is left on it.
#include "CoreState.h"
#include "WorldPaths.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Platform::DiskWorld::Core {

struct TreeSize {
    int64_t bytes = 0;   // logical sizes of the regular files
    int64_t entries = 0; // files, folders and links
};

// Everything below the open folder `dirFd`, by descriptor: links are not
// followed, named entries of the top level are left out.
TreeSize measureTree(int dirFd, const std::vector<std::string> &skipTopLevel = {});
// The same below the folder at `path` (nothing when it cannot be opened).
TreeSize measureTree(const std::string &path, const std::vector<std::string> &skipTopLevel = {});

// Bytes a volume's files hold, reached from the root by descriptor without
// following a link (the boot volume leaves out Volumes and .diskworld): the
// world's usage keeper answers for the folder opened, or else it is walked.
int64_t volumeBytes(const WorldPaths &w, const Volume &v);

// Space of the volume on a node: its partition, or for an APFS volume its
// container (for this core's records and the application's alike).
template <typename D, typename N>
auto capacity(const D &d, const N &n)
{
    return d.isContainer() ? d.size : n.size;
}
// Free space is the capacity less what the volumes on it hold: the one rule,
// with `used` telling what a volume's files hold (measured, or kept by a cache).
int64_t containerFree(const Disk &container, const std::function<int64_t(const Volume &)> &used);
int64_t freeBytes(const Disk &d, const Node &n, const std::function<int64_t(const Volume &)> &used);
int64_t containerFree(const WorldPaths &w, const Disk &container);
int64_t freeBytes(const WorldPaths &w, const Disk &d, const Node &n);

} // namespace Platform::DiskWorld::Core
