#include <gtest/gtest.h>

#include "DiskTestSupport.h"

#include "QoTask.h"

#include "Clock.h"
#include "Dispatch.h"
#include "SystemLog.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>

using Platform::Clock;

namespace {

// Time-outs run a couple of hundred times faster than real time: 60 s take
// 0.3 s, the one-second poll 5 ms.
constexpr double kScale = 200.0;

// A tool that runs for `seconds` of the test's sped-up time.
QStringList sleepFor(double seconds, double scale = kScale) { return {QString::number(seconds / scale, 'f', 4)}; }

// Runs QoStartTask on a worker while the main thread keeps its event loop
// going (the time-out timer fires there); returns the sped-up seconds it took.
double runTask(const std::function<bool()> &stopRequested = {})
{
    std::atomic<bool> done{false};
    std::atomic<double> elapsed{0};
    Platform::Dispatch::globalAsync([&] {
        const double start = Clock::now();
        QoTask::QoShareInstance()->QoStartTask(stopRequested);
        elapsed = Clock::now() - start;
        done = true;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return done.load(); }, 60000));
    return elapsed;
}

void setUp(const QString &path, const QStringList &arguments, double timeout)
{
    QoTask *task = QoTask::QoShareInstance();
    task->QoSetLaunchPath(path);
    task->QoSetArguments(arguments);
    task->QoSetTimeoutCount(timeout);
}

// Spin the main loop for a while of sped-up time, so late timers could fire.
void idleFor(double seconds)
{
    const double until = Clock::now() + seconds;
    TestSupport::waitUntil([&] { return Clock::now() >= until; }, 60000);
}

} // namespace

struct TimeoutCase {
    double requested;
    double effective;
};

void PrintTo(const TimeoutCase &c, std::ostream *os) { *os << c.requested << " s"; }

class QoTaskTimeout : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(QoTaskTimeout, HungToolIsEndedAfterTheTimeoutWithItsFloorOf60)
{
    Platform::ClockScaleGuard scale(kScale);
    Platform::SystemLogCapture log;
    setUp(QStringLiteral("/bin/sleep"), {QStringLiteral("100000")}, GetParam().requested);

    const double took = runTask();
    EXPECT_DOUBLE_EQ(QoTask::QoShareInstance()->QoTimeoutCount(), GetParam().effective);
    EXPECT_GE(took, GetParam().effective);
    EXPECT_LT(took, GetParam().effective * 1.5);
    EXPECT_EQ(log.count(QStringLiteral("task timeout")), 1);
    EXPECT_EQ(log.count(QStringLiteral("QoStartTask return")), 1);
}

INSTANTIATE_TEST_SUITE_P(Floors, QoTaskTimeout,
                         ::testing::Values(TimeoutCase{0, 60}, TimeoutCase{30, 60}, TimeoutCase{59.9, 60},
                                           TimeoutCase{600, 600}),
                         [](const ::testing::TestParamInfo<TimeoutCase> &info) {
                             return "Requested" + QString::number(info.param.requested * 10).toStdString() + "Tenths";
                         });

TEST(QoTask, HungToolIsTerminated)
{
    Platform::ClockScaleGuard scale(kScale);
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    setUp(QStringLiteral("/bin/sh"),
          {QStringLiteral("-c"), QStringLiteral("echo $$ > '%1'; exec sleep 100000").arg(pidFile)}, 60);
    runTask();
    const qint64 pid = TestSupport::readFile(pidFile).trimmed().toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
}

TEST(QoTask, ToolThatEndsSoonReturnsAtOnceAndItsTimerNeverFires)
{
    // A gentler speed-up than the other tests: starting a process on a busy
    // machine takes tenths of a real second, which at 200x would look like a
    // minute and blur "returns at once" into the time-out.
    constexpr double scaleHere = 20.0;
    Platform::ClockScaleGuard scale(scaleHere);
    Platform::SystemLogCapture log;
    setUp(QStringLiteral("/bin/sleep"), sleepFor(3, scaleHere), 60);
    const double took = runTask();
    EXPECT_GE(took, 3);
    // About a second beyond the tool; the bound leaves room for a loaded machine
    // and still tells it from the 60-s time-out.
    EXPECT_LT(took, 40);
    idleFor(90);
    EXPECT_EQ(log.count(QStringLiteral("task timeout")), 0);
    EXPECT_EQ(log.count(QStringLiteral("QoStartTask return")), 1);
}

TEST(QoTask, TimerOfAnEarlierRunNeverCutsALaterRunShort)
{
    Platform::ClockScaleGuard scale(kScale);
    Platform::SystemLogCapture log;
    setUp(QStringLiteral("/bin/sleep"), sleepFor(1), 60);
    runTask();
    // The second run outlives the first run's 60 s.
    setUp(QStringLiteral("/bin/sleep"), sleepFor(120), 600);
    const double took = runTask();
    EXPECT_GE(took, 120);
    EXPECT_EQ(log.count(QStringLiteral("task timeout")), 0);
}

TEST(QoTask, StopBeforeStartDoesNotAffectTheFollowingRun)
{
    Platform::ClockScaleGuard scale(kScale);
    setUp(QStringLiteral("/bin/sleep"), sleepFor(3), 60);
    QoTask::QoShareInstance()->QoStopTask();
    EXPECT_GE(runTask(), 3);
}

TEST(QoTask, StopDuringARunEndsItAtTheNextPoll)
{
    Platform::ClockScaleGuard scale(kScale);
    Platform::SystemLogCapture log;
    setUp(QStringLiteral("/bin/sleep"), {QStringLiteral("100000")}, 600);
    // A stop that arrives before the run has begun is dropped by design, and a
    // loaded machine may start the worker late: keep asking from 5 s on.
    std::atomic<bool> finished{false};
    std::function<void()> stopper = [&] {
        if (finished)
            return;
        QoTask::QoShareInstance()->QoStopTask();
        Platform::Dispatch::after(1, Platform::Dispatch::Queue::Main, stopper);
    };
    Platform::Dispatch::after(5, Platform::Dispatch::Queue::Main, stopper);
    const double took = runTask();
    finished = true;
    idleFor(2);
    // The tool would sleep for ever and the time-out is 600 s: only the stop
    // can have ended it this early.
    EXPECT_LT(took, 60);
    EXPECT_EQ(log.count(QStringLiteral("task timeout")), 0);
}

TEST(QoTask, StopRaisedAsTheRunStartsKeepsTheToolFromStarting)
{
    Platform::ClockScaleGuard scale(kScale);
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("erased"));
    setUp(QStringLiteral("/usr/bin/touch"), {marker}, 600);
    // The caller's own cancel flag, raised just before the start.
    std::atomic<bool> cancelled{true};
    const double took = runTask([&] { return cancelled.load(); });
    EXPECT_LT(took, 30);
    EXPECT_FALSE(QFileInfo::exists(marker));

    // Without the flag the same run starts the tool.
    cancelled = false;
    runTask([&] { return cancelled.load(); });
    EXPECT_TRUE(QFileInfo::exists(marker));
}

TEST(QoTask, ToolThatCannotStartReturnsAtOnce)
{
    Platform::ClockScaleGuard scale(kScale);
    Platform::SystemLogCapture log;
    setUp(QStringLiteral("/no/such/diskutil"), {QStringLiteral("eraseDisk")}, 600);
    EXPECT_LT(runTask(), 30);
    EXPECT_EQ(log.count(QStringLiteral("QoStartTask return")), 1);
}

TEST(QoTask, NullPathIsIgnored)
{
    QoTask *task = QoTask::QoShareInstance();
    Platform::ClockScaleGuard scale(kScale);
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    setUp(QStringLiteral("/usr/bin/touch"), {marker}, 60);
    task->QoSetLaunchPath(QString());
    runTask();
    EXPECT_TRUE(QFileInfo::exists(marker));
}
