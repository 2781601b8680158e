#include "Bundle.h"
#include "PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace Platform {
namespace {
QMutex g_mutex;
QString g_mainPath;
} // namespace

Bundle::Bundle(const QString &bundlePath) : m_path(QDir::cleanPath(bundlePath)) {}

QString Bundle::bundlePathForExecutable(const QString &executablePath)
{
    // …/X.app/Contents/MacOS/exe → …/X.app
    return QDir::cleanPath(QFileInfo(executablePath).absolutePath() + QStringLiteral("/../.."));
}

Bundle Bundle::mainBundle()
{
    QMutexLocker lock(&g_mutex);
    if (g_mainPath.isEmpty()) {
        const QString env = qEnvironmentVariable("TARNWICK_BUNDLE");
        if (!env.isEmpty())
            g_mainPath = env;
        else if (QCoreApplication::instance())
            g_mainPath = bundlePathForExecutable(QCoreApplication::applicationFilePath());
    }
    return Bundle(g_mainPath);
}

void Bundle::setMainBundlePath(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    g_mainPath = path;
}

QString Bundle::resourcePath() const { return m_path + QStringLiteral("/Contents/Resources"); }

QString Bundle::executablePath() const
{
    QString name = infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString();
    if (name.isEmpty())
        name = QFileInfo(m_path).completeBaseName();
    return m_path + QStringLiteral("/Contents/MacOS/") + name;
}

QString Bundle::pathForResource(const QString &name, const QString &type) const
{
    const QString path =
        resourcePath() + QLatin1Char('/') + name + (type.isEmpty() ? QString() : QLatin1Char('.') + type);
    return QFileInfo::exists(path) ? path : QString();
}

QVariantMap Bundle::infoDictionary() const
{
    return PropertyList::readDictionary(m_path + QStringLiteral("/Contents/Info.plist")).value_or(QVariantMap());
}

QString Bundle::bundleIdentifier() const
{
    return infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString();
}

bool Bundle::isValid() const { return !m_path.isEmpty() && QFileInfo(m_path + QStringLiteral("/Contents")).isDir(); }

} // namespace Platform
