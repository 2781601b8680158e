#include "VolumeSpace.h"
#include "FolderEntries.h"
#include "UsageKeeper.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld::Core {
namespace {

void measure(int dirFd, int depth, const std::vector<std::string> &skip, TreeSize &size)
{
    forEachName(dirFd, [&](const char *name) {
        if (depth == 0 && std::find(skip.begin(), skip.end(), name) != skip.end())
            return true;
        struct stat st;
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        ++size.entries;
        if (S_ISREG(st.st_mode)) {
            size.bytes += int64_t(st.st_size);
        } else if (S_ISDIR(st.st_mode)) {
            const int sub = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                measure(sub, depth + 1, skip, size);
                close(sub);
            }
        }
        return true;
    });
}

// A single name of a folder entry: not empty, no "/", not "." or "..".
bool plainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Opens the folders `names` one below the other from `dirFd`, none through a link.
int openBelow(int dirFd, const std::vector<std::string> &names)
{
    int fd = dup(dirFd);
    for (const std::string &name : names) {
        if (fd < 0)
            return -1;
        const int next =
            plainName(name) ? openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        close(fd);
        fd = next;
    }
    return fd;
}

} // namespace

TreeSize measureTree(int dirFd, const std::vector<std::string> &skipTopLevel)
{
    TreeSize size;
    measure(dirFd, 0, skipTopLevel, size);
    return size;
}

TreeSize measureTree(const std::string &path, const std::vector<std::string> &skipTopLevel)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const TreeSize size = measureTree(fd, skipTopLevel);
    close(fd);
    return size;
}

int64_t volumeBytes(const WorldPaths &w, const Volume &v)
{
    const int root = open(w.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return 0;
    int64_t bytes = 0;
    if (v.boot) {
        const std::optional<int64_t> kept = keptBytes(w, w.root(), true, root);
        bytes = kept ? *kept : measureTree(root, bootExclusions()).bytes;
    } else {
        // The folders from the root down to the volume's files, each opened
        // by its name alone.
        const std::string content = w.contentPath(v);
        std::vector<std::string> names;
        for (size_t from = w.root() == "/" ? 1 : w.root().size() + 1; from <= content.size();) {
            const size_t slash = std::min(content.find('/', from), content.size());
            names.push_back(content.substr(from, slash - from));
            from = slash + 1;
        }
        const int fd = openBelow(root, names);
        if (fd >= 0) {
            // The keeper answers only for the folder opened here.
            const std::optional<int64_t> kept = keptBytes(w, content, false, fd);
            bytes = kept ? *kept : measureTree(fd).bytes;
            close(fd);
        }
    }
    close(root);
    return bytes;
}

int64_t containerFree(const Disk &container, const std::function<int64_t(const Volume &)> &used)
{
    int64_t taken = 0;
    for (const Node &n : container.nodes)
        if (n.volume)
            taken += used(*n.volume);
    return std::max<int64_t>(0, container.size - taken);
}

int64_t freeBytes(const Disk &d, const Node &n, const std::function<int64_t(const Volume &)> &used)
{
    if (d.isContainer())
        return containerFree(d, used);
    if (!n.volume)
        return 0;
    return std::max<int64_t>(0, n.size - used(*n.volume));
}

int64_t containerFree(const WorldPaths &w, const Disk &container)
{
    return containerFree(container, [&](const Volume &v) { return volumeBytes(w, v); });
}

int64_t freeBytes(const WorldPaths &w, const Disk &d, const Node &n)
{
    return freeBytes(d, n, [&](const Volume &v) { return volumeBytes(w, v); });
}

} // namespace Platform::DiskWorld::Core
