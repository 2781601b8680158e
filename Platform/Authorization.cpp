#include "Authorization.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace Platform {
namespace {

// pkexec's own words for a dismissed dialog and for a refusal.
constexpr int PkexecDismissed = 126;
constexpr int PkexecRefused = 127;

QByteArray processName(pid_t pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return comm.readAll().trimmed();
}

// Starts the program (argv[0] its path) as a grandchild and reaps the child
// at once: the program belongs to no one here and leaves no zombie behind.
bool spawnDetached(const QList<QByteArray> &argvBytes)
{
    std::vector<QByteArray> storage(argvBytes.begin(), argvBytes.end());
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(argv[0], argv.data());
            const char failed = 1;
            (void)!::write(pipeFds[1], &failed, 1);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without a byte when the exec succeeded.
    char failed = 0;
    ssize_t n;
    do {
        n = ::read(pipeFds[0], &failed, 1);
    } while (n < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

class SystemBackend : public AuthorizationBackend {
public:
    explicit SystemBackend(bool asRoot) : m_root(asRoot) {}

    int create() override { return AuthorizationStatus::Success; }

    int copyRights(const QString &, quint32) override
    {
        if (m_root)
            return AuthorizationStatus::Success;
        // The password is asked for once, by pkexec when it starts the tool:
        // a right asked for here could not be handed on to that start.
        return QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty() ? AuthorizationStatus::Denied
                                                                                  : AuthorizationStatus::Success;
    }

    int executeWithPrivileges(const QByteArray &path, const QStringList &arguments) override
    {
        if (path.isEmpty() || ::access(path.constData(), X_OK) != 0)
            return AuthorizationStatus::ToolExecuteFailure;
        QList<QByteArray> args;
        for (const QString &a : arguments)
            args << a.toLocal8Bit();
        if (m_root)
            return spawnDetached(QList<QByteArray>{path} + args) ? AuthorizationStatus::Success
                                                                 : AuthorizationStatus::ToolExecuteFailure;
        const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        if (pkexec.isEmpty())
            return AuthorizationStatus::Denied;
        // pkexec clears the environment; carry over what the program needs
        // to find the display and its disk world. `env` takes every argument
        // holding "=" before the program for an assignment, so the program it
        // starts is the script runner, which execs the tool's path given as
        // its own argument: the path's bytes reach exec as they are, "=" or
        // not, and the shell never reads them as script.
        QList<QByteArray> pkexecArgs{QByteArrayLiteral("env")};
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "TARNWICK_ROOT",
                                 "TARNWICK_CLOCK_SCALE", "LANG"}) {
            const QByteArray value = qgetenv(name);
            if (!value.isEmpty())
                pkexecArgs << QByteArray(name) + '=' + value;
        }
        pkexecArgs << QByteArrayLiteral("/bin/sh") << QByteArrayLiteral("-c") << QByteArrayLiteral("exec \"$0\" \"$@\"")
                   << path << args;
        return runPkexec(pkexec, pkexecArgs);
    }

    ShellResult runShellScript(const QString &commandLine, bool withRights) override
    {
        ShellResult result;
        QString program = QStringLiteral("/bin/sh");
        QStringList args{QStringLiteral("-c"), commandLine};
        if (withRights && !m_root) {
            program = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
            if (program.isEmpty()) {
                result.authorization = AuthorizationStatus::Denied;
                return result;
            }
            args.prepend(QStringLiteral("/bin/sh"));
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, args);
        if (!process.waitForStarted(-1))
            return result;
        process.closeWriteChannel();
        process.waitForFinished(-1);
        result.output = process.readAllStandardOutput();
        if (process.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = process.exitCode();
        result.authorization = AuthorizationStatus::Success;
        // pkexec's own answers: the dialog was dismissed or the right refused.
        if (withRights && !m_root && (result.status == PkexecDismissed || result.status == PkexecRefused)) {
            result.authorization =
                result.status == PkexecDismissed ? AuthorizationStatus::Canceled : AuthorizationStatus::Denied;
            result.status = -1;
        }
        return result;
    }

private:
    // pkexec is this process's own child and this process stays alive while
    // the dialog is up (pkexec refuses a caller whose parent has gone). Once
    // pkexec has become the tool (its process shows another name) the tool
    // runs; pkexec ending first is the answer: dismissed, refused or failed.
    static int runPkexec(const QString &pkexec, const QList<QByteArray> &args)
    {
        std::vector<QByteArray> storage;
        storage.push_back(QFile::encodeName(pkexec));
        for (const QByteArray &a : args)
            storage.push_back(a);
        std::vector<char *> argv;
        for (QByteArray &a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, storage.front().constData(), nullptr, nullptr, argv.data(), environ) != 0)
            return AuthorizationStatus::ToolExecuteFailure;
        // The kernel keeps the first 15 bytes of the program's file name.
        // For a moment after the spawn returns the child may still carry this
        // process's name: the exec is not complete yet.
        const QByteArray ownName = QFileInfo(pkexec).fileName().toLocal8Bit().left(15);
        const QByteArray parentName = processName(::getpid());
        for (;;) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                if (!WIFEXITED(status))
                    return AuthorizationStatus::ToolExecuteFailure;
                switch (WEXITSTATUS(status)) {
                case 0:
                    return AuthorizationStatus::Success; // the tool ran and ended
                case PkexecDismissed:
                    return AuthorizationStatus::Canceled;
                case PkexecRefused:
                    return AuthorizationStatus::Denied;
                default:
                    return AuthorizationStatus::ToolExecuteFailure;
                }
            }
            if (done < 0 && errno != EINTR)
                return AuthorizationStatus::ToolExecuteFailure;
            const QByteArray name = processName(pid);
            if (!name.isEmpty() && name != ownName && name != parentName)
                return AuthorizationStatus::Success;
            ::usleep(20 * 1000);
        }
    }

    bool m_root;
};

QMutex g_mutex;
std::shared_ptr<AuthorizationBackend> g_backend;

} // namespace

std::shared_ptr<AuthorizationBackend> makeSystemAuthorizationBackend(bool asRoot)
{
    return std::make_shared<SystemBackend>(asRoot);
}

Authorization::Authorization() = default;

void Authorization::setBackend(std::shared_ptr<AuthorizationBackend> backend)
{
    QMutexLocker lock(&g_mutex);
    g_backend = std::move(backend);
}

std::shared_ptr<AuthorizationBackend> Authorization::backend()
{
    QMutexLocker lock(&g_mutex);
    if (!g_backend)
        g_backend = makeSystemAuthorizationBackend(geteuid() == 0);
    return g_backend;
}

int Authorization::create()
{
    const int status = backend()->create();
    m_created = status == AuthorizationStatus::Success;
    return status;
}

int Authorization::copyRights(const QString &right, quint32 flags)
{
    if (!m_created)
        return AuthorizationStatus::Denied;
    const int status = backend()->copyRights(right, flags);
    m_granted = status == AuthorizationStatus::Success;
    return status;
}

int Authorization::executeWithPrivileges(const QByteArray &path, const QStringList &arguments)
{
    if (!m_granted)
        return AuthorizationStatus::Denied;
    return backend()->executeWithPrivileges(path, arguments);
}

} // namespace Platform
