#pragma once
// The used size of a world's volumes, kept by a process of its own: the usage
// keeper holds a watch on every folder of each volume it was asked about and
// brings its sums up to date from what changed, whoever changed it (a tool of
// the world, the application, or someone writing straight into the volume's
// folder). Any change that has returned before a question is asked is in the
// watch's queue by then, and the keeper works the queue off before it
// answers, so the answer is as current as a walk of the folder and costs what
// changed since the last one instead of the size of the volume.
//
// One keeper runs per world, reached by a socket named after the world's state
// folder; the first question starts it. Where it cannot be had the caller
// walks the folder itself.
#include "WorldPaths.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace Platform::DiskWorld::Core {

// Bytes of the regular files below the volume folder `dirFd` (the boot volume
// leaving out its exclusions), as the keeper of the world has them; `content`
// is that folder's path. Nothing when no keeper answers for that very folder.
std::optional<int64_t> keptBytes(const WorldPaths &w, const std::string &content, bool boot, int dirFd);

// The keeper's side of the exchange.
namespace UsageKeeper {

struct Request {
    uint32_t magic = 0;
    uint32_t boot = 0;
    uint64_t dev = 0;
    uint64_t ino = 0;
    uint32_t pathLength = 0; // the path's bytes follow
};
struct Reply {
    int64_t bytes = -1; // -1: not this folder, or not in this world
};
constexpr uint32_t kMagic = 0x54575531; // "TWU1"
constexpr uint32_t kMaxPath = 64 * 1024;

// The socket's name in the abstract namespace: the state folder's device and
// inode and the root's path, so that a world made anew, or another world,
// never reaches this one's keeper. Empty when the world has no state folder.
std::string socketName(const WorldPaths &w);
// Device and inode of the world's state folder (nothing when it is gone).
std::optional<std::pair<dev_t, ino_t>> stateIdentity(const WorldPaths &w);
// The whole of `size` bytes over a connected socket, through interruptions;
// false when the other side went away first.
bool sendAll(int fd, const void *data, size_t size);
bool receiveAll(int fd, void *data, size_t size);

} // namespace UsageKeeper
} // namespace Platform::DiskWorld::Core
