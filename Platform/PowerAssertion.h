#pragma once
#include <QString>

namespace Platform {

// IOKit power assertions' place. "PreventUserIdleDisplaySleep" asks the
// desktop session (org.freedesktop.ScreenSaver over D-Bus) not to blank the
// screen while the user is idle; without a session bus the assertion is
// still granted, there is just nothing to inhibit.
class PowerAssertion {
public:
    static constexpr int Success = 0;
    // IOPMAssertionCreateWithName: 0 on success, with a non-zero id.
    static int createWithName(const QString &type, quint32 level, const QString &name, quint32 *assertionId);
    static int release(quint32 assertionId);
};

} // namespace Platform
