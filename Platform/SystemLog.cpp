#include "SystemLog.h"

#include <QDateTime>
#include <QMutex>
#include <cstdio>

namespace Platform {
namespace {
QMutex g_mutex;
int g_captures = 0;
QStringList g_lines;
} // namespace

void systemLog(const QString &message)
{
    QMutexLocker lock(&g_mutex);
    if (g_captures > 0) {
        g_lines.append(message);
        return;
    }
    const QByteArray line = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) +
                             QStringLiteral("Tarnwick: ") + message + QLatin1Char('\n'))
                                .toUtf8();
    fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

SystemLogCapture::SystemLogCapture()
{
    QMutexLocker lock(&g_mutex);
    if (g_captures++ == 0)
        g_lines.clear();
}

SystemLogCapture::~SystemLogCapture()
{
    QMutexLocker lock(&g_mutex);
    --g_captures;
}

QStringList SystemLogCapture::lines() const
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

bool SystemLogCapture::contains(const QString &text) const { return count(text) > 0; }

int SystemLogCapture::count(const QString &text) const
{
    QMutexLocker lock(&g_mutex);
    int n = 0;
    for (const QString &l : g_lines)
        if (l.contains(text))
            ++n;
    return n;
}

} // namespace Platform
