#include "PowerAssertion.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QMap>
#include <QMutex>

namespace Platform {
namespace {

// What keeps the display awake for one assertion: logind's descriptor (the
// inhibitor lasts while it is open) or the screen saver's cookie.
struct Inhibitor {
    QDBusUnixFileDescriptor logindLock;
    uint screenSaverCookie = 0;
    bool holds() const { return logindLock.isValid() || screenSaverCookie != 0; }
};

QMutex g_mutex;
quint32 g_nextId = 1;
QMap<quint32, Inhibitor> g_inhibitors;

constexpr int kIOReturnBadArgument = int(0xe00002c2);
// A missing service answers at once; a hanging one must not hold the start.
constexpr int CallTimeoutMs = 3000;

QString applicationName()
{
    return QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Tarnwick")
                                                         : QCoreApplication::applicationName();
}

QDBusUnixFileDescriptor inhibitLogind(const QString &reason)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return {};
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    manager.setTimeout(CallTimeoutMs);
    QDBusReply<QDBusUnixFileDescriptor> reply = manager.call(QStringLiteral("Inhibit"), QStringLiteral("idle"),
                                                             applicationName(), reason, QStringLiteral("block"));
    return reply.isValid() ? reply.value() : QDBusUnixFileDescriptor();
}

uint inhibitScreenSaver(const QString &reason)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                         QStringLiteral("org.freedesktop.ScreenSaver"), bus);
    saver.setTimeout(CallTimeoutMs);
    QDBusReply<uint> reply = saver.call(QStringLiteral("Inhibit"), applicationName(), reason);
    return reply.isValid() ? reply.value() : 0;
}
} // namespace

int PowerAssertion::createWithName(const QString &type, quint32 level, const QString &name, quint32 *assertionId)
{
    if (!assertionId || type.isEmpty() || level != 255)
        return kIOReturnBadArgument;
    if (type != QLatin1String("PreventUserIdleDisplaySleep"))
        return kIOReturnBadArgument;
    Inhibitor inhibitor;
    inhibitor.logindLock = inhibitLogind(name);
    if (!inhibitor.logindLock.isValid())
        inhibitor.screenSaverCookie = inhibitScreenSaver(name);
    if (!inhibitor.holds())
        return Failure;
    QMutexLocker lock(&g_mutex);
    *assertionId = g_nextId++;
    g_inhibitors.insert(*assertionId, inhibitor);
    return Success;
}

int PowerAssertion::release(quint32 assertionId)
{
    Inhibitor inhibitor;
    {
        QMutexLocker lock(&g_mutex);
        if (!g_inhibitors.contains(assertionId))
            return kIOReturnBadArgument;
        inhibitor = g_inhibitors.take(assertionId);
    }
    if (inhibitor.screenSaverCookie) {
        QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"),
                             QStringLiteral("/org/freedesktop/ScreenSaver"),
                             QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
        saver.setTimeout(CallTimeoutMs);
        saver.call(QStringLiteral("UnInhibit"), inhibitor.screenSaverCookie);
    }
    // logind ends the inhibitor when its descriptor closes: with the last
    // copy, here.
    return Success;
}

} // namespace Platform
