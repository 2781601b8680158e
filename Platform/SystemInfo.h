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

    // The person at the screen (SCDynamicStoreCopyConsoleUser): for a process
    // started through sudo or pkexec the user who asked; empty when unknown.
    static QString consoleUserName();
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

    // IOPlatformUUID: the machine id as an upper-case UUID.
    static QString platformUUID();
    static void setPlatformUUID(const QString &uuid);

    static void resetOverrides();
};

} // namespace Platform
