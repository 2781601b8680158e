#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <vector>

class QProcess;

namespace Platform {

// What is started on the user's behalf (a browser for a link, a file
// manager) runs as the person at the screen (SystemInfo::consoleUser()),
// never as the root process that asks: with their user and group ids and
// supplementary groups, their home as working folder, HOME, USER, LOGNAME and
// SHELL from their account, and their session's addresses: the display
// (DISPLAY, WAYLAND_DISPLAY, XAUTHORITY, as the launcher handed them on from
// that session), XDG_RUNTIME_DIR and the session bus (/run/user/<uid>/bus
// when their session has one there). A user without an account here, a
// process that is neither root nor that user, or a session without a display
// starts nothing; why is told (and logged by prepare).
class ConsoleUserProcess {
public:
    // Looks the console user and their session up.
    static ConsoleUserProcess forConsoleUser();

    bool isValid() const { return m_why.isEmpty(); }
    // Why nothing can be started; empty when valid.
    QString why() const { return m_why; }
    QString userName() const { return m_name; }
    uid_t uid() const { return m_uid; }
    QProcessEnvironment environment() const { return m_environment; }

    // Makes `process` start as the user: their environment, working folder,
    // and, in the child before the program runs, their groups and ids (a
    // child that cannot take them ends at once with status 127, running
    // nothing). False, with the reason logged under `what`, when the user
    // or their session cannot be found; the process is then left as it was.
    bool prepare(QProcess &process, const QString &what) const;

private:
    QString m_why;
    QString m_name;
    QString m_home;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::vector<gid_t> m_groups;
    bool m_switch = false; // root acting for another user: the ids change
    QProcessEnvironment m_environment;
};

} // namespace Platform
