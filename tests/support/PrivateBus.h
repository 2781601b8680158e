#pragma once
// A D-Bus message bus of the test's own (a dbus-daemon on a temporary
// address), and a stand-in for the desktop's file manager on it.
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace TestSupport
{

class PrivateBus
{
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
class StandInFileManager : public QObject, protected QDBusContext
{
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

} // namespace TestSupport
