#include "ExecutablePath.h"

#include <QFileInfo>

namespace Platform {

QString executablePath()
{
    // The kernel's own link to the program's file, the same answer Qt gives
    // once an application object exists.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

} // namespace Platform
