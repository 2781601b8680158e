#include "QoLog.h"

#include "Platform/SecureFile.h"

#include <QMutex>

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

QMutex g_mutex;
std::unique_ptr<Platform::SecureFile> g_file;
QString g_path;
std::function<QDateTime()> g_clock;

const char *kDefaultPath = "/tmp/Talberow.txt";

// Caller holds g_mutex.
int initLocked()
{
    if (g_file)
        return 0;
    auto file = std::make_unique<Platform::SecureFile>(Platform::SecureFile::openForWriting(
        g_path.isEmpty() ? QString::fromLatin1(kDefaultPath) : g_path, Platform::SecureFile::Mode::Append));
    if (!file->isOpen())
        return -1;
    g_file = std::move(file);
    return 0;
}

} // namespace

int QoInitLog()
{
    QMutexLocker lock(&g_mutex);
    return initLocked();
}

int QoUninitLog()
{
    QMutexLocker lock(&g_mutex);
    g_file.reset();
    return 0;
}

int QoLog(const char *format, ...)
{
    QMutexLocker lock(&g_mutex);
    if (initLocked() != 0)
        return -1;
    if (!format)
        return -1;

    const QDateTime now = g_clock ? g_clock() : QDateTime::currentDateTime();
    QByteArray line = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + "  ";

    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        QByteArray message(n + 1, '\0');
        std::vsnprintf(message.data(), size_t(n) + 1, format, again);
        message.chop(1);
        line += message;
    }
    va_end(again);
    line += '\n';
    // One write per line: nothing is buffered, so every line is on disk even
    // if the process ends abruptly.
    return g_file->write(line) ? 0 : -1;
}

void QoSetLogPath(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    g_path = path;
}

QString QoLogPath()
{
    QMutexLocker lock(&g_mutex);
    return g_path.isEmpty() ? QString::fromLatin1(kDefaultPath) : g_path;
}

void QoSetLogClock(std::function<QDateTime()> clock)
{
    QMutexLocker lock(&g_mutex);
    g_clock = std::move(clock);
}
