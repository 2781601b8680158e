#include "WorldLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform::DiskWorld::Core {

WorldLock::WorldLock(const std::string &path, bool exclusive)
{
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (m_fd < 0 && !exclusive)
        m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0) {
        m_errno = errno;
        return;
    }
    while (flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) {
            m_errno = errno;
            close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

WorldLock::~WorldLock()
{
    if (m_fd >= 0)
        close(m_fd);
}

} // namespace Platform::DiskWorld::Core
