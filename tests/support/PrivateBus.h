#pragma once
// A D-Bus message bus of the test's own (a dbus-daemon on a temporary
// address), and a stand-in for the desktop's file manager on it.
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace TestSupport {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool ok() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// org.freedesktop.FileManager1 at /org/freedesktop/FileManager1 on a bus:
// keeps what ShowItems was asked to show, or refuses it with an error.
class StandInFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    enum class Answer { Show, Refuse };
    StandInFileManager(const QString &busAddress, Answer answer = Answer::Show);
    ~StandInFileManager() override;

    // The name is ours on the bus.
    bool ok() const { return m_ok; }
    // One entry per call: its URIs.
    QList<QStringList> shown() const { return m_shown; }

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId);

private:
    QString m_connectionName;
    Answer m_answer;
    bool m_ok = false;
    QList<QStringList> m_shown;
};

// A private bus with a stand-in file manager on it, and the workspace asking
// that bus and recording what it would open instead of opening it; all of
// it undone at the end.
class FileManagerRig {
public:
    explicit FileManagerRig(StandInFileManager::Answer answer = StandInFileManager::Answer::Show);
    ~FileManagerRig();
    FileManagerRig(const FileManagerRig &) = delete;
    FileManagerRig &operator=(const FileManagerRig &) = delete;

    bool ok() const { return m_bus.ok() && m_manager && m_manager->ok(); }
    QString busAddress() const { return m_bus.address(); }
    // The file manager's calls: the URIs of each.
    QList<QStringList> shown() const { return m_manager ? m_manager->shown() : QList<QStringList>(); }
    // What the workspace opened (recorded, not opened).
    QStringList opened() const;

private:
    PrivateBus m_bus;
    std::unique_ptr<StandInFileManager> m_manager;
};

} // namespace TestSupport
