#include "CommandRunner.h"
#include "SecureFile.h"
#include "SystemLog.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace Platform {

int CommandRunner::run(const QString &program, const QStringList &arguments, const SecureFile &standardOutput)
{
    if (program.isEmpty() || !standardOutput.isOpen())
        return -1;

    std::vector<QByteArray> storage;
    storage.reserve(size_t(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : arguments)
        storage.push_back(a.toUtf8());
    std::vector<char *> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, standardOutput.handle(), STDOUT_FILENO);

    // The child starts with no blocked signals and default handlers, whatever
    // the threads of this process have set up.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const bool bare = !program.contains(QLatin1Char('/'));
    const int err = bare ? posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                         : posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        systemLog(QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(strerror(err))));
        return -1;
    }

    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, 0);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

} // namespace Platform
