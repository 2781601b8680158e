#pragma once
#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace Platform {

class NotificationCenter;
namespace DiskWorld {
class VolumeWatcher;
}

// The workspace's names for its mount notifications; the userInfo of each
// carries the volume's path ("NSDevicePath") and name ("NSWorkspaceVolumeLocalizedNameKey").
inline constexpr const char *WorkspaceDidMountNotification = "NSWorkspaceDidMountNotification";
inline constexpr const char *WorkspaceDidUnmountNotification = "NSWorkspaceDidUnmountNotification";
// A mounted volume that got a new name; the userInfo also holds the old name
// ("NSWorkspaceVolumeOldLocalizedNameKey") and path ("NSWorkspaceVolumeOldDevicePath").
inline constexpr const char *WorkspaceDidRenameVolumeNotification = "NSWorkspaceDidRenameVolumeNotification";

// What getFileSystemInfoForPath:isRemovable:isWritable:isUnmountable:description:type: answers.
struct FileSystemInfo {
    bool removable = false;
    bool writable = false;
    bool unmountable = false;
    QString description;
    QString type; // "apfs", "hfs", "exfat", "msdos", "ntfs"; "devfs" for a device node
};

// What attributesOfFileSystemForPath: answers (NSFileSystemSize, NSFileSystemFreeSize, …).
struct FileSystemAttributes {
    qint64 size = 0;
    qint64 freeSize = 0;
    qint64 nodes = 0;
    qint64 freeNodes = 0;
};

// NSWorkspace's place: launching bundles, opening files and links, the
// workspace notification centre, and the volume services over the disk world.
class Workspace {
public:
    static Workspace &shared();
    ~Workspace();

    // The centre of the mount and unmount notifications. Asked on the main
    // thread of an application, it starts watching the world's volumes: from
    // then on a volume folder that appears or disappears under <root>/Volumes
    // is posted there (on the main thread), whoever made the change.
    NotificationCenter &notificationCenter();
    // Takes the volumes mounted now as known without posting anything (a test
    // that has just built its world calls this before it watches; main thread).
    void synchronizeVolumes();

    // Starts a bundle's executable with no arguments and does not wait.
    bool launchApplication(const QString &bundlePath);
    // Open a file or folder in the file manager, a link in the browser. The
    // desktop's opener runs as the person at the screen in their session
    // (ConsoleUserProcess); when that user or session cannot be found,
    // nothing is started (the reason is logged) and the answer is false.
    bool openFile(const QString &path);
    bool openURL(const QString &url);
    // selectFile:inFileViewerRootedAtPath:: shows the item selected in a
    // file-manager window through the desktop's file-manager interface
    // (org.freedesktop.FileManager1 ShowItems on the session bus). Where no
    // such service answers, the folder that holds the item is opened instead
    // (openFile). A process acting for another user (root for the person at
    // the screen) does not call on the bus with its own identity: it opens
    // the folder, as that user. Returns at once; the answer is awaited on the
    // main thread. Call on the main thread.
    void selectFile(const QString &path);
    // The bus that selectFile asks: a D-Bus address, or empty for the session bus.
    void setFileManagerBusAddress(const QString &address);

    // mountedLocalVolumePaths: the startup volume (the system root) first, then
    // every mounted volume's mount point.
    QStringList mountedLocalVolumePaths() const;
    // For a volume's path the world's answer; for a "/dev/" node the device
    // file system, as on the original platform; for other paths on this
    // machine the host's. Nothing for a path that does not exist.
    std::optional<FileSystemInfo> fileSystemInfo(const QString &path) const;
    std::optional<FileSystemAttributes> fileSystemAttributes(const QString &path) const;
    // displayNameAtPath: for a mounted volume's mount point (the startup
    // volume's is the system root) the volume's name, otherwise the path's
    // last component.
    QString displayNameAtPath(const QString &path) const;
    // iconForFile: a drive for a mounted volume, else the desktop's icon for the file.
    QIcon iconForFile(const QString &path) const;

    // Tests replace the desktop's opener to see what would have been opened.
    using Opener = std::function<bool(const QString &what)>;
    void setOpener(Opener opener);
    // Or let the workspace keep a list of what it was asked to open, opening nothing.
    void setRecordingOpens(bool on);
    QStringList openedItems() const;
    void clearOpenedItems();
    // Tests replace the launcher likewise.
    using Launcher = std::function<bool(const QString &executable, const QStringList &arguments)>;
    void setLauncher(Launcher launcher);

private:
    Workspace();
    bool open(const QString &what);
    bool openWithDesktop(const QString &what);
    void showItemOnBus(const QString &path, const QString &folder);

    Opener m_opener;
    Launcher m_launcher;
    bool m_recording = false;
    QString m_fileManagerBus;
    QStringList m_opened;
    std::unique_ptr<DiskWorld::VolumeWatcher> m_watcher;
};

} // namespace Platform
