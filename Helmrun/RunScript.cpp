#include "RunScript.h"

#include "Authorization.h"
#include "SystemLog.h"

namespace {
constexpr quint32 kAuthorizationFlagInteractionAllowed = 1;
constexpr quint32 kAuthorizationFlagExtendRights = 2;
constexpr quint32 kAuthorizationFlagPreAuthorize = 16;
constexpr quint32 kAdminFlags =
    kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;
const QString kAdminRight = QStringLiteral("system.privilege.admin");
} // namespace

QByteArray HelmrunToolPath(const QByteArray &launcherBundlePath)
{
    return launcherBundlePath + QByteArrayLiteral("/Contents/MacOS/Tarnwick.app/Contents/MacOS/Tarnwick");
}

QByteArray HelmrunBundlePath(const QByteArray &executable)
{
    QByteArray path = executable;
    for (int i = 0; i < 3; ++i) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return {};
        path.truncate(slash);
    }
    return path.isEmpty() ? QByteArrayLiteral("/") : path;
}

QString RunScript::GetCurrentLanaguage() { return QStringLiteral("en"); }

int RunScript::RunTool(const QByteArray &path)
{
    Platform::Authorization authorization;
    int status = authorization.create();
    if (status != Platform::AuthorizationStatus::Success)
        return status;
    status = authorization.copyRights(kAdminRight, kAdminFlags);
    if (status != Platform::AuthorizationStatus::Success)
        return status;
    const QString argument = GetCurrentLanaguage() + QStringLiteral("*loaderflag*");
    status = authorization.executeWithPrivileges(path, {argument});
    if (status != Platform::AuthorizationStatus::Success && status != Platform::AuthorizationStatus::Canceled)
        Platform::systemLog(QStringLiteral("Helmrun: could not start %1 (status %2)")
                                .arg(QString::fromLatin1(path.toPercentEncoding("/")))
                                .arg(status));
    return status;
}

QByteArray RunScript::RunShellScript(const QString &commandLine, bool withAdministratorPrivileges, int *status)
{
    if (status)
        *status = -1;
    if (withAdministratorPrivileges) {
        Platform::Authorization authorization;
        if (authorization.create() != Platform::AuthorizationStatus::Success ||
            authorization.copyRights(kAdminRight, kAdminFlags) != Platform::AuthorizationStatus::Success)
            return {};
    }
    const Platform::AuthorizationBackend::ShellResult result =
        Platform::Authorization::backend()->runShellScript(commandLine, withAdministratorPrivileges);
    if (status)
        *status = result.status;
    return result.output;
}

bool RunScript::TestShellScriptOutput()
{
    int status = -1;
    const QByteArray out = RunShellScript(
        QStringLiteral("printf '%s\\n' \"two words\" 'it'\"'\"'s'; echo \"$((6 * 7))\""), false, &status);
    return status == 0 && out == "two words\nit's\n42\n";
}

bool RunScript::TestShellScriptFailure()
{
    int status = -1;
    const QByteArray out = RunShellScript(QStringLiteral("echo before; exit 3; echo after"), false, &status);
    return status == 3 && out == "before\n";
}

bool RunScript::TestShellScriptWithAdministratorPrivileges()
{
    int status = -1;
    const QByteArray out = RunShellScript(QStringLiteral("id -u"), true, &status);
    return status == 0 && out.trimmed() == "0";
}
