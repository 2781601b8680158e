#include "ConsoleUserProcess.h"
#include "SystemInfo.h"
#include "SystemLog.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

// A folder or socket that belongs to the user, not a link.
bool ownedBy(const QString &path, uid_t uid, mode_t type)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == type && st.st_uid == uid;
}

} // namespace

ConsoleUserProcess ConsoleUserProcess::forConsoleUser()
{
    ConsoleUserProcess user;
    user.m_name = SystemInfo::consoleUser().name;
    if (user.m_name.isEmpty()) {
        user.m_why = QStringLiteral("nobody is at the screen");
        return user;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size_t(size > 0 ? size : 16384));
    passwd pw;
    passwd *found = nullptr;
    const QByteArray name = user.m_name.toLocal8Bit();
    if (getpwnam_r(name.constData(), &pw, buf.data(), buf.size(), &found) != 0 || !found) {
        user.m_why = QStringLiteral("the user %1 has no account on this machine").arg(user.m_name);
        return user;
    }
    user.m_uid = found->pw_uid;
    user.m_gid = found->pw_gid;
    user.m_home = QFile::decodeName(found->pw_dir);
    const QString shell = QFile::decodeName(found->pw_shell);

    if (user.m_uid != geteuid()) {
        if (geteuid() != 0) {
            user.m_why = QStringLiteral("this process can act as %1 only with administrator rights").arg(user.m_name);
            return user;
        }
        user.m_switch = true;
        int count = 32;
        std::vector<gid_t> groups(static_cast<size_t>(count));
        if (getgrouplist(name.constData(), user.m_gid, groups.data(), &count) < 0) {
            groups.resize(size_t(count));
            if (getgrouplist(name.constData(), user.m_gid, groups.data(), &count) < 0)
                count = 0;
        }
        groups.resize(size_t(std::max(count, 0)));
        if (groups.empty())
            groups.push_back(user.m_gid);
        user.m_groups = groups;
    }

    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    const QString display = own.value(QStringLiteral("DISPLAY"));
    const QString wayland = own.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty() && wayland.isEmpty()) {
        user.m_why = QStringLiteral("no display of %1's session is known").arg(user.m_name);
        return user;
    }
    QProcessEnvironment env;
    const auto keep = [&](const char *key) {
        const QString k = QString::fromLatin1(key);
        if (own.contains(k))
            env.insert(k, own.value(k));
    };
    for (const char *key : {"PATH", "LANG", "LC_ALL", "LC_CTYPE", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"})
        keep(key);
    env.insert(QStringLiteral("HOME"), user.m_home);
    env.insert(QStringLiteral("USER"), user.m_name);
    env.insert(QStringLiteral("LOGNAME"), user.m_name);
    if (!shell.isEmpty())
        env.insert(QStringLiteral("SHELL"), shell);
    const QString runtime = QStringLiteral("/run/user/%1").arg(user.m_uid);
    if (ownedBy(runtime, user.m_uid, S_IFDIR)) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        if (ownedBy(runtime + QStringLiteral("/bus"), user.m_uid, S_IFSOCK))
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus"));
    }
    // Acting for oneself, one's own bus is the session's.
    if (!user.m_switch && !env.contains(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")))
        keep("DBUS_SESSION_BUS_ADDRESS");
    if (!user.m_switch && !env.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        keep("XDG_RUNTIME_DIR");
    user.m_environment = env;
    return user;
}

bool ConsoleUserProcess::prepare(QProcess &process, const QString &what) const
{
    if (!isValid()) {
        systemLog(QStringLiteral("did not open %1: %2").arg(what, m_why));
        return false;
    }
    process.setProcessEnvironment(m_environment);
    if (QFileInfo(m_home).isDir())
        process.setWorkingDirectory(m_home);
    if (m_switch) {
        // Runs in the child between fork and exec: system calls only.
        const uid_t uid = m_uid;
        const gid_t gid = m_gid;
        const std::vector<gid_t> groups = m_groups;
        process.setChildProcessModifier([uid, gid, groups] {
            if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0 ||
                getuid() != uid || geteuid() != uid)
                _exit(127);
        });
    }
    return true;
}

} // namespace Platform
