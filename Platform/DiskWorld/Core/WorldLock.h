#pragma once
// flock(2) on the world's lock file, held for the life of the object: shared
// to look, exclusive to change. Each holder opens the file itself, so threads
// of one process exclude each other too.
#include <string>

namespace Platform::DiskWorld::Core {

class WorldLock {
public:
    WorldLock(const std::string &path, bool exclusive);
    ~WorldLock();
    WorldLock(const WorldLock &) = delete;
    WorldLock &operator=(const WorldLock &) = delete;

    bool ok() const { return m_fd >= 0; }
    // errno of the failure.
    int error() const { return m_errno; }

private:
    int m_fd = -1;
    int m_errno = 0;
};

} // namespace Platform::DiskWorld::Core
