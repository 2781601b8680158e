#include "Clock.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cmath>

namespace Platform {
namespace {
double initialScale()
{
    bool ok = false;
    const double s = qEnvironmentVariable("TARNWICK_CLOCK_SCALE").toDouble(&ok);
    return ok && s > 0 ? s : 1.0;
}
std::atomic<double> g_scale{initialScale()};

QElapsedTimer &startTimer()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}
} // namespace

double Clock::scale() { return g_scale.load(); }

void Clock::setScale(double factor)
{
    if (factor > 0) {
        g_scale.store(factor);
        qputenv("TARNWICK_CLOCK_SCALE", QByteArray::number(factor));
    }
}

int Clock::realMs(double seconds)
{
    if (seconds <= 0)
        return 0;
    const double ms = seconds * 1000.0 / scale();
    if (ms >= 2e9)
        return 2000000000;
    return std::max(1, int(std::lround(ms)));
}

void Clock::sleep(double seconds)
{
    const int ms = realMs(seconds);
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

double Clock::now() { return startTimer().elapsed() / 1000.0 * scale(); }

ClockScaleGuard::ClockScaleGuard(double factor) : m_previous(Clock::scale()) { Clock::setScale(factor); }

ClockScaleGuard::~ClockScaleGuard() { Clock::setScale(m_previous); }

} // namespace Platform
