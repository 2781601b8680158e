#pragma once
// Starting the built Tarnwick (and Helmrun) as real processes. Tarnwick
// allows one instance per display and disk world, so every test runs in a
// world of its own (a system root whose per-user settings copy has already
// sent its install notice, so no process of a test ever calls the vendor)
// and shows its windows on a display of its own or on none: what else runs
// on the machine, tests or a user's Tarnwick, is never taken for its
// instance.
#include "Bundle.h"
#include "PropertyList.h"
#include "RunningApplications.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace TarnwickRig {

inline constexpr const char *kBundleIdentifier = "com.kestrova.clone";
inline constexpr const char *kUser = "tester";

inline QString tarnwickBundle() { return TestSupport::bundlePath(); }
inline QString tarnwickExecutable() { return tarnwickBundle() + "/Contents/MacOS/Tarnwick"; }
inline QString helmrunBundle() { return QStringLiteral(TARNWICK_BUILD_DIR) + "/Helmrun.app"; }
inline QString helmrunExecutable() { return helmrunBundle() + "/Contents/MacOS/Helmrun"; }

// The NUL-separated fields of a /proc file of a process.
inline QStringList procFields(qint64 pid, const char *file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray &part : f.readAll().split('\0')) {
        if (!part.isEmpty())
            out << QString::fromLocal8Bit(part);
    }
    return out;
}

inline QStringList commandLine(qint64 pid) { return procFields(pid, "cmdline"); }

inline QString environmentValue(qint64 pid, const QString &name)
{
    for (const QString &entry : procFields(pid, "environ")) {
        if (entry.startsWith(name + '='))
            return entry.mid(name.size() + 1);
    }
    return {};
}

// The effective user id of a process, -1 when it has gone.
inline int effectiveUid(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("Uid:")) {
            const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
            return ids.size() > 1 ? ids[1].toInt() : -1;
        }
    }
    return -1;
}

inline bool isGone(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    // A zombie has ended; its parent has yet to collect it.
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) == "Z";
}

// Ends a process this test caused to start, by its id, and waits for it.
// An ended process leaves the socket it took activations on; that goes too.
inline bool terminate(qint64 pid)
{
    if (pid <= 0)
        return true;
    if (!isGone(pid)) {
        ::kill(pid_t(pid), SIGTERM);
        QDeadlineTimer deadline(10000);
        while (!isGone(pid) && !deadline.hasExpired())
            QThread::msleep(20);
        if (!isGone(pid))
            ::kill(pid_t(pid), SIGKILL);
    }
    const bool gone = TestSupport::waitUntil([pid] { return isGone(pid); }, 5000);
    QLocalServer::removeServer(QStringLiteral("tarnwick-activate-%1").arg(pid));
    return gone;
}

// A process of a test: its output goes to a file of the test's world, so
// that processes it starts in turn (which write to the same output) outlive
// it without losing their output.
class Process {
public:
    Process(const QProcessEnvironment &env, const QString &logFile) : m_log(logFile)
    {
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(logFile);
    }
    ~Process()
    {
        if (m_process.state() != QProcess::NotRunning) {
            const qint64 pid = m_process.processId();
            m_process.kill();
            m_process.waitForFinished(5000);
            terminate(pid);
        }
    }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    void start(const QString &program, const QStringList &arguments) { m_process.start(program, arguments); }
    bool waitForStarted() { return m_process.waitForStarted(10000); }
    bool waitForFinished(int ms) { return m_process.waitForFinished(ms); }
    bool running() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    int exitCode() const { return m_process.exitCode(); }
    bool exitedNormally() const { return m_process.exitStatus() == QProcess::NormalExit; }
    // Ends it now (and what it left behind).
    void stop()
    {
        const qint64 id = pid();
        m_process.kill();
        m_process.waitForFinished(5000);
        terminate(id);
    }
    // All it and the processes it started have written so far.
    QString log() const { return QString::fromUtf8(TestSupport::readFile(m_log)); }

private:
    QProcess m_process;
    QString m_log;
};

// One test's world.
class World {
public:
    World()
    {
        // The per-user copy as it is after the first start.
        auto settings =
            Platform::PropertyList::readDictionary(tarnwickBundle() + "/Contents/Resources/PrivateData.plist")
                .value_or(QVariantMap());
        const QString company = settings.value("CompanyName").toString();
        settings["IsFristTime"] = QStringLiteral("1");
        const QString copy = root() + "/Users/" + kUser + "/Library/Application Support/" + company;
        QDir().mkpath(copy);
        Platform::PropertyList::writeFile(copy + "/PrivateData.plist", settings);
    }
    ~World()
    {
        m_processes.clear();
        for (qint64 pid : ours())
            terminate(pid);
    }
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    QString root() const { return m_root.path(); }

    // The environment of a process of this world, shown on `platform`, on
    // no display (the caller names one for a platform that needs it).
    QProcessEnvironment environment(const QString &platform = QStringLiteral("offscreen")) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", platform);
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("TARNWICK_ROOT", root());
        env.insert("SUDO_USER", kUser);
        env.remove("TARNWICK_BUNDLE");
        env.remove("TARNWICK_TOOLS");
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        return env;
    }

    // Processes of the application that run in this world.
    QList<qint64> ours() const
    {
        QList<qint64> pids;
        for (const Platform::RunningApplication &app : Platform::RunningApplications::withBundleIdentifier(
                 kBundleIdentifier, Platform::RunningApplications::Scope::AnySession)) {
            if (environmentValue(app.processIdentifier, "TARNWICK_ROOT") == root() && !isGone(app.processIdentifier))
                pids << app.processIdentifier;
        }
        return pids;
    }
    // A process of this world, shown on `platform` (on X, the `display`);
    // kept until the world goes.
    Process &process(const QString &platform = QStringLiteral("offscreen"), const QString &display = QString())
    {
        QProcessEnvironment env = environment(platform);
        if (!display.isEmpty()) {
            env.insert("DISPLAY", display);
            env.remove("XAUTHORITY");
        }
        const QString log = m_root.path() + QStringLiteral("/process-%1.log").arg(m_processes.size());
        m_processes.push_back(std::make_unique<Process>(env, log));
        return *m_processes.back();
    }

private:
    QTemporaryDir m_root;
    std::vector<std::unique_ptr<Process>> m_processes;
};

// Asks the process to come to the front until it answers: it then runs its
// interface, with the main window made.
inline bool waitForInterface(qint64 pid, const QString &bundlePath, int timeoutMs = 30000)
{
    return TestSupport::waitUntil(
        [&] {
            return Platform::RunningApplications::activate({pid, bundlePath});
        },
        timeoutMs);
}

} // namespace TarnwickRig

#define TARNWICK_NEEDS_BUILT_PROGRAMS()                                                                                \
    do {                                                                                                               \
        if (!QFileInfo(TarnwickRig::tarnwickExecutable()).isExecutable() ||                                            \
            !QFileInfo(TarnwickRig::helmrunExecutable()).isExecutable())                                               \
            GTEST_FAIL() << "build the Tarnwick and Helmrun targets first";                                            \
    } while (false)
