#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace Platform {

class NotificationCenter;

// The workspace's names for its mount notifications; the userInfo of each
// carries the volume's path ("NSDevicePath") and name ("NSWorkspaceVolumeLocalizedNameKey").
inline constexpr const char *WorkspaceDidMountNotification = "NSWorkspaceDidMountNotification";
inline constexpr const char *WorkspaceDidUnmountNotification = "NSWorkspaceDidUnmountNotification";

// NSWorkspace's place: launching bundles, opening files and links, the
// workspace notification centre.
class Workspace {
public:
    static Workspace &shared();
    NotificationCenter &notificationCenter();

    // Starts a bundle's executable with no arguments and does not wait.
    bool launchApplication(const QString &bundlePath);
    // Open a file or folder in the file manager, a link in the browser.
    bool openFile(const QString &path);
    bool openURL(const QString &url);

    // Tests replace the desktop's opener to see what would have been opened.
    using Opener = std::function<bool(const QString &what)>;
    void setOpener(Opener opener);
    // Tests replace the launcher likewise.
    using Launcher = std::function<bool(const QString &executable, const QStringList &arguments)>;
    void setLauncher(Launcher launcher);

private:
    Opener m_opener;
    Launcher m_launcher;
};

} // namespace Platform
