#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace Platform {

// Authorization Services' place. Status codes follow the original platform's
// (0 success, errAuthorizationDenied -60005, errAuthorizationCanceled -60006,
// errAuthorizationToolExecuteFailure -60031).
namespace AuthorizationStatus {
inline constexpr int Success = 0;
inline constexpr int Denied = -60005;
inline constexpr int Canceled = -60006;
inline constexpr int ToolExecuteFailure = -60031;
} // namespace AuthorizationStatus

// How rights are really obtained: a process that already runs as root has
// them at once; any other asks through polkit's pkexec, which shows the
// desktop's administrator password dialog once, when the tool is started
// through it. Tests put a fake in its place.
class AuthorizationBackend {
public:
    virtual ~AuthorizationBackend() = default;
    virtual int create() = 0;
    virtual int copyRights(const QString &right, quint32 flags) = 0;
    // Starts the tool with administrator rights and returns without waiting
    // for the tool (only, where a dialog asks, for the user's answer).
    virtual int executeWithPrivileges(const QString &path, const QStringList &arguments) = 0;
};

// The backend of this machine. `asRoot`: the process already has the rights;
// otherwise the one password dialog is pkexec's when the tool is started.
std::shared_ptr<AuthorizationBackend> makeSystemAuthorizationBackend(bool asRoot);

class Authorization {
public:
    Authorization();
    // AuthorizationCreate with no rights; 0 on success.
    int create();
    // AuthorizationCopyRights for one right with the given flags; blocks
    // while the password dialog is up.
    int copyRights(const QString &right, quint32 flags);
    // AuthorizationExecuteWithPrivileges: starts `path` with the arguments and
    // does not wait for it.
    int executeWithPrivileges(const QString &path, const QStringList &arguments);

    static void setBackend(std::shared_ptr<AuthorizationBackend> backend);
    static std::shared_ptr<AuthorizationBackend> backend();

private:
    bool m_created = false;
    bool m_granted = false;
};

} // namespace Platform
