#include "RunScript.h"

#include "Authorization.h"

namespace {
constexpr quint32 kAuthorizationFlagInteractionAllowed = 1;
constexpr quint32 kAuthorizationFlagExtendRights = 2;
constexpr quint32 kAuthorizationFlagPreAuthorize = 16;
} // namespace

QString HelmrunToolPath(const QString &launcherBundlePath)
{
    return launcherBundlePath + QStringLiteral("/Contents/MacOS/Tarnwick.app/Contents/MacOS/Tarnwick");
}

QString RunScript::GetCurrentLanaguage() { return QStringLiteral("en"); }

int RunScript::RunTool(const QString &path)
{
    Platform::Authorization authorization;
    int status = authorization.create();
    if (status != Platform::AuthorizationStatus::Success)
        return status;
    status = authorization.copyRights(QStringLiteral("system.privilege.admin"), kAuthorizationFlagInteractionAllowed |
                                                                                    kAuthorizationFlagExtendRights |
                                                                                    kAuthorizationFlagPreAuthorize);
    if (status != Platform::AuthorizationStatus::Success)
        return status;
    const QString argument = GetCurrentLanaguage() + QStringLiteral("*loaderflag*");
    return authorization.executeWithPrivileges(path, {argument});
}
