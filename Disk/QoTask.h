#pragma once
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class QTimer;

// Runs one tool as a child process (no shell) and blocks the calling thread
// until the tool ends, the caller stops it, or the time-out passes; then the
// tool is sent a terminate. Nothing is reported: callers judge the outcome by
// what the tool left behind.
//
// Calling order: set path, arguments and time-out, then QoStartTask on a
// worker thread (never the main thread: the time-out timer lives there);
// QoStopTask from any thread while it runs. One run at a time; the path and
// arguments are shared by every user.
//
// The time-out timer of a run is created and removed on the main thread, and
// each run carries its own number, so a timer left from an earlier run can
// never cut a later run short. Delays go through Platform::Clock.
class QoTask {
public:
    static QoTask *QoShareInstance();

    // A null string is ignored (the old path stays).
    void QoSetLaunchPath(const QString &path);
    void QoSetArguments(const QStringList &arguments);
    // Seconds; a value below 60 takes effect as 60 at the next start.
    void QoSetTimeoutCount(double seconds);
    // The stored time-out (raised to 60 by a start when it was lower).
    double QoTimeoutCount() const;

    // Runs the tool. A stop (QoStopTask, or `stopRequested` answering true)
    // that arrives at any moment after the start began is honoured; one that
    // arrives before launch keeps the tool from being started at all. A stop
    // requested while no run is active is dropped by the next start, so a
    // caller with its own cancel flag passes it as `stopRequested` to keep a
    // stop that races with the start.
    void QoStartTask(const std::function<bool()> &stopRequested = {});
    void QoStopTask();
    // The time-out timer's action for run `run`; a timer of another run does nothing.
    void QoTimerImp(quint64 run);

    QoTask(const QoTask &) = delete;
    QoTask &operator=(const QoTask &) = delete;

private:
    QoTask();
    void startTimer(quint64 run, int realMs);
    void stopTimer(quint64 run);

    mutable QMutex m_mutex; // the stored path, arguments and time-out
    QString _strLaunchPath;
    QStringList _arrArguments;
    std::atomic<bool> _bTimerOut{false};
    double _dTimeoutCount = 60.0;

    std::atomic<quint64> m_lastRun{0};
    std::atomic<quint64> m_activeRun{0};
    QHash<quint64, QTimer *> m_timers; // main thread only
};
