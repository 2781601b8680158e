#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace Platform {

// Authorization Services' place. Status codes follow the original platform's
// (0 success, errAuthorizationDenied -60005, errAuthorizationCanceled -60006,
// errAuthorizationToolExecuteFailure -60031).
// A tool's path is given as the bytes of its file name, so that a name that is
// not UTF-8 reaches the system exactly.
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
    virtual int executeWithPrivileges(const QByteArray &path, const QStringList &arguments) = 0;
    // "do shell script": runs one command line through the system's script
    // runner (/bin/sh -c with the line as its one argument) and waits for it;
    // with `withRights`, as root (one password dialog, pkexec's, for the
    // whole line). The backend of this machine implements it; others run
    // nothing.
    struct ShellResult {
        int status = -1; // the line's exit status; -1 when nothing ran to its end
        int authorization = AuthorizationStatus::ToolExecuteFailure; // 0 when the line ran
        QByteArray output;                                           // its standard output
    };
    virtual ShellResult runShellScript(const QString &commandLine, bool withRights)
    {
        (void)commandLine;
        (void)withRights;
        return {};
    }
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
    int executeWithPrivileges(const QByteArray &path, const QStringList &arguments);

    static void setBackend(std::shared_ptr<AuthorizationBackend> backend);
    static std::shared_ptr<AuthorizationBackend> backend();

private:
    bool m_created = false;
    bool m_granted = false;
};

} // namespace Platform
