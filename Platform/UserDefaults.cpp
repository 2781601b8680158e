#include "UserDefaults.h"

#include <QLocale>
#include <QMutex>
#include <QVariantMap>

namespace Platform {
namespace {
QMutex g_mutex;
QVariantMap g_values;
bool g_loaded = false;

// Language codes as the original platform writes them: "en", "zh-Hans", "de-DE".
QStringList systemLanguages()
{
    QStringList out;
    for (QString l : QLocale::system().uiLanguages()) {
        l.replace(QLatin1Char('_'), QLatin1Char('-'));
        if (l == QLatin1String("C") || l.isEmpty())
            continue;
        out.append(l);
    }
    if (out.isEmpty())
        out.append(QStringLiteral("en"));
    return out;
}

void load()
{
    if (g_loaded)
        return;
    g_loaded = true;
    g_values.insert(QStringLiteral("AppleLanguages"), systemLanguages());
    // The original platform's default for a double click on a title bar.
    g_values.insert(QStringLiteral("AppleMiniaturizeOnDoubleClick"), false);
}
} // namespace

UserDefaults &UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    QMutexLocker lock(&g_mutex);
    load();
    return g_values.value(key);
}

void UserDefaults::setObject(const QString &key, const QVariant &value)
{
    QMutexLocker lock(&g_mutex);
    load();
    g_values.insert(key, value);
}

void UserDefaults::removeObject(const QString &key)
{
    QMutexLocker lock(&g_mutex);
    load();
    g_values.remove(key);
}

QStringList UserDefaults::appleLanguages() const
{
    return objectForKey(QStringLiteral("AppleLanguages")).toStringList();
}

bool UserDefaults::boolForKey(const QString &key) const { return objectForKey(key).toBool(); }

} // namespace Platform
