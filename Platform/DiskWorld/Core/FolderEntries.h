#pragma once
// The names in an open folder, by descriptor.
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace Platform::DiskWorld::Core {

// Calls fn(name) for every entry of the folder open as `dirFd`, "." and ".."
// left out, until fn returns false. The listing starts at the folder's first
// entry even where `dirFd` was read before (a duplicated descriptor shares its
// position). False when the folder cannot be read or fn stopped it.
template <typename Fn>
bool forEachName(int dirFd, Fn fn)
{
    const int fd = dup(dirFd);
    if (fd < 0)
        return false;
    DIR *d = fdopendir(fd);
    if (!d) {
        close(fd);
        return false;
    }
    rewinddir(d);
    bool ok = true;
    while (const dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        if (!fn(static_cast<const char *>(e->d_name))) {
            ok = false;
            break;
        }
    }
    closedir(d);
    return ok;
}

} // namespace Platform::DiskWorld::Core
