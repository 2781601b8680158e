#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Platform {

// The user defaults the system reads: "AppleLanguages" (the preferred
// languages, first the current one) and "AppleMiniaturizeOnDoubleClick".
class UserDefaults {
public:
    static UserDefaults &standard();
    QVariant objectForKey(const QString &key) const;
    void setObject(const QString &key, const QVariant &value);
    void removeObject(const QString &key);
    QStringList appleLanguages() const;
    bool boolForKey(const QString &key) const;
};

} // namespace Platform
