#include "QoTask.h"

#include "Platform/Clock.h"
#include "Platform/Dispatch.h"
#include "Platform/SystemLog.h"
#include "Platform/Task.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QTimer>

namespace {
constexpr double kMinimumTimeout = 60.0;
// How long a terminated tool gets to end before the task object kills it.
constexpr int kTerminateGraceMs = 2000;
} // namespace

QoTask::QoTask()
{
    _strLaunchPath.reserve(64);
    _arrArguments.reserve(8);
}

QoTask *QoTask::QoShareInstance()
{
    static QoTask *instance = new QoTask;
    return instance;
}

void QoTask::QoSetLaunchPath(const QString &path)
{
    if (path.isNull())
        return;
    QMutexLocker lock(&m_mutex);
    _strLaunchPath = path;
}

void QoTask::QoSetArguments(const QStringList &arguments)
{
    QMutexLocker lock(&m_mutex);
    _arrArguments = arguments;
}

void QoTask::QoSetTimeoutCount(double seconds)
{
    QMutexLocker lock(&m_mutex);
    _dTimeoutCount = seconds;
}

double QoTask::QoTimeoutCount() const
{
    QMutexLocker lock(&m_mutex);
    return _dTimeoutCount;
}

void QoTask::QoStartTask(const std::function<bool()> &stopRequested)
{
    _bTimerOut.store(false);
    QString path;
    QStringList arguments;
    double timeout;
    {
        QMutexLocker lock(&m_mutex);
        if (!(_dTimeoutCount >= kMinimumTimeout))
            _dTimeoutCount = kMinimumTimeout;
        timeout = _dTimeoutCount;
        path = _strLaunchPath;
        arguments = _arrArguments;
    }
    const quint64 run = ++m_lastRun;
    m_activeRun.store(run);
    auto stopped = [&] { return _bTimerOut.load() || (stopRequested && stopRequested()); };

    const int timeoutMs = Platform::Clock::realMs(timeout);
    Platform::Dispatch::mainAsync([this, run, timeoutMs] { startTimer(run, timeoutMs); });

    {
        Platform::Task task;
        task.setLaunchPath(path);
        task.setArguments(arguments);
        bool launched = false;
        if (!stopped()) {
            launched = task.launch();
            if (!launched)
                Platform::systemLog(QStringLiteral("QoStartTask: cannot start %1").arg(path));
        }
        // The one-second poll ends early when the tool ends.
        while (launched && task.isRunning() && !stopped())
            task.waitUntilExit(Platform::Clock::realMs(1));
        if (task.isRunning() && stopped()) {
            task.terminate();
            task.waitUntilExit(kTerminateGraceMs);
        }
    }

    m_activeRun.store(0);
    Platform::Dispatch::mainAsync([this, run] { stopTimer(run); });
    Platform::systemLog(QStringLiteral("QoStartTask return"));
}

void QoTask::QoStopTask() { _bTimerOut.store(true); }

void QoTask::QoTimerImp(quint64 run)
{
    if (run == 0 || m_activeRun.load() != run)
        return;
    _bTimerOut.store(true);
    Platform::systemLog(QStringLiteral("task timeout"));
}

void QoTask::startTimer(quint64 run, int realMs)
{
    if (m_activeRun.load() != run)
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [this, run] { QoTimerImp(run); });
    m_timers.insert(run, timer);
    timer->start(realMs);
}

void QoTask::stopTimer(quint64 run) { delete m_timers.take(run); }
