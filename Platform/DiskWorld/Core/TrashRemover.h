#pragma once
// The world's trash remover: deletes what changes threw away into the trash
// folder after they have ended, so a tool that threw away a large volume is
// done as soon as its change is written. One remover runs per trash folder:
// it holds the folder's lock (flock) from its start, taken by the process
// that started it, and empties the folder until nothing it can remove is
// left; whoever finds the lock taken leaves what it threw away to that
// remover, which looks again after it has let the lock go.
#include <string>

namespace Platform::DiskWorld::Core::TrashRemover {

// The descriptor the remover finds its trash folder on, locked.
constexpr int kTrashFd = 3;

// The remover's program: empties the folder open as kTrashFd.
int removerMain();

} // namespace Platform::DiskWorld::Core::TrashRemover
