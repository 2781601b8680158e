// The two start-up functions that run before the application object: the
// hand-over to the launcher around the bundle and the display-sleep assertion.
#include <gtest/gtest.h>

#include "Login1Stub.h"
#include "PreventSleep.h"
#include "ZZManRunLoader.h"

#include "Bundle.h"
#include "PowerAssertion.h"
#include "PropertyList.h"
#include "RunningApplications.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

void writeBundle(const QString &path, const QString &executable)
{
    QDir().mkpath(path + "/Contents/MacOS");
    Platform::PropertyList::writeFile(path + "/Contents/Info.plist", QVariantMap{{"CFBundleExecutable", executable}});
    if (executable.isEmpty())
        return;
    const QString exe = path + "/Contents/MacOS/" + executable;
    TestSupport::writeFile(exe, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class HandOver : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::Workspace::shared().setLauncher([this](const QString &exe, const QStringList &args) {
            launched << exe;
            launchedArguments << args;
            return true;
        });
    }
    void TearDown() override
    {
        Platform::Workspace::shared().setLauncher(nullptr);
        Platform::Bundle::setMainBundlePath(TestSupport::bundlePath());
    }
    QTemporaryDir dir;
    QStringList launched;
    QStringList launchedArguments;
};

} // namespace

TEST_F(HandOver, LaunchesTheBundleThreeComponentsUp)
{
    const QString outer = dir.filePath("Helmrun.app");
    writeBundle(outer, "Helmrun");
    writeBundle(outer + "/Contents/MacOS/Tarnwick.app", "Tarnwick");
    Platform::Bundle::setMainBundlePath(outer + "/Contents/MacOS/Tarnwick.app");

    EXPECT_TRUE(ZZManRunLoader());
    EXPECT_EQ(launched, QStringList{outer + "/Contents/MacOS/Helmrun"});
    EXPECT_TRUE(launchedArguments.isEmpty());
}

TEST_F(HandOver, WithoutALauncherAroundNothingIsLaunched)
{
    // Tarnwick.app on its own: three components up is a plain folder.
    const QString alone = dir.filePath("a/b/Tarnwick.app");
    writeBundle(alone, "Tarnwick");
    Platform::Bundle::setMainBundlePath(alone);
    EXPECT_FALSE(ZZManRunLoader());

    // A bundle three up whose program is missing is refused too.
    const QString broken = dir.filePath("Broken.app");
    writeBundle(broken, "");
    writeBundle(broken + "/Contents/MacOS/Tarnwick.app", "Tarnwick");
    Platform::Bundle::setMainBundlePath(broken + "/Contents/MacOS/Tarnwick.app");
    EXPECT_FALSE(ZZManRunLoader());

    // No bundle at all: nothing is looked up from the working folder.
    Platform::Bundle::setMainBundlePath(QString());
    EXPECT_FALSE(ZZManRunLoader());
    EXPECT_TRUE(launched.isEmpty());
}

// Started by the launcher, the program runs as root without a session bus:
// the display stays awake through logind on the system bus, for as long as
// the assertion is held.
TEST(PreventSleep, TakesTheAssertionAndSaysSo)
{
    LogindOnPrivateBus logind;
    ASSERT_TRUE(logind.ok) << "no private message bus";
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", logind.bus.address().toLatin1());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-bus");
    assertionID = 0;
    Platform::SystemLogCapture log;
    PreventSleep();
    EXPECT_NE(assertionID, 0u);
    EXPECT_EQ(log.count("prevent sleep!"), 1);
    {
        QMutexLocker lock(&logind.stub.mutex);
        ASSERT_EQ(logind.stub.calls.size(), 4);
        EXPECT_EQ(logind.stub.calls.at(0), "idle");
        EXPECT_EQ(logind.stub.calls.at(2), "PreventUserIdleDisplaySleep");
        EXPECT_EQ(logind.stub.calls.at(3), "block");
    }
    EXPECT_TRUE(logind.stub.held(0));
    EXPECT_EQ(Platform::PowerAssertion::release(assertionID), Platform::PowerAssertion::Success);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !logind.stub.held(0); }, 5000));
    assertionID = 0;
}

TEST(PreventSleep, NothingThatKeepsTheDisplayAwakeIsNoSuccess)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-system-bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-bus");
    assertionID = 0;
    Platform::SystemLogCapture log;
    PreventSleep();
    EXPECT_EQ(assertionID, 0u);
    EXPECT_EQ(log.count("prevent sleep!"), 0);
    quint32 id = 0;
    EXPECT_EQ(Platform::PowerAssertion::createWithName("PreventUserIdleDisplaySleep", 255, "x", &id),
              Platform::PowerAssertion::Failure);
}

// An instance counts only when it serves the same display and the same
// system root: a start in another session or world brings nothing of it to
// the front.
TEST(SingleInstance, OnlyInstancesOfThisSessionCount)
{
    QTemporaryDir dir;
    const QString identifier = "com.kestrova.test-session-" + QString::number(::getpid());
    const QString exe = TestSupport::sleeperBundle(dir.path(), identifier);
    struct Start {
        const char *what;
        QString root; // empty: this process's own
        QString display;
        bool counts;
    };
    const QString ownDisplay = qEnvironmentVariable("DISPLAY");
    const Start starts[] = {
        {"same session", QString(), ownDisplay, true},
        {"another world", dir.filePath("other-world"), ownDisplay, false},
        {"another display", QString(), ownDisplay + ":other", false},
    };
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const Start &s : starts) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!s.root.isEmpty())
            env.insert("TARNWICK_ROOT", s.root);
        if (s.display.isEmpty())
            env.remove("DISPLAY");
        else
            env.insert("DISPLAY", s.display);
        p->setProcessEnvironment(env);
        p->start(exe, {"30"});
        ASSERT_TRUE(p->waitForStarted(5000)) << s.what;
        processes.push_back(std::move(p));
    }
    QList<qint64> found;
    for (const Platform::RunningApplication &app : Platform::RunningApplications::withBundleIdentifier(identifier))
        found << app.processIdentifier;
    for (size_t i = 0; i < processes.size(); ++i) {
        SCOPED_TRACE(starts[i].what);
        EXPECT_EQ(found.contains(processes[i]->processId()), starts[i].counts);
    }
    for (auto &p : processes) {
        p->kill();
        p->waitForFinished(3000);
    }
}

// The socket that other starts reach this instance through goes with every
// orderly end, std::exit included.
TEST(SingleInstance, ActivationSocketGoesWithAnOrderlyEnd)
{
    // The child is a fork of this process, so it shares the folder for its pid.
    GTEST_FLAG_SET(death_test_style, "fast");
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    EXPECT_EXIT(
        {
            Platform::RunningApplications::listenForActivation([] {});
            TestSupport::writeFile(pidFile, QByteArray::number(::getpid()));
            if (!QFile::exists(QDir::tempPath() + "/tarnwick-activate-" + QString::number(::getpid())))
                std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const QByteArray pid = TestSupport::readFile(pidFile);
    ASSERT_FALSE(pid.isEmpty());
    EXPECT_FALSE(QFile::exists(QDir::tempPath() + "/tarnwick-activate-" + QString::fromLatin1(pid)));
}
