#include "RunningApplications.h"

#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace Platform {
namespace {
QString socketName(qint64 pid) { return QStringLiteral("tarnwick-activate-%1").arg(pid); }
} // namespace

qint64 RunningApplications::currentProcessIdentifier() { return qint64(getpid()); }

QList<RunningApplication> RunningApplications::withBundleIdentifier(const QString &bundleIdentifier)
{
    QList<RunningApplication> found;
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
        if (Bundle(bundlePath).bundleIdentifier() == bundleIdentifier)
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
    QObject::connect(server, &QLocalServer::newConnection, server, [onActivate = std::move(onActivate)] {
        while (QLocalSocket *client = server->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            onActivate();
        }
    });
}

} // namespace Platform
