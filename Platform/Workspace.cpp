#include "Workspace.h"
#include "Bundle.h"
#include "ConsoleUserProcess.h"
#include "DiskWorld/FileSystemKind.h"
#include "DiskWorld/VolumeWatcher.h"
#include "DiskWorld/World.h"
#include "Dispatch.h"
#include "NotificationCenter.h"
#include "SystemLog.h"
#include "SystemRoot.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <unistd.h>

namespace Platform {
namespace {

using DiskWorld::World;

// A device node's path: "/dev/disk2s1", also when resolved under the root.
QString deviceNode(const QString &path)
{
    const QString root = systemRoot();
    QString p = QDir::cleanPath(path);
    if (root != QLatin1String("/") && p.startsWith(root + QLatin1Char('/')))
        p = p.mid(root.size());
    return p.startsWith(QLatin1String("/dev/")) ? p.mid(5) : QString();
}

// devfs of the original platform is a small file system that is always there.
constexpr qint64 kDevfsSize = 196608;

// How long a file manager may take to answer (it may first be started by the bus).
constexpr int kShowItemsTimeoutMs = 5000;
const QString kPrivateBusName = QStringLiteral("tarnwick-file-manager-bus");

// What the world says about a path: the device answer for a device node it
// knows, onVolume's for a path on one of its volumes. nullopt when the host's
// own file system is to be asked instead; a device node is never asked there.
template <typename Info>
std::optional<std::optional<Info>> askWorld(
    const World &w, const QString &path, const Info &device,
    const std::function<Info(const DiskWorld::State &, const DiskWorld::Disk &, const DiskWorld::Node &)> &onVolume)
{
    const QString node = deviceNode(path);
    std::optional<Info> out;
    if (w.exists()) {
        w.inspect([&](const DiskWorld::State &s) {
            if (!node.isEmpty()) {
                const DiskWorld::Disk *owner = nullptr;
                if (s.disk(node) || s.node(node, &owner))
                    out = device;
                return;
            }
            const std::optional<DiskWorld::Ref> r = w.volumeHolding(s, path);
            if (!r || !QFileInfo::exists(path))
                return;
            out = onVolume(s, *s.disk(r->disk), *s.node(r->node));
        });
        if (out || !node.isEmpty())
            return out;
    } else if (!node.isEmpty()) {
        return std::optional<Info>();
    }
    return std::nullopt;
}

} // namespace

Workspace::Workspace() = default;
Workspace::~Workspace() = default;

Workspace &Workspace::shared()
{
    static Workspace workspace;
    return workspace;
}

NotificationCenter &Workspace::notificationCenter()
{
    NotificationCenter &center = NotificationCenter::workspaceCenter();
    if (Dispatch::isMainThread()) {
        if (!m_watcher)
            m_watcher = std::make_unique<DiskWorld::VolumeWatcher>(center);
        else
            m_watcher->followSystemRoot();
    }
    return center;
}

void Workspace::synchronizeVolumes()
{
    // Without a watcher there is nothing known to bring up to date: the first
    // notificationCenter() takes the volumes of that moment.
    if (m_watcher && Dispatch::isMainThread())
        m_watcher->synchronize();
}

bool Workspace::launchApplication(const QString &bundlePath)
{
    const Bundle bundle(bundlePath);
    if (!bundle.isValid())
        return false;
    const QString exe = bundle.executablePath();
    if (!QFileInfo(exe).isExecutable())
        return false;
    if (m_launcher)
        return m_launcher(exe, {});
    return QProcess::startDetached(exe, {});
}

bool Workspace::open(const QString &what)
{
    if (m_recording) {
        m_opened.append(what);
        return true;
    }
    if (m_opener)
        return m_opener(what);
    return openWithDesktop(what);
}

namespace {

// Starts the opener for the person at the screen, watched to its end so that
// a desktop without a handler for the item is logged with xdg-open's own words.
void startOpenerAs(const ConsoleUserProcess &user, const QString &opener, const QString &what)
{
    auto *process = new QProcess(qApp);
    if (!user.prepare(*process, what)) {
        delete process;
        return;
    }
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::finished, process, [process, what](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            systemLog(QStringLiteral("could not open %1: xdg-open ended with %2: %3")
                          .arg(what)
                          .arg(code)
                          .arg(QString::fromLocal8Bit(process->readAll()).trimmed()));
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, what](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        systemLog(QStringLiteral("could not open %1: %2").arg(what, process->errorString()));
        process->deleteLater();
    });
    // xdg-open may wait for the browser it started: one still running when
    // the program ends is left alone rather than ended with it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, process, [process] {
        if (process->state() != QProcess::NotRunning) {
            process->disconnect();
            process->setParent(nullptr);
        }
    });
    process->start(opener, {what});
}

} // namespace

bool Workspace::openWithDesktop(const QString &what)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        systemLog(QStringLiteral("could not open %1: no xdg-open installed").arg(what));
        return false;
    }
    // Started as the person at the screen, in their session: never a root
    // browser or file manager. Who that is comes from the disks' records,
    // which a long change (an image's eject) may hold: it is looked up on a
    // worker and the opener is started back on the main thread. Without the
    // user or their session nothing starts, and prepare() logs why.
    Dispatch::globalAsync([opener, what] {
        const ConsoleUserProcess user = ConsoleUserProcess::forConsoleUser();
        Dispatch::mainAsync([user, opener, what] { startOpenerAs(user, opener, what); });
    });
    return true;
}

bool Workspace::openFile(const QString &path) { return open(path); }

void Workspace::setFileManagerBusAddress(const QString &address)
{
    if (address == m_fileManagerBus)
        return;
    if (!m_fileManagerBus.isEmpty())
        QDBusConnection::disconnectFromBus(kPrivateBusName);
    m_fileManagerBus = address;
}

void Workspace::selectFile(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString folder = QFileInfo(QDir::cleanPath(path)).absolutePath();
    // A call on the bus carries this process's identity: made for another
    // user it would not be theirs. Their own file manager then opens the
    // folder, started as them.
    if (m_fileManagerBus.isEmpty()) {
        // Who is at the screen is looked up off the main thread (see
        // openWithDesktop); the rest goes on back here.
        Dispatch::globalAsync([this, path, folder] {
            const bool otherUser = ConsoleUserProcess::forConsoleUser().uid() != geteuid();
            Dispatch::mainAsync([this, path, folder, otherUser] {
                if (otherUser)
                    open(folder);
                else
                    showItemOnBus(path, folder);
            });
        });
        return;
    }
    showItemOnBus(path, folder);
}

void Workspace::showItemOnBus(const QString &path, const QString &folder)
{
    const QDBusConnection bus = m_fileManagerBus.isEmpty()
                                    ? QDBusConnection::sessionBus()
                                    : QDBusConnection::connectToBus(m_fileManagerBus, kPrivateBusName);
    if (!bus.isConnected()) {
        open(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kShowItemsTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [this, folder](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        // No file manager on the bus, or one that refused: the folder at least.
        if (QDBusPendingReply<>(*w).isError())
            open(folder);
    });
}

bool Workspace::openURL(const QString &url) { return open(url); }

void Workspace::setOpener(Opener opener) { m_opener = std::move(opener); }

void Workspace::setRecordingOpens(bool on)
{
    m_recording = on;
    m_opened.clear();
}

QStringList Workspace::openedItems() const { return m_opened; }

void Workspace::clearOpenedItems() { m_opened.clear(); }

void Workspace::setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

QStringList Workspace::mountedLocalVolumePaths() const
{
    const World w(systemRoot());
    QStringList paths;
    if (w.exists() && w.inspect([&](const DiskWorld::State &s) {
            QStringList others;
            for (const auto &[d, n] : s.volumes()) {
                const DiskWorld::Volume &v = *n->volume;
                if (v.mounted)
                    (v.boot ? paths : others).append(w.mountPoint(v));
            }
            paths += others;
        }))
        return paths;
    // Outside a world: the root and whatever folders stand in Volumes.
    paths.append(w.root());
    for (const QString &name : QDir(w.volumesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        paths.append(w.volumesDir() + QLatin1Char('/') + name);
    return paths;
}

std::optional<FileSystemInfo> Workspace::fileSystemInfo(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    const World w(systemRoot());
    const std::optional<std::optional<FileSystemInfo>> fromWorld = askWorld<FileSystemInfo>(
        w, path, FileSystemInfo{false, true, false, QStringLiteral("devfs"), QStringLiteral("devfs")},
        [](const DiskWorld::State &s, const DiskWorld::Disk &d, const DiskWorld::Node &n) {
            const DiskWorld::Disk *physical = s.physicalDisk(d);
            const DiskWorld::Volume &v = *n.volume;
            const std::optional<DiskWorld::FileSystemKind> kind = DiskWorld::fileSystemNamed(v.fs);
            return FileSystemInfo{physical && physical->ejectable, v.writable, !v.boot, v.fs,
                                  kind ? kind->type : v.fs.toLower()};
        });
    if (fromWorld)
        return *fromWorld;
    const QStorageInfo storage(path);
    if (!QFileInfo::exists(path) || !storage.isValid())
        return std::nullopt;
    const QString type = QString::fromUtf8(storage.fileSystemType());
    return FileSystemInfo{false, !storage.isReadOnly(), storage.rootPath() != QLatin1String("/"), type, type};
}

std::optional<FileSystemAttributes> Workspace::fileSystemAttributes(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    const World w(systemRoot());
    const std::optional<std::optional<FileSystemAttributes>> fromWorld = askWorld<FileSystemAttributes>(
        w, path, FileSystemAttributes{kDevfsSize, 0, 1024, 0},
        [&w](const DiskWorld::State &s, const DiskWorld::Disk &d, const DiskWorld::Node &n) {
            const qint64 capacity = World::capacity(s, d, n);
            const qint64 free = w.freeBytes(s, d, n);
            return FileSystemAttributes{capacity, free, capacity / 4096, free / 4096};
        });
    if (fromWorld)
        return *fromWorld;
    const QStorageInfo storage(path);
    if (!QFileInfo::exists(path) || !storage.isValid())
        return std::nullopt;
    return FileSystemAttributes{storage.bytesTotal(), storage.bytesAvailable(), 0, 0};
}

QString Workspace::displayNameAtPath(const QString &path) const
{
    const World w(systemRoot());
    QString name;
    if (w.exists())
        w.inspect([&](const DiskWorld::State &s) {
            if (const std::optional<DiskWorld::Ref> r = w.volumeAtMountPoint(s, path))
                name = s.node(r->node)->volume->name;
        });
    return name.isEmpty() ? QFileInfo(QDir::cleanPath(path)).fileName() : name;
}

QIcon Workspace::iconForFile(const QString &path) const
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    static QFileIconProvider provider;
    // Only a folder right under Volumes, or the root, can be a mount point:
    // the world is asked about nothing else, so listing a folder stays cheap.
    const World w(systemRoot());
    const QString clean = QDir::cleanPath(path);
    const bool maybeVolume = clean == w.root() || QFileInfo(clean).absolutePath() == w.volumesDir();
    if (maybeVolume && mountedLocalVolumePaths().contains(clean)) {
        const QIcon drive = provider.icon(QAbstractFileIconProvider::Drive);
        if (!drive.isNull())
            return drive;
    }
    const QIcon icon = provider.icon(QFileInfo(path));
    if (!icon.isNull())
        return icon;
    return provider.icon(QFileInfo(path).isDir() ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
}

} // namespace Platform
