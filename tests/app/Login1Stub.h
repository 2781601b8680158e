#pragma once
// logind on a message bus of the test's own, for the display-sleep assertion:
// tests point DBUS_SYSTEM_BUS_ADDRESS (their own, or a started program's) at it.
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// A message bus of the test's own, standing in for the system bus.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {"--session", "--nofork", "--print-address=1", "--address=unix:tmpdir=" + QDir::tempPath()});
        if (!m_daemon.waitForStarted(5000))
            return;
        if (TestSupport::waitUntil([&] { return m_daemon.canReadLine(); }, 5000))
            m_address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill(), m_daemon.waitForFinished(2000);
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// logind's manager as far as the idle inhibitor goes: each Inhibit hands out
// the writing end of a pipe and keeps the reading end, so the test sees when
// the last copy of the descriptor is closed.
class Login1Stub : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~Login1Stub() override
    {
        for (int fd : readEnds)
            ::close(fd);
    }
    QMutex mutex;
    QStringList calls;
    QList<int> readEnds;

    // No end of file on the reading end: someone still holds the lock.
    bool held(int i)
    {
        QMutexLocker lock(&mutex);
        pollfd p{readEnds.value(i, -1), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        QMutexLocker lock(&mutex);
        calls << what << who << why << mode;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return {};
        readEnds << fds[0];
        QDBusUnixFileDescriptor handed(fds[1]); // a copy of its own
        ::close(fds[1]);
        return handed;
    }
};

// The stub serves from a thread of its own: the program's call blocks the
// main thread until the answer comes.
class LogindOnPrivateBus {
public:
    LogindOnPrivateBus()
    {
        if (bus.address().isEmpty())
            return;
        stub.moveToThread(&thread);
        thread.start();
        QDBusConnection c = QDBusConnection::connectToBus(bus.address(), QStringLiteral("login1-stub"));
        ok = c.isConnected() && c.registerService(QStringLiteral("org.freedesktop.login1")) &&
             c.registerObject(QStringLiteral("/org/freedesktop/login1"), &stub, QDBusConnection::ExportAllSlots);
    }
    ~LogindOnPrivateBus()
    {
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("login1-stub"))
            .unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("login1-stub"));
        thread.quit();
        thread.wait();
    }
    PrivateBus bus;
    Login1Stub stub;
    QThread thread;
    bool ok = false;
};
