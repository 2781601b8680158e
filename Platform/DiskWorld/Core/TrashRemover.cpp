#include "TrashRemover.h"
#include "FolderEntries.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace Platform::DiskWorld::Core::TrashRemover {
namespace {

std::vector<std::string> entries(int dirFd, const std::set<std::string> &leave)
{
    std::vector<std::string> out;
    forEachName(dirFd, [&](const char *name) {
        if (!leave.count(name))
            out.emplace_back(name);
        return true;
    });
    return out;
}

// What the trash holds for good: listed under the world's lock (shared), with
// no change cut short. What a change in progress, or one cut short, put there
// may still go back where it came from, so it waits for a later pass.
std::vector<std::string> thrownAway(int trashFd, const std::set<std::string> &leave)
{
    // The state folder holds the lock and the intent record beside the trash.
    const int lock = openat(trashFd, "../lock", O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (lock < 0)
        return {};
    std::vector<std::string> out;
    while (flock(lock, LOCK_SH) != 0 && errno == EINTR) {
    }
    struct stat st;
    if (fstatat(trashFd, "../intent.plist", &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
        out = entries(trashFd, leave);
    close(lock);
    return out;
}

bool present(int dirFd, const std::string &name)
{
    struct stat st;
    return fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// rm -rf of the entries, named relative to the trash folder (the working folder).
void removeEntries(const std::vector<std::string> &names)
{
    constexpr size_t kBatch = 256;
    for (size_t from = 0; from < names.size(); from += kBatch) {
        std::vector<const char *> argv{"/bin/rm", "-rf", "--one-file-system", "--"};
        for (size_t i = from; i < names.size() && i < from + kBatch; ++i)
            argv.push_back(names[i].c_str());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char **>(argv.data()), environ) != 0)
            continue;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

} // namespace

int removerMain()
{
    struct stat st;
    if (fstat(kTrashFd, &st) != 0 || !S_ISDIR(st.st_mode) || fchdir(kTrashFd) != 0)
        return 1;
    close_range(kTrashFd + 1, ~0U, 0);
    // What cannot be removed (a folder it may not enter) is left for a later remover.
    std::set<std::string> stuck;
    for (;;) {
        const std::vector<std::string> names = thrownAway(kTrashFd, stuck);
        if (!names.empty()) {
            removeEntries(names);
            for (const std::string &name : names)
                if (present(kTrashFd, name))
                    stuck.insert(name);
            continue;
        }
        flock(kTrashFd, LOCK_UN);
        // Something thrown away while the lock was still held was left to this remover.
        if (thrownAway(kTrashFd, stuck).empty())
            return 0;
        // Unless another remover has started meanwhile and takes it.
        if (flock(kTrashFd, LOCK_EX | LOCK_NB) != 0)
            return 0;
    }
}

} // namespace Platform::DiskWorld::Core::TrashRemover
