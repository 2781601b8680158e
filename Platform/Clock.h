#pragma once
#include <QtGlobal>

namespace Platform {

// The system's delays and time-outs are given in seconds of the original
// program; they all pass through here so tests can run them faster. The scale
// is the factor real time is divided by (1 = real time, 100 = a hundred times
// faster). It comes from TARNWICK_CLOCK_SCALE, so stand-in tools started by a
// sped-up process keep the same pace.
class Clock {
public:
    static double scale();
    static void setScale(double factor);
    // Real milliseconds that a delay of `seconds` takes now (at least 1 ms for a positive delay).
    static int realMs(double seconds);
    // Sleep the calling thread for a scaled delay.
    static void sleep(double seconds);
    // Seconds of system time since the process started (scaled).
    static double now();
};

// Sets a clock scale for the life of a test and restores the previous one.
class ClockScaleGuard {
public:
    explicit ClockScaleGuard(double factor);
    ~ClockScaleGuard();
    ClockScaleGuard(const ClockScaleGuard &) = delete;
    ClockScaleGuard &operator=(const ClockScaleGuard &) = delete;

private:
    double m_previous;
};

} // namespace Platform
