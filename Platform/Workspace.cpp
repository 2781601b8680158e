#include "Workspace.h"
#include "Bundle.h"
#include "NotificationCenter.h"

#include <QFileInfo>
#include <QProcess>

namespace Platform {

Workspace &Workspace::shared()
{
    static Workspace workspace;
    return workspace;
}

NotificationCenter &Workspace::notificationCenter() { return NotificationCenter::workspaceCenter(); }

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

bool Workspace::openFile(const QString &path)
{
    if (m_opener)
        return m_opener(path);
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

bool Workspace::openURL(const QString &url)
{
    if (m_opener)
        return m_opener(url);
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

void Workspace::setOpener(Opener opener) { m_opener = std::move(opener); }

void Workspace::setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }

} // namespace Platform
