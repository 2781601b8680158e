#pragma once
#include <QString>
#include <QVariantMap>

namespace Platform {

// An application bundle: <name>.app/Contents/{Info.plist,MacOS,Resources}.
class Bundle {
public:
    explicit Bundle(const QString &bundlePath);
    // The bundle around the running executable (<bundle>/Contents/MacOS/<exe>).
    // Tests may point it elsewhere.
    static Bundle mainBundle();
    static void setMainBundlePath(const QString &path);
    // The bundle path for an executable path (its folder's grandparent).
    static QString bundlePathForExecutable(const QString &executablePath);

    QString bundlePath() const { return m_path; }
    QString resourcePath() const;
    QString executablePath() const;
    QString pathForResource(const QString &name, const QString &type) const;
    QVariantMap infoDictionary() const;
    QString bundleIdentifier() const;
    bool isValid() const;

private:
    QString m_path;
};

} // namespace Platform
