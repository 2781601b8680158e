#include "UsageKeeper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace Platform::DiskWorld::Core {
namespace UsageKeeper {

std::optional<std::pair<dev_t, ino_t>> stateIdentity(const WorldPaths &w)
{
    struct stat st;
    if (lstat(w.stateDir().c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return std::make_pair(st.st_dev, st.st_ino);
}

std::string socketName(const WorldPaths &w)
{
    const auto id = stateIdentity(w);
    if (!id)
        return {};
    uint64_t hash = 1469598103934665603ull; // FNV-1a of the root's path
    for (const unsigned char c : w.root())
        hash = (hash ^ c) * 1099511628211ull;
    char name[96];
    snprintf(name, sizeof name, "tarnwick-usage/%llx:%llx/%016llx", (unsigned long long)id->first,
             (unsigned long long)id->second, (unsigned long long)hash);
    return name;
}

bool sendAll(int fd, const void *data, size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool receiveAll(int fd, void *data, size_t size)
{
    char *p = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace UsageKeeper

namespace {

// A connection to the keeper of that name, if one of our own user listens there.
int connectTo(const std::string &name)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    memcpy(addr.sun_path + 1, name.data(), name.size());
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (connect(fd, reinterpret_cast<const sockaddr *>(&addr), length) != 0) {
        close(fd);
        return -1;
    }
    // Anyone may listen on an abstract name: only a keeper run by this user is believed.
    ucred peer{};
    socklen_t peerLength = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != geteuid()) {
        close(fd);
        return -1;
    }
    // A keeper that hangs costs a few seconds, never the caller's answer.
    const timeval limit{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    return fd;
}

// Starts the world's keeper in a session of its own; it outlives this process.
bool startKeeper(const WorldPaths &w)
{
    const std::string keeper = helperProgram("usage-keeper");
    if (keeper.empty())
        return false;
    const char *argv[] = {"/usr/bin/setsid", "-f", keeper.c_str(), w.root().c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), environ) == 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::optional<int64_t> keptBytes(const WorldPaths &w, const std::string &content, bool boot, int dirFd)
{
    struct stat st;
    if (fstat(dirFd, &st) != 0 || content.size() > UsageKeeper::kMaxPath)
        return std::nullopt;
    const std::string name = UsageKeeper::socketName(w);
    if (name.empty())
        return std::nullopt;
    int fd = connectTo(name);
    if (fd < 0 && (errno == ECONNREFUSED || errno == ENOENT) && startKeeper(w)) {
        // The keeper listens as soon as it runs; it is given a moment to get
        // there, no more: on a busy machine this one question walks instead.
        for (int i = 0; i < 25 && fd < 0; ++i) {
            const timespec pause{0, 2'000'000};
            nanosleep(&pause, nullptr);
            fd = connectTo(name);
        }
    }
    if (fd < 0)
        return std::nullopt;
    UsageKeeper::Request request;
    request.magic = UsageKeeper::kMagic;
    request.boot = boot ? 1 : 0;
    request.dev = uint64_t(st.st_dev);
    request.ino = uint64_t(st.st_ino);
    request.pathLength = uint32_t(content.size());
    UsageKeeper::Reply reply;
    const bool ok = UsageKeeper::sendAll(fd, &request, sizeof request) &&
                    UsageKeeper::sendAll(fd, content.data(), content.size()) &&
                    UsageKeeper::receiveAll(fd, &reply, sizeof reply);
    close(fd);
    if (!ok || reply.bytes < 0)
        return std::nullopt;
    return reply.bytes;
}

} // namespace Platform::DiskWorld::Core
