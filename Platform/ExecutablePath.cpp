#include "ExecutablePath.h"

#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace Platform {

QString executablePath()
{
    // The kernel's own link to the program's file, the same answer Qt gives
    // once an application object exists.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QByteArray executableFileName()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || size_t(n) >= sizeof buf)
        return {};
    return QByteArray(buf, n);
}

} // namespace Platform
