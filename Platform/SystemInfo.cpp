#include "SystemInfo.h"
#include "DiskWorld/World.h"
#include "PropertyList.h"
#include "SystemRoot.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QMutex>
#include <QRegularExpression>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

namespace Platform {
namespace {
// This program's application id: what the machine id is keyed over, so the
// identifier the program shows the network is its own and tells nothing of
// the machine id.
const QByteArray kApplicationId = QByteArrayLiteral("936fbcc950c74c0c847fe4611adea56f");

QMutex g_mutex;
bool g_versionSet = false;
std::optional<SystemVersion> g_version;
std::optional<QString> g_console;
std::optional<QString> g_cpu;
bool g_flagsSet = false;
std::optional<quint32> g_flags;
std::optional<QString> g_uuid;

std::optional<SystemVersion> parseVersion(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    bool ok = false;
    SystemVersion v;
    v.major = parts.value(0).toInt(&ok);
    if (!ok)
        return std::nullopt;
    v.minor = parts.value(1).toInt();
    v.bugFix = parts.value(2).toInt();
    return v;
}

QString nameForUid(uid_t uid)
{
    if (passwd *pw = getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return {};
}
} // namespace

std::optional<SystemVersion> SystemInfo::systemVersion()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_versionSet)
            return g_version;
    }
    if (auto plist = PropertyList::readDictionary(
            rootPath(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist")))) {
        if (auto v = parseVersion(plist->value(QStringLiteral("ProductVersion")).toString()))
            return v;
    }
    QFile f(QStringLiteral("/etc/os-release"));
    if (f.open(QIODevice::ReadOnly)) {
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.startsWith(QLatin1String("VERSION_ID="))) {
                QString value = line.mid(11);
                value.remove(QLatin1Char('"'));
                return parseVersion(value);
            }
        }
    }
    return std::nullopt;
}

void SystemInfo::setSystemVersion(std::optional<SystemVersion> v)
{
    QMutexLocker lock(&g_mutex);
    g_versionSet = true;
    g_version = v;
}

namespace {

// A user name that can stand as one component of "/Users/<name>".
bool isPlainUserName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// The console user the disk world under the system root records, if the
// root is a world.
QString worldConsoleUser()
{
    const DiskWorld::World world;
    if (!world.exists())
        return {};
    const std::optional<DiskWorld::State> state = world.load();
    return state ? state->consoleUser : QString();
}

// Step 1 of the rule: the person at the screen; empty when unknown.
QString screenUser()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_console)
            return isPlainUserName(*g_console) ? *g_console : QString();
    }
    const QString world = worldConsoleUser();
    if (isPlainUserName(world))
        return world;
    const QString sudo = qEnvironmentVariable("SUDO_USER");
    if (isPlainUserName(sudo))
        return sudo;
    bool ok = false;
    const uint pkexecUid = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
    if (ok) {
        const QString name = nameForUid(pkexecUid);
        if (isPlainUserName(name))
            return name;
    }
    // The login session's user, when the kernel knows one.
    QFile f(QStringLiteral("/proc/self/loginuid"));
    if (f.open(QIODevice::ReadOnly)) {
        const uint uid = QString::fromLatin1(f.readAll()).trimmed().toUInt(&ok);
        if (ok && uid != 4294967295u) {
            const QString name = nameForUid(uid);
            if (isPlainUserName(name))
                return name;
        }
    }
    return {};
}

} // namespace

QString SystemInfo::ConsoleUser::homeFolder() const { return homePath.isEmpty() ? QString() : rootPath(homePath); }

SystemInfo::ConsoleUser SystemInfo::consoleUser()
{
    ConsoleUser user;
    user.name = screenUser();
    if (user.name.isEmpty()) {
        const QString own = userName();
        if (isPlainUserName(own))
            user.name = own;
    }
    if (!user.name.isEmpty())
        user.homePath = QStringLiteral("/Users/") + user.name;
    return user;
}

QString SystemInfo::consoleUserName() { return consoleUser().name; }

void SystemInfo::setConsoleUserName(const QString &name)
{
    QMutexLocker lock(&g_mutex);
    g_console = name;
}

QString SystemInfo::userName() { return nameForUid(getuid()); }

QString SystemInfo::cpuBrand()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_cpu)
            return *g_cpu;
    }
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            if (line.startsWith(QLatin1String("model name")))
                return line.section(QLatin1Char(':'), 1).trimmed();
        }
    }
    return {};
}

void SystemInfo::setCpuBrand(const QString &brand)
{
    QMutexLocker lock(&g_mutex);
    g_cpu = brand;
}

std::optional<quint32> SystemInfo::reachabilityFlags()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_flagsSet)
            return g_flags;
    }
    QFile f(QStringLiteral("/proc/net/route"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QTextStream in(&f);
    in.readLine(); // header
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        // A default route (destination 0.0.0.0) means 0.0.0.0 is reachable.
        if (cols.size() > 2 && cols.at(1) == QLatin1String("00000000"))
            return 2u;
    }
    return 0u;
}

void SystemInfo::setReachabilityFlags(std::optional<quint32> flags)
{
    QMutexLocker lock(&g_mutex);
    g_flagsSet = true;
    g_flags = flags;
}

QString SystemInfo::platformUUID()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_uuid)
            return *g_uuid;
    }
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly)) {
            const QString id = applicationSpecificID(f.readAll().trimmed(), kApplicationId);
            if (!id.isEmpty())
                return id;
        }
    }
    return {};
}

QString SystemInfo::applicationSpecificID(const QByteArray &machineId, const QByteArray &appId)
{
    const auto raw = [](const QByteArray &hex) {
        static const QRegularExpression digits(QStringLiteral("^[0-9a-fA-F]{32}$"));
        return digits.match(QString::fromLatin1(hex)).hasMatch() ? QByteArray::fromHex(hex) : QByteArray();
    };
    const QByteArray key = raw(machineId);
    const QByteArray message = raw(appId);
    if (key.isEmpty() || message.isEmpty())
        return {};
    QByteArray id = QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256).left(16);
    id[6] = char((id[6] & 0x0F) | 0x40); // version 4
    id[8] = char((id[8] & 0x3F) | 0x80); // RFC 4122 variant
    const QString hex = QString::fromLatin1(id.toHex()).toUpper();
    return hex.left(8) + QLatin1Char('-') + hex.mid(8, 4) + QLatin1Char('-') + hex.mid(12, 4) + QLatin1Char('-') +
           hex.mid(16, 4) + QLatin1Char('-') + hex.mid(20);
}

void SystemInfo::setPlatformUUID(const QString &uuid)
{
    QMutexLocker lock(&g_mutex);
    g_uuid = uuid;
}

void SystemInfo::resetOverrides()
{
    QMutexLocker lock(&g_mutex);
    g_versionSet = false;
    g_version.reset();
    g_console.reset();
    g_cpu.reset();
    g_flagsSet = false;
    g_flags.reset();
    g_uuid.reset();
}

} // namespace Platform
