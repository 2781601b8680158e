#include "SystemRoot.h"
#include "WorldPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace Platform {
namespace {
QMutex g_mutex;
QString g_root;
bool g_rootSet = false;
QString g_tools;
bool g_toolsSet = false;

QString cleanRoot(const QString &r)
{
    return QFile::decodeName(QByteArray::fromStdString(DiskWorld::Core::cleanRoot(QFile::encodeName(r).toStdString())));
}
} // namespace

QString systemRoot()
{
    QMutexLocker lock(&g_mutex);
    if (!g_rootSet) {
        g_root = cleanRoot(qEnvironmentVariable("TARNWICK_ROOT"));
        g_rootSet = true;
    }
    return g_root;
}

void setSystemRoot(const QString &root)
{
    QMutexLocker lock(&g_mutex);
    g_root = cleanRoot(root);
    g_rootSet = true;
    // Child processes (the stand-in tools) must see the same world.
    qputenv("TARNWICK_ROOT", QFile::encodeName(g_root));
}

QString rootPath(const QString &originalPath)
{
    if (!originalPath.startsWith(QLatin1Char('/')))
        return originalPath;
    const QString root = systemRoot();
    if (root == QLatin1String("/"))
        return originalPath;
    if (originalPath == QLatin1String("/"))
        return root;
    // Already resolved: leave it alone so callers may resolve twice safely.
    if (originalPath == root || originalPath.startsWith(root + QLatin1Char('/')))
        return originalPath;
    return root + originalPath;
}

QString systemPath(const QString &hostPath)
{
    const QString clean = QDir::cleanPath(hostPath);
    if (!clean.startsWith(QLatin1Char('/')))
        return {};
    const QString root = systemRoot();
    if (root == QLatin1String("/"))
        return clean;
    if (clean == root)
        return QStringLiteral("/");
    if (clean.startsWith(root + QLatin1Char('/')))
        return clean.mid(root.size());
    return {};
}

QByteArray systemPath(const QByteArray &hostPath)
{
    if (!hostPath.startsWith('/'))
        return {};
    QByteArray path = hostPath;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const QByteArray root = QFile::encodeName(systemRoot());
    if (root == "/")
        return path;
    if (path == root)
        return QByteArrayLiteral("/");
    if (path.startsWith(root + '/'))
        return path.mid(root.size());
    return {};
}

bool isStartupMountPoint(const QString &mountPoint)
{
    if (mountPoint.isEmpty())
        return false;
    const QString root = systemRoot();
    return mountPoint == QLatin1String("/") || QDir::cleanPath(mountPoint) == root;
}

bool isPlatformPrivatePath(const QString &path)
{
    const QString root = systemRoot();
    const QString privateFolder = (root == QLatin1String("/") ? QString() : root) + QStringLiteral("/.diskworld");
    return QDir::cleanPath(path) == privateFolder;
}

QString toolsDirectory()
{
    QMutexLocker lock(&g_mutex);
    if (!g_toolsSet) {
        const QString env = qEnvironmentVariable("TARNWICK_TOOLS");
        if (!env.isEmpty()) {
            g_tools = env;
        } else if (QCoreApplication::instance()) {
            // <bundle>/Contents/MacOS/<exe> → <bundle>/Contents/Resources/tools
            g_tools = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../Resources/tools"));
        }
        g_toolsSet = !g_tools.isEmpty();
    }
    return g_tools;
}

void setToolsDirectory(const QString &dir)
{
    QMutexLocker lock(&g_mutex);
    g_tools = dir;
    g_toolsSet = true;
}

QString toolPath(const QString &originalToolPath)
{
    static const QStringList standIns = {QStringLiteral("/usr/sbin/diskutil"), QStringLiteral("/usr/sbin/asr"),
                                         QStringLiteral("/usr/bin/hdiutil")};
    if (standIns.contains(originalToolPath))
        return toolsDirectory() + QLatin1Char('/') + QFileInfo(originalToolPath).fileName();
    return originalToolPath;
}

} // namespace Platform
