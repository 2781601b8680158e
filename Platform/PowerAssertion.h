#pragma once
#include <QString>

namespace Platform {

// IOKit power assertions' place. "PreventUserIdleDisplaySleep" keeps the
// display awake while the user is idle: through logind's idle inhibitor on
// the system bus (it works for root too, who has no session bus), held until
// the assertion is released; failing that, through the desktop session's
// screen saver (org.freedesktop.ScreenSaver). When neither can be had the
// assertion is refused with an error status.
class PowerAssertion {
public:
    static constexpr int Success = 0;
    // kIOReturnError: nothing could keep the display awake.
    static constexpr int Failure = int(0xe00002bc);
    // IOPMAssertionCreateWithName: 0 on success, with a non-zero id.
    static int createWithName(const QString &type, quint32 level, const QString &name, quint32 *assertionId);
    static int release(quint32 assertionId);
};

} // namespace Platform
