#include "PrivateData.h"

#include "Platform/Bundle.h"
#include "Platform/PropertyList.h"
#include "Platform/SecureFolder.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"

#include <QFile>
#include <QMutex>

#include <cmath>
#include <limits>

namespace {

const QString kFileName = QStringLiteral("PrivateData.plist");
constexpr int kWorldWritable = 0777;

QMutex g_userMutex;
QString g_userName;

std::optional<QVariantMap> dictionaryFrom(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    const QVariant v = Platform::PropertyList::fromData(*data);
    if (v.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return v.toMap();
}

// The per-user folder, each component checked as it is opened. Only root and
// the user may own the folders on the way.
Platform::SecureFolder openUserFolder(bool create)
{
    const QString user = DMGetCurrentUserName();
    return Platform::SecureFolder::open(Platform::systemRoot(),
                                        {QStringLiteral("Users"), user, QStringLiteral("Library"),
                                         QStringLiteral("Application Support"), GetCompanyName()},
                                        {user}, create);
}

// The settings' version number; a missing key counts 0.
qint64 versionCheck(const std::optional<QVariantMap> &dict)
{
    return dict ? DMIntegerValue(dict->value(QStringLiteral("VersionCheck"))) : 0;
}

qint64 saturated(double d)
{
    if (!std::isfinite(d))
        return 0;
    if (d >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (d <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(d);
}

qint64 leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        negative = text.at(i++) == QLatin1Char('-');
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 n = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        const int digit = text.at(i).unicode() - '0';
        if (n > (kMax - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min() : kMax;
        n = n * 10 + digit;
    }
    return negative ? -n : n;
}

// Whether the two copies carry the same settings contents, so the per-user
// copy must be kept even under a newer build.
bool sameCopyInfoVersion(const std::optional<QVariantMap> &a, const std::optional<QVariantMap> &b)
{
    const QVariant va = a ? a->value(QStringLiteral("CopyInfoVersion")) : QVariant();
    const QVariant vb = b ? b->value(QStringLiteral("CopyInfoVersion")) : QVariant();
    if (!va.isValid() && !vb.isValid())
        return true;
    return va.isValid() && vb.isValid() && va.toString() == vb.toString();
}

QByteArray readResourceCopy()
{
    QFile f(Platform::Bundle::mainBundle().pathForResource(QStringLiteral("PrivateData"), QStringLiteral("plist")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

qint64 DMIntegerValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return value.toLongLong();
    case QMetaType::ULongLong: {
        const quint64 v = value.toULongLong();
        return v > quint64(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max() : qint64(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return saturated(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString:
        return leadingNumber(value.toString());
    default:
        return 0;
    }
}

QString GetCompanyName()
{
    const auto dict = Platform::PropertyList::readDictionary(Platform::Bundle::mainBundle().resourcePath() +
                                                             QStringLiteral("/PrivateData.plist"));
    const QString name = dict ? dict->value(QStringLiteral("CompanyName")).toString() : QString();
    return name.isEmpty() ? QStringLiteral("KESTROVAClone") : name;
}

QString DMGetCurrentUserName()
{
    QMutexLocker lock(&g_userMutex);
    if (g_userName.isEmpty())
        g_userName = Platform::SystemInfo::consoleUser().name;
    return g_userName;
}

void DMResetCurrentUserNameForTesting()
{
    QMutexLocker lock(&g_userMutex);
    g_userName.clear();
}

QString DMGetInfoPlistPath()
{
    return Platform::rootPath(
        QStringLiteral("/Users/") + DMGetCurrentUserName() +
        QStringLiteral("/Library/Application Support/%1/PrivateData.plist").arg(GetCompanyName()));
}

void DMCopyInfoPlistPath()
{
    if (DMGetCurrentUserName().isEmpty()) {
        Platform::systemLog(QStringLiteral("no user name; starting without a per-user settings copy"));
        return;
    }
    {
        Platform::SecureFolder folder = openUserFolder(false);
        if (folder.status() == Platform::SecureFolder::Status::Unsafe ||
            folder.status() == Platform::SecureFolder::Status::Failed) {
            Platform::systemLog(QStringLiteral("per-user settings folder refused: %1").arg(folder.errorString()));
            return;
        }
        if (folder.isOpen()) {
            switch (folder.entry(kFileName)) {
            case Platform::SecureFolder::Entry::Unsafe:
                Platform::systemLog(QStringLiteral("per-user settings copy is not a plain file; left alone"));
                return;
            case Platform::SecureFolder::Entry::SafeFile: {
                const auto mine = dictionaryFrom(folder.readFile(kFileName));
                const auto resource = dictionaryFrom(readResourceCopy());
                if (versionCheck(mine) >= versionCheck(resource))
                    return;
                if (sameCopyInfoVersion(mine, resource))
                    return;
                folder.removeFile(kFileName);
                break;
            }
            case Platform::SecureFolder::Entry::Missing:
                break;
            }
        }
    }

    Platform::SecureFolder folder = openUserFolder(true);
    if (!folder.isOpen()) {
        Platform::systemLog(QStringLiteral("cannot make the per-user settings folder: %1").arg(folder.errorString()));
        return;
    }
    const QByteArray resource = readResourceCopy();
    if (!resource.isEmpty())
        folder.createFile(kFileName, resource);
    // The user's own process must be able to change both later.
    folder.setFileMode(kFileName, kWorldWritable);
    folder.setMode(kWorldWritable);
}

std::optional<QVariantMap> DMReadUserInfoPlist()
{
    if (DMGetCurrentUserName().isEmpty())
        return std::nullopt;
    const Platform::SecureFolder folder = openUserFolder(false);
    return dictionaryFrom(folder.readFile(kFileName));
}

bool DMSetUserInfoPlistValue(const QString &key, const QVariant &value)
{
    if (DMGetCurrentUserName().isEmpty())
        return false;
    Platform::SecureFolder folder = openUserFolder(false);
    auto dict = dictionaryFrom(folder.readFile(kFileName));
    if (!dict)
        return false;
    dict->insert(key, value);
    return folder.replaceFile(kFileName, Platform::PropertyList::toXml(*dict));
}
