#include "RunningApplications.h"

#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>
#include <optional>
#include <string>

#include <unistd.h>

namespace Platform {
namespace {
QString socketName(qint64 pid) { return QStringLiteral("tarnwick-activate-%1").arg(pid); }

// What places a process in a session: the display it shows its windows on
// and the system root (disk world) it serves.
struct Session {
    QByteArray display;
    QByteArray waylandDisplay;
    QString systemRoot;
    bool operator==(const Session &) const = default;
};

QString cleanRoot(const QByteArray &value)
{
    return value.isEmpty() ? QStringLiteral("/") : QDir::cleanPath(QString::fromLocal8Bit(value));
}

Session ownSession() { return {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), cleanRoot(qgetenv("TARNWICK_ROOT"))}; }

// Nothing when the process's environment cannot be read (another user's,
// or gone): such a process is not known to share this session.
std::optional<Session> sessionOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Session session;
    QByteArray root;
    for (const QByteArray &entry : file.readAll().split('\0')) {
        const int eq = entry.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray name = entry.left(eq);
        const QByteArray value = entry.mid(eq + 1);
        if (name == "DISPLAY")
            session.display = value;
        else if (name == "WAYLAND_DISPLAY")
            session.waylandDisplay = value;
        else if (name == "TARNWICK_ROOT")
            root = value;
    }
    session.systemRoot = cleanRoot(root);
    return session;
}

// The activation socket's file, removed at every orderly end of the process
// (std::exit and std::quick_exit included, which skip the Qt objects' destructors).
std::string g_socketPath;

void removeActivationSocket()
{
    if (!g_socketPath.empty())
        ::unlink(g_socketPath.c_str());
}
} // namespace

qint64 RunningApplications::currentProcessIdentifier() { return qint64(getpid()); }

QList<RunningApplication> RunningApplications::withBundleIdentifier(const QString &bundleIdentifier, Scope scope)
{
    QList<RunningApplication> found;
    const Session own = ownSession();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pidText : pids) {
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok)
            continue;
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
        if (exe.isEmpty() || !exe.contains(QLatin1String(".app/Contents/MacOS/")))
            continue;
        const QString bundlePath = Bundle::bundlePathForExecutable(exe);
        if (Bundle(bundlePath).bundleIdentifier() != bundleIdentifier)
            continue;
        if (scope == Scope::ThisSession && pid != currentProcessIdentifier() && sessionOf(pid) != own)
            continue;
        found.append({pid, bundlePath});
    }
    return found;
}

bool RunningApplications::activate(const RunningApplication &application)
{
    QLocalSocket socket;
    socket.connectToServer(socketName(application.processIdentifier));
    if (!socket.waitForConnected(2000))
        return false;
    socket.write("activate\n");
    socket.flush();
    socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return true;
}

void RunningApplications::listenForActivation(std::function<void()> onActivate)
{
    static QLocalServer *server = nullptr;
    if (server)
        return;
    server = new QLocalServer(QCoreApplication::instance());
    server->setSocketOptions(QLocalServer::WorldAccessOption);
    const QString name = socketName(currentProcessIdentifier());
    QLocalServer::removeServer(name);
    if (!server->listen(name))
        return;
    g_socketPath = QFile::encodeName(server->fullServerName()).toStdString();
    std::atexit(removeActivationSocket);
    std::at_quick_exit(removeActivationSocket);
    QObject::connect(server, &QLocalServer::newConnection, server, [onActivate = std::move(onActivate)] {
        while (QLocalSocket *client = server->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            onActivate();
        }
    });
}

} // namespace Platform
