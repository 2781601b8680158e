#include "UsageKeeperMain.h"
#include "UsageCache.h"
#include "UsageKeeper.h"
#include "World.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace Platform::DiskWorld {
namespace {

namespace Keeper = Core::UsageKeeper;

// A keeper nobody asked for this long ends; the next question starts another.
constexpr int kIdleSeconds = 600;
// How often it looks whether its world is still there.
constexpr int kLookMs = 5000;

double monotonicSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The sum for one question, or -1 when the folder named is not the one the
// asker opened, or lies outside this world.
qint64 answer(const Core::WorldPaths &w, const Keeper::Request &request, const std::string &path)
{
    if (Core::cleanPath(path) != path || !Core::within(path, w.root()))
        return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    const bool same = fstat(fd, &st) == 0 && uint64_t(st.st_dev) == request.dev && uint64_t(st.st_ino) == request.ino;
    close(fd);
    if (!same)
        return -1;
    return UsageCache::shared().bytes(QFile::decodeName(QByteArray::fromStdString(path)),
                                      request.boot ? World::bootExclusions() : QStringList());
}

void serve(const Core::WorldPaths &w, int client)
{
    // Only this user's processes are told anything.
    ucred peer{};
    socklen_t peerLength = sizeof peer;
    if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != geteuid())
        return;
    const timeval limit{2, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    Keeper::Request request;
    if (!Keeper::receiveAll(client, &request, sizeof request) || request.magic != Keeper::kMagic ||
        request.pathLength > Keeper::kMaxPath)
        return;
    std::string path(request.pathLength, '\0');
    if (!Keeper::receiveAll(client, path.data(), path.size()))
        return;
    Keeper::Reply reply;
    reply.bytes = answer(w, request, path);
    Keeper::sendAll(client, &reply, sizeof reply);
}

} // namespace

int usageKeeperMain(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    // Nothing its starter held open (a lock of the world above all) stays held here.
    close_range(3, ~0U, 0);
    const Core::WorldPaths w(Core::cleanRoot(argv[1]));
    const auto identity = Keeper::stateIdentity(w);
    const std::string name = Keeper::socketName(w);
    if (!identity || name.empty() || name.size() + 1 > sizeof(sockaddr_un::sun_path))
        return 1;
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return 1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    memcpy(addr.sun_path + 1, name.data(), name.size());
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    // Another keeper got there first: it answers.
    if (bind(listener, reinterpret_cast<const sockaddr *>(&addr), length) != 0 || listen(listener, 64) != 0)
        return 0;
    // Holds nothing of the world open but its watches, so the world can go.
    if (chdir("/") != 0)
        return 1;

    double lastQuestion = monotonicSeconds();
    for (;;) {
        pollfd p{listener, POLLIN, 0};
        const int ready = poll(&p, 1, kLookMs);
        if (ready < 0 && errno != EINTR)
            return 1;
        if (ready > 0) {
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                serve(w, client);
                close(client);
                lastQuestion = monotonicSeconds();
            }
            continue;
        }
        // The world is gone or was made anew, or nobody has asked for long.
        if (Keeper::stateIdentity(w) != identity || monotonicSeconds() - lastQuestion > kIdleSeconds)
            return 0;
    }
}

} // namespace Platform::DiskWorld
