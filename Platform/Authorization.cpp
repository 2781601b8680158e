#include "Authorization.h"

#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <unistd.h>

namespace Platform {
namespace {

class SystemBackend : public AuthorizationBackend {
public:
    int create() override { return AuthorizationStatus::Success; }

    int copyRights(const QString &, quint32) override
    {
        if (geteuid() == 0)
            return AuthorizationStatus::Success;
        const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        if (pkexec.isEmpty())
            return AuthorizationStatus::Denied;
        // Asks for the administrator password once; 126 is pkexec's word for
        // a dismissed dialog, 127 for a refusal.
        const int status = QProcess::execute(pkexec, {QStringLiteral("/bin/true")});
        if (status == 0)
            return AuthorizationStatus::Success;
        return status == 126 ? AuthorizationStatus::Canceled : AuthorizationStatus::Denied;
    }

    int executeWithPrivileges(const QString &path, const QStringList &arguments) override
    {
        if (!QFileInfo(path).isExecutable())
            return AuthorizationStatus::ToolExecuteFailure;
        if (geteuid() == 0)
            return QProcess::startDetached(path, arguments) ? AuthorizationStatus::Success
                                                            : AuthorizationStatus::ToolExecuteFailure;
        // pkexec clears the environment; carry over what the program needs
        // to find the display and its disk world.
        QStringList args{QStringLiteral("env")};
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "TARNWICK_ROOT",
                                 "TARNWICK_CLOCK_SCALE", "LANG"}) {
            const QString value = qEnvironmentVariable(name);
            if (!value.isEmpty())
                args << QString::fromLatin1(name) + QLatin1Char('=') + value;
        }
        args << path << arguments;
        return QProcess::startDetached(QStringLiteral("pkexec"), args) ? AuthorizationStatus::Success
                                                                      : AuthorizationStatus::ToolExecuteFailure;
    }
};

QMutex g_mutex;
std::shared_ptr<AuthorizationBackend> g_backend;

} // namespace

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
        g_backend = std::make_shared<SystemBackend>();
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

int Authorization::executeWithPrivileges(const QString &path, const QStringList &arguments)
{
    if (!m_granted)
        return AuthorizationStatus::Denied;
    return backend()->executeWithPrivileges(path, arguments);
}

} // namespace Platform
