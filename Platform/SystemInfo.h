#pragma once
#include <QString>
#include <optional>

namespace Platform {

struct SystemVersion {
    int major = 0;
    int minor = 0;
    int bugFix = 0;
};

// Facts about the machine the system asks the platform for. Each answer can be
// replaced by a test (setX), and reset with resetOverrides().
class SystemInfo {
public:
    // Gestalt: the version of the running system, from the system root's
    // "System/Library/CoreServices/SystemVersion.plist" ("ProductVersion"),
    // else from /etc/os-release. Nothing when neither can be read.
    static std::optional<SystemVersion> systemVersion();
    static void setSystemVersion(std::optional<SystemVersion> v);

    // The user the program works for, and where that user's files are. The
    // one rule for every place that needs the user's name or home folder:
    //   1. the person at the screen (SCDynamicStoreCopyConsoleUser): the
    //      console user the disk world under the system root records; else,
    //      for a process started through sudo or pkexec, the user who asked;
    //      else the user of the login session;
    //   2. when none of these names a user, the process's own user (NSUserName).
    // A name that is not one plain path component ("", ".", "..", one with a
    // '/') is passed over. The home folder is always "/Users/<name>" of the
    // original platform, found under the system root, never the host's own
    // home of the process.
    struct ConsoleUser {
        QString name;     // empty only when no user can be named at all
        QString homePath; // "/Users/<name>"; empty without a name
        // The home folder on this machine: homePath under the system root.
        QString homeFolder() const;
    };
    static ConsoleUser consoleUser();
    // consoleUser().name.
    static QString consoleUserName();
    // Tests: what the screen's user (step 1) is taken to be; an empty name
    // stands for nobody at the screen.
    static void setConsoleUserName(const QString &name);
    // NSUserName(): the name of the process's own user.
    static QString userName();

    // sysctl machdep.cpu.brand_string.
    static QString cpuBrand();
    static void setCpuBrand(const QString &brand);

    // Reachability flags for the address 0.0.0.0: 2 (reachable) when the
    // machine has a route out, 0 otherwise; nothing when they cannot be read.
    static std::optional<quint32> reachabilityFlags();
    static void setReachabilityFlags(std::optional<quint32> flags);

    // IOPlatformUUID: an upper-case UUID that stays the same on this machine
    // and is this program's alone. It is derived from the machine id
    // (/etc/machine-id, else /var/lib/dbus/machine-id), which itself must
    // never leave the machine: applicationSpecificID(machine id, the
    // program's application id). Empty when no machine id can be read.
    static QString platformUUID();
    // What sd_id128_get_machine_app_specific computes: HMAC-SHA256 keyed with
    // the 16 bytes of `machineId` over the 16 bytes of `appId`, its first 16
    // bytes made a version-4 UUID; as an upper-case UUID. Both ids are given
    // as 32 hexadecimal digits; empty when either is not.
    static QString applicationSpecificID(const QByteArray &machineId, const QByteArray &appId);
    static void setPlatformUUID(const QString &uuid);

    static void resetOverrides();
};

} // namespace Platform
