#include "PrivateBus.h"

#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QUuid>

namespace TestSupport {

PrivateBus::PrivateBus()
{
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                           QStringLiteral("--print-address=1"), QStringLiteral("--address=unix:dir=") + m_dir.path()});
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.state() == QProcess::Running)
        m_daemon.waitForReadyRead(10000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

StandInFileManager::StandInFileManager(const QString &busAddress, Answer answer)
    : m_connectionName(QStringLiteral("stand-in-file-manager-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_answer(answer)
{
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    m_ok = bus.isConnected() &&
           bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this, QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
}

StandInFileManager::~StandInFileManager()
{
    QDBusConnection bus(m_connectionName);
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void StandInFileManager::ShowItems(const QStringList &uris, const QString &startupId)
{
    Q_UNUSED(startupId);
    if (m_answer == Answer::Refuse) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show items"));
        return;
    }
    m_shown.append(uris);
}

FileManagerRig::FileManagerRig(StandInFileManager::Answer answer)
{
    if (!m_bus.ok())
        return;
    m_manager = std::make_unique<StandInFileManager>(m_bus.address(), answer);
    Platform::Workspace::shared().setFileManagerBusAddress(m_bus.address());
    Platform::Workspace::shared().setRecordingOpens(true);
}

FileManagerRig::~FileManagerRig()
{
    Platform::Workspace::shared().setRecordingOpens(false);
    Platform::Workspace::shared().setFileManagerBusAddress(QString());
}

QStringList FileManagerRig::opened() const { return Platform::Workspace::shared().openedItems(); }

} // namespace TestSupport
