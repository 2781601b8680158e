#include "PowerAssertion.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMap>
#include <QMutex>

namespace Platform {
namespace {
QMutex g_mutex;
quint32 g_nextId = 1;
QMap<quint32, uint> g_cookies; // assertion id → screen-saver cookie (0: none)

constexpr int kIOReturnBadArgument = int(0xe00002c2);

uint inhibitScreenSaver(const QString &reason)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                         QStringLiteral("org.freedesktop.ScreenSaver"), bus);
    if (!saver.isValid())
        return 0;
    const QString app = QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Tarnwick")
                                                                      : QCoreApplication::applicationName();
    QDBusReply<uint> reply = saver.call(QStringLiteral("Inhibit"), app, reason);
    return reply.isValid() ? reply.value() : 0;
}
} // namespace

int PowerAssertion::createWithName(const QString &type, quint32 level, const QString &name, quint32 *assertionId)
{
    if (!assertionId || type.isEmpty() || level != 255)
        return kIOReturnBadArgument;
    const uint cookie = type == QLatin1String("PreventUserIdleDisplaySleep") ? inhibitScreenSaver(name) : 0;
    QMutexLocker lock(&g_mutex);
    *assertionId = g_nextId++;
    g_cookies.insert(*assertionId, cookie);
    return Success;
}

int PowerAssertion::release(quint32 assertionId)
{
    uint cookie = 0;
    {
        QMutexLocker lock(&g_mutex);
        if (!g_cookies.contains(assertionId))
            return kIOReturnBadArgument;
        cookie = g_cookies.take(assertionId);
    }
    if (cookie) {
        QDBusInterface saver(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                             QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
        saver.call(QStringLiteral("UnInhibit"), cookie);
    }
    return Success;
}

} // namespace Platform
